#pragma once

namespace kel::protocol {

class ControllerPort;

// Start-up of the control protocol: binds the controller port to this
// system, creates the dispatcher and the link singletons (UDP, serial,
// TCP, in this order) with the settings of the shared globals. main calls
// start() as its last step before the event loop; the shell installs the
// page hooks (PanelCalls::install) and the FPGA manager's card answer path
// calls ControlLink::deliverCardAnswer with port().
class ProtocolService {
public:
    static void start();
    static ControllerPort* port();
};

} // namespace kel::protocol
