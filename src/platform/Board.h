#pragma once
#include <memory>
#include <string>

namespace kel::platform {

class Clock;
class CommandRunner;
class RegisterWindow;
class SpiDevice;
class I2cBus;
class MtdService;
class SerialService;
class HidService;
namespace sim { class SimBoard; }

enum class BoardKind { Device, Sim };

// Chooses the backends of every platform service. The build decides the
// default (a host build: the simulated board); KEL_BOARD=sim|device
// overrides, KEL_ROOT names the simulated root. A device board never falls
// back to the simulation.
class Board {
public:
    // From the environment; returns false (with a message) when the
    // requested board cannot be set up.
    static bool initFromEnvironment(std::string* error = nullptr);
    // A simulated board on the given root (tests: a fresh folder).
    static void initSim(const std::string& root);
    static void initDevice();
    static void shutdown();

    static BoardKind kind();
    static bool isSim() { return kind() == BoardKind::Sim; }
    static bool initialised();

    static CommandRunner& commands();
    // The wall clock every reader of the date and time goes through.
    static Clock& clock();
    static MtdService& mtd();
    static SerialService& serial();
    static HidService& hid();
    // Each caller owns its own handle, like an open() of the device file.
    static std::unique_ptr<RegisterWindow> newRegisterWindow();
    static std::unique_ptr<SpiDevice> newSpi();
    static std::unique_ptr<I2cBus> newI2c();

    // The simulated board (null on the device).
    static sim::SimBoard* sim();
};

} // namespace kel::platform
