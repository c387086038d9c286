#pragma once
#include "platform/SerialService.h"

#include <map>
#include <mutex>
#include <string>

namespace kel::platform::sim {

// Each serial port the controller opens becomes a pseudo-terminal pair: the
// controller gets the master end, and <root>/sim/<port name> links to the
// slave end for a PC tool (or a test) to open.
class SimSerial : public SerialService {
public:
    ~SimSerial() override;
    int open(const std::string& logicalPath, int flags) override;
    std::string peerPath(const std::string& logicalPath) const override;

private:
    mutable std::mutex lock_;
    std::map<std::string, std::string> peers_;
    std::map<std::string, int> keepOpen_;
};

} // namespace kel::platform::sim
