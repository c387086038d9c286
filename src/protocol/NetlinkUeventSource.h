#pragma once
#include "protocol/UsbEventSource.h"

namespace kel::protocol {

// The kernel's uevent broadcast (NETLINK_KOBJECT_UEVENT, group 1), read
// only; the device's hot-plug helper mounts the stick.
class NetlinkUeventSource : public UsbEventSource {
public:
    NetlinkUeventSource();
    ~NetlinkUeventSource() override;
    bool isOpen() const { return fd_ >= 0; }
    bool wait(UsbEvent& event, int timeoutMs) override;

private:
    int fd_ = -1;
};

} // namespace kel::protocol
