#pragma once
#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

class QJsonObject;

namespace kel::protocol {

// Sockets of the control links, bound where the platform's network policy
// allows (loopback only on the simulated board).
class LinkSocket {
public:
    // -1 on failure. Port 0 picks a free port. `link` names the link in the
    // log line of a failed bind and in the binding record. A link that never
    // broadcasts (the WiFi module's port) binds exclusively on the device too.
    static int openUdp(uint16_t port, const std::string& link = "udp", bool broadcasts = true);
    static int openTcpListener(uint16_t port, int backlog, const std::string& link = "tcp");
    // How each link's last bind went; on the simulated board state.json
    // carries it as "links".
    struct Binding {
        std::string link;
        std::string address;
        uint16_t port = 0;
        bool bound = false;
        std::string error;
    };
    static std::vector<Binding> bindings();
    static QJsonObject bindingState();
    static uint16_t localPort(int fd);
    // "a.b.c.d:port", the key of a peer.
    static std::string keyOf(const sockaddr_in& address);
    // The address alone ("a.b.c.d"); empty for no IPv4 address (the serial
    // line).
    static std::string addressOf(const sockaddr_in& address);
    // Waits up to timeoutMs for fd to become readable, or, with wakeFd set,
    // until wakeFd does; true when fd is readable.
    static bool waitReadable(int fd, int timeoutMs, int wakeFd = -1);
};

} // namespace kel::protocol
