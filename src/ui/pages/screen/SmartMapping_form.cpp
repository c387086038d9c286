// The wizard's form: every widget at its place, and its texts in the five
// panel languages.
#include "ui/pages/screen/SmartMapping.h"

#include "ui/shell/L10n.h"
#include "ui/shell/My_lineEdit.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/TextFit.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>

namespace {
const char* const kMenuStyle = "QPushButton::checked{background-color: rgb(71, 119, 255);}\nQPushButton {\n"
                               "color: rgb(255, 255, 255);\nborder:1px solid rgb(255, 255, 255);\n}\n";
const char* const kStackStyle = "border:1px  rgb(255, 255, 255);";
const char* const kFrameStyle = "border:1px solid rgb(133, 129, 153);";
const char* const kButtonStyle = "color: rgb(255, 255, 255);\nborder:1px solid rgb(255, 255, 255);";
const char* const kEditStyle =
    "color: rgb(255, 255, 255);\nbackground-color: rgb(33, 36, 53);\nborder:1px solid rgb(255, 255, 255);";
const char* const kWhite = PageForm::kWhiteText;

L10n::Texts kTitle = {"智能调屏", "Smart debugging screen", "Умная настройка экрана", "Gỡ lỗi màn hình thông minh",
                      "智能調屏"};
L10n::Texts kMenu[4] = {
    {"快捷点屏", "Debugging\nscreen", "Настройка\nэкрана", "Gỡ lỗi\nmàn hình", "快捷點屏"},
    {"加载扫描", "Load scan", "Загрузка\nскана", "Tải\nquét", "加載掃描"},
    {"参数固化", "Curing\nparameter", "Фиксация\nпарам.", "Lưu\nthông số", "參數固化"},
    {"Mapping", "Mapping", "Mapping", "Mapping", "Mapping"},
};
L10n::Texts kStep1 = {"步骤1箱体设置", "Step 1 Cabinet setup", "Шаг 1. Настройка кабинета", "Bước 1: Thiết lập cabin",
                      "步驟1箱體設置"};
L10n::Texts kBoxWidth = {"箱体宽度", "Cabinet width", "Ширина кабинета", "Chiều rộng cabin", "箱體寬度"};
L10n::Texts kBoxHeight = {"箱体高度", "Cabinet height", "Высота кабинета", "Chiều cao cabin", "箱體高度"};
L10n::Texts kNext = {"下一步", "Next", "Далее", "Tiếp", "下一步"};
L10n::Texts kStep2 = {"步骤2选择网口", "Step 2 Select port", "Шаг 2. Выбор порта", "Bước 2: Chọn cổng",
                      "步驟2選擇網口"};
L10n::Texts kPrevious = {"上一步", "Previous", "Назад", "Trước", "上一步"};
L10n::Texts kTab = {"网口%1~%2", "LED%1~%2", "LED%1~%2", "LED%1~%2", "網口%1~%2"};
L10n::Texts kStep3 = {"步骤3屏参设置", "Step 3 Screen parameter setting", "Шаг 3.Настройка параметров экрана",
                      "Bước 3: Cài đặt thông số màn hình", "步驟3屏參設置"};
L10n::Texts kBoxLine = {"箱体行数", "Number of Cabinet in rows", "Число рядов кабинетов", "Số hàng cabin",
                        "箱體行數"};
L10n::Texts kBoxColumn = {"箱体列数", "Number of Cabinet in lines", "Число столбцов кабинетов", "Số cột cabin",
                          "箱體列數"};
L10n::Texts kRouteWay = {"屏体走线方式", "Screen alignment mode", "Схема прокладки", "Kiểu đi dây màn hình",
                         "屏體走線方式"};
L10n::Texts kHorizon = {"水平偏移", "Horizontal offset", "Смещ. по гор.", "Lệch ngang", "水平偏移"};
L10n::Texts kVert = {"垂直偏移", "Vertical offset", "Смещ. по верт.", "Lệch dọc", "垂直偏移"};
L10n::Texts kSend = {"发送", "Send", "Отправить", "Gửi", "發送"};
L10n::Texts kCancel = {"取消", "Cancle", "取消", "取消", "取消"};
L10n::Texts kStep1Scan = {"步骤1选择网口", "Step 1 Select network port", "Шаг 1. Выбор сетевого порта",
                          "Bước 1: Chọn cổng mạng", "步驟1選擇網口"};
L10n::Texts kStep2Scan = {"步骤2加载扫描参数", "Step 2 Upload scan parameters", "Шаг 2. Загрузка параметров скана",
                          "Bước 2: Tải thông số quét", "步驟2加載掃描參數"};
L10n::Texts kDetected = {"检测到以下屏参文件", "Detected the following screen parameter\n files",
                         "Найдены файлы параметров экрана", "Đã phát hiện các tệp thông số màn hình",
                         "檢測到以下屏參文件"};
L10n::Texts kLoad = {"加载", "Load", "Загрузить", "Tải", "加載"};
L10n::Texts kCuring = {"参数固化操作", "Parameter curing operation", "Фиксация параметров",
                       "Thao tác lưu thông số", "參數固化操作"};
L10n::Texts kConfirm = {"确定", "OK", "OK", "OK", "確定"};
L10n::Texts kMappingSwitch = {"Mapping开关", "Mapping switch", "Переключатель Mapping", "Công tắc Mapping",
                              "Mapping開關"};

// Main-menu rows: the Chinese languages one line each, the others two.
constexpr int kChineseY[4] = {42, 77, 111, 145};
constexpr int kTwoLineY[4] = {42, 87, 132, 177};

QLabel* whiteLabel(QWidget* page, const char* name, const QRect& geometry, int points = 0)
{
    return PageForm::label(page, name, geometry, QString::fromLatin1(kWhite), points);
}

QPushButton* pageButton(QWidget* page, const char* name, const QRect& geometry, int points = 0)
{
    QPushButton* b = PageForm::button(page, name, geometry, QString::fromLatin1(kButtonStyle));
    if (points > 0)
        PageForm::setPointSize(b, points);
    return b;
}

My_lineEdit* pageField(QWidget* page, const char* name, const QRect& geometry, const char* text)
{
    My_lineEdit* f = PageForm::field(page, name, geometry, QString::fromLatin1(kEditStyle));
    f->setAlignment(Qt::AlignCenter);
    f->setText(QString::fromLatin1(text));
    return f;
}

QFrame* horizontalLine(QWidget* page, const char* name, const QRect& geometry)
{
    auto* line = new QFrame(page);
    line->setObjectName(QString::fromLatin1(name));
    line->setGeometry(geometry);
    line->setFrameShape(QFrame::HLine);
    line->setStyleSheet(QStringLiteral("background-color: rgb(255, 255, 255);"));
    return line;
}
} // namespace

QString SmartMapping::routeText(int route)
{
    static L10n::Texts kRouting = {"走线%1", "Routing %1", "Путь %1", "Dấu vết%1", "走線%1"};
    return L10n::pick(kRouting).arg(route);
}

QString SmartMapping::noFileText()
{
    static L10n::Texts kNoFile = {"无加载文件!", "No loaded file!", "Нет файлов для загрузки!",
                                  "Không có tập tin để tải!", "無加載文件!"};
    return L10n::pick(kNoFile);
}

QString SmartMapping::keyboardTitle(const QString& field)
{
    // Russian and Vietnamese use the English titles.
    static const struct {
        const char* field;
        const char* zh;
        const char* en;
        const char* tw;
    } kTitles[] = {
        {"lineEdit_X", "箱体宽度", "width", "箱體寬度"},     {"lineEdit_Y", "箱体高度", "height", "箱體高度"},
        {"lineEdit_line", "箱体行数", "rows", "箱體行數"},   {"lineEdit_column", "箱体列数", "lines", "箱體列數"},
        {"lineEdit_horzion", "水平偏移", "Horizontal", "水平偏移"},
        {"lineEdit_vert", "垂直偏移", "Vertical", "垂直偏移"},
    };
    for (const auto& t : kTitles) {
        if (field == QLatin1String(t.field)) {
            const char* const row[5] = {t.zh, t.en, t.en, t.en, t.tw};
            return L10n::pick(row);
        }
    }
    return QString();
}

QWidget* SmartMapping::addPage(const char* name)
{
    auto* page = new QWidget();
    page->setObjectName(QString::fromLatin1(name));
    stack_->addWidget(page);
    pages_[stack_->count() - 1] = page;
    return page;
}

void SmartMapping::buildForm()
{
    PageForm::setupPage(this, "SmartMapping");
    setWindowTitle(QStringLiteral("Dialog"));
    title_ = whiteLabel(this, "label_title", QRect(33, 10, 254, 22), 11);
    title_->setAlignment(Qt::AlignCenter);
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("frame"));
    frame->setGeometry(74, 41, 242, 192);
    frame->setStyleSheet(QString::fromLatin1(kFrameStyle));
    stack_ = new QStackedWidget(this);
    stack_->setObjectName(QStringLiteral("stackedWidget"));
    stack_->setGeometry(75, 42, 235, 190);
    stack_->setStyleSheet(QString::fromLatin1(kStackStyle));
    buildMenu();
    buildStepPages();
    buildScanPages();
    stack_->setCurrentIndex(Curing);
}

void SmartMapping::buildMenu()
{
    const char* const names[4] = {"Button_shortcut", "Button_loadscan", "Button_paraweld", "Button_mapping"};
    for (int i = 0; i < 4; ++i)
        menu_[i] = PageForm::button(this, names[i], QRect(5, kChineseY[i], 65, 20), QString::fromLatin1(kMenuStyle));
}

void SmartMapping::buildStepPages()
{
    QWidget* p = addPage("page");
    step1_ = whiteLabel(p, "label_step1", QRect(10, 10, 220, 17));
    boxWidth_ = whiteLabel(p, "label_boxwidth", QRect(10, 40, 140, 17));
    boxHeight_ = whiteLabel(p, "label_boxheight", QRect(10, 70, 140, 17));
    lineEdit_X = pageField(p, "lineEdit_X", QRect(170, 40, 60, 24), "128");
    lineEdit_Y = pageField(p, "lineEdit_Y", QRect(170, 70, 60, 24), "96");
    next_ = pageButton(p, "Button_next", QRect(150, 153, 80, 30));

    p = addPage("page_2");
    step2_ = whiteLabel(p, "label_step2", QRect(10, 10, 220, 17));
    for (int i = 0; i < 4; ++i) {
        const QByteArray name = "Button_wlan" + QByteArray::number(i + 1);
        wlan_[i] = pageButton(p, name.constData(), QRect(10 + 60 * i, 32, 55, 17), 7);
    }
    horizontalLine(p, "line_2", QRect(10, 55, 220, 1));
    front2_ = pageButton(p, "Button_front_2", QRect(63, 153, 80, 30));
    next2_ = pageButton(p, "Button_next_2", QRect(150, 153, 80, 30));

    p = addPage("page_3");
    step3_ = whiteLabel(p, "label_step3", QRect(10, 10, 220, 17));
    boxLine_ = whiteLabel(p, "label_boxline", QRect(10, 39, 150, 15), 7);
    boxColumn_ = whiteLabel(p, "label_boxlcolumn", QRect(10, 68, 150, 15), 7);
    routeWay_ = whiteLabel(p, "label_routeway", QRect(10, 98, 145, 15), 7);
    lineEdit_line = pageField(p, "lineEdit_line", QRect(175, 35, 60, 24), "1");
    lineEdit_column = pageField(p, "lineEdit_column", QRect(175, 65, 60, 24), "1");
    route_ = pageButton(p, "Button_route", QRect(164, 95, 71, 24), 6);
    horizon_ = whiteLabel(p, "label_horizon", QRect(10, 125, 71, 26), 7);
    lineEdit_horzion = pageField(p, "lineEdit_horzion", QRect(83, 125, 40, 24), "0");
    vert_ = whiteLabel(p, "label_vert", QRect(125, 125, 66, 26), 7);
    lineEdit_vert = pageField(p, "lineEdit_vert", QRect(195, 125, 40, 24), "0");
    front3_ = pageButton(p, "Button_front_3", QRect(65, 158, 80, 30), 9);
    send_ = pageButton(p, "Button_send", QRect(150, 158, 80, 30), 9);

    p = addPage("page_4");
    for (int i = 0; i < 16; ++i) {
        auto* b = new QToolButton(p);
        b->setObjectName(QStringLiteral("Button_route%1").arg(i + 1));
        b->setGeometry(i < 15 ? QRect(10 + 45 * (i % 5), 5 + 45 * (i / 5), 40, 40) : QRect(10, 140, 40, 40));
        b->setFocusPolicy(Qt::NoFocus);
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setIcon(QIcon(QStringLiteral(":/png/line%1.png").arg(i + 1)));
        b->setIconSize(QSize(40, 25));
        b->setProperty("iconPath", QStringLiteral(":/png/line%1.png").arg(i + 1));
        PageForm::setPointSize(b, 5);
        routes_[i] = b;
    }
    cancel_ = new QToolButton(p);
    cancel_->setObjectName(QStringLiteral("Button_cancel"));
    cancel_->setGeometry(150, 161, 50, 20);
    cancel_->setFocusPolicy(Qt::NoFocus);
    PageForm::setPointSize(cancel_, 8);
}

void SmartMapping::buildScanPages()
{
    QWidget* p = addPage("page_5");
    step1_5_ = whiteLabel(p, "label_step1_5", QRect(10, 10, 220, 17));
    for (int i = 4; i < 8; ++i) {
        const QByteArray name = "Button_wlan" + QByteArray::number(i + 1);
        wlan_[i] = pageButton(p, name.constData(), QRect(10 + 60 * (i - 4), 32, 55, 17), 7);
    }
    horizontalLine(p, "line", QRect(10, 58, 220, 1));
    next5_ = pageButton(p, "Button_next_5", QRect(150, 153, 80, 30));

    p = addPage("page_6");
    step2_6_ = whiteLabel(p, "label_step2_6", QRect(10, 10, 220, 17));
    step2_7_ = whiteLabel(p, "label_step2_7", QRect(10, 32, 220, 20), 6);
    step2_7_->setWordWrap(true);
    front6_ = pageButton(p, "Button_front_6", QRect(65, 153, 80, 30), 9);
    load_ = pageButton(p, "Button_load", QRect(150, 153, 80, 30), 9);

    p = addPage("page_7");
    step1_6_ = whiteLabel(p, "label_step1_6", QRect(10, 10, 220, 17));
    confirm_ = pageButton(p, "Button_confirm", QRect(150, 153, 80, 30));

    p = addPage("page_8");
    step1_7_ = whiteLabel(p, "label_step1_7", QRect(10, 10, 170, 17));
    mappingState_ = pageButton(p, "Button_mapping_state", QRect(190, 10, 40, 20));
}

void SmartMapping::placeMenu()
{
    const int lang = L10n::language();
    const bool chinese = lang == L10n::Chinese || lang == L10n::TraditionalChinese;
    for (int i = 0; i < 4; ++i) {
        const int points = chinese ? 9 : (lang == L10n::English || i >= 2) ? 7 : 6;
        PageForm::setPointSize(menu_[i], points);
        menu_[i]->setGeometry(5, chinese ? kChineseY[i] : kTwoLineY[i], 65, chinese ? 20 : 30);
        menu_[i]->setText(L10n::pick(kMenu[i]));
    }
}

void SmartMapping::setTexts()
{
    TextFit::setText(title_, L10n::pick(kTitle));
    TextFit::setText(step1_, L10n::pick(kStep1));
    TextFit::setText(boxWidth_, L10n::pick(kBoxWidth));
    TextFit::setText(boxHeight_, L10n::pick(kBoxHeight));
    for (QPushButton* b : {next_, next2_, next5_})
        b->setText(L10n::pick(kNext));
    TextFit::setText(step2_, L10n::pick(kStep2));
    for (QPushButton* b : {front2_, front3_, front6_})
        b->setText(L10n::pick(kPrevious));
    for (int i = 0; i < 8; ++i) {
        const int first = (i % 4) * 8 + 1;
        wlan_[i]->setText(L10n::pick(kTab).arg(first).arg(first + 7));
    }
    TextFit::setText(step3_, L10n::pick(kStep3));
    TextFit::setText(boxLine_, L10n::pick(kBoxLine));
    TextFit::setText(boxColumn_, L10n::pick(kBoxColumn));
    TextFit::setText(routeWay_, L10n::pick(kRouteWay));
    TextFit::setText(horizon_, L10n::pick(kHorizon));
    TextFit::setText(vert_, L10n::pick(kVert));
    send_->setText(L10n::pick(kSend));
    route_->setText(routeText(routeWay()));
    for (int i = 0; i < 16; ++i)
        routes_[i]->setText(routeText(i + 1));
    cancel_->setText(L10n::pick(kCancel));
    TextFit::setText(step1_5_, L10n::pick(kStep1Scan));
    TextFit::setText(step2_6_, L10n::pick(kStep2Scan));
    step2_7_->setText(L10n::pick(kDetected));
    load_->setText(L10n::pick(kLoad));
    TextFit::setText(step1_6_, L10n::pick(kCuring));
    confirm_->setText(L10n::pick(kConfirm));
    TextFit::setText(step1_7_, L10n::pick(kMappingSwitch));
    if (QLabel* none = fileFrame_ ? fileFrame_->findChild<QLabel*>(QStringLiteral("label_nofile")) : nullptr)
        none->setText(noFileText());
}
