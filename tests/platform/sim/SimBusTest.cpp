#include "platform/Board.h"
#include "platform/I2cBus.h"
#include "platform/MtdService.h"
#include "platform/RegisterWindow.h"
#include "platform/SerialService.h"
#include "platform/SpiDevice.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimI2cBus.h"
#include "platform/sim/SimI2cDevice.h"
#include "platform/sim/SimMtd.h"
#include "platform/sim/SimRegisterMemory.h"
#include "platform/sim/SimSpiBus.h"
#include "platform/sim/SimSpiChip.h"
#include "support/SimRootFixture.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QFileInfo>

#include <gtest/gtest.h>

namespace kel::test {
namespace {

using platform::Board;

// Echoes each byte plus one, and remembers the last message.
class EchoChip : public platform::sim::SimSpiChip {
public:
    void transfer(const uint8_t* tx, uint8_t* rx, size_t len) override
    {
        last.assign(tx, tx + len);
        for (size_t i = 0; i < len; ++i)
            rx[i] = static_cast<uint8_t>(tx[i] + 1);
    }
    std::vector<uint8_t> last;
};

// A register file: a write message sets the register pointer (first byte)
// and data; a read message returns from the pointer on.
class RegisterChip : public platform::sim::SimI2cDevice {
public:
    bool transfer(platform::I2cMsg* msgs, int count) override
    {
        for (int i = 0; i < count; ++i) {
            auto& m = msgs[i];
            if (m.flags & platform::I2cMsg::kRead) {
                for (int k = 0; k < m.len; ++k)
                    m.buf[k] = regs[(ptr + k) & 0xFF];
            } else if (m.len > 0) {
                ptr = m.buf[0];
                for (int k = 1; k < m.len; ++k)
                    regs[(ptr + k - 1) & 0xFF] = m.buf[k];
            }
        }
        return true;
    }
    uint8_t regs[256] = {};
    uint8_t ptr = 0;
};

class SimBusTest : public SimRootFixture {};

TEST_F(SimBusTest, SpiRoutesToTheChipAtItsPathWithLogAndFaults)
{
    EchoChip chip;
    auto& bus = board().spi();
    bus.attach("/dev/spidev32766.0", &chip);
    bus.setLogging(true);
    auto spi = Board::newSpi();
    EXPECT_FALSE(Board::newSpi()->open("/dev/spidev32766.9"));
    ASSERT_TRUE(spi->open("/dev/spidev32766.0"));
    EXPECT_TRUE(spi->configure(3, 8, 10000000));
    EXPECT_FALSE(spi->configure(4, 8, 10000000));
    const uint8_t tx[3] = {1, 2, 3};
    uint8_t rx[3] = {};
    ASSERT_TRUE(spi->transfer(tx, rx, 3));
    EXPECT_EQ(rx[2], 4);
    EXPECT_EQ(chip.last, (std::vector<uint8_t>{1, 2, 3}));
    bus.failNext("/dev/spidev32766.0", 1);
    EXPECT_FALSE(spi->transfer(tx, rx, 3));
    EXPECT_TRUE(spi->transfer(tx, rx, 3));
    ASSERT_EQ(bus.log().size(), 2u);
    EXPECT_EQ(bus.log()[0].rx, (std::vector<uint8_t>{2, 3, 4}));
    bus.setOpenFails("/dev/spidev32766.0", true);
    EXPECT_FALSE(Board::newSpi()->open("/dev/spidev32766.0"));
    bus.detach("/dev/spidev32766.0");
}

TEST_F(SimBusTest, I2cCombinedTransfersReachTheChip)
{
    RegisterChip chip;
    chip.regs[0x10] = 0xAB;
    auto* bus = board().i2cBus("/dev/i2c-0");
    ASSERT_NE(bus, nullptr);
    bus->attach(0x48, &chip);
    bus->setLogging(true);
    auto i2c = Board::newI2c();
    EXPECT_FALSE(Board::newI2c()->open("/dev/i2c-7"));
    ASSERT_TRUE(i2c->open("/dev/i2c-0"));

    uint8_t reg = 0x10, value = 0;
    platform::I2cMsg msgs[2];
    msgs[0].addr = 0x48;
    msgs[0].len = 1;
    msgs[0].buf = &reg;
    msgs[1].addr = 0x48;
    msgs[1].flags = platform::I2cMsg::kRead;
    msgs[1].len = 1;
    msgs[1].buf = &value;
    EXPECT_EQ(i2c->transfer(msgs, 2), 2);
    EXPECT_EQ(value, 0xAB);

    msgs[0].addr = msgs[1].addr = 0x49;
    EXPECT_EQ(i2c->transfer(msgs, 2), -1); // nobody answers
    msgs[0].addr = msgs[1].addr = 0x48;
    bus->failNext(0x48, 1);
    EXPECT_EQ(i2c->transfer(msgs, 2), -1);
    EXPECT_EQ(i2c->transfer(msgs, 2), 2);
    ASSERT_EQ(bus->log().size(), 4u);
    EXPECT_TRUE(bus->log()[1].read);

    // A switch in front of the chip: the router decides who answers.
    RegisterChip behind;
    behind.regs[0x10] = 0x77;
    bus->setRouter([&](uint16_t addr) -> platform::sim::SimI2cDevice* { return addr == 0x48 ? &behind : nullptr; });
    EXPECT_EQ(i2c->transfer(msgs, 2), 2);
    EXPECT_EQ(value, 0x77);
    bus->setRouter({});
    bus->detach(0x48);
}

TEST_F(SimBusTest, RegisterWindowStoresAreSeenAndLoadsCanBeDriven)
{
    auto& mem = board().registers();
    std::vector<std::pair<uint32_t, uint16_t>> seen;
    const int id = mem.watchStores(0x207900, 0x2079FF, [&](uint32_t off, uint16_t, uint16_t v) { seen.emplace_back(off, v); });
    mem.setLoadHook(0x207A00, [](uint32_t, uint16_t stored) { return static_cast<uint16_t>(stored | 1); });
    auto w = Board::newRegisterWindow();
    EXPECT_EQ(w->read16(0x207900), 0); // closed: reads nothing
    ASSERT_TRUE(w->open());
    w->write16(0x207900, 16);
    w->write16(0x207800, 16); // outside the watch
    EXPECT_EQ(seen, (std::vector<std::pair<uint32_t, uint16_t>>{{0x207900, 16}}));
    EXPECT_EQ(w->read16(0x207A00), 1);
    EXPECT_EQ(w->read16(0x207900), 16);
    w->write16(platform::RegisterWindow::kMapSize, 5); // beyond the window: ignored
    EXPECT_EQ(mem.storeLog().size(), 2u);
    mem.unwatch(id);
    w->close();
    mem.setOpenFails(true);
    EXPECT_FALSE(Board::newRegisterWindow()->open());
    EXPECT_FALSE(Board::newRegisterWindow()->openPhysical());
}

TEST_F(SimBusTest, MtdImageIsErasedFlashWithItsGeometry)
{
    auto& mtd = board().mtd();
    EXPECT_EQ(Board::mtd().open("/dev/mtd99", O_RDWR), -1);
    const int fd = Board::mtd().open("/dev/mtd8", O_RDWR);
    ASSERT_GE(fd, 0);
    platform::MtdInfo info;
    ASSERT_EQ(Board::mtd().getInfo(fd, info), 0);
    EXPECT_EQ(info.erasesize, 0x20000u);
    EXPECT_EQ(info.writesize, 0x800u);
    EXPECT_EQ(QFileInfo(QString::fromStdString(hostPath("/dev/mtd8"))).size(), info.size);
    uint8_t b = 0;
    ASSERT_EQ(Board::mtd().pread(fd, &b, 1, 100), 1);
    EXPECT_EQ(b, 0xFF);
    const uint8_t data[4] = {1, 2, 3, 4};
    EXPECT_EQ(Board::mtd().pwrite(fd, data, 4, 0), 4);
    EXPECT_EQ(Board::mtd().pwrite(fd, data, 4, info.size - 2), -1);  // past the end
    EXPECT_EQ(Board::mtd().erase(fd, 0x100, 0x20000), -1);           // not on a block
    EXPECT_EQ(Board::mtd().erase(fd, 0, 0x20000), 0);
    ASSERT_EQ(Board::mtd().pread(fd, &b, 1, 0), 1);
    EXPECT_EQ(b, 0xFF);
    mtd.failAfter(platform::sim::SimMtd::Op::Unlock, 0);
    EXPECT_EQ(Board::mtd().unlock(fd, 0, 0x20000), -1);
    EXPECT_EQ(Board::mtd().unlock(fd, 0, 0x20000), 0);
    Board::mtd().close(fd);
    EXPECT_EQ(Board::mtd().getInfo(fd, info), -1);
}

TEST_F(SimBusTest, SerialPortIsAPseudoTerminalWithALinkForThePeer)
{
    const int fd = Board::serial().open("/dev/ttyS2", O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios tio{};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    cfmakeraw(&tio);
    cfsetspeed(&tio, B115200);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &tio), 0);
    const std::string peer = Board::serial().peerPath("/dev/ttyS2");
    ASSERT_FALSE(peer.empty());
    EXPECT_EQ(QFileInfo(QString::fromStdString(hostPath("/sim/ttyS2"))).symLinkTarget().toStdString(), peer);
    const int pc = ::open((hostPath("/sim/ttyS2")).c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(pc, 0);
    termios ptio{};
    ASSERT_EQ(::tcgetattr(pc, &ptio), 0);
    cfmakeraw(&ptio);
    ASSERT_EQ(::tcsetattr(pc, TCSANOW, &ptio), 0);
    const uint8_t frame[3] = {0xA5, 0x01, 0x5A};
    ASSERT_EQ(::write(pc, frame, 3), 3);
    uint8_t got[3] = {};
    fd_set set;
    FD_ZERO(&set);
    FD_SET(fd, &set);
    timeval tv{5, 0};
    ASSERT_EQ(::select(fd + 1, &set, nullptr, nullptr, &tv), 1);
    ASSERT_EQ(::read(fd, got, 3), 3);
    EXPECT_EQ(got[2], 0x5A);
    ::close(pc);
    ::close(fd);
}

} // namespace
} // namespace kel::test
