#include "StoreFixture.h"

#include "params/OsdMenu.h"
#include "params/OsdTarget.h"
#include "params/RamLayout.h"

#include <sstream>

using namespace kel::test;

namespace {

using Call = std::pair<int, int>;
using Calls = std::vector<Call>;

// Records the OSD programming in call order; load_char is (-1, 0) and the
// text hand-over (-2, line count).
class RecordingTarget : public OsdTarget {
public:
    int kelApi_OsdSet(int type, int value) override
    {
        calls.emplace_back(type, value);
        return 1;
    }
    int kelApi_OsdSetUnicode(int count, int lengths[], uint32_t lines[][kLineChars]) override
    {
        calls.emplace_back(-2, count);
        texts.clear();
        for (int i = 0; i < count; ++i) {
            EXPECT_LE(lengths[i], kLineChars);
            texts.emplace_back(lines[i], lines[i] + lengths[i]);
        }
        return 0;
    }
    void load_char() override { calls.emplace_back(-1, 0); }

    Calls calls;
    std::vector<std::vector<uint32_t>> texts;
};

std::string quoted(const std::string& s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '\n')
            out += "\\n";
        else if (c == '"')
            out += "\\\"";
        else
            out += c;
    }
    return out + "\"";
}

struct Item {
    std::string type = "0", status = "on";
    std::string pos = R"("x": 10, "y": 20, "w": 300, "h": 64)";
    std::string act = R"("effect": 1, "speed": 3, "staytime": 5, "h_align": "center", "v_align": "bottom")";
    std::string back = R"("enable": "on", "color": "00FF80")";
    std::string font = R"("startx": 1, "starty": 2, "fontw": 64, "fonth": 64, "wordspace": 0, "verticalspace": 0, "color": "0xff0000")";
    std::string texts = "Hello\nWorld";

    std::string json() const
    {
        if (type == "1")
            return "{\"type\": 1, \"status\": \"" + status + "\", \"pos\": {" + pos + "}, \"act\": {" + act +
                   "}, \"bmppara\": {}, \"start\": 4, \"end\": 9}";
        return "{\"type\": " + type + ", \"status\": \"" + status + "\", \"pos\": {" + pos + "}, \"act\": {" + act +
               "}, \"backpara\": {" + back + "}, \"fontpara\": {" + font + "}, \"texts\": [" + quoted(texts) + "]}";
    }
};

std::string menu(const std::vector<Item>& items, int osdcount = 1)
{
    std::ostringstream o;
    o << R"({"name": "menu", "osdcount": )" << osdcount << R"(, "oactcount": 2, "menu": [)";
    for (size_t i = 0; i < items.size(); ++i)
        o << (i ? ", " : "") << items[i].json();
    o << "]}";
    return o.str();
}

class OsdMenu : public StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        start();
        clearCommands();
        list = OSD_LIST{};
    }
    void load(const std::string& text, const char* path = "/data/configs/omenu.json")
    {
        writeText(path, text);
        get_json_omenu_para(path, &list);
    }
    Calls program()
    {
        target.calls.clear();
        set_OSD_para(&list.item[0], target);
        return target.calls;
    }
    OSD_LIST list;
    RecordingTarget target;
};

} // namespace

TEST_F(OsdMenu, TextItemGivesTheFixedCallSequence)
{
    load(menu({Item{}}));
    EXPECT_EQ(1, list.item[0].osdcount);
    EXPECT_EQ(2, list.item[0].oactcount);
    const Calls expected = {
        {-1, 0}, {-2, 2},
        {5, 10}, {6, 300}, {7, 20}, {8, 64}, {3, 1},
        {1, 0}, {2, 0}, {14, 1}, {48, 0},
        {21, 1}, {22, 2}, {9, 10}, {10, 300}, {11, 20}, {12, 64},
        {17, 0x0000FF}, {13, 30}, {16, 0x80FF00}, {18, 0}, {4, 3}, {0, 1}, {33, 0}, {34, 1}, {35, 2}};
    EXPECT_EQ(expected, program());
    ASSERT_EQ(2u, target.texts.size());
    EXPECT_EQ(std::vector<uint32_t>({'H', 'e', 'l', 'l', 'o'}), target.texts[0]);
    EXPECT_EQ(5, target.osd_line_num[1]);
    EXPECT_EQ(5, target.osd_line_en[1]);
}

struct Variant {
    const char* name;
    void (*change)(Item&);
    Calls present;   // calls that must appear
    Calls absent;    // calls that must not
    std::vector<int> absentTypes;
};

void PrintTo(const Variant& v, std::ostream* os) { *os << v.name; }

class OsdVariant : public OsdMenu, public ::testing::WithParamInterface<Variant> {};

TEST_P(OsdVariant, ChangesOnlyItsCalls)
{
    Item item;
    GetParam().change(item);
    load(menu({item}));
    const Calls calls = program();
    for (const Call& c : GetParam().present)
        EXPECT_NE(calls.end(), std::find(calls.begin(), calls.end(), c)) << c.first << "," << c.second;
    for (const Call& c : GetParam().absent)
        EXPECT_EQ(calls.end(), std::find(calls.begin(), calls.end(), c)) << c.first << "," << c.second;
    for (int type : GetParam().absentTypes)
        for (const Call& c : calls)
            EXPECT_NE(type, c.first) << type;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OsdVariant,
    ::testing::Values(
        Variant{"font_pair_unequal", [](Item& i) { i.font = R"("startx": 1, "starty": 2, "fontw": 64, "fonth": 32, "wordspace": 0, "verticalspace": 0, "color": "")"; },
                {{14, 0}, {17, 0}}, {}, {1, 2, 48}},
        Variant{"font_256", [](Item& i) { i.font = R"("startx": 1, "starty": 2, "fontw": 256, "fonth": 256, "wordspace": 0, "verticalspace": 0, "color": "GG")"; },
                {{1, 1}, {2, 1}, {14, 1}, {48, 1}, {17, 0}}, {}, {}},
        Variant{"align_case", [](Item& i) { i.act = R"("effect": 5, "speed": 26, "staytime": 0, "h_align": "Center")"; },
                {{13, 260}, {35, 0}}, {}, {34, 4}},
        Variant{"layer_buttom", [](Item& i) { i.pos += R"(, "layer": "buttom")"; }, {{33, 1}}, {}, {}},
        Variant{"layer_bottom", [](Item& i) { i.pos += R"(, "layer": "bottom")"; }, {{33, 0}}, {}, {}},
        Variant{"colour_with_sign", [](Item& i) { i.back = R"("enable": "on", "color": "-1")"; }, {{16, 0}}, {}, {}},
        Variant{"back_off", [](Item& i) { i.back = R"("enable": "off", "color": "123456")"; }, {{18, 1}}, {}, {16}},
        Variant{"status_upper", [](Item& i) { i.status = "ON"; }, {{0, 0}}, {{0, 1}}, {}},
        Variant{"wide_window", [](Item& i) { i.pos = R"("x": 0, "y": 5000, "w": 4000, "h": 10)"; },
                {{6, 1920}, {10, 1920}, {7, 1080}, {11, 1080}}, {}, {}},
        Variant{"negative_width", [](Item& i) { i.pos = R"("x": -3, "y": 0, "w": -5, "h": -1)"; },
                {{6, 1920}, {5, -3}, {8, -1}}, {}, {}},
        Variant{"effect_map", [](Item& i) { i.act = R"("effect": 4, "speed": 0, "staytime": 0)"; }, {{4, 2}}, {}, {}}));

TEST_F(OsdMenu, ZeroCountProgramsNothing)
{
    load(menu({Item{}}, 0));
    EXPECT_EQ(0, list.item[0].osdcount);
    EXPECT_TRUE(program().empty());
}

TEST_F(OsdMenu, ShortMenuKeepsTheLaterRecords)
{
    Item a, b, c;
    b.texts = "second";
    c.texts = "third";
    load(menu({a, b, c}));
    Item d;
    d.texts = "only";
    load(menu({d}));
    EXPECT_EQ("only", list.item[0].texts);
    EXPECT_EQ("second", list.item[1].texts);
    EXPECT_EQ("third", list.item[2].texts);
    Item e, f, g, h;
    h.texts = "fourth";
    load(menu({e, f, g, h}));
    EXPECT_EQ("Hello\nWorld", list.item[2].texts);
}

TEST_F(OsdMenu, BitmapItemKeepsTheEarlierTextAndFont)
{
    load(menu({Item{}}));
    Item bmp;
    bmp.type = "1";
    load(menu({bmp}));
    EXPECT_EQ(4, list.item[0].start);
    EXPECT_EQ(9, list.item[0].end);
    const Calls calls = program();
    EXPECT_NE(calls.end(), std::find(calls.begin(), calls.end(), Call{3, 0}));
    EXPECT_NE(calls.end(), std::find(calls.begin(), calls.end(), Call{14, 1}));
    EXPECT_NE(calls.end(), std::find(calls.begin(), calls.end(), Call{34, 1}));
    EXPECT_EQ(2u, target.texts.size());
}

TEST_F(OsdMenu, OtherItemTypesReadOnlyTypeAndStatus)
{
    load(menu({Item{}}));
    load(R"({"name": "m", "osdcount": 1, "oactcount": 0, "menu": [{"type": 2, "status": "off"}]})");
    EXPECT_EQ(1, list.item[0].osdcount);
    EXPECT_EQ(2, list.item[0].type);
    EXPECT_EQ("off", list.item[0].status);
    EXPECT_EQ(300, list.item[0].pos_w);
}

struct TextCase {
    const char* name;
    std::string text;
    std::vector<int> lengths;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

class OsdText : public OsdMenu, public ::testing::WithParamInterface<TextCase> {};

TEST_P(OsdText, SplitsIntoCutLines)
{
    list.item[0].osdcount = 1;
    list.item[0].texts = GetParam().text;
    program();
    std::vector<int> lengths;
    for (const auto& line : target.texts)
        lengths.push_back(static_cast<int>(line.size()));
    EXPECT_EQ(GetParam().lengths, lengths);
}

std::string manyLines(int n)
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += (i ? "\n" : "") + std::string("x");
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OsdText,
    ::testing::Values(TextCase{"trailing_feed", "a\nb\n", {1, 1, 0}}, TextCase{"empty", "", {0}},
                      TextCase{"only_feed", "\n", {0, 0}}, TextCase{"carriage_return", "a\r\nb", {2, 1}},
                      TextCase{"seventy_lines", manyLines(70), std::vector<int>(64, 1)},
                      TextCase{"long_line", std::string(200, 'y'), {128}}));

TEST_F(OsdMenu, CountsWideAndNarrowCharactersOverTheCutLine)
{
    list.item[0].osdcount = 1;
    // "A", a CJK character, a character outside the BMP (two UTF-16 units)
    // and an invalid byte.
    list.item[0].texts = "A\xE4\xBD\xA0\xF0\x9F\x98\x80\xFF";
    program();
    ASSERT_EQ(1u, target.texts.size());
    EXPECT_EQ(std::vector<uint32_t>({'A', 0x4F60, 0xD83D, 0xDE00, 0xFFFD}), target.texts[0]);
    EXPECT_EQ(1, target.osd_line_en[0]);
    EXPECT_EQ(4, target.osd_line_cn[0]);
    EXPECT_EQ(5, target.osd_line_num[0]);
}

TEST_F(OsdMenu, MissingKeysOrBadValuesGiveZeroCountAndKeepTheFile)
{
    Item noFont;
    noFont.font = R"("startx": 1)";
    Item badInt;
    badInt.pos = R"("x": "ten", "y": 0, "w": 1, "h": 1)";
    Item noTexts;
    noTexts.texts = "";
    std::string emptyTexts = menu({noTexts});
    emptyTexts.replace(emptyTexts.find("[\"\"]"), 4, "[]");
    for (const std::string& text : {menu({noFont}), menu({badInt}), emptyTexts,
                                    std::string(R"({"name": "m", "osdcount": 1, "oactcount": 0, "menu": {"a": 1}})"),
                                    std::string(R"({"name": "m", "osdcount": 1, "oactcount": 0, "menu": "x"})"),
                                    std::string(R"({"osdcount": 1, "oactcount": 0, "menu": []})")}) {
        load(menu({Item{}}));
        ASSERT_EQ(1, list.item[0].osdcount);
        load(text);
        EXPECT_EQ(0, list.item[0].osdcount) << text;
        EXPECT_TRUE(program().empty());
        EXPECT_TRUE(fileExists("/data/configs/omenu.json"));
    }
    for (const auto& c : commands())
        EXPECT_EQ(std::string::npos, c.find("rm ")) << c;
}

TEST_F(OsdMenu, InvalidModeCopyDeletesOnlyThatCopy)
{
    writeText("/data/configs/omenu.json", menu({Item{}}));
    load("{\"name\": ", "/data/modes/MO0a.json");
    EXPECT_EQ(0, list.item[0].osdcount);
    EXPECT_EQ(std::vector<std::string>({"rm -rf /data/modes/MO0a.json"}), commands());
    EXPECT_FALSE(fileExists("/data/modes/MO0a.json"));
    EXPECT_TRUE(fileExists("/data/configs/omenu.json"));
}

TEST_F(OsdMenu, MissingFileGivesZeroCountAndRunsNothing)
{
    list.item[0].osdcount = 3;
    get_json_omenu_para("/data/configs/omenu.json", &list);
    EXPECT_EQ(0, list.item[0].osdcount);
    EXPECT_TRUE(commands().empty());
}

TEST_F(OsdMenu, InstalledTargetIsProgrammed)
{
    load(menu({Item{}}));
    set_OSD_para(&list.item[0]);   // nothing installed: no call anywhere
    OsdTarget::install(&target);
    set_OSD_para(&list.item[0]);
    OsdTarget::install(nullptr);
    EXPECT_EQ((Call{-1, 0}), target.calls.front());
}

TEST_F(OsdMenu, DeeplyNestedMenuIsSetAsideAndAGoodOneStillLoads)
{
    list.item[0].osdcount = 3;
    load(std::string(50000, '[') + std::string(50000, ']'), "/data/modes/MO03.json");
    EXPECT_EQ(0, list.item[0].osdcount);
    EXPECT_TRUE(fileExists("/data/modes/MO03.json.bad"));
    EXPECT_FALSE(fileExists("/data/modes/MO03.json"));
    EXPECT_TRUE(commands().empty());
    load(menu({Item{}}));
    EXPECT_EQ(1, list.item[0].osdcount);
}
