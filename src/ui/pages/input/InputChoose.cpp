#include "ui/pages/input/InputChoose.h"

#include "inputs/sourceinfo.h"
#include "params/CropTable.h"
#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "params/SyncReason.h"
#include "params/global.h"
#include "ui/pages/input/PagedIndex.h"
#include "ui/pages/input/SourceTabs.h"
#include "ui/shell/CropNames.h"
#include "ui/shell/L10n.h"
#include "ui/shell/TextFit.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/TIP.h"
#include "ui/shell/WindowSource.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <cstring>

namespace {
const char* const kTitle[5] = {"信源切换", "Source switch", "Переключение источника", "Chuyển đổi nguồn", "信源切換"};
const char* const kCropButton[5] = {"输入截取", "Input intercept", "Источник", "Chặn nguồn vào", "輸入截取"};
const char* const kEdidButton[5] = {"设置EDID", "EDID Settings", "Настройка EDID", "Cài đặt EDID", "設置EDID"};
const char* const kNoSignal[5] = {"无信号", "No signal", "Нет сигнала", "Không có tín hiệu", "無信號"};
const char* const kInUse[5] = {"使用中\xC2\xAD", "Using", "Использовать", "sử dụng", "使用中\xC2\xAD"};

const char* const kImageFocus0 = "border:2px solid rgb(255,171,84);";
const char* const kImageFocus12 = "border:2px solid rgb(71, 119, 255);";
const char* const kImageFocusHidden = "border:0px solid rgb(255,171,84);";
const char* const kButtonNormal = "color:rgb(255, 255, 255);border:1px solid rgb(255, 255, 255);";
const char* const kButtonFocused = "color:rgb(255, 255, 255);border:1px solid rgb(255,171,84);";
const char* const kTabBlue = "border:1px solid;border-left-color:rgb(71, 119, 255);border-right-color:rgb(71, 119, "
                             "255);border-top-color:rgb(71, 119, 255);";
const char* const kTabOrange = "border:1px solid;border-left-color:rgb(255,171,84);border-right-color:rgb(255,171,84);"
                               "border-top-color:rgb(255,171,84);";
const char* const kGridBlue = "#frame{border:1px solid rgb(71, 119, 255);}";
const char* const kGridOrange = "#frame{border:1px solid rgb(255,171,84);}";
const char* const kEntryInUse = "#source_frame{border:1px solid #00D65B;border-radius:5px;}";
const char* const kEntryRest = "#source_frame{border:1px solid #CCCCCC;border-radius:5px;}";
const char* const kEntryFocus = "#source_frame{border:1px solid #FFAB54;border-radius:5px;}";
const char* const kCropNameStyle = "font: 7px;background: transparent";
const char* const kBadge = "background-color: #00D65B;color: rgb(255, 255, 255);font: 7px;border-radius:5px;";
const char* const kEntryText = "color: rgb(255, 255, 255)";
const char* const kBoxColours[6] = {"#867AE9", "#005A8D", "#39A9CB", "#EBA83A", "#FF96AD", "#D5E5FF"};
const int kPixmapX[6] = {7, 60, 113, 165, 219, 272};
// A window box's name label: an input's name beside the state icon, a
// crop's two lines under the window number, whose ink ends at row 22 of
// the box (the label is see-through where it overlaps it, and its last
// line's underscore ends a row above the box's edge).
const QRect kInputNameRect(0, 1, 30, 12);
const QRect kCropNameRect(0, 22, 45, 17);
// The grid navigation counts at most this many entries.
constexpr int kMaxEntries = 100;

QRect focusRect(int position)
{
    return QRect(7 + 50 * position, 0, 51, 46);
}

QLabel* scaledPicture(QWidget* parent, const QRect& r, const QString& path)
{
    QLabel* l = PageForm::picture(parent, r, path);
    l->setScaledContents(true);
    return l;
}
} // namespace

InputChoose::InputChoose(QWidget* parent) : QDialog(parent), PageBase(this, PageFocus::InputChoose, "InputChoose")
{
    buildForm();
    menulist_init();
    KelRamPara::p_kelrampara_config->KelCropSourceInit();
    crop_source_num_update();
    initMenu();
    image_select();
    language_changed();
}

InputChoose::~InputChoose()
{
    clearInstancePointer();
}

void InputChoose::clearInstancePointer()
{
    if (g_inputchoose == this)
        g_inputchoose = nullptr;
}

const uint8_t* InputChoose::block() const
{
    return KelRamPara::p_kelrampara_config->RamBlock;
}

bool InputChoose::imageEnabled(int image) const
{
    // This page lists a window when the low byte of its on word is 1.
    return block()[RamLayout::imageRecord(image) + RamLayout::kImgEnable] == 1;
}

void InputChoose::buildForm()
{
    PageForm::setupPage(this, "InputChoose");
    setStyleSheet(QStringLiteral("background-color: rgb(16,16, 28);"));
    PageForm::setPointSize(this, 12);
    auto* line = new QFrame(this);
    line->setObjectName(QStringLiteral("line"));
    line->setGeometry(0, 90, 320, 1);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setStyleSheet(QStringLiteral("background-color: rgb(133, 129, 153);"));
    label_title = PageForm::title(this, QRect(10, 10, 300, 22), 0);
    frame1 = new QFrame(this);
    frame1->setObjectName(QStringLiteral("frame1"));
    frame1->setFrameShape(QFrame::StyledPanel);
    frame1->setGeometry(1, 96, 51, 32);
    tabs_ = std::make_unique<SourceTabs>(
        this, [](int n) { return n == 0 ? QRect(2, 96, 51, 14) : QRect(55 + 53 * (n - 1), 96, 51, 14); },
        [](int n) { return QRect(kPixmapX[n], 111, 40, 12); }, QStringLiteral("background-color: rgb(16, 16, 28);"),
        7);
    frame1->lower();
    QFont buttonFont = font();
    buttonFont.setPointSize(8);
    button_inputcut = PageForm::button(this, "button_inputcut", QRect(53, 206, 99, 24), kButtonNormal);
    button_EDID = PageForm::button(this, "button_EDID", QRect(163, 206, 99, 24), kButtonNormal);
    button_inputcut->setFont(buttonFont);
    button_EDID->setFont(buttonFont);
}

void InputChoose::menulist_init()
{
    ui_seltype = Images;
    current_page = 0;
    used_source = 0;
    const int current = g_image_current;
    image_index = current < RamLayout::kWindows && imageEnabled(current) ? static_cast<uint8_t>(current) : 0;
    ui_select = 0;
    for (int i = 1; i < image_index; ++i)
        ui_select += imageEnabled(i) ? 1 : 0;
    if (image_index > 0)
        ++ui_select; // image 0 is always listed
    saved_position = ui_select;
}

void InputChoose::initMenu()
{
    delete imageRow_;
    std::fill(std::begin(imageNames_), std::end(imageNames_), nullptr);
    image_count = 0;
    imageRow_ = new QFrame(this);
    imageRow_->setObjectName(QStringLiteral("image_row"));
    imageRow_->setGeometry(0, 42, 320, 47);
    imageFocus_ = new QFrame(imageRow_);
    imageFocus_->setObjectName(QStringLiteral("image_focus"));
    imageFocus_->setStyleSheet(QString::fromLatin1(kImageFocus0));
    for (int i = 0; i < RamLayout::kWindows; ++i) {
        if (i != 0 && !imageEnabled(i))
            continue;
        const int p = image_count++;
        image_order[p] = static_cast<uint8_t>(i);
        const QByteArray boxName = QStringLiteral("image_box%1").arg(i + 1).toLatin1();
        QLabel* box = PageForm::label(imageRow_, boxName.constData(), QRect(10 + 50 * p, 3, 45, 40),
                                      QStringLiteral("background-color: %1;font: 9px").arg(kBoxColours[i]));
        box->setAlignment(Qt::AlignCenter);
        box->setText(QString::asprintf("%d", i + 1));
        const QByteArray nameName = QStringLiteral("image_name%1").arg(i + 1).toLatin1();
        imageNames_[i] = PageForm::label(box, nameName.constData(), kInputNameRect, QString(), 0, 9);
        TextCreate(i);
        scaledPicture(box, QRect(33, 1, 7, 7), QStringLiteral(":/png/state_on.png"));
        if (i == image_index)
            imageFocus_->setGeometry(focusRect(p));
    }
    imageFocus_->lower(); // its border shows around the box it frames
    imageRow_->show();
}

void InputChoose::TextCreate(int image)
{
    if (image < 0 || image >= RamLayout::kWindows || !imageNames_[image])
        return;
    const WindowSource ws = WindowSource::of(block(), image);
    const QString text = sourceinfo::get_source_name_by_sourceid(static_cast<uint8_t>(ws.source));
    QLabel* name = imageNames_[image];
    if (!(ws.crop && ws.cropValid)) {
        name->setStyleSheet(QString());
        name->setGeometry(kInputNameRect);
        name->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        name->setText(text);
        return;
    }
    // A crop's whole name ("HDMI1_Crop40", about 52 px at the smallest
    // legible size) is wider than the 45-pixel box: it takes two lines at
    // that size under the window number, so two crops of two inputs read
    // apart.
    name->setStyleSheet(QString::fromLatin1(kCropNameStyle));
    name->setGeometry(kCropNameRect);
    name->setAlignment(Qt::AlignCenter);
    name->setText(CropNames::boxLines(text, ws.cropNumber));
}

void InputChoose::imagemenu()
{
    if (!imageRow_)
        return;
    if (ui_seltype == Images && ui_select < kButtonInputCut) {
        image_index = image_order[ui_select];
        saved_position = ui_select;
        button_inputcut->setStyleSheet(kButtonNormal);
        button_EDID->setStyleSheet(kButtonNormal);
        imageFocus_->setStyleSheet(QString::fromLatin1(kImageFocus0));
        imageFocus_->setGeometry(focusRect(ui_select));
        if (image_index != g_image_current) {
            g_image_current = image_index;
            KelRamPara::p_kelrampara_config->test_signal(SYNC_PARA);
        }
    } else if (ui_seltype == Images) {
        imageFocus_->setStyleSheet(QString::fromLatin1(kImageFocusHidden));
        button_inputcut->setStyleSheet(ui_select == kButtonInputCut ? kButtonFocused : kButtonNormal);
        button_EDID->setStyleSheet(ui_select == kButtonEdid ? kButtonFocused : kButtonNormal);
    } else if (ui_seltype == Tabs) {
        imageFocus_->setStyleSheet(QString::fromLatin1(kImageFocus12));
        imageFocus_->setGeometry(focusRect(ui_select));
    }
}

void InputChoose::readImage()
{
    const WindowSource ws = WindowSource::of(block(), image_index);
    used_source = static_cast<uint8_t>(ws.source);
    used_crop = ws.crop ? 1 : 0;
    used_crop_row = ws.crop ? static_cast<uint8_t>(ws.row) : 0;
}

void InputChoose::image_select()
{
    current_page = 0;
    if (ui_seltype == Images) {
        readImage();
        source_listseq = sourceinfo::get_listseq_by_source_id(used_source);
        source_name = sourceinfo::get_source_name_by_sourceid(used_source);
    } else if (ui_seltype == Tabs) {
        source_listseq = ui_select;
    }
    on_Button_source_clicked();
}

void InputChoose::on_Button_source_clicked()
{
    initSource();
    frame1->setGeometry(1 + 53 * source_listseq, 95, 53, 33);
    frame1->setStyleSheet(QString::fromLatin1(ui_seltype == Tabs ? kTabOrange : kTabBlue));
}

int InputChoose::source_current_check()
{
    const int entries = SourceTabs::entryCount(*KelRamPara::p_kelrampara_config, source_number);
    max_page = static_cast<uint8_t>(PagedIndex(entries, kPerPage).lastPage());
    return entries;
}

int InputChoose::entryInUse() const
{
    if (source_number != used_source)
        return -1;
    if (!used_crop)
        return 0;
    // The crop the window's own row names, by its crop number.
    if (used_crop_row >= RamLayout::kCropRows)
        return -1;
    const uint16_t sel = RamLayout::u16(block(), RamLayout::cropRow(used_crop_row));
    if (!(sel & RamLayout::kRowInUse) || (sel & 0xFF) != source_number)
        return -1;
    CropTable table(KelRamPara::p_kelrampara_config->RamBlock, g_cut_source_state);
    const int rank = table.rankOf(source_number, ((sel >> 8) & 0x7F) + 1);
    return rank > 0 ? rank : -1;
}

void InputChoose::initSource()
{
    if (ui_seltype == Images) {
        readImage();
        source_number = used_source;
    } else {
        source_number = sourceinfo::get_source_id_by_listseq(source_listseq);
    }
    source_name = sourceinfo::get_source_name_by_sourceid(source_number);
    const int entries = source_current_check();
    const int inUse = entryInUse();

    delete grid_;
    grid_ = new QFrame(this);
    grid_->setObjectName(QStringLiteral("frame"));
    grid_->setGeometry(1, 127, 318, 70);
    grid_->setStyleSheet(QString::fromLatin1(ui_seltype == Tabs ? kGridOrange : kGridBlue));
    grid_->lower();
    KelRamPara* ram = KelRamPara::p_kelrampara_config;
    const int shown = std::min(kPerPage, entries - kPerPage * current_page);
    for (int j = 0; j < shown; ++j) {
        const int k = kPerPage * current_page + j;
        auto* entry = new QFrame(grid_);
        entry->setObjectName(QStringLiteral("source_frame"));
        entry->setGeometry(14 + 95 * j, 10, 92, 50);
        const bool used = k == inUse;
        scaledPicture(entry, QRect(3, 5, 7, 7), used ? QStringLiteral(":/png/state_on.png")
                                                     : QStringLiteral(":/png/state_off.png"));
        scaledPicture(entry, QRect(12, 5, 25, 8), sourceinfo::icon_path(source_number));
        QLabel* name = PageForm::label(entry, "entry_name", QRect(3, 15, 80, 12), kEntryText, 0, 10);
        QLabel* size = PageForm::label(entry, "entry_size", QRect(3, 30, 88, 12), kEntryText, 0, 10);
        if (k == 0) {
            TextFit::setText(name, source_name);
            const bool known = source_number < RamLayout::kSources;
            const size_t at = RamLayout::srcVideoInfo(known ? source_number : 0);
            const int16_t w = static_cast<int16_t>(RamLayout::u16(block(), at));
            const int16_t h = static_cast<int16_t>(RamLayout::u16(block(), at + 2));
            const int16_t r = static_cast<int16_t>(RamLayout::u16(block(), at + 4));
            TextFit::setText(size, known && w && h && r ? QString::asprintf("%dx%d@%dHz", w, h, r) : L10n::pick(kNoSignal));
        } else {
            CROP_PARA crop{};
            int row = CropTable::kNotFound;
            ram->KelGetCropPara(source_number, k, &crop, &row);
            TextFit::setText(name, CropNames::entryName(name->fontMetrics(), name->width(), row, source_name,
                                                        ((crop.selector >> 8) & 0x7F) + 1));
            TextFit::setText(size, QString::asprintf("%dx%d", crop.width, crop.height));
        }
        const bool focused = ui_seltype == Grid && j == ui_select;
        entry->setStyleSheet(QString::fromLatin1(focused ? kEntryFocus : used ? kEntryInUse : kEntryRest));
        if (used) {
            QLabel* badge = PageForm::label(entry, "label_using", QRect(60, 0, 30, 12), kBadge);
            badge->setAlignment(Qt::AlignCenter);
            TextFit::setElided(badge, L10n::pick(kInUse)); // its style fixes 7 px
        }
    }
    grid_->show();
}

void InputChoose::crop_source_num_update()
{
    KelRamPara* ram = KelRamPara::p_kelrampara_config;
    int counts[SourceTabs::kCount];
    for (int s = 0; s < SourceTabs::kCount; ++s) {
        counts[s] = SourceTabs::entryCount(*ram, s);
        entry_count[s] = static_cast<uint8_t>(counts[s]);
    }
    tabs_->showCounts(counts);
    tabs_->showOnline(block());
}

void InputChoose::para_source_index_init()
{
    current_page = 0;
    ui_select = source_listseq;
}

void InputChoose::para_uiselect_init()
{
    source_number = sourceinfo::get_source_id_by_listseq(source_listseq);
    const int inUse = entryInUse();
    ui_select = inUse > 0 && inUse < kPerPage ? static_cast<uint8_t>(inUse) : 0;
}

void InputChoose::kel_source_button_clicked()
{
    const int k = ui_select + kPerPage * current_page;
    KelRamPara* ram = KelRamPara::p_kelrampara_config;
    if (k == 0) {
        used_crop = 0;
        used_crop_row = 0;
    } else {
        int row = CropTable::kNotFound;
        ram->KelGetCropPara(source_number, k, nullptr, &row);
        if (row == CropTable::kNotFound)
            return; // the entry vanished: nothing to choose
        used_crop = 1;
        used_crop_row = static_cast<uint8_t>(row);
    }
    ram->KelSetImageSource(k, source_number, image_index);
    used_source = source_number;
    initSource();
    if (g_tip)
        g_tip->tip_create(TIP_SAVED); // a nested loop: the change pass may rebuild the page meanwhile
    TextCreate(image_index);
}

void InputChoose::stepImageRow(int delta)
{
    // Positions: the listed images, then button_inputcut (6), button_EDID (7).
    std::vector<uint8_t> order;
    for (uint8_t p = 0; p < image_count; ++p)
        order.push_back(p);
    order.push_back(kButtonInputCut);
    order.push_back(kButtonEdid);
    const auto at = std::find(order.begin(), order.end(), ui_select);
    const int index = at == order.end() ? 0 : static_cast<int>(at - order.begin());
    const int n = static_cast<int>(order.size());
    ui_select = order[(index + delta + n) % n];
}

void InputChoose::step(int delta)
{
    switch (ui_seltype) {
    case Images:
        stepImageRow(delta);
        imagemenu();
        image_select();
        break;
    case Tabs:
        ui_select = static_cast<uint8_t>((ui_select + delta + 6) % 6);
        image_select();
        break;
    case Grid: {
        const PagedIndex grid(std::min(source_current_check(), kMaxEntries), kPerPage);
        const int next = grid.step(grid.indexOf(current_page, ui_select), delta);
        current_page = static_cast<uint8_t>(grid.page(next));
        ui_select = static_cast<uint8_t>(grid.position(next));
        initSource();
        break;
    }
    }
}

void InputChoose::onOk()
{
    switch (ui_seltype) {
    case Images:
        if (ui_select == kButtonInputCut) {
            PageOpener::open(PageFocus::InputCut); // its loop has run: nothing after
        } else if (ui_select == kButtonEdid) {
            PageOpener::open(PageFocus::EDIDset);
        } else {
            ui_seltype = Tabs;
            imagemenu();
            para_source_index_init();
            on_Button_source_clicked();
        }
        break;
    case Tabs:
        ui_seltype = Grid;
        para_uiselect_init();
        on_Button_source_clicked();
        break;
    case Grid: kel_source_button_clicked(); break;
    }
}

void InputChoose::onBack()
{
    switch (ui_seltype) {
    case Images: returnTo(PageOpener::parentOf(pageFocus())); break;
    case Tabs:
        ui_seltype = Images;
        ui_select = std::min<uint8_t>(saved_position, static_cast<uint8_t>(image_count - 1));
        imagemenu();
        image_select();
        break;
    case Grid:
        ui_seltype = Tabs;
        para_source_index_init();
        on_Button_source_clicked();
        break;
    }
}

void InputChoose::language_changed()
{
    label_title->setText(L10n::pick(kTitle));
    button_inputcut->setText(L10n::pick(kCropButton));
    button_EDID->setText(L10n::pick(kEdidButton));
    if (grid_)
        initSource(); // the grid's no-signal and in-use texts
}

void InputChoose::childReturned()
{
    KelRamPara::p_kelrampara_config->KelCropSourceInit();
    crop_source_num_update();
    initSource();
}

void InputChoose::syncUpdate(int reason)
{
    KelRamPara* ram = KelRamPara::p_kelrampara_config;
    const uint8_t* now = ram->RamBlock;
    const uint8_t* before = ram->RamShadow;
    if (ram->KelLanguageChanged())
        language_changed();
    bool listChanged = false;
    for (int i = 0; i < RamLayout::kWindows; ++i) {
        const size_t rec = RamLayout::imageRecord(i);
        if (RamLayout::u16(now, rec) != RamLayout::u16(before, rec))
            listChanged = true;
        if (RamLayout::u16(now, rec + RamLayout::kImgSelector) != RamLayout::u16(before, rec + RamLayout::kImgSelector))
            TextCreate(i);
    }
    const size_t own = RamLayout::imageRecord(image_index) + RamLayout::kImgSelector;
    const bool ownChanged = RamLayout::u16(now, own) != RamLayout::u16(before, own);
    bool timing = false;
    if (!ownChanged && source_number < RamLayout::kSources) {
        const size_t at = RamLayout::srcVideoInfo(source_number);
        timing = std::memcmp(now + at, before + at, RamLayout::kSrcVideoInfoSize) != 0;
    }
    const bool cropsChanged =
        std::memcmp(now + RamLayout::kCropTable, before + RamLayout::kCropTable,
                    RamLayout::kCropRowSize * RamLayout::kCropRows) != 0;

    if (listChanged) {
        image_index = 0;
        saved_position = 0;
        if (ui_seltype == Images)
            ui_select = 0;
        image_select();
        initMenu();
    } else if (ownChanged) {
        // This page's own choice (or another writer's for the same window):
        // re-read the window, keep the level and the window being edited.
        readImage();
        if (ui_seltype == Images)
            image_select();
        else
            initSource();
    } else if (ui_seltype == Images && g_image_current != image_index && g_image_current < RamLayout::kWindows) {
        image_index = g_image_current;
        for (uint8_t p = 0; p < image_count; ++p) {
            if (image_order[p] == image_index)
                ui_select = p;
        }
        saved_position = ui_select;
        imageFocus_->setStyleSheet(QString::fromLatin1(kImageFocus0));
        imageFocus_->setGeometry(focusRect(ui_select));
        image_select();
    } else if (timing) {
        initSource();
    }
    if (reason == SYNC_FILE_END || cropsChanged) {
        ram->KelCropSourceInit();
        initSource();
        crop_source_num_update();
    }
}

QString InputChoose::releaseLine(PanelKey key) const
{
    switch (key) {
    case PanelKey::Left:
    case PanelKey::Right:
        return QString::asprintf("this is %s-code [InputChoose][Release] ui_select=%#x ,ui_seltype=%#x ,current_page=%#x",
                                 key == PanelKey::Left ? "left" : "right", ui_select, ui_seltype, current_page);
    case PanelKey::Ok:
        return QString::asprintf("this is OK button(InputChoose)[Release] ui_select=%#x ,ui_seltype=%#x", ui_select,
                                 ui_seltype);
    default: return PageBase::releaseLine(key);
    }
}
