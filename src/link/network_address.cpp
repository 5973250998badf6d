#include "link/network_address.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace vexilo {
namespace {

constexpr std::string_view kRfc2217 = "rfc2217://";
constexpr std::string_view kRawTcp = "socket://";

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool valid_host_name(std::string_view host) {
    // Names and IPv4 addresses: letters, digits, '-', '.' and '_' (some lab names have one).
    return !host.empty() && host.size() <= 253 &&
           std::all_of(host.begin(), host.end(), [](unsigned char c) {
               return std::isalnum(c) || c == '-' || c == '.' || c == '_';
           });
}

bool valid_ipv6(std::string_view host) {
    // The system's resolver judges the rest; this keeps out what could never be one.
    return host.size() >= 2 && host.find(':') != std::string_view::npos &&
           std::all_of(host.begin(), host.end(), [](unsigned char c) {
               return std::isxdigit(c) || c == ':' || c == '.' || c == '%' || std::isalnum(c);
           });
}

}  // namespace

std::string NetworkAddress::host_port() const {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string NetworkAddress::url() const {
    return std::string(kind == Kind::Rfc2217 ? kRfc2217 : kRawTcp) + host_port();
}

bool looks_like_network_address(const std::string& text) {
    return text.find("://") != std::string::npos;
}

bool parse_network_address(const std::string& text, NetworkAddress& address, std::string& error) {
    const std::string scheme_end = "://";
    const std::size_t at = text.find(scheme_end);
    const std::string scheme = lower(std::string_view(text).substr(0, at + scheme_end.size()));
    const auto bad = [&](const std::string& why) {
        error = "'" + text + "' is no network port: " + why;
        return false;
    };
    if (at == std::string::npos) {
        return bad("it takes the form rfc2217://HOST:PORT or socket://HOST:PORT");
    }
    NetworkAddress parsed;
    if (scheme == kRfc2217) {
        parsed.kind = NetworkAddress::Kind::Rfc2217;
    } else if (scheme == kRawTcp) {
        parsed.kind = NetworkAddress::Kind::RawTcp;
    } else {
        return bad("the scheme is rfc2217:// or socket://, not " + text.substr(0, at + 3));
    }
    std::string_view rest = std::string_view(text).substr(at + scheme_end.size());
    // A trailing slash is how some people write an address; anything after it is not.
    if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
    std::string_view host;
    std::string_view port;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) return bad("the '[' of an IPv6 address has no ']'");
        host = rest.substr(1, close - 1);
        if (!valid_ipv6(host)) return bad("'" + std::string(host) + "' is no IPv6 address");
        rest.remove_prefix(close + 1);
        if (rest.empty() || rest.front() != ':') return bad("the port number is missing");
        port = rest.substr(1);
    } else {
        const std::size_t colon = rest.rfind(':');
        if (colon == std::string_view::npos) return bad("the port number is missing");
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.find(':') != std::string_view::npos) {
            return bad("an IPv6 address goes in brackets, as in rfc2217://[::1]:2217");
        }
        if (host.empty()) return bad("the host is missing");
        if (!valid_host_name(host)) return bad("'" + std::string(host) + "' is no host name");
    }
    if (port.empty()) return bad("the port number is missing");
    if (port.size() > 5 ||
        !std::all_of(port.begin(), port.end(), [](unsigned char c) { return std::isdigit(c); })) {
        return bad("'" + std::string(port) + "' is no port number");
    }
    const int number = std::stoi(std::string(port));
    if (number < 1 || number > 65535) return bad("the port number is 1 to 65535");
    parsed.host = std::string(host);
    parsed.port = number;
    address = std::move(parsed);
    return true;
}

}  // namespace vexilo
