#include "ui/shell/kel_keyboard.h"

#include "params/KelRamPara.h"
#include "params/global.h"
#include "ui/shell/PanelFields.h"

#include <cstdio>

namespace {
constexpr int kFirstKey = 65;   // window 0
constexpr int kLastWindowKey = 70;
constexpr int kFirstSourceKey = 71;
constexpr int kLastSourceKey = 76;
constexpr int kFreezeKey = 78;
constexpr int kBlackKey = 80;
constexpr int kLastKey = 80;
// The source keys' order on the keypad, in source_id terms.
constexpr int kSourceOfKey[6] = {0, 1, 4, 5, 2, 3};
} // namespace

void kel_keyboard::update_usb_keyEvent(int key)
{
    std::printf("\n======update_usb_keyEvent===== key = %#x\n", key);
    std::fflush(stdout);
    KelRamPara* ram = KelRamPara::p_kelrampara_config;
    if (!ram || ram->blockU16(PanelFields::kPanelKeyLock) != 0 || key < kFirstKey || key > kLastKey)
        return;
    if (key <= kLastWindowKey) {
        selectWindow(key - kFirstKey);
    } else if (key <= kLastSourceKey) {
        ram->KelSetImageSource(0, kSourceOfKey[key - kFirstSourceKey], g_image_current);
    } else if (key == kFreezeKey) {
        ram->KelSetImageFreeze();
    } else if (key == kBlackKey) {
        ram->KelSetImageBlack();
    }
}

void kel_keyboard::selectWindow(int window)
{
    KelRamPara* ram = KelRamPara::p_kelrampara_config;
    const bool on = (ram->blockU16(RamLayout::imageRecord(window)) & 1) != 0;
    if ((window != 0 && !on) || g_image_current == window)
        return;
    g_image_current = static_cast<uint8_t>(window);
    ram->test_signal(SYNC_PARA);
}
