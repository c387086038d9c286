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
    // anyFreePorts: UDP and TCP listen on ports the system picks (tests that
    // run beside a controller holding the device's ports).
    static void start(bool anyFreePorts = false);
    // Ends the links' threads and deletes them with the dispatcher and the
    // port, so a later start() begins afresh (tests and the simulated
    // board's exit; the device never stops).
    static void stop();
    static ControllerPort* port();
};

} // namespace kel::protocol
