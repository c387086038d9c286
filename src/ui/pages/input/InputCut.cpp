#include "ui/pages/input/InputCut.h"

#include "inputs/sourceinfo.h"
#include "params/CropTable.h"
#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "params/global.h"
#include "params/SyncReason.h"
#include "ui/pages/input/InputChoose.h"
#include "ui/pages/input/PagedIndex.h"
#include "ui/pages/input/SourceTabs.h"
#include "ui/shell/CropNames.h"
#include "ui/shell/L10n.h"
#include "ui/shell/My_lineEdit.h"
#include "ui/shell/NumberKeyboard.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/TextFit.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <cstring>

namespace {
const char* const kTitle[5] = {"输入截取", "Input intercept", "Источник", "Chặn nguồn vào", "輸入截取"};
const char* const kCrop[5] = {"截取:", "Crop:", "Обрезать:", "Cắt:", "截取:"};
const char* const kW[5] = {"宽", "W", "Ширина", "Rộng", "寬"};
const char* const kH[5] = {"高", "H", "Высота", "Cao", "高"};
const char* const kCancel[5] = {"取消", "Cancle", "Отмена", "Hủy bỏ", "取消"};
const char* const kOk[5] = {"确定", "OK", "OK", "Đồng ý", "確定"};
const char* const kDelete[5] = {"删除", "Delete", "Удалить", "Xoá bỏ", "删除"};
const char* const kNamePrefix[5] = {"名称:", "Name:", "Название:", "Tên:", "名稱:"};
const char* const kNoSignal[5] = {"无信号", "No signal", "Нет сигнала", "Không có tín hiệu", "無信號"};

const char* const kTabBlue = "border:1px solid;background-color: rgb(16,16, 28);border-left-color:rgb(71, 119, 255);"
                             "border-right-color:rgb(71, 119, 255);border-top-color:rgb(71, 119, 255);";
const char* const kTabOrange = "border:1px solid;background-color: rgb(16,16, 28);border-left-color:rgb(255,171,84);"
                               "border-right-color:rgb(255,171,84);border-top-color:rgb(255,171,84);";
const char* const kPanelBlue = "#frame_source{background-color: rgb(16,16, 28);border:1px solid rgb(71, 119, 255);}";
const char* const kPanelOrange = "#frame_source{background-color: rgb(16,16, 28);border:1px solid rgb(255,171,84);}";
const char* const kEditorNormal = "color:rgb(255, 255, 255);background-color: rgb(33, 36, 53);"
                                  "border:1px solid rgb(255, 255, 255);font:10px";
const char* const kEditorFocused = "color:rgb(255, 255, 255);background-color: rgb(33, 36, 53);"
                                   "border:1px solid rgb(255,171,84);font:10px";
const char* const kItemFocused = "background-color: #212435;border:1px solid #FFA854;";
const char* const kItemRest = "background-color: #212435;border:1px solid #CCCCCC;";
const char* const kItemText = "background-color:#212435;color:#FFFFFF";
const char* const kAddFocused = "border:1px solid rgb(255,171,84);";
const char* const kAddRest = "border:0px solid rgb(0,0,0);";
const char* const kWhite = "color: rgb(255, 255, 255);";
const char* const kFieldNames[4] = {"lineEdit_X", "lineEdit_Y", "lineEdit_W", "lineEdit_H"};
const QRect kFieldRects[4] = {{48, 30, 36, 14}, {108, 30, 36, 14}, {186, 30, 40, 14}, {270, 30, 40, 14}};
// The crop list's name line is 172 px wide for an alias.
constexpr int kAliasWidth = 172;
constexpr int kMaxValue = 32767;

FocusRing::Styles editorStyles()
{
    return {QString::fromLatin1(kEditorNormal), QString::fromLatin1(kEditorFocused), QString(), QString(), QString()};
}
} // namespace

InputCut::InputCut(QWidget* parent) : QDialog(parent), PageBase(this, PageFocus::InputCut, "InputCut")
{
    // The crop bitmap may be stale (a table recalled with a user mode).
    KelRamPara::p_kelrampara_config->KelCropSourceInit();
    item_font.setPixelSize(10);
    buildForm();
    crop_source_num_update();
    source_name = QStringLiteral("HDMI1");
    source_tab_frame->lower();
    source_init();
    language_changed();
}

InputCut::~InputCut()
{
    clearInstancePointer();
}

void InputCut::clearInstancePointer()
{
    if (g_inputcut == this)
        g_inputcut = nullptr;
}

const uint8_t* InputCut::block() const
{
    return KelRamPara::p_kelrampara_config->RamBlock;
}

void InputCut::buildForm()
{
    PageForm::setupPage(this, "InputCut");
    setStyleSheet(QStringLiteral("background-color: rgb(16,16, 28);"));
    PageForm::setPointSize(this, 7);
    label_title = PageForm::title(this, QRect(50, 10, 220, 22), 0);
    PageForm::setPointSize(label_title, 11);
    const QString tabStyle = QStringLiteral("color: rgb(255, 255, 255);background-color: rgb(16, 16, 28);");
    tabs_ = std::make_unique<SourceTabs>(
        this, [](int i) { return QRect(2 + 53 * i, 43, 51, 14); }, [](int i) { return QRect(7 + 53 * i, 58, 40, 12); },
        tabStyle, 0);
    tabs_->showNames();
    tabs_->showIcons();
    source_tab_frame = new QFrame(this);
    source_tab_frame->setObjectName(QStringLiteral("source_tab_frame"));
    source_tab_frame->setGeometry(1, 40, 53, 41);
    source_tab_frame->setStyleSheet(QString::fromLatin1(kTabOrange));

    frame_add = new QFrame(this);
    frame_add->setObjectName(QStringLiteral("frame_add"));
    frame_add->setGeometry(6, 145, 310, 45);
    frame_add->setFrameShape(QFrame::StyledPanel);
    frame_add->setFrameShadow(QFrame::Raised);
    label_change_source = PageForm::label(frame_add, "label_change_source", QRect(5, 5, 160, 12), kWhite, 0, 10);
    label_crop = PageForm::label(frame_add, "label_crop", QRect(5, 30, 30, 14), kWhite, 0, 10);
    PageForm::label(frame_add, "label_X", QRect(36, 30, 10, 14), kWhite, 0, 10)->setText(QStringLiteral("X"));
    PageForm::label(frame_add, "label_Y", QRect(94, 30, 10, 14), kWhite, 0, 10)->setText(QStringLiteral("Y"));
    label_W = PageForm::label(frame_add, "label_W", QRect(154, 30, 30, 14), kWhite, 0, 10);
    label_H = PageForm::label(frame_add, "label_H", QRect(228, 30, 40, 14), kWhite, 0, 10);
    for (QLabel* l : frame_add->findChildren<QLabel*>())
        l->setAlignment(Qt::AlignCenter);
    label_change_source->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int i = 0; i < 4; ++i) {
        fields_[i] = PageForm::field(frame_add, kFieldNames[i], kFieldRects[i], QString::fromLatin1(kEditorNormal));
        fields_[i]->setAlignment(Qt::AlignCenter);
        My_lineEdit* field = fields_[i];
        // A pointer press on a field asks for its number as OK does.
        connect(field, &My_lineEdit::send_show, this, [field]() { NumberKeyboard::askFor(field); });
    }
    frame_add->hide();
    button_delete = PageForm::button(this, "button_delete", QRect(50, 210, 60, 18), kEditorNormal);
    button_cancel = PageForm::button(this, "button_cancel", QRect(120, 210, 60, 18), kEditorNormal);
    button_ok = PageForm::button(this, "button_ok", QRect(190, 210, 60, 18), kEditorNormal);
    for (QPushButton* b : {button_delete, button_cancel, button_ok})
        b->hide();
}

void InputCut::crop_source_num_update()
{
    int counts[SourceTabs::kCount];
    for (int s = 0; s < SourceTabs::kCount; ++s) {
        counts[s] = SourceTabs::entryCount(*KelRamPara::p_kelrampara_config, s);
        entry_count[s] = static_cast<uint8_t>(counts[s]); // by source_id, as the tabs read it
    }
    tabs_->showCounts(counts);
}

int InputCut::listCount() const
{
    // The add button, then every entry.
    return 1 + SourceTabs::entryCount(*KelRamPara::p_kelrampara_config, source_number);
}

void InputCut::kel_button_input_clicked()
{
    if (cut_state == Tabs) {
        source_number = sourceinfo::get_source_id_by_listseq(ui_select);
        source_name = sourceinfo::get_source_name_by_listseq(ui_select);
        source_tab_frame->setGeometry(1 + 53 * ui_select, 40, 53, 41);
        source_tab_frame->setStyleSheet(QString::fromLatin1(kTabOrange));
    } else {
        source_tab_frame->setStyleSheet(QString::fromLatin1(kTabBlue));
    }
    source_tab_frame->lower();
    source_init();
}

void InputCut::source_init()
{
    const PagedIndex list(listCount(), kPerPage, kPerPage + 1);
    max_page = static_cast<uint8_t>(list.lastPage());
    delete frame_source;
    frame_source = new QFrame(this);
    frame_source->setObjectName(QStringLiteral("frame_source"));
    frame_source->setGeometry(1, 80, 318, 120);
    frame_source->setStyleSheet(QString::fromLatin1(cut_state == Tabs ? kPanelOrange : kPanelBlue));
    frame_source->lower();
    KelRamPara* ram = KelRamPara::p_kelrampara_config;
    const int entries = listCount() - 1;
    for (int i = 0; i < kPerPage; ++i) {
        const int e = kPerPage * current_page + i;
        if (e >= entries)
            break;
        const int dx = 95 * (i % 3), dy = 55 * (i / 3);
        const int position = current_page == 0 ? i + 1 : i;
        const bool focused = cut_state == List && ui_select == position;
        QLabel* item = PageForm::label(frame_source, "crop_item", QRect(5 + dx, 10 + dy, 92, 45),
                                       QString::fromLatin1(focused ? kItemFocused : kItemRest));
        (void)item;
        QLabel* state = PageForm::picture(frame_source, QRect(10 + dx, 12 + dy, 7, 7), QStringLiteral(":/png/state_on.png"));
        state->setScaledContents(true);
        QLabel* icon = PageForm::picture(frame_source, QRect(20 + dx, 12 + dy, 25, 8),
                                         sourceinfo::icon_path(source_number == 1 ? 1 : 0));
        icon->setStyleSheet(QStringLiteral("background-color: #212435;"));
        icon->setScaledContents(true);
        QLabel* name = PageForm::label(frame_source, "crop_name", QRect(7 + dx, 23 + dy, 80, 12), kItemText);
        QLabel* size = PageForm::label(frame_source, "crop_size", QRect(7 + dx, 38 + dy, 88, 12), kItemText);
        name->setFont(item_font);
        size->setFont(item_font);
        if (e == 0) {
            TextFit::setText(name, source_name);
            const size_t at = RamLayout::srcVideoInfo(source_number);
            const int w = RamLayout::u16(block(), at), h = RamLayout::u16(block(), at + 2);
            const int r = RamLayout::u16(block(), at + 4);
            TextFit::setText(size, w && h && r ? QString::asprintf("%dx%d@%dHz", w, h, r) : L10n::pick(kNoSignal));
        } else {
            CROP_PARA crop{};
            int row = CropTable::kNotFound;
            ram->KelGetCropPara(source_number, e, &crop, &row);
            TextFit::setText(name, CropNames::entryName(QFontMetrics(item_font), kAliasWidth, row, source_name,
                                                        ((crop.selector >> 8) & 0x7F) + 1));
            TextFit::setText(size, QString::asprintf("%dx%d", crop.width, crop.height));
        }
    }
    button_add = PageForm::button(frame_source, "button_add", QRect(292, 10, 20, 20),
                                  QString::fromLatin1(cut_state == List && current_page == 0 && ui_select == 0
                                                          ? kAddFocused
                                                          : kAddRest));
    PageForm::setIcon(button_add, QStringLiteral(":/png/add.png"), 20, 20);
    button_add->setVisible(cut_state < Adding);
    frame_source->show();
}

int InputCut::entryAt(int index) const
{
    return index - 1; // index 0 is the add button
}

void InputCut::step(int delta)
{
    switch (cut_state) {
    case Tabs:
        current_page = 0;
        ui_select = static_cast<uint8_t>((ui_select + delta + 6) % 6);
        kel_button_input_clicked();
        break;
    case List: {
        const PagedIndex list(listCount(), kPerPage, kPerPage + 1);
        const int next = list.step(std::min(list.indexOf(current_page, ui_select), list.count() - 1), delta);
        current_page = static_cast<uint8_t>(list.page(next));
        ui_select = static_cast<uint8_t>(list.position(next));
        kel_button_input_clicked();
        break;
    }
    default: ring_.step(delta); break;
    }
}

void InputCut::openEditor(bool adding)
{
    KelRamPara* ram = KelRamPara::p_kelrampara_config;
    int values[4] = {0, 0, 1920, 1080};
    int number = 0;
    if (adding) {
        // The crop will get the lowest free number, which the name shows.
        number = ram->KelAddCropID(source_number);
    } else {
        CROP_PARA crop{};
        int row = CropTable::kNotFound;
        ram->KelGetCropPara(source_number, crop_number, &crop, &row);
        number = ((crop.selector >> 8) & 0x7F) + 1;
        values[0] = crop.x;
        values[1] = crop.y;
        values[2] = crop.width;
        values[3] = crop.height;
    }
    crop_name = CropNames::editorName(source_name, number);
    TextFit::setText(label_change_source, L10n::pick(kNamePrefix) + crop_name);
    for (int i = 0; i < 4; ++i)
        fields_[i]->setText(QString::number(values[i]));
    ring_.clear();
    for (My_lineEdit* f : fields_)
        ring_.add(f, editorStyles());
    if (adding) {
        button_cancel->move(80, 210);
        button_ok->move(150, 210);
        button_delete->hide();
    } else {
        button_delete->move(50, 210);
        button_cancel->move(120, 210);
        button_ok->move(190, 210);
        ring_.add(button_delete, editorStyles());
        button_delete->show();
    }
    ring_.add(button_cancel, editorStyles());
    ring_.add(button_ok, editorStyles());
    button_cancel->show();
    button_ok->show();
    button_add->hide();
    frame_add->show();
    ring_.setCurrent(0);
}

void InputCut::leaveEditor()
{
    ring_.setCurrent(0, false);
    frame_add->hide();
    for (QPushButton* b : {button_delete, button_cancel, button_ok}) {
        b->hide();
        b->setStyleSheet(QString::fromLatin1(kEditorNormal));
    }
    for (My_lineEdit* f : fields_)
        f->setStyleSheet(QString::fromLatin1(kEditorNormal));
    cut_state = List;
    ui_select = saved_crop_select;
    source_init();
}

int InputCut::parseValue(const QString& text, bool size)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok || value < (size ? 1 : 0) || value > kMaxValue)
        return -1;
    return value;
}

bool InputCut::storeCrop()
{
    int values[4];
    for (int i = 0; i < 4; ++i) {
        values[i] = parseValue(fields_[i]->text(), i >= 2);
        if (values[i] < 0) {
            ring_.setCurrent(i); // refused: the editor stays on the value to correct
            return false;
        }
    }
    const CROP_PARA crop{source_number, values[0], values[1], values[2], values[3]};
    KelRamPara* ram = KelRamPara::p_kelrampara_config;
    if (cut_state == Adding)
        ram->KelAddNewCrop(source_number, &crop); // a full table stores nothing
    else
        ram->KelSetCropPara(source_number, crop_number, &crop);
    afterChange();
    return true;
}

void InputCut::deleteCrop()
{
    KelRamPara::p_kelrampara_config->KelDeleteCrop(source_number, crop_number);
    afterChange();
    // The focus stays on the place the editor was opened from, or on the
    // last item when that place is gone.
    const PagedIndex list(listCount(), kPerPage, kPerPage + 1);
    const int index = std::min(list.indexOf(current_page, ui_select), list.count() - 1);
    current_page = static_cast<uint8_t>(list.page(index));
    ui_select = static_cast<uint8_t>(list.position(index));
    source_init();
}

void InputCut::afterChange()
{
    KelRamPara::p_kelrampara_config->KelCropSourceInit();
    crop_source_num_update();
    leaveEditor();
}

void InputCut::onOk()
{
    switch (cut_state) {
    case Tabs:
        saved_source_select = ui_select;
        ui_select = 0;
        current_page = 0;
        cut_state = List;
        kel_button_input_clicked();
        break;
    case List: {
        const PagedIndex list(listCount(), kPerPage, kPerPage + 1);
        const int index = list.indexOf(current_page, ui_select);
        if (index >= list.count() || index == 1)
            break; // the input itself is not edited
        saved_crop_select = ui_select;
        cut_state = index == 0 ? Adding : Editing;
        crop_number = static_cast<uint8_t>(entryAt(index));
        source_init();
        openEditor(index == 0);
        break;
    }
    default: {
        QWidget* focused = ring_.widget(ring_.current());
        if (focused == button_ok)
            storeCrop();
        else if (focused == button_cancel)
            leaveEditor();
        else if (focused == button_delete)
            deleteCrop();
        else
            NumberKeyboard::askFor(static_cast<My_lineEdit*>(focused)); // its loop has run: nothing after
        break;
    }
    }
}

void InputCut::onBack()
{
    switch (cut_state) {
    case Tabs:
        returnTo(PageOpener::parentOf(pageFocus()));
        if (g_page_focus == PageFocus::InputChoose && g_inputchoose)
            g_inputchoose->childReturned();
        break;
    case List:
        cut_state = Tabs;
        ui_select = saved_source_select;
        kel_button_input_clicked();
        break;
    default: leaveEditor(); break;
    }
}

void InputCut::language_changed()
{
    TextFit::setText(label_title, L10n::pick(kTitle));
    TextFit::setText(label_crop, L10n::pick(kCrop));
    TextFit::setText(label_W, L10n::pick(kW));
    TextFit::setText(label_H, L10n::pick(kH));
    TextFit::setText(button_cancel, L10n::pick(kCancel));
    TextFit::setText(button_ok, L10n::pick(kOk));
    TextFit::setText(button_delete, L10n::pick(kDelete));
    if (!frame_add->isHidden())
        TextFit::setText(label_change_source, L10n::pick(kNamePrefix) + crop_name);
}

void InputCut::syncUpdate(int reason)
{
    KelRamPara* ram = KelRamPara::p_kelrampara_config;
    if (ram->KelLanguageChanged())
        language_changed();
    const bool cropsChanged =
        std::memcmp(ram->RamBlock + RamLayout::kCropTable, ram->RamShadow + RamLayout::kCropTable,
                    RamLayout::kCropRowSize * RamLayout::kCropRows) != 0;
    if (cropsChanged || reason == SYNC_FILE_END) {
        ram->KelCropSourceInit();
        crop_source_num_update();
        source_init();
    }
}
