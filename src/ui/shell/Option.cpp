#include "ui/shell/Option.h"

#include "params/Utils.h"
#include "params/global.h"
#include "ui/shell/GuiThread.h"
#include "ui/shell/L10n.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PagePointers.h"

namespace {
const char* const kTitle[5] = {"设置", "Setting", "Настройки", "Cài đặt", "設置"};

constexpr int kEntries = 8;
constexpr int kNarrow = 55;
constexpr int kIconHeight = 60;

// Icon widths per language where they differ from 55 (0: the default);
// the pictures are drawn at these sizes.
constexpr int kWidths[5][kEntries] = {
    {0, 0, 0, 0, 0, 0, 0, 0},        // Simplified Chinese
    {75, 70, 70, 70, 75, 0, 0, 54},  // English
    {0, 70, 0, 70, 0, 0, 0, 70},     // Russian
    {0, 70, 0, 70, 0, 0, 0, 54},     // Vietnamese
    {0, 0, 0, 0, 0, 0, 0, 0},        // Traditional Chinese
};
} // namespace

Option::Option(QWidget* parent) : MenuPage(PageFocus::Option, "Option", parent)
{
    setTitle(QRect(50, 10, 220, 22), 11, kTitle);
    PageForm::hintPictures(this);
    const QSize size(kNarrow, kIconHeight);
    setEntries({{"output_set", QRect(10, 47, 70, 80), PageFocus::OutputSet, "output_set", size, nullptr, {}},
                {"input_cut", QRect(87, 47, 70, 80), PageFocus::InputCut, "input_cut", size, nullptr, {}},
                {"image_layout", QRect(163, 47, 70, 80), PageFocus::ImageLayout, "image_layout", size, nullptr, {}},
                {"link_set", QRect(240, 47, 70, 80), PageFocus::LinkOption, "link_set", size, nullptr, {}},
                {"image_quality", QRect(10, 137, 70, 80), PageFocus::ImageQuality, "image_quality", size, nullptr,
                 {}},
                {"test_chart", QRect(87, 137, 70, 80), PageFocus::test_chart, "test_chart", size, nullptr, {}},
                {"smart_mapping", QRect(163, 137, 70, 80), PageFocus::SmartMapping, "smart_mapping", size, nullptr,
                 {}},
                {"AdvanceButton", QRect(240, 137, 70, 80), PageFocus::AdvancedOption, "AdvanceButton", size,
                 nullptr, {}}},
               settingsEntryStyles());
    setEntryPointSize(12);
}

Option::~Option()
{
    clearInstancePointer();
}

void Option::clearInstancePointer()
{
    if (g_option == this)
        g_option = nullptr;
}

QString Option::iconPath(int index) const
{
    // English names its advanced-menu picture apart.
    if (index == kEntries - 1 && L10n::language() == L10n::English)
        return L10n::plainIcon("en_advance_option");
    return MenuPage::iconPath(index);
}

QSize Option::iconSize(int index) const
{
    const int width = index >= 0 && index < kEntries ? kWidths[L10n::language()][index] : 0;
    return QSize(width ? width : kNarrow, kIconHeight);
}

void Option::slot_Button_back_clicked()
{
    if (!GuiThread::isGuiThread()) {
        GuiThread::run([]() {
            if (g_page_focus == PageFocus::Option && g_option)
                g_option->slot_Button_back_clicked();
        });
        return;
    }
    onBack();
}

QImage Option::converToGrayscale(const QImage& image) { return image.convertToFormat(QImage::Format_Grayscale8); }

int Option::get_file_list_usbpath()
{
    QStringList files;
    Utils::get_file_list_smartpath(files, QStringLiteral("/mnt/usb1/"), QStringLiteral("qjfile"));
    return files.size();
}
