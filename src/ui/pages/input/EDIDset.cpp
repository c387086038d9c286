#include "ui/pages/input/EDIDset.h"

#include "inputs/sourceinfo.h"
#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "params/global.h"
#include "ui/pages/input/SourceTabs.h"
#include "ui/shell/L10n.h"
#include "ui/shell/My_lineEdit.h"
#include "ui/shell/NumberKeyboard.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/TextFit.h"
#include "ui/pages/input/InputChoose.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include <cstring>

namespace {
const char* const kTitle[5] = {"设置EDID", "EDID Settings", "Настройка EDID", "Cài đặt EDID", "設置EDID"};
const char* const kSourcePrefix[5] = {"EDID信源:", "EDID source:", "Источник EDID:", "Tín hiệu EDID:", "EDID信源:"};
const char* const kW[5] = {"宽", "W", "Ширина", "Rộng", "寬"};
const char* const kH[5] = {"高", "H", "Высота", "Cao", "高"};
const char* const kFreq[5] = {"刷新率", "Refresh rate", "Частота", "Tần số", "刷新率"};
const char* const kCancel[5] = {"取消", "Cancle", "Отмена", "Hủy bỏ", "取消"};
const char* const kSave[5] = {"保存", "SAVE", "Сохранить", "lưu", "保存"};
const char* const kDelete[5] = {"删除", "Delete", "Удалить", "Xoá bỏ", "删除"};

const char* const kCursorOrange = "border:1px solid;border-left-color:rgb(255,171,84);border-right-color:rgb(255,171,84);"
                                  "border-top-color:rgb(255,171,84);border-bottom-color:rgb(16,16,28);";
const char* const kCursorBlue = "border:1px solid;border-left-color:rgb(71, 119, 255);border-right-color:rgb(71, 119, "
                                "255);border-top-color:rgb(71, 119, 255);border-bottom-color:rgb(16,16,28);";
const char* const kPanelOrange = "#frame_source{border:1px solid rgb(255,171,84);}";
const char* const kPanelBlue = "#frame_source{border:1px solid rgb(71, 119, 255);}";
const char* const kEntry = "color: rgb(255, 255, 255);background-color: rgb(33, 36, 53);border:1px solid %1;%2";
const char* const kWhiteBorder = "rgb(255, 255, 255)";
const char* const kOrange = "rgb(255,171,84)";
const char* const kRed = "rgb(255,0,0)";
const char* const kInnerBox = "background-color: #212435;border:1px solid #CCCCCC;";
const char* const kBoxText = "background-color:#212435;color:#FFFFFF";

FocusRing::Styles entryStyles(const char* font)
{
    return {QString::fromLatin1(kEntry).arg(kWhiteBorder, font), QString::fromLatin1(kEntry).arg(kOrange, font),
            QString(), QString(), QString::fromLatin1(kEntry).arg(kRed, font)};
}

QString rateText(uint8_t freqSelect)
{
    return freqSelect ? QStringLiteral("60") : QStringLiteral("30");
}
} // namespace

EDIDset::EDIDset(QWidget* parent) : QDialog(parent), PageBase(this, PageFocus::EDIDset, "EDIDset")
{
    buildForm();
    shown_source_name = QStringLiteral("HDMI1");
    source_init();
    language_changed();
}

EDIDset::~EDIDset()
{
    clearInstancePointer();
}

void EDIDset::clearInstancePointer()
{
    if (g_edidset == this)
        g_edidset = nullptr;
}

const uint8_t* EDIDset::block() const
{
    return KelRamPara::p_kelrampara_config->RamBlock;
}

void EDIDset::buildForm()
{
    PageForm::setupPage(this, "EDIDset");
    const QString white = QString::fromLatin1(PageForm::kWhiteText);
    label_title = PageForm::title(this, QRect(50, 10, 220, 22));
    PageForm::setPointSize(label_title, 11);
    tabs_ = std::make_unique<SourceTabs>(
        this, [](int i) { return QRect(10 + 52 * i, 40, 40, 12); },
        [](int i) { return QRect(10 + 52 * i, 60, 40, 12); }, QStringLiteral("background-color: rgb(16, 16, 28);"), 7);
    tabs_->showNames();
    tabs_->showIcons();
    source_cursor = new QFrame(this);
    source_cursor->setObjectName(QStringLiteral("source_cursor"));
    source_cursor->setGeometry(4, 38, 50, 43);
    source_cursor->lower();

    frame_add = new QFrame(this);
    frame_add->setObjectName(QStringLiteral("frame_add"));
    frame_add->setGeometry(10, 155, 291, 41);
    frame_add->setFrameShape(QFrame::StyledPanel);
    frame_add->setFrameShadow(QFrame::Raised);
    label_edid_source = PageForm::label(frame_add, "label_edid_source", QRect(10, 0, 231, 12), white, 7);
    label_W = PageForm::label(frame_add, "label_W", QRect(10, 22, 28, 12), white, 7);
    label_W->setAlignment(Qt::AlignCenter);
    lineEdit_W = PageForm::field(frame_add, "lineEdit_W", QRect(40, 20, 40, 16), QString());
    label_H = PageForm::label(frame_add, "label_H", QRect(88, 22, 40, 12), white, 7);
    label_H->setAlignment(Qt::AlignCenter);
    lineEdit_H = PageForm::field(frame_add, "lineEdit_H", QRect(130, 20, 40, 16), QString());
    label_freq = PageForm::label(frame_add, "label_freq", QRect(170, 22, 60, 12), white, 7);
    label_freq->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The rate's box starts where the label ends: a right-aligned word
    // keeps the 2-pixel gap the other labels have from their fields.
    label_freq->setIndent(2);
    label_rate = PageForm::label(frame_add, "label_rate", QRect(230, 20, 40, 16), QString(), 7);
    label_rate->setAlignment(Qt::AlignCenter);
    for (My_lineEdit* f : {lineEdit_W, lineEdit_H}) {
        PageForm::setPointSize(f, 7);
        f->setAlignment(Qt::AlignCenter);
        // A pointer press on a field asks for its number as OK does.
        connect(f, &My_lineEdit::send_show, this, [f]() { NumberKeyboard::askFor(f); });
    }
    frame_add->hide();

    // The buttons' 9-pixel font is theirs, not their looks': a long word
    // ("Сохранить") shrinks it.
    const QString buttonStyle = QStringLiteral("color: rgb(255, 255, 255);border:1px solid rgb(255, 255, 255);");
    button_delete = PageForm::button(this, "button_delete", QRect(65, 214, 50, 20), buttonStyle);
    button_cancel = PageForm::button(this, "button_cancel", QRect(135, 214, 50, 20), buttonStyle);
    button_save = PageForm::button(this, "button_save", QRect(205, 214, 50, 20), buttonStyle);
    const FocusRing::Styles fieldStyles = entryStyles("");
    for (QPushButton* b : {button_delete, button_cancel, button_save}) {
        QFont font = b->font();
        font.setPixelSize(9);
        b->setFont(font);
    }
    const FocusRing::Styles buttonStyles = entryStyles("");
    ring_.add(lineEdit_W, fieldStyles);
    ring_.add(lineEdit_H, fieldStyles);
    ring_.add(label_rate, fieldStyles);
    ring_.add(button_delete, buttonStyles);
    ring_.add(button_cancel, buttonStyles);
    ring_.add(button_save, buttonStyles);
    ring_.setCurrent(RowW, false);
    for (QPushButton* b : {button_delete, button_cancel, button_save})
        b->hide();
    setLooks(true);
}

void EDIDset::setLooks(bool listFocused)
{
    source_cursor->setStyleSheet(QString::fromLatin1(listFocused ? kCursorOrange : kCursorBlue));
    if (frame_source)
        frame_source->setStyleSheet(QString::fromLatin1(listFocused ? kPanelOrange : kPanelBlue));
}

void EDIDset::source_init()
{
    delete frame_source;
    frame_source = new QFrame(this);
    frame_source->setObjectName(QStringLiteral("frame_source"));
    frame_source->setGeometry(4, 80, 310, 120);
    frame_source->lower();
    setLooks(ui_seltype == List);
    QLabel* box = PageForm::label(frame_source, "source_box", QRect(10, 10, 120, 50), QString::fromLatin1(kInnerBox));
    (void)box;
    QLabel* state = PageForm::picture(frame_source, QRect(15, 13, 7, 7), QStringLiteral(":/png/state_on.png"));
    state->setScaledContents(true);
    // The DVI picture for DVI, the plain input picture for every other.
    QLabel* icon = PageForm::picture(frame_source, QRect(25, 13, 25, 8), sourceinfo::icon_path(shown_source == 1 ? 1 : 0));
    icon->setStyleSheet(QStringLiteral("background-color: #212435;"));
    icon->setScaledContents(true);
    QLabel* name = PageForm::label(frame_source, "source_name", QRect(15, 24, 60, 12), QString::fromLatin1(kBoxText), 0, 10);
    TextFit::setText(name, shown_source_name);
    summary_ = PageForm::label(frame_source, "source_summary", QRect(15, 39, 88, 12), QString::fromLatin1(kBoxText), 0, 10);
    const size_t at = RamLayout::edidRecord(shown_source);
    TextFit::setText(summary_, QString::asprintf("%dx%d@%dHz", static_cast<int16_t>(RamLayout::u16(block(), at)),
                                        static_cast<int16_t>(RamLayout::u16(block(), at + 2)),
                                        static_cast<int16_t>(RamLayout::u16(block(), at + 4))));
    frame_source->show();
}

void EDIDset::kel_button_input_clicked()
{
    source_cursor->setGeometry(4 + 52 * ui_select, 38, 50, 43);
    shown_source = sourceinfo::get_source_id_by_listseq(ui_select);
    shown_source_name = sourceinfo::get_source_name_by_listseq(ui_select);
    source_init();
}

void EDIDset::kel_button_source_clicked()
{
    setLooks(false);
    label_edid_source->setText(L10n::pick(kSourcePrefix) + shown_source_name);
    const size_t at = RamLayout::edidRecord(shown_source);
    lineEdit_W->setText(QString::number(RamLayout::u16(block(), at)));
    lineEdit_H->setText(QString::number(RamLayout::u16(block(), at + 2)));
    const uint16_t rate = RamLayout::u16(block(), at + 4);
    label_rate->setText(QString::number(rate));
    freq_select = rate == 60 ? 1 : 0;
    frame_add->show();
    for (QPushButton* b : {button_delete, button_cancel, button_save})
        b->show();
}

void EDIDset::on_Button_freq_clicked()
{
    label_rate->setText(rateText(freq_select));
}

int EDIDset::parseSize(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok && value >= 1 && value <= kMaxSize ? value : 0;
}

bool EDIDset::kel_button_ok_clicked()
{
    const int width = parseSize(lineEdit_W->text());
    const int height = parseSize(lineEdit_H->text());
    if (width == 0 || height == 0) {
        // Refused: the form stays open on the first field to correct.
        ring_.setEditing(false);
        ring_.setCurrent(width == 0 ? RowW : RowH);
        return false;
    }
    bool rateOk = false;
    const int rate = label_rate->text().toShort(&rateOk, 10);
    KelRamPara::p_kelrampara_config->KelSetEDIDPara(shown_source, static_cast<uint16_t>(width),
                                                    static_cast<uint16_t>(height),
                                                    static_cast<uint16_t>(rateOk ? rate : 0));
    freq_select = rate == 60 ? 1 : 0;
    closeForm();
    return true;
}

void EDIDset::kel_button_cancel_clicked()
{
    closeForm();
}

void EDIDset::closeForm()
{
    ring_.setEditing(false);
    ring_.setCurrent(RowW, false);
    ui_seltype = List;
    frame_add->hide();
    for (QPushButton* b : {button_delete, button_cancel, button_save})
        b->hide();
    source_init();
}

void EDIDset::step(int delta)
{
    switch (ui_seltype) {
    case List:
        ui_select = static_cast<uint8_t>((ui_select + delta + 6) % 6);
        kel_button_input_clicked();
        break;
    case Rows: ring_.step(delta); break;
    case RefreshChoice:
        freq_select = freq_select ? 0 : 1;
        on_Button_freq_clicked();
        break;
    }
}

void EDIDset::onOk()
{
    switch (ui_seltype) {
    case List:
        kel_button_source_clicked();
        ui_seltype = Rows;
        ring_.setCurrent(RowW);
        break;
    case Rows:
        switch (ring_.current()) {
        case RowW:
        case RowH:
            NumberKeyboard::askFor(ring_.current() == RowW ? lineEdit_W : lineEdit_H);
            break; // the keyboard's loop has run: nothing more here
        case RowRate:
            freq_select_saved = freq_select;
            ui_seltype = RefreshChoice;
            ring_.setEditing(true);
            break;
        case RowDelete:
        case RowCancel: kel_button_cancel_clicked(); break;
        case RowSave: kel_button_ok_clicked(); break;
        }
        break;
    case RefreshChoice:
        on_Button_freq_clicked();
        ring_.setEditing(false);
        ui_seltype = Rows;
        break;
    }
}

void EDIDset::onBack()
{
    switch (ui_seltype) {
    case List:
        returnTo(PageOpener::parentOf(pageFocus()));
        if (g_page_focus == PageFocus::InputChoose && g_inputchoose)
            g_inputchoose->childReturned();
        break;
    case Rows: kel_button_cancel_clicked(); break;
    case RefreshChoice:
        freq_select = freq_select_saved;
        on_Button_freq_clicked();
        ring_.setEditing(false);
        ui_seltype = Rows;
        break;
    }
}

void EDIDset::language_changed()
{
    TextFit::setText(label_title, L10n::pick(kTitle));
    TextFit::setText(label_W, L10n::pick(kW));
    TextFit::setText(label_H, L10n::pick(kH));
    TextFit::setText(label_freq, L10n::pick(kFreq));
    TextFit::setText(button_cancel, L10n::pick(kCancel));
    TextFit::setText(button_save, L10n::pick(kSave));
    TextFit::setText(button_delete, L10n::pick(kDelete));
    if (!frame_add->isHidden())
        TextFit::setText(label_edid_source, L10n::pick(kSourcePrefix) + shown_source_name);
}

void EDIDset::syncUpdate(int reason)
{
    (void)reason;
    KelRamPara* ram = KelRamPara::p_kelrampara_config;
    if (ram->KelLanguageChanged())
        language_changed();
    const size_t at = RamLayout::edidRecord(shown_source);
    // While the form is open it keeps the values being edited.
    if (ui_seltype == List && std::memcmp(ram->RamBlock + at, ram->RamShadow + at, RamLayout::kEdidRecordSize) != 0)
        source_init();
}
