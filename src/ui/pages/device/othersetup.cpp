#include "ui/pages/device/othersetup.h"

#include "params/ApplyGate.h"
#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "params/Utils.h"
#include "params/global.h"
#include "protocol/T57_WIFI_CONFIG.h"
#include "ui/shell/L10n.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PanelFields.h"
#include "ui/shell/TextFit.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>

#include <functional>

namespace {
// The commits walk the six window records and the ten slots after them.
constexpr int kSlots = 16;
constexpr uint8_t kFade = 60;
constexpr uint8_t kVolumeOn = 255;
constexpr uint8_t kFadeBit = uint8_t(RamLayout::kFlagFadeSwitch);
constexpr size_t kP2pByte = RamLayout::kImgFlags + 1; // high byte of the flags word

const char* const kWifiKill[2] = {
    "kill -9 `pidof /usr/bin/hostapd /etc/rtl_hostapd_2G.conf`",
    "kill -9 `pidof /usr/sbin/udhcpd  /etc/udhcpd.conf`",
};

QString boxStyle(const char* border)
{
    return QStringLiteral("QComboBox{\ncolor:rgb(255,255,255);\nborder:1px solid %1;\n}\nQComboBox:drop-down{\n"
                          "\twidth:0px;\n}")
        .arg(QString::fromLatin1(border));
}

// Texts in language_id order: zh, en, ru, vn, tw.
const L10n::Texts kLabels[6] = {
    {"其它设置", "Other Settings", "Другие настройки", "Cài đặt khác", "其它設置"},
    {"音量", "Volume", "Звук", "âm thanh", "音量"},
    {"切换特效", "Switch mode", "Эффект", "Hiệu ứng", "切換特效"},
    {"投屏设备", "Projection", "Радиоприбор", "Cài đặt Thiết bị", "投屏設備"},
    {"WIFI状态", "Wifi state", "WiFi статус", "Trạng thái wifi", "WIFI狀態"},
    {"点对点", "DBD", "Пиксель к пикселю", "Điểm tới điểm", "點對點"},
};
const L10n::Texts kWindowFormat = {"画面%1", "image%1", "Канал%1", "Hình ảnh%1", "畫麵%1"};
const L10n::Texts kOff = {"关闭", "OFF", "Откл", "Đóng", "關閉"};
const L10n::Texts kOn = {"开启", "ON", "Вкл", "Mở", "開啟"};
const L10n::Texts kSeamless = {"无缝快切", "Seamless", "Быстро", "Chuyển đổi ngay", "無縫快切"};
const L10n::Texts kFadeText = {"淡入淡出", "Fade", "Плавно", "và ngoài", "淡入淡出"};
const L10n::Texts kClickOk = {"点击切换", "Click OK", "Нажмите ОК", "Đồng ý", "點擊切換"};

const char* const kBoxNames[othersetup::RowCount] = {"ImageVolume", "volume_state", "switch_state",
                                                     "mode_state",  "wifi_state",   "dbd_state"};
const QRect kBoxRects[othersetup::RowCount] = {{80, 10, 100, 24},  {190, 10, 100, 24},  {190, 44, 100, 24},
                                               {190, 78, 100, 25}, {190, 112, 100, 24}, {190, 146, 100, 24}};

// Runs f on the first byte of each of the 16 window slots.
void forEachSlot(uint8_t* block, const std::function<void(uint8_t* slot)>& f)
{
    for (int k = 0; k < kSlots; ++k)
        f(block + RamLayout::imageRecord(k));
}

KelRamPara* store()
{
    return KelRamPara::p_kelrampara_config;
}
} // namespace

othersetup::othersetup(QWidget* parent) : QDialog(parent), PageBase(this, PageFocus::othersetup, "othersetup")
{
    buildForm();
    menulist_init();
    language_changed();
    para_init();
}

othersetup::~othersetup()
{
    clearInstancePointer();
}

void othersetup::clearInstancePointer()
{
    if (g_othersetup == this)
        g_othersetup = nullptr;
}

void othersetup::buildForm()
{
    PageForm::setupPage(this, "othersetup");
    labels_[0] = PageForm::label(this, "label_other", QRect(50, 10, 220, 22), QStringLiteral("color:rgb(255,255,255);"), 10);
    labels_[0]->setAlignment(Qt::AlignCenter);
    QFrame* frame = PageForm::panelFrame(this, QRect(10, 42, 300, 180));
    const QString labelStyle = QStringLiteral("color:rgb(255,255,255);\nbackground-color: rgb(16, 16, 28);");
    const char* const names[5] = {"label_name_volume", "label_name_switch", "label_name_mode", "label_wifi",
                                  "label_name_DBD"};
    const QRect rects[5] = {{10, 14, 50, 17}, {10, 48, 140, 17}, {10, 82, 160, 17}, {10, 116, 80, 17}, {10, 150, 160, 17}};
    for (int i = 0; i < 5; ++i)
        labels_[i + 1] = PageForm::label(frame, names[i], rects[i], labelStyle, 9);
    for (int r = 0; r < RowCount; ++r) {
        boxes_[r] = new QComboBox(frame);
        boxes_[r]->setObjectName(QString::fromLatin1(kBoxNames[r]));
        boxes_[r]->setGeometry(kBoxRects[r]);
        boxes_[r]->setFont(PageForm::pointFont(9));
        boxes_[r]->setFocusPolicy(Qt::NoFocus);
        // The page writes the block itself when a choice is committed.
        rows_.push_back(std::make_unique<ChoiceRow>(boxes_[r], ChoiceRow::Store()));
    }
}

void othersetup::menulist_init()
{
    ring_.clear();
    const FocusRing::Styles styles{boxStyle("rgb(255,255,255)"), boxStyle("rgb(255,171,84)"), QString(), QString(),
                                   boxStyle("rgb(255,0,0)")};
    for (QComboBox* box : boxes_)
        ring_.add(box, styles);
    ring_.setEditing(false);
    ring_.setCurrent(RowWindow);
}

void othersetup::language_changed()
{
    for (int i = 0; i < 6; ++i)
        TextFit::setText(labels_[i], L10n::pick(kLabels[i]));
}

void othersetup::para_init()
{
    KelRamPara* ram = store();
    if (!ram)
        return;
    uint8_t* block = ram->RamBlock;
    const int audio = PanelFields::listedAudioWindow(block);
    ram->setBlockU16(RamLayout::kAudioImageIndex, uint16_t(audio));

    QStringList windows;
    int audioEntry = -1;
    for (int w = 0; w < RamLayout::kWindows; ++w) {
        if (!PanelFields::windowOn(block, w))
            continue;
        if (w == audio)
            audioEntry = windows.size();
        windows << L10n::pick(kWindowFormat).arg(w + 1);
    }
    rows_[RowWindow]->load(windows, audioEntry);
    if (audioEntry < 0)
        boxes_[RowWindow]->setCurrentIndex(-1); // the audio window is not listed: no entry chosen

    const uint8_t* audioRecord = block + RamLayout::imageRecord(audio);
    rows_[RowVolume]->load({L10n::pick(kOff), L10n::pick(kOn)}, (audioRecord[RamLayout::kImgAudio] & RamLayout::kImgAudioOn) ? 1 : 0);
    rows_[RowSwitch]->load({L10n::pick(kSeamless), L10n::pick(kFadeText)},
                           ram->blockU16(RamLayout::kSwitchEffect) != 0 ? 1 : 0);
    rows_[RowMode]->load({L10n::pick(kClickOk)}, 0);
    rows_[RowWifi]->load({L10n::pick(kOn), L10n::pick(kOff)}, ram->blockU16(RamLayout::kWifiEnable) != 0 ? 1 : 0);
    bool p2p = false;
    forEachSlot(block, [&p2p](uint8_t* slot) {
        if (slot[kP2pByte] != 0 && slot[RamLayout::kImgEnable] != 0)
            p2p = true;
    });
    if (!p2p)
        p2p = ram->blockU16(RamLayout::kP2pSwitch) != 0;
    rows_[RowP2p]->load({L10n::pick(kOff), L10n::pick(kOn)}, p2p ? 1 : 0);
}

QString othersetup::releaseLine(PanelKey key) const
{
    if (key == PanelKey::Left || key == PanelKey::Right)
        return PageBase::releaseLine(key) + QString::asprintf(" ui_select=%#x", unsigned(ring_.current()));
    return PageBase::releaseLine(key);
}

void othersetup::move(int direction)
{
    if (ring_.editing())
        rows_[ring_.current()]->step(direction);
    else
        ring_.step(direction);
}

void othersetup::onOk()
{
    const int row = ring_.current();
    if (row == RowMode) {
        on_button_box_clicked();
        return;
    }
    if (!ring_.editing()) {
        rows_[row]->begin();
        ring_.setEditing(true);
        return;
    }
    ring_.setEditing(false);
    rows_[row]->commit();
    on_button_box_clicked();
}

void othersetup::onBack()
{
    if (ring_.editing()) {
        ring_.setEditing(false);
        rows_[ring_.current()]->revert(); // shows the choice from before the edit; writes nothing
        return;
    }
    returnTo(PageFocus::AdvancedOption);
}

void othersetup::on_button_box_clicked()
{
    const int row = ring_.current();
    const int v = rows_[row]->choice();
    switch (row) {
    case RowVolume: commitVolume(v == 1); break;
    case RowSwitch: commitSwitch(v == 1); break;
    case RowWifi: commitWifi(v == 1); break;
    case RowP2p: commitP2p(uint8_t(v)); break;
    default: break; // the window choice only names the volume row's window; projection does nothing
    }
}

void othersetup::commitVolume(bool on)
{
    KelRamPara* ram = store();
    const int p = boxes_[RowWindow]->currentIndex();
    if (!ram || p > 5)
        return;
    ApplyGate::instance().apply([ram, p, on]() {
        // No entry chosen (no window on) names no window: nothing is written.
        int w = -1;
        for (int i = 0, listed = 0; p >= 0 && i < RamLayout::kWindows; ++i) {
            if (PanelFields::windowOn(ram->RamBlock, i) && listed++ == p) {
                w = i;
                break;
            }
        }
        if (w < 0)
            return;
        uint8_t* record = ram->RamBlock + RamLayout::imageRecord(w);
        const bool audioOn = (record[RamLayout::kImgAudio] & RamLayout::kImgAudioOn) != 0;
        if (audioOn == on)
            return;
        ram->setBlockU16(RamLayout::kAudioImageIndex, uint16_t(w));
        record[RamLayout::kImgVolume] = on ? kVolumeOn : 0;
        record[RamLayout::kImgAudio] = on ? RamLayout::kImgAudioOn : 0;
    });
}

void othersetup::commitSwitch(bool fade)
{
    KelRamPara* ram = store();
    if (!ram)
        return;
    ApplyGate::instance().apply([ram, fade]() {
        uint8_t* block = ram->RamBlock;
        block[RamLayout::kSwitchEffect] = fade ? 1 : 0;
        forEachSlot(block, [fade](uint8_t* slot) {
            if (fade)
                slot[RamLayout::kImgFlags] |= kFadeBit;
            else
                slot[RamLayout::kImgFlags] &= uint8_t(~kFadeBit);
        });
        if (fade) {
            for (int k = 0; k < RamLayout::kValuePairCount; ++k) {
                block[RamLayout::kWindowFades + 4 * size_t(k)] = kFade;
                block[RamLayout::kWindowFades + 4 * size_t(k) + 2] = kFade;
            }
        }
    });
    ram->ram_para_save();
}

void othersetup::commitWifi(bool off)
{
    KelRamPara* ram = store();
    if (!ram)
        return;
    ApplyGate::instance().apply([ram, off]() { ram->RamBlock[RamLayout::kWifiEnable] = off ? 1 : 0; });
    if (off) {
        for (const char* command : kWifiKill)
            Utils::system_mutex(QString::fromLatin1(command));
    } else if (kel::protocol::T57_WIFI_CONFIG::p_wifi) {
        kel::protocol::T57_WIFI_CONFIG::p_wifi->set_wifi_reset_flag();
    }
}

void othersetup::commitP2p(uint8_t on)
{
    KelRamPara* ram = store();
    if (!ram)
        return;
    ApplyGate::instance().apply([ram, on]() {
        ram->RamBlock[RamLayout::kP2pSwitch] = on;
        forEachSlot(ram->RamBlock, [on](uint8_t* slot) { slot[kP2pByte] = on; });
    });
    ram->ram_para_save();
}

void othersetup::syncUpdate(int)
{
    KelRamPara* ram = store();
    if (!ram || !ram->KelLanguageChanged())
        return;
    language_changed();
    ring_.setEditing(false);
    para_init();
}
