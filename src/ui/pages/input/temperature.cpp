#include "ui/pages/input/temperature.h"

#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "ui/shell/ChoiceRow.h"
#include "ui/shell/L10n.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/ValueStepper.h"
#include "ui/shell/TextFit.h"

#include <QComboBox>
#include <QLabel>

namespace {
struct ValueRow {
    const char* label;
    const char* field;
    size_t offset;
};
constexpr ValueRow kRows[3] = {
    {"label_name_red", "lineEdit_name_red", RamLayout::kColortempRed},
    {"label_name_green", "lineEdit_name_green", RamLayout::kColortempGreen},
    {"label_name_blue", "lineEdit_name_blue", RamLayout::kColortempBlue},
};

const char* const kTitle[5] = {"色温", "Temperature", "Температура Оттенок", "Độ màu", "色溫"};
const char* const kLabels[4][5] = {
    {"色温类型", "temperature type", "Выбор цвета", "Lựa chọn độ màu", "色溫類型"},
    {"红色", "Red", "Красный", "Màu đỏ", "紅色"},
    {"绿色", "Green", "Зеленый", "Màu xanh lá cây", "綠色"},
    {"蓝色", "Blue", "Синий", "Màu xanh da trời", "藍色"},
};
const char* const kTypes[4][5] = {
    {"自定义", "custom", "Свой", "Tùy chỉnh", "自定義"},
    {"偏暖", "warm", "Теплый", "Màu ấm", "偏暖"},
    {"自然", "nature", "Природный", "Tự nhiên", "自然"},
    {"偏冷", "cool", "Холодный", "Lạnh hơn", "偏冷"},
};
} // namespace

temperature::temperature(QWidget* parent) : ValuePage(PageFocus::temperature, "temperature", parent)
{
    label_temperature = buildTitle();
    label_temperature->setObjectName(QStringLiteral("label_temperature"));
    buildFrame(150);
    labels_[0] = rowLabel("label_type", 14, 120);
    comboBox_type = new QComboBox(frame_);
    comboBox_type->setFont(PageForm::pointFont(9));
    comboBox_type->setObjectName(QStringLiteral("comboBox_type"));
    comboBox_type->setGeometry(190, 14, 100, 24);
    comboBox_type->setFocusPolicy(Qt::NoFocus);
    type_ = std::make_unique<ChoiceRow>(comboBox_type, ChoiceRow::lowByteStore(RamLayout::kColortemp));
    addChoiceRow(type_.get(), ChoiceRow::boxStyles());
    for (int r = 0; r < 3; ++r) {
        labels_[r + 1] = rowLabel(kRows[r].label, 48 + 34 * r, 120);
        steppers_[r] = addValueField(kRows[r].field, 48 + 34 * r, kRows[r].offset, Qt::NoFocus);
    }
    para_init();
    focusFirst();
    language_changed();
}

temperature::~temperature() = default;

void temperature::clearInstancePointer()
{
    if (g_temperature == this)
        g_temperature = nullptr;
}

void temperature::para_init()
{
    for (ValueStepper* s : steppers_)
        s->load();
    QStringList names;
    for (const auto& t : kTypes)
        names << L10n::pick(t);
    type_->load(names, KelRamPara::p_kelrampara_config->blockU16(RamLayout::kColortemp));
}

void temperature::language_changed()
{
    label_temperature->setText(L10n::pick(kTitle));
    for (int r = 0; r < 4; ++r)
        TextFit::setText(labels_[r], L10n::pick(kLabels[r]));
}

// A new language reloads the page; a type edit then ends with the stored
// type shown.
void temperature::syncUpdate(int)
{
    if (!KelRamPara::p_kelrampara_config->KelLanguageChanged())
        return;
    language_changed();
    para_init();
    if (focusedRow() == 0 && editing())
        dropEdit();
}
