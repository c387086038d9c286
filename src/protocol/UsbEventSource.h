#pragma once
#include "protocol/UsbEvent.h"

#include <memory>

namespace kel::protocol {

// Where the USB-disk watcher gets its events: the kernel's uevent socket on
// the device, a drivable stand-in on the simulated board. Neither mounts
// anything.
class UsbEventSource {
public:
    virtual ~UsbEventSource() = default;
    // Waits at most timeoutMs for the next event; false when none came.
    virtual bool wait(UsbEvent& event, int timeoutMs) = 0;

    // The source for the current board.
    static std::unique_ptr<UsbEventSource> forBoard();
};

} // namespace kel::protocol
