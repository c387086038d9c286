#pragma once
#include <string>

namespace kel::platform {

// Opens serial ports by their logical device name ("/dev/ttyS2"). The
// descriptor is a real terminal in both backends, so termios applies; the
// simulated board hands out the controller's end of a pseudo-terminal pair.
class SerialService {
public:
    virtual ~SerialService() = default;
    virtual int open(const std::string& logicalPath, int flags) = 0;
    // Where a PC tool opens the other end (simulated board only).
    virtual std::string peerPath(const std::string& logicalPath) const = 0;
};

} // namespace kel::platform
