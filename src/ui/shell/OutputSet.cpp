#include "ui/shell/OutputSet.h"

#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "ui/shell/L10n.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PagePointers.h"

#include <QLabel>

namespace {
const char* const kTitle[5] = {"输出设置", "Output Seeting", "Выход", "Thông số đầu ra", "輸出設置"};
const char* const kLedset[5] = {"LED设置", "LED Setting", "Настройки\nLED", "Cài đặt\nLED", "LED設置"};
const char* const kLanset[5] = {"网口输出", "Port output", "Настройка\nLAN", "Cài đặt\ncổng MẠNG", "網口輸出"};
const char* const kHint[5] = {"当前设置LED屏宽高为: %1x%2", "LED Screen can be set:%1x%2",
                              "Текущий размер LED (px): %1x%2",
                              "Gợi ý: Kích thước màn hình LED hiện tại::%1x%2", "當前設置LED屏寬高爲: %1x%2"};
} // namespace

OutputSet::OutputSet(QWidget* parent) : MenuPage(PageFocus::OutputSet, "OutputSet", parent)
{
    setTitle(QRect(50, 10, 220, 22), 11, kTitle);
    PageForm::hintPictures(this);
    info_ = PageForm::label(this, "label_info", QRect(15, 193, 280, 12), QStringLiteral("color:rgb(255,255,255);"),
                            7);
    setEntries({{"Button_ledset", QRect(15, 47, 90, 80), PageFocus::ledset, nullptr, {}, kLedset, {}},
                {"Button_lanset", QRect(115, 47, 90, 80), PageFocus::netset, nullptr, {}, kLanset, {}}},
               textEntryStyles());
    setEntryPointSize(9);
}

OutputSet::~OutputSet()
{
    clearInstancePointer();
}

void OutputSet::clearInstancePointer()
{
    if (g_outputset == this)
        g_outputset = nullptr;
}

void OutputSet::refreshOwn()
{
    KelRamPara* ram = KelRamPara::p_kelrampara_config;
    if (!ram || !info_)
        return;
    info_->setText(L10n::pick(kHint)
                       .arg(ram->blockU16(RamLayout::kLedWidth))
                       .arg(ram->blockU16(RamLayout::kLedHeight)));
}
