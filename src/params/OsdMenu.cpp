#include "params/OsdMenu.h"

#include "params/DebugPrint.h"
#include "params/JsonFile.h"
#include "params/KelRamPara.h"
#include "params/OsdTarget.h"
#include "params/RamLayout.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace pt = boost::property_tree;

OSD_LIST g_osd_list;

namespace {

constexpr int kMenuItems = 3;

// A menu item that cannot be read whole (a wrong or missing piece).
struct BadMenu : pt::ptree_error {
    BadMenu() : pt::ptree_error("menu is not a list of items") {}
};

// "pos" and "act", common to text and bitmap items.
void readWindowAndEffect(const pt::ptree& item, OMENU_PARA& r)
{
    const pt::ptree& pos = item.get_child("pos");
    r.pos_x = pos.get<int32_t>("x");
    r.pos_y = pos.get<int32_t>("y");
    r.pos_w = pos.get<int32_t>("w");
    r.pos_h = pos.get<int32_t>("h");
    const pt::ptree& act = item.get_child("act");
    r.effect = act.get<int32_t>("effect");
    r.speed = act.get<int32_t>("speed");
    r.staytime = act.get<int32_t>("staytime");
}

void readTextItem(const pt::ptree& item, OMENU_PARA& r)
{
    readWindowAndEffect(item, r);
    r.backpara_layer = item.get<std::string>("pos.layer", "");
    r.h_align = item.get<std::string>("act.h_align", "left");
    r.v_align = item.get<std::string>("act.v_align", "top");
    const pt::ptree& back = item.get_child("backpara");
    r.backpara_enable = back.get<std::string>("enable");
    r.backpara_color = back.get<std::string>("color");
    const pt::ptree& font = item.get_child("fontpara");
    r.startx = font.get<int32_t>("startx");
    r.starty = font.get<int32_t>("starty");
    r.fontw = font.get<int32_t>("fontw");
    r.fonth = font.get<int32_t>("fonth");
    r.wordspace = font.get<int32_t>("wordspace");
    r.verticalspace = font.get<int32_t>("verticalspace");
    r.font_color = font.get<std::string>("color");
    const pt::ptree& texts = item.get_child("texts");
    if (texts.empty())
        throw BadMenu();
    r.texts = texts.begin()->second.data();
}

void readBitmapItem(const pt::ptree& item, OMENU_PARA& r)
{
    readWindowAndEffect(item, r);
    item.get_child("bmppara");
    r.start = item.get<int32_t>("start");
    r.end = item.get<int32_t>("end");
}

void readItem(const pt::ptree& item, OMENU_PARA& r)
{
    r.type = item.get<int32_t>("type");
    r.status = item.get<std::string>("status");
    if (r.type == 0)
        readTextItem(item, r);
    else if (r.type == 1)
        readBitmapItem(item, r);
}

void printRecord(int i, const OMENU_PARA& r)
{
    kelDebug("\n ======== osd item %d ========\n", i);
    kelDebug(" type=%d status=%s pos=%d,%d,%d,%d layer=%s\n", r.type, r.status.c_str(), r.pos_x, r.pos_y, r.pos_w,
             r.pos_h, r.backpara_layer.c_str());
    kelDebug(" effect=%d speed=%d staytime=%d h_align=%s v_align=%s\n", r.effect, r.speed, r.staytime,
             r.h_align.c_str(), r.v_align.c_str());
    kelDebug(" back=%s,%s font=%d,%d,%d,%d,%d,%d,%s start=%d end=%d\n texts=%s\n", r.backpara_enable.c_str(),
             r.backpara_color.c_str(), r.startx, r.starty, r.fontw, r.fonth, r.wordspace, r.verticalspace,
             r.font_color.c_str(), r.start, r.end, r.texts.c_str());
    kelDebug(" ==============================\n");
}

void readMenu(const pt::ptree& tree, OSD_LIST* list)
{
    kelDebug("\n osd menu name = %s\n", tree.get<std::string>("name").c_str());
    OMENU_PARA& first = list->item[0];
    const int32_t osdcount = tree.get<int32_t>("osdcount");
    first.oactcount = tree.get<int32_t>("oactcount");
    if (osdcount == 0)
        return;
    const pt::ptree& menu = tree.get_child("menu");
    // A list's elements have empty keys; an object or a plain value is not
    // a menu.
    if (menu.empty() || !menu.begin()->first.empty())
        throw BadMenu();
    int i = 0;
    for (const auto& item : menu) {
        if (i == kMenuItems)
            break;
        readItem(item.second, list->item[i]);
        printRecord(i, list->item[i]);
        ++i;
    }
    first.osdcount = osdcount;
}

} // namespace

void get_json_omenu_para(const char* path, OSD_LIST* list)
{
    if (!list)
        return;
    list->item[0].osdcount = 0;
    if (!path)
        return;
    pt::ptree tree;
    if (JsonFile::load(path, tree) != JsonFile::Result::Parsed)
        return;
    try {
        readMenu(tree, list);
    } catch (const pt::ptree_error& e) {
        // Nothing is programmed; the chip keeps its OSD and the file stays.
        kelDebug("\n osd menu %s unusable: %s\n", path, e.what());
        list->item[0].osdcount = 0;
    }
}

namespace {

// Hexadecimal RRGGBB text (optional 0x, up to the first non-hex character,
// no digits = 0) as the chip's BBGGRR.
int colourValue(const std::string& text)
{
    size_t i = 0;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        i = 2;
    uint32_t n = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            break;
        n = (n << 4) | static_cast<uint32_t>(d);
    }
    return static_cast<int>(((n >> 16) & 0xFF) | ((n & 0xFF) << 16) | (n & 0xFF00));
}

// JSON effect to the chip's scroll mode; -1 = no call.
int scrollMode(int effect)
{
    static const int kMap[] = {0, 3, 4, 1, 2};
    return (effect >= 0 && effect <= 4) ? kMap[effect] : -1;
}

struct FontCalls {
    int size;
    int hZoom, vZoom, big, doubleCell;
};
constexpr FontCalls kFonts[] = {
    {32, 0, 0, 0, 0},
    {64, 0, 0, 1, 0},
    {128, 1, 1, 1, 0},
    {256, 1, 1, 1, 1},
};

void setFont(OsdTarget& t, int fontw, int fonth)
{
    for (const FontCalls& f : kFonts) {
        if (fontw == f.size && fonth == f.size) {
            t.kelApi_OsdSet(1, f.hZoom);
            t.kelApi_OsdSet(2, f.vZoom);
            t.kelApi_OsdSet(14, f.big);
            t.kelApi_OsdSet(48, f.doubleCell);
            return;
        }
    }
    // Zoom and the double cell keep their previous state.
    t.kelApi_OsdSet(14, 0);
}

int indexOf(const std::string& text, std::initializer_list<const char*> names)
{
    int i = 0;
    for (const char* n : names) {
        if (text == n)
            return i;
        ++i;
    }
    return -1;
}

// Splits the text into lines of UTF-16 units (cut to the slot width),
// fills the slots and the per-line counters; returns the line count.
int fillLines(OsdTarget& t, const std::string& texts, int lengths[],
              uint32_t lines[][OsdTarget::kLineChars])
{
    const QStringList parts = QString::fromUtf8(texts.data(), static_cast<int>(texts.size()))
                                  .split(QLatin1Char('\n'), Qt::KeepEmptyParts);
    const int n = std::min(static_cast<int>(parts.size()), static_cast<int>(OsdTarget::kMaxLines));
    for (int i = 0; i < n; ++i) {
        const QString line = parts[i].left(OsdTarget::kLineChars);
        const int len = static_cast<int>(line.size());
        lengths[i] = len;
        t.osd_line_num[i] = len;
        t.osd_line_en[i] = 0;
        t.osd_line_cn[i] = 0;
        t.g_osd_max_line_x_tarvo[i] = 0;
        for (int j = 0; j < len; ++j) {
            const uint32_t code = line.at(j).unicode();
            lines[i][j] = code;
            if (code >= 1 && code <= 255)
                ++t.osd_line_en[i];
            else
                ++t.osd_line_cn[i];
        }
        kelDebug(" \n %dline ,num=%d ,en = %d,cn=%d\n", i, len, t.osd_line_en[i], t.osd_line_cn[i]);
    }
    return n;
}

void limitWindow(OMENU_PARA& r, const uint8_t* block)
{
    const uint32_t width = RamLayout::u16(block, RamLayout::kLedWidth);
    const uint32_t height = RamLayout::u16(block, RamLayout::kLedHeight);
    // Unsigned: a negative value counts as above the limit.
    if (static_cast<uint32_t>(r.pos_w) > width)
        r.pos_w = static_cast<int32_t>(width);
    if (static_cast<uint32_t>(r.pos_y) > height)
        r.pos_y = static_cast<int32_t>(height);
}

void programWindow(OsdTarget& t, const OMENU_PARA& r)
{
    t.kelApi_OsdSet(5, r.pos_x);
    t.kelApi_OsdSet(6, r.pos_w);
    t.kelApi_OsdSet(7, r.pos_y);
    t.kelApi_OsdSet(8, r.pos_h);
    t.kelApi_OsdSet(3, r.type == 0 ? 1 : 0);
    setFont(t, r.fontw, r.fonth);
    t.kelApi_OsdSet(21, r.startx);
    t.kelApi_OsdSet(22, r.starty);
    t.kelApi_OsdSet(9, r.pos_x);
    t.kelApi_OsdSet(10, r.pos_w);
    t.kelApi_OsdSet(11, r.pos_y);
    t.kelApi_OsdSet(12, r.pos_h);
}

void programLook(OsdTarget& t, const OMENU_PARA& r)
{
    t.kelApi_OsdSet(17, colourValue(r.font_color));
    t.kelApi_OsdSet(13, r.speed * 10);
    if (r.backpara_enable != "off") {
        t.kelApi_OsdSet(16, colourValue(r.backpara_color));
        t.kelApi_OsdSet(18, 0);
    } else {
        t.kelApi_OsdSet(18, 1);
    }
    const int mode = scrollMode(r.effect);
    if (mode >= 0)
        t.kelApi_OsdSet(4, mode);
    t.kelApi_OsdSet(0, r.status == "on" ? 1 : 0);
    t.kelApi_OsdSet(33, r.backpara_layer == "buttom" ? 1 : 0);
    const int h = indexOf(r.h_align, {"left", "center", "right", "justify"});
    if (h >= 0)
        t.kelApi_OsdSet(34, h);
    const int v = indexOf(r.v_align, {"top", "center", "bottom"});
    if (v >= 0)
        t.kelApi_OsdSet(35, v);
}

} // namespace

void set_OSD_para(OMENU_PARA* first)
{
    OsdTarget* target = OsdTarget::installed();
    if (first && target)
        set_OSD_para(first, *target);
}

void set_OSD_para(OMENU_PARA* first, OsdTarget& target)
{
    if (!first || first->osdcount == 0)
        return;
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    if (store)
        limitWindow(*first, store->RamBlock);
    target.load_char();
    target.g_osd_h_alignment_tarvo = 0;
    target.g_osd_v_alignment_value_tarvo = 0;

    int lengths[OsdTarget::kMaxLines] = {};
    std::vector<uint32_t> storage(static_cast<size_t>(OsdTarget::kMaxLines) * OsdTarget::kLineChars, 0);
    auto* lines = reinterpret_cast<uint32_t(*)[OsdTarget::kLineChars]>(storage.data());
    const int n = fillLines(target, first->texts, lengths, lines);
    target.kelApi_OsdSetUnicode(n, lengths, lines);

    programWindow(target, *first);
    programLook(target, *first);
}
