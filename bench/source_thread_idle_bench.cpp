// CPU cost of the source-detection thread on the simulated board: start-up
// with blank EEPROMs, then the idle steady loop, with the 10 ms tick running.
// Prints the share of one core the process used; fails above 1 %.
#include "CpuTime.h"
#include "inputs/tarvosource.h"
#include "params/ConfigEngine.h"
#include "params/KelRamPara.h"
#include "params/global.h"
#include "platform/Board.h"
#include "platform/Sleeper.h"
#include <cstdlib>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    kel::platform::Board::initSim(dir.path().toStdString());
    // An optional argument overrides the simulated board's shortest pause (us).
    if (argc > 1)
        kel::platform::Sleeper::setMinimumUs(std::strtoull(argv[1], nullptr, 10));
    ConfigEngine::pInstance();
    KelRamPara::pInstance();
    std::atomic<bool> ticking{true};
    std::thread ticker([&] {
        while (ticking) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            ++G_timeTicks;
        }
    });
    tarvosource* src = tarvosource::pInstance();
    src->initialize();
    std::this_thread::sleep_for(std::chrono::seconds(1));  // reset sequence and EEPROM writes
    const double c0 = cpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const double cpu = cpuSeconds() - c0;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const unsigned state = src->thread_state();
    src->stop();
    ticking = false;
    ticker.join();
    delete src;
    kel::platform::Board::shutdown();
    const double share = 100.0 * cpu / wall;
    std::printf("source thread idle: state %u, %.2f %% of a core\n", state, share);
    return share < 1.0 && state == tarvosource::kSteady ? 0 : 1;
}
