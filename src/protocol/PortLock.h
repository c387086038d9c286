#pragma once
#include "protocol/ControllerPort.h"

namespace kel::protocol {

// Holds one of the controller's locks (card interrupt, stored files) for
// a scope.
template <void (ControllerPort::*Lock)(), void (ControllerPort::*Unlock)()>
class PortLock {
public:
    explicit PortLock(ControllerPort& port) : port_(port) { (port_.*Lock)(); }
    ~PortLock() { (port_.*Unlock)(); }
    PortLock(const PortLock&) = delete;
    PortLock& operator=(const PortLock&) = delete;

private:
    ControllerPort& port_;
};

using IrqLock = PortLock<&ControllerPort::lockIrq, &ControllerPort::unlockIrq>;
using FileLock = PortLock<&ControllerPort::lockFiles, &ControllerPort::unlockFiles>;

} // namespace kel::protocol
