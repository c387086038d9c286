#include "params/Utils.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const uint8_t* bytes(const char* s) { return reinterpret_cast<const uint8_t*>(s); }

TEST(UtilsChecksumTest, CatalogueCheckValuesOverTheNineDigits)
{
    const char* d = "123456789";
    EXPECT_EQ(Utils::calcCRC16(bytes(d), 9), 0xBB3D);
    EXPECT_EQ(Utils::cardCalcCRC16(bytes(d), 9), 0x6F91);
    EXPECT_EQ(Utils::jtc1CRC16Code(bytes(d), 9), 0x31C3);
    EXPECT_EQ(Utils::calcCRC32(bytes(d), 9), 0x2DFD2D88u);
}

TEST(UtilsChecksumTest, EmptyBufferGivesTheInitialValue)
{
    const uint8_t none[1] = {0};
    EXPECT_EQ(Utils::BCC(none, 0), 0);
    EXPECT_EQ(Utils::calcCRC16(none, 0), 0);
    EXPECT_EQ(Utils::cardCalcCRC16(none, 0), 0xFFFF);
    EXPECT_EQ(Utils::jtc1CRC16Code(none, 0), 0);
    EXPECT_EQ(Utils::calcCRC32(none, 0), 0u);
}

TEST(UtilsChecksumTest, BccIsTheXorOfTheBytes)
{
    EXPECT_EQ(Utils::BCC(bytes("abc"), 3), 0x60);
    const uint8_t frame[] = {0xA5, 0x5A, 0xFF, 0x00, 0x0F};
    EXPECT_EQ(Utils::BCC(frame, sizeof frame), 0xA5 ^ 0x5A ^ 0xFF ^ 0x0F);
}

struct StringToIntCase {
    const char* text;
    uint32_t value;
};

TEST(UtilsTextTest, StringToIntReadsHexOnlyAfterLowerCaseX)
{
    const StringToIntCase cases[] = {
        {"0x1A", 26}, {"0x", 0}, {"12", 12}, {"", 0}, {"0xff", 255},
        {"0X1A", 10},           // capital X: decimal, letters count 0
        {"0x1g", 32},           // no check: 'G' counts 16
        {"4294967296", 0},      // wraps at 2^32
        {"0xFFFFFFFF", 0xFFFFFFFFu},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utils::stringToInt(c.text), c.value) << '"' << c.text << '"';
}

TEST(UtilsTextTest, UpperAndIntToString)
{
    EXPECT_EQ(Utils::upper("abc-Def9"), "ABC-DEF9");
    EXPECT_EQ(Utils::intToString(-42), "-42");
    EXPECT_EQ(Utils::intToString(0), "0");
}

std::string hex(const std::string& s)
{
    static const char* d = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        out += d[c >> 4];
        out += d[c & 15];
    }
    return out;
}

std::string unhex(const std::string& h)
{
    std::string out;
    for (size_t i = 0; i + 1 < h.size(); i += 2)
        out += static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16));
    return out;
}

using Convert = int64_t (*)(std::string&);

struct ConversionCase {
    const char* name;
    Convert fn;
    const char* inHex;
    const char* outHex;
};

TEST(UtilsTextTest, ConversionsAgreeWithIconv)
{
    // "中文" in the three encodings, and "A".
    const ConversionCase cases[] = {
        {"UTF8ToGB2312", Utils::UTF8ToGB2312, "e4b8ade69687", "d6d0cec4"},
        {"GB2312ToUTF8", Utils::GB2312ToUTF8, "d6d0cec4", "e4b8ade69687"},
        {"UTF8ToUnicode", Utils::UTF8ToUnicode, "e4b8ade69687", "2d4e8765"},
        {"UnicodeToUTF8", Utils::UnicodeToUTF8, "2d4e8765", "e4b8ade69687"},
        {"GB2312ToUnicode", Utils::GB2312ToUnicode, "d6d0cec4", "2d4e8765"},
        {"UnicodeToGB2312", Utils::UnicodeToGB2312, "2d4e8765", "d6d0cec4"},
        {"UTF8ToUnicode A", Utils::UTF8ToUnicode, "41", "4100"},
        {"GB2312ToUTF8 a1a4", Utils::GB2312ToUTF8, "a1a4", "e383bb"},
    };
    for (const auto& c : cases) {
        std::string text = unhex(c.inHex);
        EXPECT_GE(c.fn(text), 0) << c.name;
        EXPECT_EQ(hex(text), c.outHex) << c.name;
    }
}

TEST(UtilsTextTest, FailedConversionLeavesTheTextUnchanged)
{
    const ConversionCase cases[] = {
        {"odd UCS-2LE", Utils::UnicodeToUTF8, "2d4e87", "2d4e87"},
        {"euro not in GB2312", Utils::UTF8ToGB2312, "e282ac", "e282ac"},
        {"emoji outside UCS-2", Utils::UTF8ToUnicode, "f09f9880", "f09f9880"},
        {"broken UTF-8", Utils::UTF8ToUnicode, "41c3", "41c3"},
    };
    for (const auto& c : cases) {
        std::string text = unhex(c.inHex);
        EXPECT_EQ(c.fn(text), -1) << c.name;
        EXPECT_EQ(hex(text), c.outHex) << c.name;
    }
}

TEST(UtilsTextTest, EmptyTextConvertsToEmpty)
{
    std::string text;
    EXPECT_EQ(Utils::UTF8ToUnicode(text), 0);
    EXPECT_TRUE(text.empty());
}

TEST(UtilsTextTest, UnknownCodeSetFails)
{
    char out[8];
    size_t inLen = 1, outLen = sizeof out;
    EXPECT_EQ(Utils::ChangeCode("NO-SUCH-SET", "UTF-8", "a", &inLen, out, &outLen), -1);
}

} // namespace
