#include "FpgaFixture.h"

#include "ledout/fpga_manage.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimNorFlash.h"
#include "platform/sim/SimSpiBus.h"
#include "params/Utils.h"
#include "platform/Sleeper.h"

#include <numeric>

namespace kel::test {
namespace {

const std::string kFlash = "/dev/spidev32766.3";

class FpgaDrvTest : public FpgaFixture {
protected:
    fpga_drv& drv() { return *m().drv; }
    // Transfers sent to the flash, without status polls.
    std::vector<std::vector<uint8_t>> commands() const
    {
        std::vector<std::vector<uint8_t>> out;
        for (auto& t : sent(kFlash))
            if (t[0] != 0x05)
                out.push_back(t);
        return out;
    }
    std::vector<size_t> sizes() const
    {
        std::vector<size_t> out;
        for (auto& t : commands())
            out.push_back(t.size());
        return out;
    }
    static std::vector<uint8_t> withHeadRoom(const std::vector<uint8_t>& data)
    {
        std::vector<uint8_t> b(4, 0xEE);
        b.insert(b.end(), data.begin(), data.end());
        return b;
    }
};

struct WriteCase {
    uint32_t address;
    uint32_t length;
    std::vector<size_t> transfers;   // write-enables (1) and page programs
};

TEST_F(FpgaDrvTest, PageWritesSplitAtPageEndsAndLandInFlash)
{
    const WriteCase cases[] = {
        {0x000, 256, {1, 260}},
        {0x1F8, 10, {1, 12, 1, 6}},
        {0x100, 10, {1, 14}},
        {0x0F0, 16 + 256 + 3, {1, 20, 1, 260, 1, 7}},
    };
    for (const auto& c : cases) {
        clearLog();
        std::vector<uint8_t> data(c.length);
        std::iota(data.begin(), data.end(), uint8_t(c.address));
        auto buf = withHeadRoom(data);
        ASSERT_EQ(drv().FPGA_SPI_FLASH_VBYONE_WRITE(2, c.address, buf.data(), c.length), 1u);
        EXPECT_EQ(sizes(), c.transfers) << std::hex << c.address;
        EXPECT_EQ(flash().read(c.address, c.length), data);
        EXPECT_EQ(std::vector<uint8_t>(buf.begin(), buf.begin() + 4), std::vector<uint8_t>(4, 0xEE))
            << "head room untouched";
    }
    clearLog();
    std::vector<uint8_t> ten(10, 0x5A);
    auto buf = withHeadRoom(ten);
    drv().FPGA_SPI_FLASH_VBYONE_WRITE(2, 0x1F8, buf.data(), 10);
    const auto cmds = commands();
    EXPECT_EQ(std::vector<uint8_t>(cmds[1].begin(), cmds[1].begin() + 4), (std::vector<uint8_t>{0x02, 0x00, 0x01, 0xF8}));
    EXPECT_EQ(std::vector<uint8_t>(cmds[3].begin(), cmds[3].begin() + 4), (std::vector<uint8_t>{0x02, 0x00, 0x02, 0x00}));
}

TEST_F(FpgaDrvTest, ReadsGoInChunksOf2048WithoutAnEmptyTail)
{
    flash().preload(0x1000, std::vector<uint8_t>(4097, 0x33));
    const std::pair<uint32_t, std::vector<size_t>> cases[] = {
        {2048, {2053}}, {2049, {2053, 6}}, {4096, {2053, 2053}}, {1, {6}}};
    for (const auto& [len, transfers] : cases) {
        clearLog();
        std::vector<uint8_t> out(len, 0);
        ASSERT_EQ(drv().FPGA_SPI_FLASH_VBYONE_READ(2, 0x1000, len, out.data()), 1u);
        EXPECT_EQ(sizes(), transfers) << len;
        EXPECT_EQ(out, std::vector<uint8_t>(len, 0x33));
        EXPECT_EQ(commands()[0][0], 0x0B);
    }
}

TEST_F(FpgaDrvTest, RangeChecksRefuseWithoutWrapping)
{
    uint8_t out[64];
    auto buf = withHeadRoom(std::vector<uint8_t>(64, 0));
    struct Range { uint32_t address, length; bool ok; };
    const Range ranges[] = {
        {0x7FFFFF, 1, true}, {0x7FFFFF, 2, false}, {0x800000, 1, false}, {0x7FFFF0, 0x20, false},
        {0xFFFFFFF0, 0x20, false}, {0, 0, false},
    };
    for (const auto& r : ranges) {
        clearLog();
        const uint32_t len = std::min<uint32_t>(r.length, 64);
        EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_READ(2, r.address, r.length, out) == 1, r.ok) << std::hex << r.address;
        EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_WRITE(2, r.address, buf.data(), r.length) == 1, r.ok);
        if (!r.ok) {
            EXPECT_TRUE(sent(kFlash).empty()) << "refused before any transfer";
        }
        (void)len;
    }
}

TEST_F(FpgaDrvTest, EraseSendsOneCommandPerUnitAndRefusesBadRanges)
{
    flash().preload(0x6CD000, std::vector<uint8_t>(16, 0x00));
    clearLog();
    ASSERT_EQ(drv().FPGA_SPI_FLASH_VBYONE_ERASE(2, 1741, 0, 1), 1u);
    EXPECT_EQ(commands(), (std::vector<std::vector<uint8_t>>{{0x06}, {0x20, 0x6C, 0xD0, 0x00}}));
    EXPECT_EQ(flash().read(0x6CD000, 16), std::vector<uint8_t>(16, 0xFF));

    clearLog();
    ASSERT_EQ(drv().FPGA_SPI_FLASH_VBYONE_ERASE(2, 16, 1, 2), 1u);
    EXPECT_EQ(commands(), (std::vector<std::vector<uint8_t>>{{0x06}, {0x52, 0x01, 0x00, 0x00}, {0x06},
                                                            {0x52, 0x01, 0x80, 0x00}}));
    clearLog();
    ASSERT_EQ(drv().FPGA_SPI_FLASH_VBYONE_ERASE(2, 5, 0, 0), 1u);
    EXPECT_TRUE(commands().empty());

    struct Refusal { uint32_t first; uint8_t type; uint32_t count; uint32_t result; };
    const Refusal cases[] = {
        {2032, 2, 1, 1}, {2033, 2, 1, 0}, {0, 3, 1, 0}, {1, 0, 0xFFFFFFFF, 0}, {0, 2, 0x10000000, 0},
        {2047, 0, 1, 1}, {2048, 0, 1, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_ERASE(2, c.first, c.type, c.count), c.result)
            << c.first << " type " << int(c.type) << " count " << c.count;
}

TEST_F(FpgaDrvTest, StuckBusyFlashFailsWithinTheLimitAndReleasesTheBus)
{
    flash().setStuckBusy(true);
    uint8_t out[8];
    auto buf = withHeadRoom(std::vector<uint8_t>(8, 0));
    EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_ERASE(2, 10, 0, 4), 0u);
    EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_WRITE(2, 0x100, buf.data(), 8), 0u);
    EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_READ(2, 0, 8, out), 0u) << "a busy flash's 0xFF is not data";
    EXPECT_EQ(m().gpio.gpio_flash2_cs.load(), GpioWord::kHigh);
    EXPECT_EQ(m().gpio.gpio_fpga0_cs.load(), GpioWord::kHigh);
    flash().setStuckBusy(false);
    EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_READ(2, 0, 8, out), 1u);
}

// An erase takes up to seconds: past the fast polls every pause between
// status polls leaves the bus (Utils::_spi_mutex) to the register accesses
// of the links, the pages and the scaler.
TEST_F(FpgaDrvTest, ALongEraseGivesTheBusUpBetweenItsStatusPolls)
{
    flash().setBusyPolls(fpga_drv::kBusyFastPolls + 20);
    int pauses = 0, busFree = 0;
    platform::Sleeper::setHook([&](uint64_t) {
        ++pauses;
        if (Utils::_spi_mutex.tryLock()) {
            ++busFree;
            Utils::_spi_mutex.unlock();
        }
    });
    EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_ERASE(2, 10, 0, 1), 1u);
    EXPECT_GE(pauses, 20);
    EXPECT_EQ(busFree, pauses);
    uint8_t after = 0;
    EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_READ(2, 10 * 4096, 1, &after), 1u);
}

TEST_F(FpgaDrvTest, FailedTransfersAndMissingDevicesReportFailure)
{
    uint8_t out[8];
    board().spi().failNext(kFlash, 1);
    EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_READ(2, 0, 8, out), 0u);
    EXPECT_EQ(out[0], 0xFF) << "a failed read leaves 0xFF";
    EXPECT_EQ(drv().FPGA_SPI_FLASH_VBYONE_READ(3, 0, 8, out), 0u) << "second flash path is not fitted";
    EXPECT_EQ(drv().FPGA_SPI_FLASH_SSTF016B_RD_UID(3, out), 0u);
    EXPECT_EQ(drv().initialize_vbyne1(4), -1);
    EXPECT_EQ(drv().initialize_vbyne1(1), -1) << "FPGA 1 is absent";
}

TEST_F(FpgaDrvTest, WriteProtectionClearIsNineStepsWithoutSelectChanges)
{
    const uint16_t cs = m().gpio.gpio_flash2_cs.load();
    clearLog();
    drv().FPGA_SPI_Disable_WP(m().spi_fd_flash2);
    EXPECT_EQ(sent(kFlash), (std::vector<std::vector<uint8_t>>{{0x06}, {0x01, 0xFF, 0xFF}, {0xFF, 0xFF}, {0x06},
                                                              {0x31, 0x00}, {0x06}, {0xFF, 0x00}, {0x06},
                                                              {0xFF, 0x00}, {0xFF, 0x00}}));
    EXPECT_EQ(m().gpio.gpio_flash2_cs.load(), cs) << "the caller drives the select";
}

TEST_F(FpgaDrvTest, UniqueIdComesFromBytesFiveToTwelve)
{
    flash().setUid({1, 2, 3, 4, 5, 6, 7, 8});
    uint8_t out[8] = {};
    ASSERT_EQ(drv().FPGA_SPI_FLASH_SSTF016B_RD_UID(2, out), 1u);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 8), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(sent(kFlash).back().size(), 13u);
}

} // namespace
} // namespace kel::test
