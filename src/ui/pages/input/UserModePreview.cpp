#include "ui/pages/input/UserModePreview.h"

#include "inputs/sourceinfo.h"
#include "params/AliasFile.h"
#include "params/ModeFile.h"
#include "params/OsdMenu.h"
#include "params/RamLayout.h"
#include "ui/shell/L10n.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/SlotView.h"

#include <QFontMetrics>
#include <QLabel>
#include <QRegularExpression>

namespace {
const char* const kNamePrefix[5] = {"名称:", "Name:", "名称:", "名称:", "名稱:"};
const char* const kDefaultName[5] = {"名称:用户模式%1", "Name:Mode%1", "Название:Слот%1", "Tên:Chế độ%1",
                                     "名稱:用戶模式%1"};
const char* const kLedFormat[5] = {"LED参数:%1x%2", "LED size:%1x%2", "Название:Слот%1x%2", "Tên:Chế độ%1x%2",
                                   "LED參數:%1x%2"};
const char* const kPictureOn[5] = {"亮度:%1 对比度:%2 音量:开启", "Bri:%1 CTRST:%2 Volume:ON",
                                   "Яркость:%1 Контраст:%2 Громкость:Вкл", "Độ sáng:%1 Tương phản:%2 Âm:Mở",
                                   "亮度:%1 對比度:%2 音量:開啟"};
const char* const kPictureOff[5] = {"亮度:%1 对比度:%2 音量:关闭", "Bri:%1 CTRST:%2 Volume:OFF",
                                    "Яркость:%1 Контраст:%2 Громкость:Откл", "Độ sáng:%1 Tương phản:%2 Âm:đóng",
                                    "亮度:%1 對比度:%2 音量:關閉"};
const char* const kMore[5] = {"更多", "More", "Больше", "Nhiều hơn", "更多"};
const char* const kStateOn[5] = {"开启", "ON", "Вкл", "Mở", "開啟"};
const char* const kStateOff[5] = {"关闭", "OFF", "Откл", "đóng", "關閉"};

// The OSD words: Chinese variants, English for every other language.
const char* const kFont[5] = {"字体大小:", "font size:", "font size:", "font size:", "字體大小:"};
const char* const kSpacing[5] = {"字-行间距 [h:", "space [h:", "space [h:", "space [h:", "字-行間距 [h:"};
const char* const kChar[5] = {"字幕坐标[x:", "char[x:", "char[x:", "char[x:", "字幕坐標[x:"};
const char* const kSpeed[5] = {"速度:", "speed:", "speed:", "speed:", "速度:"};
const char* const kEffects[5][5] = {
    {"特技:静止", "effect:static", "effect:static", "effect:static", "特技:靜止"},
    {"特技:上移", "effect:move up", "effect:move up", "effect:move up", "特技:上移"},
    {"特技:下移", "effect:move down", "effect:move down", "effect:move down", "特技:下移"},
    {"特技:左移", "effect:move left", "effect:move left", "effect:move left", "特技:左移"},
    {"特技:右移", "effect:move right", "effect:move right", "effect:move right", "特技:右移"},
};

const char* const kRowStyle = "background-color: #10101C;color: #FFFFFF;";
const char* const kWindowColours[6] = {"#D5E5FF", "#D4FC79", "#FC9D79", "#7E9AC9", "#32CC4C", "#4777FF"};

QLabel* rowLabel(QWidget* parent, const char* name, const QRect& rect, const QString& style, const QFont& font)
{
    QLabel* l = PageForm::label(parent, name, rect, style);
    l->setFont(font);
    return l;
}

QString sourceText(const SlotView& view, int w)
{
    const WindowSource ws = view.window(w);
    QString text = ws.source <= 5 ? sourceinfo::get_source_name_by_sourceid(static_cast<uint8_t>(ws.source))
                                  : QString();
    // The slot preview names a crop by its crop-table row (row 2 is
    // "_Crop3"), whatever crop number the row holds.
    if (ws.crop)
        text += QString::asprintf("_Crop%d", ws.row + 1);
    return text + " " + L10n::pick(view.windowOn(w) ? kStateOn : kStateOff);
}
} // namespace

QString UserModePreview::nameText(int slot, const QFont& font)
{
    ALIAS_PARA alias;
    if (get_json_alias_para(&alias, "usermode", slot) != 1)
        return L10n::pick(kDefaultName).arg(slot + 1);
    const QString name = L10n::pick(kNamePrefix) + QString::fromStdString(alias.name);
    return QFontMetrics(font).elidedText(name, Qt::ElideRight, 171, Qt::TextShowMnemonic);
}

QString UserModePreview::ledText(const SlotView& view)
{
    return L10n::pick(kLedFormat).arg(view.i16(RamLayout::kLedWidth)).arg(view.i16(RamLayout::kLedHeight));
}

QString UserModePreview::pictureText(const SlotView& view)
{
    return L10n::pick(view.soundOn() ? kPictureOn : kPictureOff)
        .arg(view.i16(RamLayout::kQualityBright))
        .arg(view.i16(RamLayout::kQualityContrast));
}

QString UserModePreview::moreText()
{
    return L10n::pick(kMore);
}

void UserModePreview::drawWindows(QWidget* container, const SlotView& view, const QFont& font)
{
    for (int w = 0; w < RamLayout::kWindows; ++w) {
        const int y = 16 + 30 * (w % 3);
        const int x0 = w < 3 ? 0 : 145;
        const int x1 = w < 3 ? 24 : 171;
        QLabel* badge = rowLabel(container, "row_number_label", QRect(x0, y - 14, 24, 24),
                                 QStringLiteral("background-color: %1;").arg(kWindowColours[w]), font);
        badge->setText(QString::number(w + 1));
        badge->setAlignment(Qt::AlignCenter);
        rowLabel(container, "row_source_label", QRect(x1, y - 14, 100, 12), kRowStyle, font)
            ->setText(sourceText(view, w));
        rowLabel(container, "row_geometry_label", QRect(x1, y, 140, 12), kRowStyle, font)
            ->setText(QStringLiteral("[%1,%2]%3x%4")
                          .arg(view.windowWord(w, RamLayout::kImgX))
                          .arg(view.windowWord(w, RamLayout::kImgY))
                          .arg(view.windowWord(w, RamLayout::kImgW))
                          .arg(view.windowWord(w, RamLayout::kImgH)));
    }
}

void UserModePreview::drawOsd(QWidget* container, int slot, const QFont& font)
{
    OSD_LIST list;
    get_json_omenu_para(ModeFile::osdCopyPath(static_cast<unsigned>(slot)).c_str(), &list);
    const OMENU_PARA& o = list.item[0];
    const unsigned effect = static_cast<unsigned>(o.effect);
    const int effectRow = (effect >= 2 && effect <= 5) ? static_cast<int>(effect) - 1 : 0;
    auto u = [](int32_t v) { return QString::number(static_cast<uint32_t>(v)); };
    const QString text = "osd [x:" + u(o.pos_x) + ",y:" + u(o.pos_y) + ",w:" + u(o.pos_w) + ",h:" + u(o.pos_h) + "] " +
                         L10n::pick(kFont) + u(o.fontw) + "*" + u(o.fonth) + "\n" + L10n::pick(kSpacing) +
                         u(o.wordspace) + ",v:" + u(o.verticalspace) + "] " + L10n::pick(kChar) + u(o.startx) +
                         ",y:" + u(o.starty) + "] " + L10n::pick(kSpeed) + u(o.speed) + "," +
                         L10n::pick(kEffects[effectRow]);
    rowLabel(container, "row_source_label", QRect(2, 56, 300, 30), kRowStyle, font)->setText(text);
    // A colour that is not "0x" and six hex digits is left out: the style
    // sheet never sees text from the file.
    const QString back = osdColour(o.backpara_color);
    const QString fore = osdColour(o.font_color);
    QString style;
    if (!back.isEmpty())
        style += "background-color:#" + back + ";";
    if (!fore.isEmpty())
        style += "color:#" + fore + ";";
    QLabel* sample = rowLabel(container, "row_geometry_label", QRect(6, 2, 300, 50), style, font);
    sample->setText(firstLines(QString::fromStdString(o.texts)));
}

QString UserModePreview::osdColour(const std::string& text)
{
    static const QRegularExpression kColour(QStringLiteral("^0x[0-9A-Fa-f]{6}$"));
    const QString t = QString::fromStdString(text);
    return kColour.match(t).hasMatch() ? t.mid(2) : QString();
}

QString UserModePreview::firstLines(const QString& text)
{
    const QStringList lines = text.split('\n');
    return lines.size() > 3 ? lines.mid(0, 3).join('\n') : text;
}
