#pragma once
// Runs the real ser2net as a device server in front of a device (the simulator's pty): one
// RFC 2217 port and one raw TCP port on free local ports, its configuration in a test folder.

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <fstream>
#include <memory>

#include "support/nimbra_sim_process.h"

namespace vexilo::test {

// A local TCP port nobody listens on now.
inline int free_tcp_port() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = -1;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

// Whether something listens on the local TCP port (from the kernel's table, so that asking
// does not open the device behind it).
inline bool listening(int port) {
    char wanted[16];
    std::snprintf(wanted, sizeof wanted, ":%04X", port);
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream in(table);
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            std::string slot, local, remote, state;
            fields >> slot >> local >> remote >> state;
            if (state == "0A" && local.size() > 5 && local.substr(local.size() - 5) == wanted) {
                return true;
            }
        }
    }
    return false;
}

class Ser2net {
  public:
    // Serves `device` at 9600 8N1: telnet with RFC 2217 on rfc2217_port, raw TCP on raw_port.
    Ser2net(const std::string& device, const TempDir& dir)
        : rfc2217_port(free_tcp_port()), raw_port(free_tcp_port()) {
        const std::string config = dir.file("ser2net.yaml");
        std::ofstream out(config);
        for (const auto& [accepter, port] :
             {std::pair{std::string("telnet(rfc2217),tcp"), rfc2217_port},
              std::pair{std::string("tcp"), raw_port}}) {
            out << "connection: &port" << port << "\n"
                << "  accepter: " << accepter << ",127.0.0.1," << port << "\n"
                << "  connector: serialdev," << device << ",9600n81,local\n"
                << "  options:\n"
                << "    chardelay: false\n";
        }
        out.close();
        process_ = std::make_unique<SimProcess>(program(), Lines{"-n", "-d", "-c", config}, dir);
        const std::int64_t end = monotonic_ms() + kWaitMs;
        while (process_->started() && monotonic_ms() < end &&
               !(listening(rfc2217_port) && listening(raw_port))) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    bool ready() const { return listening(rfc2217_port) && listening(raw_port); }
    std::string rfc2217_url() const {
        return "rfc2217://127.0.0.1:" + std::to_string(rfc2217_port);
    }
    std::string raw_url() const { return "socket://127.0.0.1:" + std::to_string(raw_port); }
    SimProcess& process() { return *process_; }

    const int rfc2217_port;
    const int raw_port;

  private:
    using Lines = std::vector<std::string>;
    static std::string program() {
        for (const char* path : {"/usr/sbin/ser2net", "/usr/bin/ser2net"}) {
            if (access(path, X_OK) == 0) return path;
        }
        return "ser2net";
    }
    std::unique_ptr<SimProcess> process_;
};

}  // namespace vexilo::test
