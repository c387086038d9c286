// Draws every picture of the front panel into a folder and writes the Qt
// resource file that lists them. Run at build time (offscreen), so no
// binary picture is kept in the repository.
//
// The pictograms are glyphs of the Material Icons font (Debian's
// fonts-material-design-icons-iconfont), painted in colours of the panel's
// palette at the size the panel shows each picture. Per-language pictures
// carry their language's word under (or beside) the glyph.
//
// usage: kel_icongen OUTPUT_DIR ICON_FONT [TEXT_FONT]
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTextStream>

#include <cstdio>
#include <cstdint>

namespace {

// Panel palette.
constexpr QRgb kWhite = 0xffffffff;
constexpr QRgb kOrange = 0xffffab54;  // focus border
constexpr QRgb kBlue = 0xff4777ff;    // counts, selection
constexpr QRgb kGreen = 0xff51bb28;   // 4K inputs, "on"
constexpr QRgb kLink = 0xff54b66e;    // link up
constexpr QRgb kGrey = 0xff858199;    // divider, "off"
constexpr QRgb kPanel = 0xff212435;   // buttons and frames
constexpr QRgb kPurple = 0xff867ae9;  // window boxes 1..6
constexpr QRgb kAmber = 0xffeba83a;
constexpr QRgb kNavy = 0xff005a8d;
constexpr QRgb kPink = 0xffff96ad;
constexpr QRgb kCyan = 0xff39a9cb;
constexpr QRgb kRed = 0xfffc5404;

// Material Icons code points.
enum Glyph : uint32_t {
    G_None = 0,
    G_Speed = 0xe9e4,            // gauge: device state
    G_Input = 0xe890,            // arrow into a box: input choice
    G_Bookmarks = 0xe98b,        // user modes
    G_Settings = 0xe8b8,         // settings menu
    G_Restore = 0xe8b3,          // recall a user mode
    G_Save = 0xe161,             // save a user mode
    G_Power = 0xe8ac,            // LED screen on/off
    G_VolumeUp = 0xe050,
    G_VolumeOff = 0xe04f,
    G_PresentToAll = 0xe0df,     // output
    G_Crop = 0xe3be,
    G_ViewQuilt = 0xe8f1,        // screen layout
    G_Link = 0xe157,
    G_Tune = 0xe429,             // picture quality
    G_GridOn = 0xe3ec,           // test patterns
    G_AccountTree = 0xe97a,      // receiving-card mapping
    G_Build = 0xe869,            // advanced settings
    G_Info = 0xe88e,             // versions
    G_Lan = 0xeb2f,              // network address
    G_Lock = 0xe897,
    G_LockOpen = 0xe898,
    G_Toolbox = 0xf100,          // home_repair_service
    G_ArrowRight = 0xe5df,
    G_ArrowLeft = 0xe5de,
    G_BookmarkBorder = 0xe867,
    G_Bookmark = 0xe866,
    G_Monitor = 0xef5b,          // LED screen size
    G_Sun = 0xe518,              // light_mode: brightness
    G_Contrast = 0xeb37,         // half-filled circle
    G_Menu = 0xe5d2,
    G_CheckCircle = 0xe86c,
    G_Snowflake = 0xeb3b,        // ac_unit: freeze
    G_Return = 0xe31b,           // keyboard_return: the OK key
    G_Undo = 0xe166,             // the Back key
    G_SystemUpdate = 0xe62a,
    G_Backspace = 0xe14a,
    G_AddCircle = 0xe147,
    G_Circle = 0xef4a,
    G_Hdmi = 0xe8c2,             // settings_input_hdmi: an input plug
    G_ToggleOn = 0xe9f6,
    G_ToggleOff = 0xe9f5,
    G_ArrowBack = 0xe5c4,
    G_Warning = 0xe002,
    G_Ethernet = 0xe8be,         // output port link
    G_Check = 0xe5ca,
    G_ExpandLess = 0xe5ce,
    G_ExpandMore = 0xe5cf,
};

// How a picture is drawn.
enum class Kind {
    Glyph,     // the glyph filling the picture
    Captioned, // glyph above, the language's word below
    Side,      // narrow side bar: glyph on top, the word along the bar
    Plug,      // input plug glyph left, the input type right
    KeyHint,   // a front-panel key: glyph and the key's name in a frame
    Mirror,    // letter F in one of four orientations (variant 1..4)
    Route,     // receiving-card route pattern (variant 1..16)
    Pattern,   // test pattern (variant 1..8)
};

struct Size {
    int w, h;
};

// Languages in `language_id` order and their file name prefixes.
constexpr int kLangCount = 5;
const char* const kPrefixes[kLangCount] = {"", "en_", "ru_", "vn_", "tn_"};
constexpr unsigned kAllLangs = 0x1f;
constexpr unsigned kPlain = 0;                 // one picture without prefix
constexpr unsigned kZhEnRu = 0x07;
constexpr unsigned kZhRu = 0x05;
constexpr unsigned kEnOnly = 0x02;
constexpr unsigned kAllButEn = 0x1d;

struct Picture {
    const char* name;     // file name, or base name of a per-language picture
    unsigned langs;       // bit n: a picture with prefix n exists; 0: plain
    Kind kind;
    uint32_t glyph;
    QRgb colour;
    Size size;            // every language, unless byLang is given
    const Size* byLang;   // per-language sizes (zh, en, ru, vn, tw)
    const char* words[kLangCount]; // the word shown (zh, en, ru, vn, tw), or text of a plain picture
    int variant;
};

const Size kInputChooseSizes[kLangCount] = {{64, 64}, {90, 64}, {96, 76}, {96, 76}, {64, 64}};
const Size kWide75[kLangCount] = {{55, 60}, {75, 60}, {55, 60}, {55, 60}, {55, 60}};
const Size kWide70En[kLangCount] = {{55, 60}, {70, 60}, {55, 60}, {55, 60}, {55, 60}};
const Size kWide70EnRuVn[kLangCount] = {{55, 60}, {70, 60}, {70, 60}, {70, 60}, {55, 60}};
const Size kAdvanceSizes[kLangCount] = {{55, 60}, {54, 60}, {70, 60}, {54, 60}, {55, 60}};

#define WORDS(zh, en, ru, vn, tw) {zh, en, ru, vn, tw}
#define NOWORDS {nullptr, nullptr, nullptr, nullptr, nullptr}
#define TEXT(t) {t, nullptr, nullptr, nullptr, nullptr}

// The one place a picture of the panel is defined.
const Picture kPictures[] = {
    // Main menu entries and tool column.
    {"machinestate", kAllLangs, Kind::Captioned, G_Speed, kCyan, {64, 64}, nullptr,
     WORDS("设备状态", "Device", "Статус", "Thiết bị", "設備狀態"), 0},
    {"inputchoose", kAllLangs, Kind::Captioned, G_Input, kGreen, {0, 0}, kInputChooseSizes,
     WORDS("输入选择", "Input", "Вход", "Đầu vào", "輸入選擇"), 0},
    {"custommode", kAllLangs, Kind::Captioned, G_Bookmarks, kAmber, {64, 64}, nullptr,
     WORDS("用户模式", "Modes", "Режимы", "Chế độ", "用戶模式"), 0},
    {"option", kAllLangs, Kind::Captioned, G_Settings, kPurple, {64, 64}, nullptr,
     WORDS("设置", "Settings", "Настр.", "Cài đặt", "設置"), 0},
    {"uncall", kAllLangs, Kind::Captioned, G_Restore, kWhite, {24, 36}, nullptr,
     WORDS("调用", "Load", "Вызов", "Gọi", "調用"), 0},
    {"call", kAllLangs, Kind::Captioned, G_Restore, kOrange, {24, 36}, nullptr,
     WORDS("调用", "Load", "Вызов", "Gọi", "調用"), 0},
    {"unsave", kAllLangs, Kind::Captioned, G_Save, kWhite, {24, 36}, nullptr,
     WORDS("保存", "Save", "Сохр", "Lưu", "保存"), 0},
    {"save", kAllLangs, Kind::Captioned, G_Save, kOrange, {24, 36}, nullptr,
     WORDS("保存", "Save", "Сохр", "Lưu", "保存"), 0},
    {"closeled", kAllLangs, Kind::Captioned, G_Power, kRed, {24, 36}, nullptr,
     WORDS("关屏", "Off", "Выкл", "Tắt", "關屏"), 0},
    {"uncloseled", kAllLangs, Kind::Captioned, G_Power, kGreen, {24, 36}, nullptr,
     WORDS("开屏", "On", "Вкл", "Bật", "開屏"), 0},
    {"slience", kAllLangs, Kind::Captioned, G_VolumeOff, kGrey, {24, 36}, nullptr,
     WORDS("静音", "Mute", "Тихо", "Câm", "靜音"), 0},
    {"unslience", kAllLangs, Kind::Captioned, G_VolumeUp, kCyan, {24, 36}, nullptr,
     WORDS("有声", "Sound", "Звук", "Âm", "有聲"), 0},

    // Settings menu entries.
    {"output_set", kAllLangs, Kind::Captioned, G_PresentToAll, kCyan, {0, 0}, kWide75,
     WORDS("输出设置", "Output", "Выход", "Đầu ra", "輸出設置"), 0},
    {"input_cut", kAllLangs, Kind::Captioned, G_Crop, kGreen, {0, 0}, kWide70EnRuVn,
     WORDS("输入裁剪", "Input crop", "Обрезка", "Cắt đầu vào", "輸入裁剪"), 0},
    {"image_layout", kAllLangs, Kind::Captioned, G_ViewQuilt, kAmber, {0, 0}, kWide70En,
     WORDS("画面布局", "Layout", "Макет", "Bố cục", "畫面佈局"), 0},
    {"link_set", kAllLangs, Kind::Captioned, G_Link, kPurple, {0, 0}, kWide70EnRuVn,
     WORDS("连接设置", "Link", "Связь", "Kết nối", "連接設置"), 0},
    {"image_quality", kAllLangs, Kind::Captioned, G_Tune, kPink, {0, 0}, kWide75,
     WORDS("画质", "Picture", "Картинка", "Hình ảnh", "畫質"), 0},
    {"test_chart", kAllLangs, Kind::Captioned, G_GridOn, kRed, {55, 60}, nullptr,
     WORDS("测试图", "Test", "Тест", "Kiểm tra", "測試圖"), 0},
    {"smart_mapping", kAllLangs, Kind::Captioned, G_AccountTree, kBlue, {55, 60}, nullptr,
     WORDS("智能映射", "Mapping", "Карта", "Ánh xạ", "智能映射"), 0},
    {"AdvanceButton", kAllButEn, Kind::Captioned, G_Build, kWhite, {0, 0}, kAdvanceSizes,
     WORDS("高级", nullptr, "Дополн.", "Nâng cao", "高級"), 0},
    {"advance_option", kEnOnly, Kind::Captioned, G_Build, kWhite, {0, 0}, kAdvanceSizes,
     WORDS(nullptr, "Advanced", nullptr, nullptr, nullptr), 0},

    // Device-state page side bars.
    {"version_state", kZhEnRu, Kind::Side, G_Info, kCyan, {15, 40}, nullptr,
     WORDS("版本", "Ver", "Вер", nullptr, nullptr), 0},
    {"output_state", kZhRu, Kind::Side, G_PresentToAll, kCyan, {15, 65}, nullptr, NOWORDS, 0},
    {"input_state", kZhRu, Kind::Side, G_Input, kGreen, {15, 55}, nullptr, NOWORDS, 0},

    // Home screen and main menu.
    {"ip", kPlain, Kind::Glyph, G_Lan, kCyan, {16, 16}, nullptr, NOWORDS, 0},
    {"lock", kPlain, Kind::Glyph, G_Lock, kOrange, {16, 16}, nullptr, NOWORDS, 0},
    {"unlock", kPlain, Kind::Glyph, G_LockOpen, kGreen, {16, 16}, nullptr, NOWORDS, 0},
    {"tools", kPlain, Kind::Glyph, G_Toolbox, kWhite, {16, 16}, nullptr, NOWORDS, 0},
    {"pointer", kPlain, Kind::Glyph, G_ArrowRight, kOrange, {9, 12}, nullptr, NOWORDS, 0},
    {"mode_blank", kPlain, Kind::Glyph, G_BookmarkBorder, kGrey, {16, 16}, nullptr, NOWORDS, 0},
    {"mode_exist", kPlain, Kind::Glyph, G_Bookmark, kBlue, {16, 16}, nullptr, NOWORDS, 0},
    {"LED", kPlain, Kind::Glyph, G_Monitor, kAmber, {16, 16}, nullptr, NOWORDS, 0},
    {"bright", kPlain, Kind::Glyph, G_Sun, kAmber, {16, 16}, nullptr, NOWORDS, 0},
    {"contrast", kPlain, Kind::Glyph, G_Contrast, kWhite, {16, 16}, nullptr, NOWORDS, 0},
    {"volume_open", kPlain, Kind::Glyph, G_VolumeUp, kCyan, {16, 16}, nullptr, NOWORDS, 0},
    {"volume_close", kPlain, Kind::Glyph, G_VolumeOff, kGrey, {16, 16}, nullptr, NOWORDS, 0},
    {"menu_status", kPlain, Kind::Glyph, G_Menu, kWhite, {20, 20}, nullptr, NOWORDS, 0},
    {"osd_yes", kPlain, Kind::Glyph, G_CheckCircle, kGreen, {12, 12}, nullptr, NOWORDS, 0},
    {"freeze", kPlain, Kind::Glyph, G_Snowflake, kWhite, {16, 16}, nullptr, NOWORDS, 0},
    {"check_180", kPlain, Kind::Glyph, G_CheckCircle, kGreen, {180, 180}, nullptr, NOWORDS, 0},

    // Key hints of the menus.
    {"OK_Enter", kPlain, Kind::KeyHint, G_Return, kOrange, {51, 17}, nullptr, TEXT("OK"), 0},
    {"back_return", kPlain, Kind::KeyHint, G_Undo, kWhite, {56, 17}, nullptr, TEXT("Back"), 0},

    // Popups and small controls.
    {"update", kPlain, Kind::Glyph, G_SystemUpdate, kCyan, {64, 64}, nullptr, NOWORDS, 0},
    {"delete", kPlain, Kind::Glyph, G_Backspace, kPanel, {20, 20}, nullptr, NOWORDS, 0}, // on a white key
    {"add", kPlain, Kind::Glyph, G_AddCircle, kGreen, {20, 20}, nullptr, NOWORDS, 0},
    {"state_on", kPlain, Kind::Glyph, G_Circle, kGreen, {7, 7}, nullptr, NOWORDS, 0},
    {"state_off", kPlain, Kind::Glyph, G_Circle, kGrey, {7, 7}, nullptr, NOWORDS, 0},
    {"button_on", kPlain, Kind::Glyph, G_ToggleOn, kGreen, {40, 20}, nullptr, NOWORDS, 0},
    {"button_off", kPlain, Kind::Glyph, G_ToggleOff, kGrey, {40, 20}, nullptr, NOWORDS, 0},
    {"back", kPlain, Kind::Glyph, G_ArrowBack, kWhite, {32, 32}, nullptr, NOWORDS, 0},
    {"warning", kPlain, Kind::Glyph, G_Warning, kAmber, {16, 16}, nullptr, NOWORDS, 0},
    {"previous", kPlain, Kind::Glyph, G_ExpandLess, kWhite, {20, 20}, nullptr, NOWORDS, 0},
    {"next", kPlain, Kind::Glyph, G_ExpandMore, kWhite, {20, 20}, nullptr, NOWORDS, 0},
    {"ltri", kPlain, Kind::Glyph, G_ArrowLeft, kWhite, {14, 14}, nullptr, NOWORDS, 0},
    {"rtri", kPlain, Kind::Glyph, G_ArrowRight, kWhite, {14, 14}, nullptr, NOWORDS, 0},
    {"online", kPlain, Kind::Glyph, G_Ethernet, kLink, {16, 14}, nullptr, NOWORDS, 0},
    {"offline", kPlain, Kind::Glyph, G_Ethernet, kGrey, {16, 14}, nullptr, NOWORDS, 0},
    {"online_up", kPlain, Kind::Glyph, G_Check, kLink, {12, 10}, nullptr, NOWORDS, 0},
    {"offline_up", kPlain, Kind::Glyph, G_Check, kGrey, {12, 10}, nullptr, NOWORDS, 0},

    // Inputs: HDMI list icon white, list and offline icons grey, online icons green.
    // "HDMI" stands for every HDMI input (crop list, EDID box) as well as for
    // an absent EXT input: a plain plug, no input's name.
    {"HDMI", kPlain, Kind::Plug, G_Hdmi, kGrey, {40, 12}, nullptr, TEXT("HDMI"), 0},
    {"DVI", kPlain, Kind::Plug, G_Hdmi, kGrey, {40, 12}, nullptr, TEXT("DVI"), 0},
    {"HDMI13", kPlain, Kind::Plug, G_Hdmi, kWhite, {40, 12}, nullptr, TEXT("HDMI"), 0},
    {"HDMI13_1", kPlain, Kind::Plug, G_Hdmi, kGrey, {40, 12}, nullptr, TEXT("HDMI"), 0},
    {"HDMI13_lv", kPlain, Kind::Plug, G_Hdmi, kGreen, {40, 12}, nullptr, TEXT("HDMI"), 0},
    {"HDMI20", kPlain, Kind::Plug, G_Hdmi, kGrey, {40, 12}, nullptr, TEXT("4K"), 0},
    {"HDMI20_lv", kPlain, Kind::Plug, G_Hdmi, kGreen, {40, 12}, nullptr, TEXT("4K"), 0},
    {"extlv", kPlain, Kind::Plug, G_Hdmi, kGreen, {40, 12}, nullptr, TEXT("EXT"), 0},
    {"dvilv", kPlain, Kind::Plug, G_Hdmi, kGreen, {40, 12}, nullptr, TEXT("DVI"), 0},

    // Screen layout mirror choices: "on" white on blue, "off" white on the page.
    {"mirror1_on", kPlain, Kind::Mirror, G_None, kBlue, {64, 64}, nullptr, NOWORDS, 1},
    {"mirror2_on", kPlain, Kind::Mirror, G_None, kBlue, {32, 32}, nullptr, NOWORDS, 2},
    {"mirror3_on", kPlain, Kind::Mirror, G_None, kBlue, {32, 32}, nullptr, NOWORDS, 3},
    {"mirror4_on", kPlain, Kind::Mirror, G_None, kBlue, {32, 32}, nullptr, NOWORDS, 4},
    {"mirror1_off", kPlain, Kind::Mirror, G_None, kPanel, {32, 32}, nullptr, NOWORDS, 1},
    {"mirror2_off", kPlain, Kind::Mirror, G_None, kPanel, {32, 32}, nullptr, NOWORDS, 2},
    {"mirror3_off", kPlain, Kind::Mirror, G_None, kPanel, {32, 32}, nullptr, NOWORDS, 3},
    {"mirror4_off", kPlain, Kind::Mirror, G_None, kPanel, {32, 32}, nullptr, NOWORDS, 4},

    // Test patterns: red, green, blue, white, black, colour bars, vertical and horizontal lines.
    {"img_test1", kPlain, Kind::Pattern, G_None, 0xffff0000, {50, 50}, nullptr, NOWORDS, 1},
    {"img_test2", kPlain, Kind::Pattern, G_None, 0xff00ff00, {50, 50}, nullptr, NOWORDS, 2},
    {"img_test3", kPlain, Kind::Pattern, G_None, 0xff0000ff, {50, 50}, nullptr, NOWORDS, 3},
    {"img_test4", kPlain, Kind::Pattern, G_None, 0xffffffff, {50, 50}, nullptr, NOWORDS, 4},
    {"img_test5", kPlain, Kind::Pattern, G_None, 0xff000000, {50, 50}, nullptr, NOWORDS, 5},
    {"img_test6", kPlain, Kind::Pattern, G_None, kWhite, {50, 50}, nullptr, NOWORDS, 6},
    {"img_test7", kPlain, Kind::Pattern, G_None, kWhite, {50, 50}, nullptr, NOWORDS, 7},
    {"img_test8", kPlain, Kind::Pattern, G_None, kWhite, {50, 50}, nullptr, NOWORDS, 8},

    // Receiving-card route patterns 1..16.
    {"line1", kPlain, Kind::Route, G_None, kOrange, {40, 25}, nullptr, NOWORDS, 1},
    {"line2", kPlain, Kind::Route, G_None, kOrange, {40, 25}, nullptr, NOWORDS, 2},
    {"line3", kPlain, Kind::Route, G_None, kOrange, {40, 25}, nullptr, NOWORDS, 3},
    {"line4", kPlain, Kind::Route, G_None, kOrange, {40, 25}, nullptr, NOWORDS, 4},
    {"line5", kPlain, Kind::Route, G_None, kOrange, {40, 25}, nullptr, NOWORDS, 5},
    {"line6", kPlain, Kind::Route, G_None, kOrange, {40, 25}, nullptr, NOWORDS, 6},
    {"line7", kPlain, Kind::Route, G_None, kOrange, {40, 25}, nullptr, NOWORDS, 7},
    {"line8", kPlain, Kind::Route, G_None, kOrange, {40, 25}, nullptr, NOWORDS, 8},
    {"line9", kPlain, Kind::Route, G_None, kOrange, {40, 25}, nullptr, NOWORDS, 9},
    {"line10", kPlain, Kind::Route, G_None, kOrange, {40, 25}, nullptr, NOWORDS, 10},
    {"line11", kPlain, Kind::Route, G_None, kOrange, {40, 25}, nullptr, NOWORDS, 11},
    {"line12", kPlain, Kind::Route, G_None, kOrange, {40, 25}, nullptr, NOWORDS, 12},
    {"line13", kPlain, Kind::Route, G_None, kOrange, {40, 25}, nullptr, NOWORDS, 13},
    {"line14", kPlain, Kind::Route, G_None, kOrange, {40, 25}, nullptr, NOWORDS, 14},
    {"line15", kPlain, Kind::Route, G_None, kOrange, {40, 25}, nullptr, NOWORDS, 15},
    {"line16", kPlain, Kind::Route, G_None, kOrange, {40, 25}, nullptr, NOWORDS, 16},
};

QString g_iconFamily;
QString g_textFamily = QStringLiteral("WenQuanYi Micro Hei");

QImage canvas(Size s)
{
    QImage img(s.w, s.h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

void smooth(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

// The glyph as large as fits the square centred in `r`.
void drawGlyph(QPainter& p, const QRectF& r, uint32_t glyph, QColor colour)
{
    QFont f(g_iconFamily);
    f.setPixelSize(qMax(1, qRound(qMin(r.width(), r.height()))));
    f.setHintingPreference(QFont::PreferNoHinting);
    p.setFont(f);
    p.setPen(colour);
    p.drawText(r, Qt::AlignCenter, QString::fromUcs4(reinterpret_cast<const char32_t*>(&glyph), 1));
}

QFont textFont(int px)
{
    QFont f(g_textFamily);
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(px);
    return f;
}

// The largest pixel size up to maxPx at which the text fits `r`.
int fittingSize(const QString& text, const QSizeF& r, int maxPx)
{
    int px = maxPx;
    for (; px > 6; --px) {
        const QFontMetricsF fm(textFont(px));
        if (fm.horizontalAdvance(text) <= r.width() && fm.tightBoundingRect(text).height() <= r.height())
            break;
    }
    return px;
}

void drawWord(QPainter& p, const QRectF& r, const QString& text, int maxPx, QColor colour)
{
    p.setFont(textFont(fittingSize(text, r.size(), maxPx)));
    p.setPen(colour);
    p.drawText(r, Qt::AlignCenter, text);
}

QString wordOf(const Picture& pic, int lang)
{
    const char* w = pic.words[lang];
    return w ? QString::fromUtf8(w) : QString();
}

QImage captioned(const Picture& pic, int lang, Size s)
{
    QImage img = canvas(s);
    QPainter p(&img);
    smooth(p);
    const QString word = wordOf(pic, lang);
    // Large entries: a glyph of 60 % of the height; tools: the width.
    const qreal glyphH = s.h >= 40 ? s.h * 0.6 : s.w;
    drawGlyph(p, QRectF(0, 0, s.w, glyphH), pic.glyph, QColor::fromRgba(pic.colour));
    const QRectF wordRect(0, glyphH, s.w, s.h - glyphH);
    drawWord(p, wordRect, word, s.h >= 40 ? 14 : 11, QColor::fromRgba(kWhite));
    return img;
}

bool isCjk(const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x2e80)
            return false;
    }
    return !text.isEmpty();
}

QImage sideBar(const Picture& pic, int lang, Size s)
{
    QImage img = canvas(s);
    QPainter p(&img);
    smooth(p);
    drawGlyph(p, QRectF(0, 0, s.w, s.w), pic.glyph, QColor::fromRgba(pic.colour));
    const QString word = wordOf(pic, lang);
    if (word.isEmpty())
        return img;
    const QRectF rest(0, s.w + 2, s.w, s.h - s.w - 2);
    if (isCjk(word)) {
        // Chinese reads top to bottom: one character under the other.
        const qreal step = rest.height() / word.size();
        for (int i = 0; i < word.size(); ++i)
            drawWord(p, QRectF(rest.x(), rest.y() + i * step, rest.width(), step), word.mid(i, 1), 12, Qt::white);
        return img;
    }
    p.translate(rest.center());
    p.rotate(90);
    drawWord(p, QRectF(-rest.height() / 2, -rest.width() / 2, rest.height(), rest.width()), word, 12, Qt::white);
    return img;
}

QImage plug(const Picture& pic, Size s)
{
    QImage img = canvas(s);
    QPainter p(&img);
    smooth(p);
    const QColor c = QColor::fromRgba(pic.colour);
    drawGlyph(p, QRectF(0, 0, s.h, s.h), pic.glyph, c);
    QFont f = textFont(s.h);
    f.setBold(true);
    const QRectF r(s.h + 1, 0, s.w - s.h - 1, s.h);
    f.setPixelSize(fittingSize(QString::fromLatin1(pic.words[0]), r.size(), s.h));
    p.setFont(f);
    p.setPen(c);
    p.drawText(r, Qt::AlignCenter, QString::fromLatin1(pic.words[0]));
    return img;
}

QImage keyHint(const Picture& pic, Size s)
{
    QImage img = canvas(s);
    QPainter p(&img);
    smooth(p);
    const QColor c = QColor::fromRgba(pic.colour);
    p.setPen(QPen(c, 1));
    p.setBrush(QColor::fromRgba(kPanel));
    p.drawRoundedRect(QRectF(0.5, 0.5, s.w - 1, s.h - 1), 4, 4);
    drawGlyph(p, QRectF(3, 2, s.h - 4, s.h - 4), pic.glyph, c);
    drawWord(p, QRectF(s.h - 1, 1, s.w - s.h - 1, s.h - 2), QString::fromLatin1(pic.words[0]), 11, c);
    return img;
}

// Letter F upright (1), mirrored left-right (2), top-bottom (3), both (4).
QImage mirror(const Picture& pic, Size s)
{
    QImage img = canvas(s);
    QPainter p(&img);
    smooth(p);
    const bool on = pic.colour != kPanel;
    p.setBrush(QColor::fromRgba(pic.colour));
    p.setPen(on ? Qt::NoPen : QPen(QColor::fromRgba(kGrey), 1));
    p.drawRoundedRect(QRectF(0.5, 0.5, s.w - 1, s.h - 1), s.w / 8.0, s.w / 8.0);
    p.translate(s.w / 2.0, s.h / 2.0);
    p.scale(pic.variant == 2 || pic.variant == 4 ? -1 : 1, pic.variant == 3 || pic.variant == 4 ? -1 : 1);
    QFont f = textFont(qRound(s.h * 0.7));
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(-s.w / 2.0, -s.h / 2.0, s.w, s.h), Qt::AlignCenter, QStringLiteral("F"));
    return img;
}

// Sixteen routes: start corner (top-left, top-right, bottom-left,
// bottom-right), first run horizontal or vertical, and a snake (every run
// turns back) or a return (every run starts at the same side).
QImage route(const Picture& pic, Size s)
{
    QImage img = canvas(s);
    QPainter p(&img);
    smooth(p);
    const int n = pic.variant - 1;
    const bool right = n & 1, bottom = n & 2, vertical = n & 4, snake = !(n & 8);
    const int runs = 3;
    const qreal m = 4;
    const QRectF box(m, m, s.w - 2 * m, s.h - 2 * m);
    QPainterPath path;
    for (int i = 0; i < runs; ++i) {
        const qreal t = runs == 1 ? 0 : qreal(i) / (runs - 1);
        const bool backwards = snake && (i % 2 == 1);
        qreal a0 = backwards ? 1 : 0, a1 = backwards ? 0 : 1;
        QPointF from, to;
        if (vertical) {
            from = QPointF(t, a0);
            to = QPointF(t, a1);
        } else {
            from = QPointF(a0, t);
            to = QPointF(a1, t);
        }
        auto place = [&](QPointF q) {
            const qreal x = right ? 1 - q.x() : q.x();
            const qreal y = bottom ? 1 - q.y() : q.y();
            return QPointF(box.left() + x * box.width(), box.top() + y * box.height());
        };
        if (i == 0)
            path.moveTo(place(from));
        else
            path.lineTo(place(from));
        path.lineTo(place(to));
    }
    p.setPen(QPen(QColor::fromRgba(pic.colour), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgba(kGreen));
    p.drawEllipse(path.pointAtPercent(0), 3, 3);
    return img;
}

QImage pattern(const Picture& pic, Size s)
{
    QImage img = canvas(s);
    QPainter p(&img);
    const QRect r(0, 0, s.w, s.h);
    switch (pic.variant) {
    case 6: {
        const QRgb bars[] = {0xffffffff, 0xffffff00, 0xff00ffff, 0xff00ff00,
                             0xffff00ff, 0xffff0000, 0xff0000ff, 0xff000000};
        for (int i = 0; i < 8; ++i)
            p.fillRect(QRectF(s.w * i / 8.0, 0, s.w / 8.0 + 1, s.h), QColor::fromRgba(bars[i]));
        break;
    }
    case 7:
    case 8:
        p.fillRect(r, Qt::black);
        for (int i = 2; i < (pic.variant == 7 ? s.w : s.h); i += 6) {
            if (pic.variant == 7)
                p.fillRect(i, 0, 2, s.h, QColor::fromRgba(pic.colour));
            else
                p.fillRect(0, i, s.w, 2, QColor::fromRgba(pic.colour));
        }
        break;
    default:
        p.fillRect(r, QColor::fromRgba(pic.colour));
    }
    // A thin frame keeps black and white visible on the dark page.
    p.setPen(QColor::fromRgba(kGrey));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    return img;
}

QImage plainGlyph(const Picture& pic, Size s)
{
    QImage img = canvas(s);
    QPainter p(&img);
    smooth(p);
    drawGlyph(p, QRectF(0, 0, s.w, s.h), pic.glyph, QColor::fromRgba(pic.colour));
    return img;
}

QImage draw(const Picture& pic, int lang, Size s)
{
    switch (pic.kind) {
    case Kind::Captioned: return captioned(pic, lang, s);
    case Kind::Side: return sideBar(pic, lang, s);
    case Kind::Plug: return plug(pic, s);
    case Kind::KeyHint: return keyHint(pic, s);
    case Kind::Mirror: return mirror(pic, s);
    case Kind::Route: return route(pic, s);
    case Kind::Pattern: return pattern(pic, s);
    case Kind::Glyph: break;
    }
    return plainGlyph(pic, s);
}

bool save(const QImage& img, const QString& dir, const QString& name, QStringList& files)
{
    if (!img.save(dir + "/png/" + name, "PNG")) {
        std::fprintf(stderr, "icon generator: cannot write %s\n", qPrintable(name));
        return false;
    }
    files << "png/" + name;
    return true;
}

bool loadFonts(const QString& iconFont, const QString& textFont)
{
    const int id = QFontDatabase::addApplicationFont(iconFont);
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty()) {
        std::fprintf(stderr, "icon generator: cannot load the icon font %s\n", qPrintable(iconFont));
        return false;
    }
    g_iconFamily = families.first();
    if (!textFont.isEmpty()) {
        const QStringList text = QFontDatabase::applicationFontFamilies(QFontDatabase::addApplicationFont(textFont));
        if (!text.isEmpty())
            g_textFamily = text.first();
    }
    return true;
}

// A code point the font lacks would draw an empty box: refuse it.
bool glyphsPresent(const QString& iconFont)
{
    const QRawFont raw(iconFont, 24);
    bool ok = raw.isValid();
    for (const Picture& pic : kPictures) {
        if (pic.glyph != G_None && !raw.supportsCharacter(pic.glyph)) {
            std::fprintf(stderr, "icon generator: %s: glyph U+%04X missing\n", pic.name, pic.glyph);
            ok = false;
        }
    }
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR ICON_FONT [TEXT_FONT]\n", argv[0]);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QString iconFont = QString::fromLocal8Bit(argv[2]);
    if (!loadFonts(iconFont, argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString()) || !glyphsPresent(iconFont))
        return 1;
    QDir().mkpath(out + "/png");
    QStringList files;
    bool ok = true;
    for (const Picture& pic : kPictures) {
        const QString name = QString::fromLatin1(pic.name);
        if (pic.langs == kPlain) {
            ok &= save(draw(pic, 0, pic.size), out, name + ".png", files);
            continue;
        }
        for (int lang = 0; lang < kLangCount; ++lang) {
            if (pic.langs & (1u << lang)) {
                const Size s = pic.byLang ? pic.byLang[lang] : pic.size;
                ok &= save(draw(pic, lang, s), out, QString::fromLatin1(kPrefixes[lang]) + name + ".png", files);
            }
        }
    }
    QFile qrc(out + "/kel_icons.qrc");
    if (!ok || !qrc.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    QTextStream ts(&qrc);
    ts << "<RCC>\n  <qresource prefix=\"/\">\n";
    for (const QString& f : files)
        ts << "    <file>" << f << "</file>\n";
    ts << "  </qresource>\n</RCC>\n";
    return 0;
}
