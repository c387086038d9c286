#include "FpgaFixture.h"

#include "ledout/LedGlobals.h"
#include "ledout/fpga_manage.h"
#include "params/SyncReason.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimFpga.h"
#include "platform/sim/SimNorFlash.h"

#include <gtest/gtest.h>

namespace kel::test {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kOnOffRecord = 0x6CD000;

class OnOffTest : public FpgaFixture {
protected:
    void SetUp() override
    {
        FpgaFixture::SetUp();
        inputBoardReady();
        m().reg_images[0][fpga_manage::FPGA_REG_STATE] = fpga_manage::kStateRunning;
    }
    // The scheduler hook at a wall-clock time (the clock is read at most
    // once a second, so a second passes first).
    void hookAt(int day, int hour, int minute)
    {
        board().clock().set(QDateTime(QDate(2024, 1, day), QTime(hour, minute, 10)));
        advance(100);
        m().Extension_function();
    }
    bool screenOff() { return (fpga().reg(0) & 0x04) != 0; }
    void screen(bool on) { m().write_to_register(0, 0x04, on ? 0 : 0x04, 0); }
    // Type 2: count, then on hour, on minute, off hour, off minute in BCD.
    void storeTimes(uint8_t count, const Bytes& pairs)
    {
        Bytes payload{count};
        payload.insert(payload.end(), pairs.begin(), pairs.end());
        payload.resize(42, 0);
        hostCommand(2, 0xAA, 42, payload);
        runHostCommand();
    }
};

TEST_F(OnOffTest, StoredTimesFireOncePerDayAtTheirMinute)
{
    storeTimes(2, {0x07, 0x30, 0x22, 0x15, 0x12, 0x00, 0x12, 0x00});
    EXPECT_EQ(m().reg_image(fpga_manage::FPGA_REG_ONOFF), 1);
    const Bytes head = flash().read(kOnOffRecord, 17);
    EXPECT_EQ(head, (Bytes{0xAA, 2, 0xAA, 0, 0, 0, 42, 0, 2, 0x07, 0x30, 0x22, 0x15, 0x12, 0x00, 0x12, 0x00}));

    // On and off at the same minute: on, then off, in one run.
    screen(false);
    reasons.clear();
    hookAt(5, 12, 0);
    EXPECT_TRUE(screenOff());
    EXPECT_EQ(reasons, (std::vector<int>{SYNC_PARA, SYNC_PARA})) << "switched on, then off";
    EXPECT_EQ(m().screen_off_by_timer, 1);

    screen(true);
    hookAt(5, 22, 14);
    EXPECT_FALSE(screenOff());
    hookAt(5, 22, 15);
    EXPECT_TRUE(screenOff());
    EXPECT_EQ(m().screen_off_by_timer, 1);
    screen(true);
    hookAt(5, 22, 15);
    EXPECT_FALSE(screenOff()) << "fired once only";

    // The next day re-arms every pair.
    hookAt(6, 7, 29);
    hookAt(6, 7, 30);
    EXPECT_FALSE(screenOff());
    EXPECT_EQ(m().screen_off_by_timer, 0);
    hookAt(6, 22, 15);
    EXPECT_TRUE(screenOff());
}

TEST_F(OnOffTest, RecordIsLoadedAtStartAndCountIsCappedAtFour)
{
    storeTimes(6, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x10, 0x11, 0x12,
                   0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x20});
    EXPECT_EQ(m().onoff_count, 4);
    EXPECT_EQ(m().off_minute[3], 16);

    fpga_manage::destroyInstance();
    fpga_manage::pInstance()->softinit();
    EXPECT_EQ(m().onoff_count, 0);
    m().record_onoff_time(2);
    EXPECT_EQ(m().onoff_count, 4);
    EXPECT_EQ(m().on_hour[2], 9);
    EXPECT_EQ(m().reg_image(fpga_manage::FPGA_REG_ONOFF), 1);

    // Without a record the pairs held stay.
    flash().preload(kOnOffRecord, Bytes(50, 0xFF));
    m().record_onoff_time(2);
    EXPECT_EQ(m().onoff_count, 4);
}

TEST_F(OnOffTest, EraseRequestStopsTheTimer)
{
    storeTimes(1, {0x08, 0x00, 0x09, 0x00});
    hostCommand(2, 0x55, 42, Bytes{0});
    runHostCommand();
    EXPECT_EQ(m().reg_image(fpga_manage::FPGA_REG_ONOFF), 0);
    EXPECT_EQ(flash().read(kOnOffRecord, 1)[0], 0xFF);
    screen(true);
    hookAt(5, 9, 0);
    EXPECT_FALSE(screenOff());
}

} // namespace
} // namespace kel::test
