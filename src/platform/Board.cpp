#include "platform/Board.h"

#include "platform/NetPolicy.h"
#include "platform/PathMap.h"
#include "platform/Sleeper.h"
#include "platform/linux/LinuxClock.h"
#include "platform/linux/LinuxCommandRunner.h"
#include "platform/linux/LinuxHid.h"
#include "platform/linux/LinuxI2cBus.h"
#include "platform/linux/LinuxMtd.h"
#include "platform/linux/LinuxRegisterWindow.h"
#include "platform/linux/LinuxSerial.h"
#include "platform/linux/LinuxSpiDevice.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimChips.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimCommandRunner.h"
#include "platform/sim/SimHid.h"
#include "platform/sim/SimI2cAdapter.h"
#include "platform/sim/SimMtd.h"
#include "platform/sim/SimRegisterWindow.h"
#include "platform/sim/SimSerial.h"
#include "platform/sim/SimSpiDevice.h"

#include <cstdlib>
#include <unistd.h>
#include <mutex>

namespace kel::platform {
namespace {

// On the simulated board a thread that asks for a 1 us pause gets at least
// this, so the device's busy loops idle the host.
constexpr uint64_t kSimMinimumSleepUs = 1000;

struct DeviceServices {
    linuxdev::LinuxClock clock;
    linuxdev::LinuxCommandRunner commands;
    linuxdev::LinuxMtd mtd;
    linuxdev::LinuxSerial serial;
    linuxdev::LinuxHid hid;
};

std::mutex g_lock;
BoardKind g_kind = BoardKind::Sim;
bool g_initialised = false;
std::unique_ptr<sim::SimBoard> g_sim;
std::unique_ptr<DeviceServices> g_device;

#ifdef KEL_DEFAULT_BOARD_DEVICE
constexpr BoardKind kDefaultKind = BoardKind::Device;
#else
constexpr BoardKind kDefaultKind = BoardKind::Sim;
#endif

void requireInit()
{
    if (!g_initialised) {
        // The environment decides first (KEL_BOARD, KEL_ROOT). Without it a
        // device build takes the device and a host build the simulation in
        // var/root, never the other way round.
        if (Board::initFromEnvironment(nullptr))
            return;
        if (kDefaultKind == BoardKind::Device)
            Board::initDevice();
        else
            Board::initSim(PathMap::root() == "/" ? std::string("var/root") : PathMap::root());
    }
}

} // namespace

bool Board::initFromEnvironment(std::string* error)
{
    const char* boardEnv = std::getenv("KEL_BOARD");
    const char* rootEnv = std::getenv("KEL_ROOT");
    BoardKind kind = kDefaultKind;
    if (boardEnv && *boardEnv) {
        const std::string b = boardEnv;
        if (b == "sim")
            kind = BoardKind::Sim;
        else if (b == "device")
            kind = BoardKind::Device;
        else {
            if (error)
                *error = "KEL_BOARD must be 'sim' or 'device', not '" + b + "'";
            return false;
        }
    }
    if (kind == BoardKind::Device) {
        initDevice();
        return true;
    }
    if (!rootEnv || !*rootEnv) {
        if (error)
            *error = "the simulated board needs KEL_ROOT (its root folder)";
        return false;
    }
    std::string root = rootEnv;
    if (root.front() != '/') {
        char* cwd = ::getcwd(nullptr, 0);
        if (cwd) {
            root = std::string(cwd) + "/" + root;
            std::free(cwd);
        }
    }
    if (root == "/") {
        if (error)
            *error = "the simulated root cannot be '/'";
        return false;
    }
    initSim(root);
    return true;
}

void Board::initSim(const std::string& root)
{
    shutdown();
    std::lock_guard<std::mutex> l(g_lock);
    PathMap::setRoot(root);
    PathMap::prepareRoot();
    NetPolicy::setLoopbackOnly(true);
    Sleeper::setMinimumUs(kSimMinimumSleepUs);
    g_sim = std::make_unique<sim::SimBoard>(PathMap::root());
    g_kind = BoardKind::Sim;
    g_initialised = true;
    sim::installSimChips(*g_sim);
}

void Board::initDevice()
{
    shutdown();
    std::lock_guard<std::mutex> l(g_lock);
    PathMap::setRoot("/");
    NetPolicy::setLoopbackOnly(false);
    Sleeper::setMinimumUs(0);
    g_device = std::make_unique<DeviceServices>();
    g_kind = BoardKind::Device;
    g_initialised = true;
}

void Board::shutdown()
{
    std::lock_guard<std::mutex> l(g_lock);
    g_sim.reset();
    g_device.reset();
    g_initialised = false;
}

BoardKind Board::kind()
{
    requireInit();
    return g_kind;
}

bool Board::initialised() { return g_initialised; }

CommandRunner& Board::commands()
{
    requireInit();
    if (g_sim)
        return g_sim->commands();
    return g_device->commands;
}

Clock& Board::clock()
{
    requireInit();
    if (g_sim)
        return g_sim->clock();
    return g_device->clock;
}

MtdService& Board::mtd()
{
    requireInit();
    if (g_sim)
        return g_sim->mtd();
    return g_device->mtd;
}

SerialService& Board::serial()
{
    requireInit();
    if (g_sim)
        return g_sim->serial();
    return g_device->serial;
}

HidService& Board::hid()
{
    requireInit();
    if (g_sim)
        return g_sim->hid();
    return g_device->hid;
}

std::unique_ptr<RegisterWindow> Board::newRegisterWindow()
{
    requireInit();
    if (g_sim)
        return std::make_unique<sim::SimRegisterWindow>(g_sim->registers());
    return std::make_unique<linuxdev::LinuxRegisterWindow>();
}

std::unique_ptr<SpiDevice> Board::newSpi()
{
    requireInit();
    if (g_sim)
        return std::make_unique<sim::SimSpiDevice>(g_sim->spi());
    return std::make_unique<linuxdev::LinuxSpiDevice>();
}

std::unique_ptr<I2cBus> Board::newI2c()
{
    requireInit();
    if (g_sim)
        return std::make_unique<sim::SimI2cAdapter>(*g_sim);
    return std::make_unique<linuxdev::LinuxI2cBus>();
}

sim::SimBoard* Board::sim()
{
    return g_sim.get();
}

} // namespace kel::platform
