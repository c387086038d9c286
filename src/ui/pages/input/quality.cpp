#include "ui/pages/input/quality.h"

#include "params/ApplyGate.h"
#include "params/DefaultParaTable.h"
#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "ui/shell/L10n.h"
#include "ui/shell/My_lineEdit.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/ValueStepper.h"
#include "ui/shell/TextFit.h"

#include <QLabel>

namespace {
// Rows in page order, which is not the order of the words in the block.
struct ValueRow {
    const char* label;
    const char* field;
    size_t offset;
};
constexpr ValueRow kRows[4] = {
    {"label_bright", "lineEdit_bright", RamLayout::kQualityBright},
    {"label_Sharpness", "lineEdit_Sharpness", RamLayout::kQualitySharpness},
    {"label_Contrast", "lineEdit_Contrast", RamLayout::kQualityContrast},
    {"label_Saturation", "lineEdit_Saturation", RamLayout::kQualitySaturation},
};

const char* const kTitle[5] = {"图像效果", "Image quality", "Изображение", "Chất lượng hình ảnh", "圖像效果"};
const char* const kLabels[5][5] = {
    {"亮度", "Brightness", "Яркость", "Độ cao", "亮度"},
    {"锐度", "Sharpness", "Резкость", "Độ sắc nét", "銳度"},
    {"对比度", "Contrast", "Контраст", "Độ tương phản", "對比度"},
    {"饱和度", "Saturation", "Насыщенность", "Độ bão hòa", "飽和度"},
    {"画质复位", "Reset", "Сбросить", "Đặt lại chất lượng hình ảnh", "畫質複位"},
};
const char* const kPressOk[5] = {"点击OK应用", "Press Ok", "Нажмите ОК", "Đồng ý", "點擊OK應用"};
} // namespace

quality::quality(QWidget* parent) : ValuePage(PageFocus::quality, "quality", parent)
{
    label_quality = buildTitle();
    label_quality->setObjectName(QStringLiteral("label_quality"));
    buildFrame(185);
    const FocusRing::Styles looks = ValueStepper::fieldStyles();
    for (int r = 0; r < 4; ++r) {
        labels_[r] = rowLabel(kRows[r].label, 14 + 34 * r, 140);
        steppers_[r] = addValueField(kRows[r].field, 14 + 34 * r, kRows[r].offset, Qt::ClickFocus);
    }
    labels_[4] = rowLabel("label_reset", 150, 140);
    lineEdit_Reset = PageForm::field(frame_, "lineEdit_Reset", QRect(190, 150, 100, 24), looks.rest);
    lineEdit_Reset->setFont(PageForm::pointFont(9));
    lineEdit_Reset->setFocusPolicy(Qt::NoFocus);
    lineEdit_Reset->setReadOnly(true);
    addActionRow(lineEdit_Reset, [this]() { on_Button_reset_clicked(); });
    para_init();
    focusFirst();
    language_changed();
}

void quality::clearInstancePointer()
{
    if (g_quality == this)
        g_quality = nullptr;
}

void quality::para_init()
{
    for (ValueStepper* s : steppers_)
        s->load();
}

void quality::language_changed()
{
    label_quality->setText(L10n::pick(kTitle));
    for (int r = 0; r < 5; ++r)
        TextFit::setText(labels_[r], L10n::pick(kLabels[r]));
    lineEdit_Reset->setText(L10n::pick(kPressOk));
}

void quality::syncUpdate(int)
{
    if (KelRamPara::p_kelrampara_config->KelLanguageChanged())
        language_changed();
}

// Restores the picture words and the colour temperature that follows them.
void quality::on_Button_reset_clicked()
{
    uint8_t* block = KelRamPara::p_kelrampara_config->RamBlock;
    ApplyGate::instance().apply([block]() {
        DefaultParaTable::copyRangeInto(block, RamLayout::kQualityBright, RamLayout::kPictureWordsSize);
    });
    para_init();
}
