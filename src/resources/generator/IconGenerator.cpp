// Draws every picture of the front panel into a folder and writes the Qt
// resource file that lists them. Run at build time, so no binary picture is
// kept in the repository. Each per-language variant carries its caption in
// that language and a small language tag, so a screenshot shows which
// variant was loaded.
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

#include <cstdio>
#include <vector>

namespace {

struct Lang {
    const char* prefix;
    const char* tag;
};
const Lang kLangs[5] = {{"", "CN"}, {"en_", "EN"}, {"ru_", "RU"}, {"vn_", "VN"}, {"tn_", "TW"}};

struct LangIcon {
    const char* base;
    int w, h;
    QRgb colour;
    const char* caption[5]; // zh, en, ru, vn, tw
};

const LangIcon kLangIcons[] = {
    {"machinestate", 64, 64, 0xff4f8cff, {"设备状态", "State", "Статус", "Trạng thái", "設備狀態"}},
    {"inputchoose", 64, 64, 0xff33b679, {"输入选择", "Input", "Вход", "Đầu vào", "輸入選擇"}},
    {"custommode", 64, 64, 0xffe8a33d, {"用户模式", "Mode", "Режим", "Chế độ", "用戶模式"}},
    {"option", 64, 64, 0xff9b6cf0, {"设置", "Setting", "Настр.", "Cài đặt", "設置"}},
    {"uncall", 24, 36, 0xff3a3f58, {"调", "R", "В", "G", "調"}},
    {"call", 24, 36, 0xffffab54, {"调", "R", "В", "G", "調"}},
    {"unsave", 24, 36, 0xff3a3f58, {"存", "S", "С", "L", "存"}},
    {"save", 24, 36, 0xffffab54, {"存", "S", "С", "L", "存"}},
    {"closeled", 24, 36, 0xffc0392b, {"关", "off", "вык", "tắt", "關"}},
    {"uncloseled", 24, 36, 0xff27ae60, {"开", "on", "вкл", "bật", "開"}},
    {"slience", 24, 36, 0xff7f8c8d, {"静", "mute", "тих", "câm", "靜"}},
    {"unslience", 24, 36, 0xff2e86de, {"音", "snd", "зв", "âm", "音"}},
    {"output_set", 64, 64, 0xff4f8cff, {"输出设置", "Output", "Выход", "Đầu ra", "輸出設置"}},
    {"input_cut", 64, 64, 0xff33b679, {"输入裁剪", "Crop", "Обрез", "Cắt", "輸入裁剪"}},
    {"image_layout", 64, 64, 0xffe8a33d, {"画面布局", "Layout", "Макет", "Bố cục", "畫面佈局"}},
    {"link_set", 64, 64, 0xff16a085, {"连接设置", "Link", "Связь", "Kết nối", "連接設置"}},
    {"image_quality", 64, 64, 0xff9b6cf0, {"画质", "Quality", "Качество", "Chất lượng", "畫質"}},
    {"test_chart", 64, 64, 0xffd35400, {"测试图", "Test", "Тест", "Kiểm tra", "測試圖"}},
    {"smart_mapping", 64, 64, 0xff2980b9, {"智能映射", "Mapping", "Карта", "Ánh xạ", "智能映射"}},
    {"AdvanceButton", 64, 64, 0xff7f8c8d, {"高级", "Advanced", "Дополн.", "Nâng cao", "高級"}},
};

struct PlainIcon {
    const char* name;
    int w, h;
    QRgb colour;
    const char* glyph;
};

const PlainIcon kPlainIcons[] = {
    {"ip", 16, 16, 0xff2e86de, "IP"},          {"lock", 16, 16, 0xffc0392b, "L"},
    {"unlock", 16, 16, 0xff27ae60, "U"},       {"tools", 16, 16, 0xff7f8c8d, "T"},
    {"pointer", 16, 16, 0xffffab54, ">"},      {"mode_blank", 40, 40, 0xff3a3f58, ""},
    {"mode_exist", 40, 40, 0xff4777ff, "M"},   {"LED", 16, 16, 0xffe8a33d, "L"},
    {"bright", 16, 16, 0xfff1c40f, "B"},       {"contrast", 16, 16, 0xff95a5a6, "C"},
    {"volume_open", 16, 16, 0xff2e86de, "V"},  {"volume_close", 16, 16, 0xff7f8c8d, "X"},
    {"menu_status", 20, 20, 0xff4777ff, "="},  {"osd_yes", 12, 12, 0xff27ae60, ""},
    {"freeze", 16, 16, 0xff5dade2, "F"},       {"OK_Enter", 40, 16, 0xff33b679, "OK"},
    {"back_return", 40, 16, 0xffc0392b, "BACK"}, {"update", 24, 24, 0xff2e86de, "U"},
    {"delete", 24, 24, 0xffc0392b, "D"},       {"add", 24, 24, 0xff27ae60, "+"},
    {"state_on", 32, 16, 0xff27ae60, "ON"},    {"state_off", 32, 16, 0xff7f8c8d, "OFF"},
    {"mirror1_on", 32, 32, 0xffffab54, "1"},   {"mirror1_off", 32, 32, 0xff3a3f58, "1"},
    {"mirror2_on", 32, 32, 0xffffab54, "2"},   {"mirror2_off", 32, 32, 0xff3a3f58, "2"},
    {"mirror3_on", 32, 32, 0xffffab54, "3"},   {"mirror3_off", 32, 32, 0xff3a3f58, "3"},
    {"mirror4_on", 32, 32, 0xffffab54, "4"},   {"mirror4_off", 32, 32, 0xff3a3f58, "4"},
    {"HDMI", 48, 24, 0xff7f8c8d, "EXT"},       {"DVI", 48, 24, 0xff7f8c8d, "DVI"},
    {"HDMI13", 48, 24, 0xff4f8cff, "HDMI"},    {"HDMI13_1", 48, 24, 0xff7f8c8d, "HDMI"},
    {"HDMI13_lv", 48, 24, 0xff27ae60, "HDMI"}, {"HDMI20", 48, 24, 0xff7f8c8d, "4K"},
    {"HDMI20_lv", 48, 24, 0xff27ae60, "4K"},   {"extlv", 48, 24, 0xff27ae60, "EXT"},
    {"dvilv", 48, 24, 0xff27ae60, "DVI"},
};

QImage canvas(int w, int h)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

void drawBox(QPainter& p, const QRectF& r, QColor c)
{
    QPainterPath path;
    const qreal radius = qMin(r.width(), r.height()) / 6.0;
    path.addRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    p.fillPath(path, c);
}

void fitText(QPainter& p, const QRectF& r, const QString& text, int maxPx)
{
    QFont f("WenQuanYi Micro Hei");
    f.setStyleHint(QFont::SansSerif);
    int px = maxPx;
    for (; px > 5; --px) {
        f.setPixelSize(px);
        QFontMetricsF fm(f);
        if (fm.horizontalAdvance(text) <= r.width() && fm.height() <= r.height())
            break;
    }
    f.setPixelSize(px);
    p.setFont(f);
    p.drawText(r, Qt::AlignCenter, text);
}

QImage langIcon(const LangIcon& icon, int lang, int w, int h)
{
    QImage img = canvas(w, h);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    drawBox(p, QRectF(0, 0, w, h), QColor::fromRgba(icon.colour));
    p.setPen(Qt::white);
    const QString caption = QString::fromUtf8(icon.caption[lang]);
    if (h >= 40) {
        fitText(p, QRectF(2, 4, w - 4, h * 0.6), caption, h / 4);
        p.setPen(QColor(255, 255, 255, 170));
        fitText(p, QRectF(2, h * 0.68, w - 4, h * 0.28), QString::fromLatin1(kLangs[lang].tag), 10);
    } else {
        fitText(p, QRectF(1, 2, w - 2, h * 0.62), caption, 14);
        p.setPen(QColor(255, 255, 255, 170));
        fitText(p, QRectF(1, h * 0.66, w - 2, h * 0.3), QString::fromLatin1(kLangs[lang].tag), 8);
    }
    return img;
}

QImage plainIcon(const PlainIcon& icon)
{
    QImage img = canvas(icon.w, icon.h);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0, 0, icon.w, icon.h);
    if (icon.glyph[0] == '\0') {
        p.setBrush(QColor::fromRgba(icon.colour));
        p.setPen(Qt::NoPen);
        p.drawEllipse(r.adjusted(1, 1, -1, -1));
        return img;
    }
    drawBox(p, r, QColor::fromRgba(icon.colour));
    p.setPen(Qt::white);
    fitText(p, r.adjusted(1, 1, -1, -1), QString::fromLatin1(icon.glyph), icon.h);
    return img;
}

QImage checkMark()
{
    QImage img = canvas(180, 180);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(39, 174, 96));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(6, 6, 168, 168));
    QPen pen(Qt::white, 18, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    const QPointF tick[3] = {{50, 92}, {80, 122}, {132, 62}};
    p.drawPolyline(tick, 3);
    return img;
}

// The settings-menu pictures are shown at these sizes per language (zh,
// en, ru, vn, tw), so they are drawn at them: a picture is never enlarged.
struct SizedIcon {
    const char* base;
    int w[5];
    int h;
};
const SizedIcon kSizedIcons[] = {
    {"output_set", {55, 75, 55, 55, 55}, 60},    {"input_cut", {55, 70, 70, 70, 55}, 60},
    {"image_layout", {55, 70, 55, 55, 55}, 60},  {"link_set", {55, 70, 70, 70, 55}, 60},
    {"image_quality", {55, 75, 55, 55, 55}, 60}, {"test_chart", {55, 55, 55, 55, 55}, 60},
    {"smart_mapping", {55, 55, 55, 55, 55}, 60}, {"AdvanceButton", {55, 54, 70, 54, 55}, 60},
};

// English input-choice icon sizes differ by language (Chinese 64x64,
// Russian and Vietnamese 96x76, English 90x64).
void langSize(const LangIcon& icon, int lang, int& w, int& h)
{
    w = icon.w;
    h = icon.h;
    for (const SizedIcon& sized : kSizedIcons) {
        if (QString::fromLatin1(icon.base) == QLatin1String(sized.base)) {
            w = sized.w[lang];
            h = sized.h;
            return;
        }
    }
    if (QString::fromLatin1(icon.base) != QLatin1String("inputchoose"))
        return;
    if (lang == 1) {
        w = 90;
        h = 64;
    } else if (lang == 2 || lang == 3) {
        w = 96;
        h = 76;
    }
}

QString langFileName(const LangIcon& icon, int lang)
{
    // The English advanced-menu picture has its own name.
    if (lang == 1 && QString::fromLatin1(icon.base) == QLatin1String("AdvanceButton"))
        return QStringLiteral("en_advance_option.png");
    return QString::fromLatin1(kLangs[lang].prefix) + QString::fromLatin1(icon.base) + ".png";
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

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out + "/png");
    QStringList files;
    bool ok = true;
    for (const LangIcon& icon : kLangIcons) {
        for (int lang = 0; lang < 5; ++lang) {
            int w = 0, h = 0;
            langSize(icon, lang, w, h);
            ok &= save(langIcon(icon, lang, w, h), out, langFileName(icon, lang), files);
        }
    }
    for (const PlainIcon& icon : kPlainIcons)
        ok &= save(plainIcon(icon), out, QString::fromLatin1(icon.name) + ".png", files);
    ok &= save(checkMark(), out, QStringLiteral("check_180.png"), files);

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
