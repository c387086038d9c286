#pragma once
#include <cstdint>
#include <string>

namespace kel::protocol {

// Start-up values of the control links (from the shared globals on the
// device; tests choose ephemeral ports).
struct LinkSettings {
    uint16_t udpPort = 5008;
    bool udpEnabled = true;        // g_udpnetmode
    uint16_t tcpPort = 5005;       // g_port
    bool tcpEnabled = true;        // g_networkMode
    std::string serialDevice = "/dev/ttyS2";
    std::string modemDevice = "/dev/ttyS1";   // the 4G modem, same settings
    int serialBaud = 115200;       // g_BPS
    int serialReadSize = 32;       // g_dataLen
    // Longest wait of a receive loop pass before it services the card
    // pass-through again.
    int pollMs = 10;
};

} // namespace kel::protocol
