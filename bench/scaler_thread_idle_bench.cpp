// CPU cost of an idle scaler manager thread on the simulated board: chip
// bring-up, then passes with nothing to apply. Prints the share of one core
// the process used; fails above 1 %.
#include "CpuTime.h"
#include "platform/Board.h"
#include "video/c331_manage.h"

#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <thread>

int main()
{
    QTemporaryDir dir;
    kel::platform::Board::initSim(dir.path().toStdString());
    static uint8_t block[4096] = {};
    static uint8_t regBank[1064] = {};
    pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
    std::atomic<uint8_t> flag{0};
    c331_peers peers;
    peers.paraMutex = &mutex;
    peers.applyFlag = &flag;
    peers.block = block;
    peers.regBank = regBank;
    peers.readInput = [](int, SourceHdmiInfo&) { return true; };
    double share = 0;
    {
        c331_manage manager(peers);
        manager.openDevice();
        manager.start();
        while (!manager.chipReady())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const double c0 = cpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(3));
        share = (cpuSeconds() - c0) / std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        manager.stop();
    }
    kel::platform::Board::shutdown();
    std::printf("idle scaler manager: %.3f %% of a core\n", share * 100.0);
    return share < 0.01 ? 0 : 1;
}
