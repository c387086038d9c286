// Frame handling of the control protocol, measured in one run:
// 1. a 0x60 write of 16 bytes plus a 0x61 read of them over the UDP link on
//    loopback, against a bare UDP echo of the same datagrams;
// 2. framing and escaping (both directions) of a 4 KiB body, against memcpy.
#include "UdpTool.h"
#include "params/ConfigEngine.h"
#include "params/KelRamPara.h"
#include "platform/Board.h"
#include "protocol/PhyFrame.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/SystemControllerPort.h"
#include "protocol/message_deal.h"
#include "protocol/protocol_phy.h"
#include "protocol/udpnetManage.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace kel::protocol;
using namespace bench;
using Clock = std::chrono::steady_clock;

namespace {

double microsPerRound(int fd, uint16_t to, const Bytes& a, const Bytes& b, int rounds)
{
    const auto t0 = Clock::now();
    for (int i = 0; i < rounds; ++i)
        if (!roundTrip(fd, to, a) || !roundTrip(fd, to, b))
            return -1;
    return std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / rounds;
}

void benchLoopback(int rounds)
{
    SystemControllerPort port;
    message_deal deal(port);
    LinkSettings s;
    s.udpPort = 0;
    udpnetManage link(port, deal, s);

    std::atomic<bool> run{true};
    int echoFd = udpSocket(0);
    std::thread echo([&] {
        uint8_t buf[2048];
        while (run) {
            pollfd p{echoFd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            sockaddr_in from{};
            socklen_t n = sizeof from;
            const ssize_t got = ::recvfrom(echoFd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &n);
            if (got > 0)
                ::sendto(echoFd, buf, size_t(got), 0, reinterpret_cast<sockaddr*>(&from), n);
        }
    });

    Bytes data(16);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i);
    Bytes wr = {0x00, 0x03, 0, 0, 16, 0, 0, 0};
    wr.insert(wr.end(), data.begin(), data.end());
    const Bytes write = request(CMD_WRITE_RAM, wr);
    const Bytes read = request(CMD_READ_RAM, {0x00, 0x03, 0, 0, 16, 0, 0, 0});

    int client = udpSocket(0);
    microsPerRound(client, link.localPort(), write, read, rounds / 10);  // warm-up
    const double viaLink = microsPerRound(client, link.localPort(), write, read, rounds);
    const double bare = microsPerRound(client, portOf(echoFd), write, read, rounds);
    run = false;
    echo.join();
    ::close(client);
    ::close(echoFd);
    std::printf("UDP loopback, 0x60 write + 0x61 read of 16 bytes: %.1f us per pair (bare UDP echo %.1f us, x%.2f)\n",
                viaLink, bare, bare > 0 ? viaLink / bare : 0.0);
}

void benchCodec(int rounds)
{
    std::mt19937 rng(1);
    Bytes body(4096);
    for (auto& b : body)
        b = rng() % 8 == 0 ? 0xA5 : uint8_t(rng());
    body.back() = PhyFrame::xorOf(body.data(), body.size() - 1);
    protocol_phy phy;
    Bytes wire(protocol_phy::framedCapacity(body.size()));
    Bytes back(protocol_phy::kMaxBody);
    Bytes copy(body.size());
    size_t sink = 0;

    auto t0 = Clock::now();
    for (int i = 0; i < rounds; ++i)
        sink += phy.data_re_transf_meaning(wire.data(), body.data(), uint32_t(body.size()));
    const double enc = std::chrono::duration<double>(Clock::now() - t0).count();
    const uint32_t n = phy.data_re_transf_meaning(wire.data(), body.data(), uint32_t(body.size()));
    t0 = Clock::now();
    for (int i = 0; i < rounds; ++i)
        sink += size_t(phy.data_transf_meaning(wire.data(), n, back.data(), back.size()));
    const double dec = std::chrono::duration<double>(Clock::now() - t0).count();
    t0 = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        std::memcpy(copy.data(), body.data(), body.size());
        sink += copy[size_t(i) % copy.size()];
    }
    const double cpy = std::chrono::duration<double>(Clock::now() - t0).count();
    const double mb = double(body.size()) * rounds / 1e6;
    std::printf("framing 4 KiB bodies (1/8 escaped): encode %.0f MB/s, decode+check %.0f MB/s, memcpy %.0f MB/s (%zu)\n",
                mb / enc, mb / dec, mb / cpy, sink % 10);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    kel::platform::Board::initSim(dir.path().toStdString());
    ConfigEngine::pInstance();
    KelRamPara::pInstance();
    benchLoopback(2000);
    benchCodec(20000);
    kel::platform::Board::shutdown();
    return 0;
}
