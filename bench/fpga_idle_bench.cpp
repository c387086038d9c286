// CPU share of the process while the FPGA manager thread idles on the
// simulated board with a lit screen and cards on two ports (so the periodic
// search runs). Usage: fpga_idle_bench [seconds] (default 5). Prints the
// share of one core the process used.
#include "CpuTime.h"
#include "ledout/FpgaInputState.h"
#include "ledout/fpga_manage.h"
#include "params/KelRamPara.h"
#include "params/global.h"
#include "platform/Board.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

// Stands in for the GUI thread's 10 ms tick for the given time.
void tickFor(std::chrono::milliseconds span)
{
    const auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ++G_timeTicks;
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QTemporaryDir root;
    QDir(root.path()).mkpath("sim");
    QFile ini(root.path() + "/sim/board.ini");
    if (ini.open(QIODevice::WriteOnly))
        ini.write("[cards]\nport0=3\nport3=2\n");
    ini.close();
    kel::platform::Board::initSim(root.path().toStdString());
    KelRamPara::pInstance();
    FpgaInputState::setChipStateReader([] { return uint8_t(2); });
    g_source_online = 2;
    fpga_manage* m = fpga_manage::pInstance();
    m->gpio.gpio_fpga0_reset.high();

    // The tick stand-in alone, so its own cost can be told apart.
    const double base0 = cpuSeconds();
    tickFor(std::chrono::seconds(seconds));
    const double baseShare = 100.0 * (cpuSeconds() - base0) / seconds;
    m->initialize_start();

    // Let the screen light, then measure the idle manager.
    for (int i = 0; i < 1000 && !m->get_fpga_status(); ++i)
        tickFor(std::chrono::milliseconds(10));
    std::printf("screen lit: %s\n", m->get_fpga_status() ? "yes" : "no");
    const double cpu0 = cpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    tickFor(std::chrono::seconds(seconds));
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = cpuSeconds() - cpu0;
    const double share = 100.0 * cpu / wall;
    std::printf("process with idle FPGA manager: %.3f s CPU in %.3f s wall = %.2f%% of one core\n", cpu, wall, share);
    std::printf("tick stand-in alone: %.2f%%; FPGA manager's own share: %.2f%% of one core\n", baseShare,
                share - baseShare);
    fpga_manage::destroyInstance();
    kel::platform::Board::shutdown();
    return 0;
}
