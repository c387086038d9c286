#include "ui/support/ShellFixture.h"

#include "params/ApplyGate.h"
#include "params/RamLayout.h"
#include "params/global.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimHid.h"
#include "ui/shell/PanelFields.h"
#include "ui/shell/PanelState.h"
#include "ui/shell/kel_keyboard.h"
#include "ui/shell/kel_keys.h"

namespace kel::test {
namespace {

class KeypadTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        QObject::connect(store_.get(), &KelRamPara::sig_update_para, [this](int r) { broadcasts.push_back(r); });
    }
    uint16_t selector(int w) { return u16(RamLayout::imageRecord(w) + 8); }
    uint16_t flags(int w) { return u16(RamLayout::imageRecord(w) + 18); }
    kel_keyboard pad;
    std::vector<int> broadcasts;
};

TEST_F(KeypadTest, SourceKeysFollowTheKeypadOrder)
{
    const int expected[6] = {0, 1, 4, 5, 2, 3};
    for (int k = 71; k <= 76; ++k) {
        pad.update_usb_keyEvent(k);
        EXPECT_EQ(selector(0), expected[k - 71]) << k;
        EXPECT_EQ(ApplyGate::instance().c331_apply_flag.load(), 1);
        ApplyGate::instance().c331_apply_flag = 0;
    }
}

TEST_F(KeypadTest, WindowKeysSelectOnlyWindowsThatAreOn)
{
    pad.update_usb_keyEvent(66); // window 1 off
    EXPECT_EQ(g_image_current, 0);
    EXPECT_TRUE(broadcasts.empty());
    setU16(RamLayout::imageRecord(1), 1);
    pad.update_usb_keyEvent(66);
    EXPECT_EQ(g_image_current, 1);
    EXPECT_EQ(PanelState::json().value("g_image_current").toInt(), 1) << "state.json shows the window picked";
    EXPECT_EQ(broadcasts, std::vector<int>{1});
    pad.update_usb_keyEvent(66); // already current: no broadcast
    EXPECT_EQ(broadcasts.size(), 1u);
    setU16(RamLayout::imageRecord(0), 0);
    pad.update_usb_keyEvent(65); // window 0 always, even while it is off
    EXPECT_EQ(g_image_current, 0);
    EXPECT_EQ(broadcasts, (std::vector<int>{1, 1}));
}

TEST_F(KeypadTest, FreezeAndBlackToggleTheCurrentWindow)
{
    pad.update_usb_keyEvent(78);
    EXPECT_EQ(flags(0) & 2, 2);
    pad.update_usb_keyEvent(80);
    EXPECT_EQ(flags(0) & 1, 1);
    pad.update_usb_keyEvent(80);
    EXPECT_EQ(flags(0) & 1, 0);
}

// Source, freeze and black act on the window the window keys selected.
TEST_F(KeypadTest, KeysActOnTheSelectedWindow)
{
    setU16(RamLayout::imageRecord(2), 1);
    const uint16_t selector0 = selector(0);
    const uint16_t flags0 = flags(0);
    pad.update_usb_keyEvent(67);
    ASSERT_EQ(g_image_current, 2);
    pad.update_usb_keyEvent(74);
    pad.update_usb_keyEvent(78);
    pad.update_usb_keyEvent(80);
    EXPECT_EQ(selector(2), 5);
    EXPECT_EQ(flags(2) & 3, 3);
    EXPECT_EQ(selector(0), selector0);
    EXPECT_EQ(flags(0), flags0);
}

TEST_F(KeypadTest, OtherCodesAndALockedPanelChangeNothing)
{
    std::vector<uint8_t> before(ram().RamBlock, ram().RamBlock + RamLayout::kBlockSize);
    for (int code : {77, 79, 81, 82, 83, 64, 0x01000033, 0x010000B7})
        pad.update_usb_keyEvent(code);
    setU16(PanelFields::kPanelKeyLock, 1);
    before[PanelFields::kPanelKeyLock] = 1;
    for (int code = 65; code <= 80; ++code)
        pad.update_usb_keyEvent(code);
    EXPECT_EQ(std::vector<uint8_t>(ram().RamBlock, ram().RamBlock + RamLayout::kBlockSize), before);
    EXPECT_TRUE(broadcasts.empty());
    EXPECT_EQ(ApplyGate::instance().c331_apply_flag.load(), 0);
}

TEST_F(KeypadTest, ProbeFindsTheKeypadBehindAnotherDevice)
{
    board().hid().setDevices({{0x046D, 0xC31C}, {0x28E9, 0x0380}, {0x1234, 0x5678}});
    testing::internal::CaptureStdout();
    EXPECT_EQ(check_hiddev(), 1u);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("VendorID = 46d , ProductID = c31c"), std::string::npos);
    EXPECT_NE(out.find("VendorID = 28e9 , ProductID = 380"), std::string::npos);
    EXPECT_EQ(out.find("1234"), std::string::npos);
    EXPECT_NE(out.find("check_hiddev over"), std::string::npos);
}

TEST_F(KeypadTest, ProbeWithoutKeypadOrLibrary)
{
    board().hid().setDevices({{0x046D, 0xC31C}});
    EXPECT_EQ(check_hiddev(), 0u);
    board().hid().setInitFails(true);
    testing::internal::CaptureStdout();
    EXPECT_EQ(check_hiddev(), 0u);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("hid init error"), std::string::npos);
}

} // namespace
} // namespace kel::test
