#include "platform/sim/SimScalerFlash.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>

using kel::platform::sim::SimScalerFlash;

namespace {

std::vector<uint8_t> cmd(uint8_t op, uint32_t addr, std::vector<uint8_t> data = {})
{
    std::vector<uint8_t> tx{op, uint8_t(addr >> 16), uint8_t(addr >> 8), uint8_t(addr)};
    tx.insert(tx.end(), data.begin(), data.end());
    return tx;
}

void waitReady(SimScalerFlash& f)
{
    for (int i = 0; i < 100 && (f.command({0x05}, 1)[0] & SimScalerFlash::kStatusBusy); ++i) {
    }
}

void program(SimScalerFlash& f, uint32_t addr, std::vector<uint8_t> data)
{
    f.command({0x06}, 0);
    f.command(cmd(0x02, addr, data), 0);
    waitReady(f);
}

} // namespace

TEST(SimScalerFlash, ProgramOnlyClearsBitsUntilErased)
{
    SimScalerFlash f(1u << 20);
    EXPECT_EQ(f.peek(0x1000, 2), (std::vector<uint8_t>{0xFF, 0xFF}));
    program(f, 0x1000, {0xF0, 0x3C});
    program(f, 0x1000, {0x0F, 0xFF});
    EXPECT_EQ(f.command(cmd(0x03, 0x1000), 2), (std::vector<uint8_t>{0x00, 0x3C}));
    f.command({0x06}, 0);
    f.command(cmd(0x20, 0x1001), 0);
    waitReady(f);
    EXPECT_EQ(f.peek(0x1000, 2), (std::vector<uint8_t>{0xFF, 0xFF}));
}

TEST(SimScalerFlash, EraseUnitsCoverTheirAlignedBlock)
{
    struct Case { uint8_t op; uint32_t unit; };
    for (Case c : {Case{0x20, 0x1000}, Case{0x52, 0x8000}, Case{0xD8, 0x10000}}) {
        SimScalerFlash f(1u << 20);
        f.poke(0, std::vector<uint8_t>(0x40000, 0));
        f.command({0x06}, 0);
        f.command(cmd(c.op, c.unit + 5), 0);
        waitReady(f);
        EXPECT_EQ(f.peek(c.unit - 1, 1)[0], 0x00) << int(c.op);
        EXPECT_EQ(f.peek(c.unit, 1)[0], 0xFF) << int(c.op);
        EXPECT_EQ(f.peek(2 * c.unit - 1, 1)[0], 0xFF) << int(c.op);
        EXPECT_EQ(f.peek(2 * c.unit, 1)[0], 0x00) << int(c.op);
    }
}

TEST(SimScalerFlash, PageProgramWrapsInsideThePage)
{
    SimScalerFlash f(1u << 20);
    program(f, 0x2FE, {1, 2, 3, 4});
    EXPECT_EQ(f.peek(0x2FE, 2), (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(f.peek(0x200, 2), (std::vector<uint8_t>{3, 4}));
    EXPECT_EQ(f.peek(0x300, 1)[0], 0xFF);
}

TEST(SimScalerFlash, WriteWithoutEnableIsRefused)
{
    SimScalerFlash f(1u << 20);
    f.command(cmd(0x02, 0, {0}), 0);
    f.command(cmd(0xD8, 0), 0);
    EXPECT_EQ(f.peek(0, 1)[0], 0xFF);
    EXPECT_EQ(f.counters().refused, 2);
}

TEST(SimScalerFlash, StaysBusyForTheSetPollsAndIgnoresCommandsMeanwhile)
{
    SimScalerFlash f(1u << 20);
    f.setBusyPolls(4);
    f.command({0x06}, 0);
    EXPECT_EQ(f.command({0x05}, 1)[0], SimScalerFlash::kStatusWel);
    f.command(cmd(0x02, 0, {0x11}), 0);
    f.command({0x06}, 0);
    f.command(cmd(0x02, 1, {0x22}), 0);
    EXPECT_EQ(f.counters().ignoredBusy, 2);
    int polls = 0;
    while (f.command({0x05}, 1)[0] & SimScalerFlash::kStatusBusy)
        ++polls;
    EXPECT_EQ(polls, 4);
    EXPECT_EQ(f.peek(0, 2), (std::vector<uint8_t>{0x11, 0xFF}));
}

TEST(SimScalerFlash, PreloadsAFileAndReadsItBack)
{
    const std::string path = ::testing::TempDir() + "/nor_preload.bin";
    {
        std::ofstream out(path, std::ios::binary);
        out << "PXYZ";
    }
    SimScalerFlash f(1u << 20);
    ASSERT_TRUE(f.preloadFile(path, 0x410));
    EXPECT_EQ(f.command(cmd(0x03, 0x410), 5), (std::vector<uint8_t>{'P', 'X', 'Y', 'Z', 0xFF}));
    EXPECT_FALSE(f.preloadFile(path + ".missing"));
}

TEST(SimScalerFlash, AFolderInPlaceOfTheImageIsSetAsideAndRecreated)
{
    QTemporaryDir root;
    const std::string path = root.path().toStdString() + "/scaler_flash.bin";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(path + "/inner")));
    SimScalerFlash f(1u << 20);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(f.preloadFile(path));
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find(path));
    EXPECT_TRUE(QFileInfo(QString::fromStdString(path)).isFile());
    EXPECT_TRUE(QFileInfo(QString::fromStdString(path + ".bad/inner")).isDir());
    EXPECT_EQ(f.command(cmd(0x03, 0), 2), (std::vector<uint8_t>{0xFF, 0xFF}));
}
