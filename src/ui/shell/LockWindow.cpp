#include "ui/shell/LockWindow.h"

#include "inputs/sourceinfo.h"
#include "params/AliasFile.h"
#include "params/KelRamPara.h"
#include "params/Utils.h"
#include "params/global.h"
#include "ui/shell/CropNames.h"
#include "ui/shell/L10n.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PageTable.h"
#include "ui/shell/PanelFields.h"
#include "ui/shell/TextFit.h"
#include "ui/shell/WindowSource.h"

#include <QDebug>
#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace {
const char* const kLedSizeText[5] = {"LED屏:%d x %d", "LED size:%d x %d", "Размер LED:%d x %d",
                                     "Led:%d x %d", "LED屏:%d x %d"};
const char* const kBlackText[5] = {"黑屏", "Black", "Черный", "Quay lại", "黑屏"};
const char* const kNoSignalText[5] = {"无信号", "No signal", "Нет сигнала", "Không có tín hiệu", "無信號"};
const char* const kOffText[5] = {"未开启", "Close", "Откл", "Đóng", "未開啟"};

const char* const kBoxStyles[6] = {
    "background-color: #867AE9;font: 20px", "background-color: #EBA83A;font: 20px",
    "background-color: #005A8D;font: 20px", "background-color: #FF96AD;font: 20px",
    "background-color: #39A9CB;font: 20px", "background-color: #FC5404;font: 20px",
};

const QString kWhite = QStringLiteral("color: rgb(255, 255, 255);");
constexpr int kAliasWidth = 206;

const uint8_t* block()
{
    return KelRamPara::p_kelrampara_config->RamBlock;
}

uint16_t rb(size_t off)
{
    return KelRamPara::p_kelrampara_config->blockU16(off);
}

uint16_t rs(size_t off)
{
    return KelRamPara::p_kelrampara_config->shadowU16(off);
}

// A plain-text label; pointSize > 0 sets points, else pixelSize pixels.
QLabel* plainLabel(QWidget* parent, const QRect& geometry, const QString& style, int pointSize, int pixelSize)
{
    return PageForm::label(parent, nullptr, geometry, style, pointSize, pixelSize);
}

QLabel* smallLabel(QWidget* parent, const QRect& geometry, const QString& style)
{
    return plainLabel(parent, geometry, style, 0, 10);
}

QString sourceName(int source)
{
    const QString name = sourceinfo::get_source_name_by_sourceid(static_cast<uint8_t>(source));
    ALIAS_PARA alias;
    if (source > 5 || get_json_alias_para(&alias, "source", source) != 1)
        return name;
    return QString::fromStdString(alias.name);
}
} // namespace

LockWindow::LockWindow(QWidget* parent) : QDialog(parent), PageBase(this, PageFocus::LockWindow, "LockWindow")
{
    buildForm();
    para_init();
    image_init();
    ip_changed();
    language_changed();
}

LockWindow::~LockWindow()
{
    clearInstancePointer();
}

LockWindow* LockWindow::openNew()
{
    auto* lock = new LockWindow(nullptr);
    g_lockwindow = lock;
    lock->takeFocus();
    lock->show();
    PageBase::placeOverMain(lock);
    return lock;
}

void LockWindow::clearInstancePointer()
{
    if (g_lockwindow == this)
        g_lockwindow = nullptr;
}

QLabel* LockWindow::iconLabel(const QRect& geometry, const char* picture, const char* name)
{
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    label->setScaledContents(true);
    if (picture)
        label->setPixmap(QPixmap(L10n::plainIcon(picture)));
    return label;
}

QLabel* LockWindow::textLabel(QWidget* parent, const QRect& geometry, const char* name)
{
    QLabel* label = plainLabel(parent, geometry, kWhite, 9, 0);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

void LockWindow::buildForm()
{
    setObjectName(QStringLiteral("LockWindow"));
    setFixedSize(320, 240);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setStyleSheet(QStringLiteral("background-color: rgb(16, 16, 28);"));
    auto* line = new QFrame(this);
    line->setObjectName(QStringLiteral("line"));
    line->setGeometry(10, 73, 300, 1);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setStyleSheet(QStringLiteral("background-color: rgb(133, 129, 153);"));
    iconLabel(QRect(10, 13, 16, 16), "LED", "label_LED_icon");
    iconLabel(QRect(197, 13, 16, 16), "ip", "label_ip");
    iconLabel(QRect(10, 47, 16, 16), "bright", "label_bright_icon");
    label_bright = textLabel(this, QRect(31, 44, 29, 22), "label_bright");
    iconLabel(QRect(135, 47, 16, 16), "contrast", "label_contrast_icon");
    label_contrast = textLabel(this, QRect(156, 44, 29, 22), "label_contrast");
    label_volume_icon = iconLabel(QRect(260, 47, 16, 16), nullptr, "label_volume_icon");
    label_volume = textLabel(this, QRect(279, 44, 29, 22), "label_volume");
    label_volume->hide();

    widget_ = new QWidget(this);
    widget_->setObjectName(QStringLiteral("widget"));
    widget_->setGeometry(0, 0, 320, 240);
    label_input = textLabel(widget_, QRect(31, 10, 160, 22), "label_input");
    label_IPaddr = textLabel(widget_, QRect(218, 10, 100, 20), "label_IPaddr");
    main_Button = new QPushButton(widget_);
    main_Button->setObjectName(QStringLiteral("main_Button"));
    main_Button->setGeometry(290, 210, 20, 20);
    main_Button->setIcon(QIcon(L10n::plainIcon("menu_status")));
    main_Button->setIconSize(QSize(20, 20));
    main_Button->setFocusPolicy(Qt::NoFocus);
    main_Button->hide();
    connect(main_Button, &QPushButton::clicked, this, &LockWindow::on_main_Button_clicked);
    widget_->installEventFilter(this);
    // The container inherits the page's background: keep it beneath the
    // icons and values that are children of the dialog.
    widget_->lower();
}

void LockWindow::setLedSize()
{
    TextFit::setText(label_input, QString::asprintf(L10n::pick(kLedSizeText).toUtf8().constData(),
                                           rb(RamLayout::kLedWidth), rb(RamLayout::kLedHeight)));
}

bool LockWindow::volume_check() const
{
    return PanelFields::soundOn(block());
}

void LockWindow::setAudioIcon()
{
    label_volume_icon->setPixmap(QPixmap(L10n::plainIcon(volume_check() ? "volume_open" : "volume_close")));
}

void LockWindow::para_init()
{
    setLedSize();
    TextFit::setText(label_bright, QString::number(static_cast<int16_t>(rb(PanelFields::kQualityBright))));
    TextFit::setText(label_contrast, QString::number(static_cast<int16_t>(rb(PanelFields::kQualityContrast))));
    setAudioIcon();
}

void LockWindow::ip_changed()
{
    TextFit::setText(label_IPaddr, Utils::configValue(g_str_ip));
}

void LockWindow::language_changed()
{
    setLedSize();
    image_init();
}

void LockWindow::image_init()
{
    buildPanel(panelRows());
}

bool LockWindow::PanelRow::operator==(const PanelRow& o) const
{
    return current == o.current && shown == o.shown && source == o.source && elide == o.elide &&
           state == o.state && freeze == o.freeze;
}

LockWindow::PanelRows LockWindow::panelRows() const
{
    const uint16_t ledSwitch = rb(RamLayout::kLedScreenSwitch);
    PanelRows rows;
    for (int i = 0; i < RamLayout::kWindows; ++i)
        rows[size_t(i)] = rowOf(i, ledSwitch);
    return rows;
}

LockWindow::PanelRow LockWindow::rowOf(int i, uint16_t ledSwitch) const
{
    PanelRow row;
    row.current = i == g_image_current;
    const size_t rec = RamLayout::imageRecord(i);
    row.shown = i == 0 || rb(rec) == 1;
    if (!row.shown) {
        row.state = L10n::pick(kOffText);
        return row;
    }
    const WindowSource ws = WindowSource::of(block(), i);
    const bool knownSource = ws.source >= 0 && ws.source < RamLayout::kSources;
    const size_t info = RamLayout::srcVideoInfo(knownSource ? ws.source : 0);
    int width = knownSource ? rb(info) : 0;
    int height = knownSource ? rb(info + 2) : 0;
    const int refresh = knownSource ? rb(info + 4) : 0;
    if (!ws.crop) {
        row.source = sourceName(ws.source);
        row.elide = true;
    } else {
        row.source = sourceinfo::get_source_name_by_sourceid(static_cast<uint8_t>(ws.source));
        if (ws.cropValid)
            row.source = CropNames::boxName(row.source, ws.cropNumber);
        width = ws.width;
        height = ws.height;
    }
    const uint16_t flags = rb(rec + RamLayout::kImgFlags);
    if (ledSwitch == 1)
        row.state = L10n::pick(kBlackText);
    else if (refresh == 0 || width == 0 || height == 0 || (ws.crop && !ws.cropValid))
        row.state = L10n::pick(kNoSignalText);
    else
        row.state = QString::asprintf("%dx%d@%dHz", width, height, refresh);
    if (ledSwitch != 1 && (flags & RamLayout::kFlagBlack))
        row.state = L10n::pick(kBlackText);
    row.freeze = (flags & RamLayout::kFlagFreeze) || ledSwitch == 2;
    return row;
}

void LockWindow::buildPanel(const PanelRows& rows)
{
    // Deleted at once: the panel's events are never filtered away, but a
    // deferred delete would leave one panel per broadcast until idle.
    delete panel_;
    panel_ = new QFrame(this);
    panel_->setObjectName(QStringLiteral("window_panel"));
    panel_->setGeometry(0, 74, 320, 160);
    panel_->installEventFilter(this);
    for (int i = 0; i < RamLayout::kWindows; ++i)
        addWindowRow(i, rows[size_t(i)]);
    panel_->show();
    panelShows_ = rows;
}

void LockWindow::addWindowRow(int i, const PanelRow& row)
{
    const int dx = 155 * (i % 2);
    const int dy = 50 * (i / 2);
    auto* box = new QLabel(QString::number(i + 1), panel_);
    box->setObjectName(QStringLiteral("box%1").arg(i + 1));
    box->setGeometry(10 + dx, 10 + dy, 40, 40);
    box->setAlignment(Qt::AlignCenter);
    box->setStyleSheet(QString::fromLatin1(kBoxStyles[i]));
    QPalette pal = box->palette();
    pal.setColor(QPalette::WindowText, Qt::white);
    box->setPalette(pal);
    if (row.current) {
        auto* marker = new QLabel(box);
        marker->setObjectName(QStringLiteral("osd_yes"));
        marker->setGeometry(28, 0, 12, 12);
        marker->setScaledContents(true);
        marker->setPixmap(QPixmap(L10n::plainIcon("osd_yes")));
    }
    auto* name = smallLabel(panel_, QRect(55 + dx, 13 + dy, 100, 15), QStringLiteral("color: rgb(255, 255, 255)"));
    name->setObjectName(QStringLiteral("source%1").arg(i + 1));
    if (!row.shown) {
        auto* off = smallLabel(panel_, QRect(55 + dx, 20 + dy, 40, 15), QStringLiteral("color: rgb(255, 255, 255)"));
        off->setObjectName(QStringLiteral("state%1").arg(i + 1));
        TextFit::setText(off, row.state);
        return;
    }
    TextFit::setText(name, row.elide ? name->fontMetrics().elidedText(row.source, Qt::ElideRight, kAliasWidth)
                                     : row.source);
    auto* state = smallLabel(panel_, QRect(55 + dx, 28 + dy, 100, 12), kWhite);
    state->setObjectName(QStringLiteral("state%1").arg(i + 1));
    TextFit::setText(state, row.state);
    if (row.freeze) {
        auto* freeze = new QLabel(box);
        freeze->setObjectName(QStringLiteral("freeze"));
        freeze->setGeometry(0, 0, 16, 16);
        freeze->setScaledContents(true);
        freeze->setPixmap(QPixmap(L10n::plainIcon("freeze")));
    }
}

void LockWindow::syncUpdate(int)
{
    KelRamPara* ram = KelRamPara::p_kelrampara_config;
    if (ram->KelLanguageChanged())
        language_changed();
    if (rb(RamLayout::kLedWidth) != rs(RamLayout::kLedWidth) || rb(RamLayout::kLedHeight) != rs(RamLayout::kLedHeight))
        setLedSize();
    if (rb(PanelFields::kQualityBright) != rs(PanelFields::kQualityBright))
        TextFit::setText(label_bright, QString::number(static_cast<int16_t>(rb(PanelFields::kQualityBright))));
    if (rb(PanelFields::kQualityContrast) != rs(PanelFields::kQualityContrast))
        TextFit::setText(label_contrast, QString::number(static_cast<int16_t>(rb(PanelFields::kQualityContrast))));
    if (PanelFields::audioChanged(block(), ram->RamShadow))
        setAudioIcon();
    // A pass that changes nothing the rows show keeps the panel's widgets.
    const PanelRows rows = panelRows();
    if (!panel_ || rows != panelShows_)
        buildPanel(rows);
    ip_changed();
}

bool LockWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != widget_ && watched != panel_)
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonRelease:
        leaveForMainMenu();
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        return true;
    default:
        // Paint, polish and deferred deletes of the panel must go through.
        return false;
    }
}

void LockWindow::on_main_Button_clicked()
{
    leaveForMainMenu();
}

void LockWindow::leaveForMainMenu()
{
    if (leaving_)
        return;
    leaving_ = true;
    closePage();
    g_page_focus = PageFocus::MainWindow;
    if (PageBase* main = PageTable::at(PageFocus::MainWindow))
        main->language_changed();
}

void LockWindow::onOk()
{
    const bool wasLeaving = leaving_;
    leaveForMainMenu();
    if (wasLeaving)
        return;
    if (PageBase* main = PageTable::at(PageFocus::MainWindow)) {
        main->pageWidget()->show();
        PageBase::placeOverMain(main->pageWidget());
    }
}

void LockWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == PanelKeys::kOk2)
        qDebug().noquote() << QString::asprintf("this is OK button[LockWindow], addr = (g_page_focus) %p\n",
                                                static_cast<void*>(g_mainwindow));
    else if (event->key() == PanelKeys::kBack2)
        qDebug().noquote() << "this is back button[LockWindow][Press]\n";
}

QString LockWindow::releaseLine(PanelKey key) const
{
    switch (key) {
    case PanelKey::Left: return QStringLiteral("this is left-code [LockWindow][Release]");
    case PanelKey::Right: return QStringLiteral("this is right-code [LockWindow][Release]");
    case PanelKey::Ok: return QStringLiteral("this is ok button[LockWindow][Release]");
    case PanelKey::Back: return QStringLiteral("this is back button[LockWindow][Release]");
    case PanelKey::Mode: return QStringLiteral("this is mode-code [LockWindow][Release]");
    case PanelKey::Other: break;
    }
    return QString();
}
