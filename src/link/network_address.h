#pragma once
// A port given as a network address: `rfc2217://HOST:PORT` (a device server that lets the
// program set the line, RFC 2217) or `socket://HOST:PORT` (raw TCP: the server's serial side
// keeps a fixed speed). HOST is a name, an IPv4 address or an IPv6 address in brackets.

#include <string>

namespace vexilo {

struct NetworkAddress {
    enum class Kind { Rfc2217, RawTcp };
    Kind kind = Kind::Rfc2217;
    std::string host;  // without the brackets of an IPv6 address
    int port = 0;

    // The address as the operator writes it (and as it is stored in the port map).
    std::string url() const;
    // "HOST:PORT" for messages, with brackets around an IPv6 address.
    std::string host_port() const;
};

// Whether `text` is meant as a network address (it has a scheme), valid or not.
bool looks_like_network_address(const std::string& text);

// Parses `text`; false with a message naming what is wrong when it is no valid address.
bool parse_network_address(const std::string& text, NetworkAddress& address, std::string& error);

}  // namespace vexilo
