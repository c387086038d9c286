#pragma once
#include "platform/SerialService.h"

namespace kel::platform::linuxdev {

class LinuxSerial : public SerialService {
public:
    int open(const std::string& logicalPath, int flags) override;
    std::string peerPath(const std::string&) const override { return {}; }
};

} // namespace kel::platform::linuxdev
