#include "StoreFixture.h"

#include "params/AliasFile.h"
#include "params/JsonFile.h"
#include "params/KelRamPara.h"

#include <boost/property_tree/json_parser.hpp>

#include <cstdio>

using namespace kel::test;

namespace {

const char* const kAlias = "/data/configs/alias.json";
const char* const kRemove = "rm -rf /data/configs/alias.json";

class AliasLookup : public StoreFixture {
protected:
    int lookup(const std::string& group, int id) { return get_json_alias_para(&alias, group, id); }
    bool removed() const
    {
        for (const auto& c : commands())
            if (c == kRemove)
                return true;
        return false;
    }
    ALIAS_PARA alias{-1, "unchanged", "unchanged"};
};

// As Python's json.dump writes it (ensure_ascii, ", " and ": " separators).
const char* const kPythonFile =
    R"({"filename": "/data/configs/alias.json", "namelist": {"source": [)"
    R"({"id": 0, "valid": "on", "name": "\u4ed3\u5e93"}, )"
    R"({"id": "2", "valid": "on", "name": "Studio \ud83d\ude00"}, )"
    R"({"id": 3, "valid": "off", "name": "Hidden"}, )"
    R"({"id": 4, "valid": "OFF", "name": "Upper"}, )"
    R"({"id": 5, "valid": "on", "name": ""}], )"
    R"("usermode": [{"id": 0, "valid": "on", "name": "A"}, {"id": 1, "valid": "on", "name": "B"}, )"
    R"({"id": 2, "valid": "on", "name": "C"}]}})";

} // namespace

TEST_F(AliasLookup, PythonWrittenFileWithEscapesIsRead)
{
    writeText(kAlias, kPythonFile);
    EXPECT_EQ(1, lookup("source", 0));
    EXPECT_EQ("仓库", alias.name);
    EXPECT_EQ(1, lookup("source", 2));
    EXPECT_EQ(2, alias.id);
    EXPECT_EQ("Studio \xF0\x9F\x98\x80", alias.name);
    EXPECT_EQ(1, lookup("source", 4));   // "OFF" counts as used
}

TEST_F(AliasLookup, OffOrEmptyNameGivesZeroButFillsTheAlias)
{
    writeText(kAlias, kPythonFile);
    EXPECT_EQ(0, lookup("source", 3));
    EXPECT_EQ("Hidden", alias.name);
    EXPECT_EQ("off", alias.valid);
    EXPECT_EQ(0, lookup("source", 5));
    EXPECT_EQ(5, alias.id);
}

TEST_F(AliasLookup, UnknownIdOrGroupLeavesTheAliasUnchanged)
{
    writeText(kAlias, kPythonFile);
    EXPECT_EQ(0, lookup("usermode", 5));
    EXPECT_EQ(0, lookup("Source", 0));
    EXPECT_EQ(0, lookup("win", 0));
    EXPECT_EQ("unchanged", alias.name);
    EXPECT_EQ(-1, alias.id);
    EXPECT_TRUE(fileExists(kAlias));
}

TEST_F(AliasLookup, ByteOrderMarkAndRawUtf8AreAccepted)
{
    writeText(kAlias, "\xEF\xBB\xBF{\"namelist\":{\"source\":[{\"id\":1,\"valid\":\"on\",\"name\":\"机房\"}]}}");
    EXPECT_EQ(1, lookup("source", 1));
    EXPECT_EQ("机房", alias.name);
}

TEST_F(AliasLookup, MalformedEntriesAreSkippedAndTheFileKept)
{
    writeText(kAlias, R"({"namelist": {"source": [)"
                      R"({"valid": "on", "name": "no id"}, )"
                      R"({"id": "abc", "valid": "on", "name": "text id"}, )"
                      R"({"id": "2.0", "valid": "on", "name": "fraction"}, )"
                      R"({"id": true, "valid": "on", "name": "bool"}, )"
                      R"({"id": 2, "name": "no valid"}, )"
                      R"({"id": 2, "valid": "on", "name": "good"}]}})");
    EXPECT_EQ(1, lookup("source", 2));
    EXPECT_EQ("good", alias.name);
    EXPECT_EQ(0, lookup("source", 7));
    EXPECT_TRUE(fileExists(kAlias));
    EXPECT_FALSE(removed());
}

TEST_F(AliasLookup, WrongStructureGivesZeroAndKeepsTheFile)
{
    for (const char* text : {R"({"filename": "x"})", R"({"namelist": "flat"})", R"({"namelist": [1, 2]})",
                             R"([1, 2, 3])"}) {
        writeText(kAlias, text);
        EXPECT_EQ(0, lookup("source", 0)) << text;
        EXPECT_TRUE(fileExists(kAlias)) << text;
    }
    EXPECT_FALSE(removed());
}

TEST_F(AliasLookup, FirstOfRepeatedGroupsAndIdsWins)
{
    writeText(kAlias, R"({"namelist": {"source": [{"id": 1, "valid": "on", "name": "first"}, )"
                      R"({"id": 1, "valid": "on", "name": "second"}], )"
                      R"("source": [{"id": 2, "valid": "on", "name": "later group"}]}})");
    EXPECT_EQ(1, lookup("source", 1));
    EXPECT_EQ("first", alias.name);
    EXPECT_EQ(0, lookup("source", 2));
}

TEST_F(AliasLookup, InvalidJsonIsDeleted)
{
    for (const char* text : {R"({"namelist": {"source": [{"id": 1, "val)", ""}) {
        writeText(kAlias, text);
        clearCommands();
        EXPECT_EQ(0, lookup("source", 1));
        EXPECT_EQ(std::vector<std::string>({kRemove}), commands());
        EXPECT_FALSE(fileExists(kAlias));
    }
}

TEST_F(AliasLookup, MissingFileRunsNothing)
{
    EXPECT_EQ(0, lookup("source", 0));
    EXPECT_TRUE(commands().empty());
}

TEST_F(AliasLookup, SampleFileHoldsTheGroupsAsStrings)
{
    Json_create();
    boost::property_tree::ptree tree;
    boost::property_tree::read_json(hostPath(kAlias), tree);
    EXPECT_EQ(kAlias, tree.get<std::string>("filename"));
    EXPECT_EQ(0, lookup("source", 2));
    EXPECT_EQ("机房", alias.name);
    EXPECT_EQ("off", alias.valid);
    EXPECT_EQ(0, lookup("crop", 2));
    EXPECT_EQ("Crop 3", alias.name);
    EXPECT_EQ(0, lookup("usermode", 1));
    EXPECT_EQ("User Mode 2", alias.name);
    const std::vector<uint8_t> raw = readFile(kAlias);
    const std::string text(raw.begin(), raw.end());
    EXPECT_NE(std::string::npos, text.find("\"id\": \"3\""));
    EXPECT_NE(std::string::npos, text.find("仓库"));
    Json_analysis();
}

namespace {

std::string nestedEntryFile(int arrays, const std::string& name = "x")
{
    return R"({"namelist": {"source": [{"id": 1, "valid": "on", "name": ")" + name + R"(", "deep": )" +
           std::string(size_t(arrays), '[') + "0" + std::string(size_t(arrays), ']') + "}]}}";
}

std::string numbersArray(size_t count)
{
    std::string text = "[";
    text.reserve(count * 2 + 2);
    for (size_t i = 0; i < count; ++i)
        text += i ? ",1" : "1";
    return text + "]";
}

} // namespace

// The file nests four levels before "deep": sixteen levels in all are read,
// seventeen are not. Brackets inside strings do not count.
TEST_F(AliasLookup, FilesWithinTheBoundsAreRead)
{
    for (const std::string& text : {nestedEntryFile(12), nestedEntryFile(0, std::string(40, '[')),
                                    nestedEntryFile(0) + std::string(200 * 1024, ' ')}) {
        writeText(kAlias, text);
        EXPECT_EQ(1, lookup("source", 1)) << text.substr(0, 120);
        EXPECT_FALSE(fileExists(std::string(kAlias) + ".bad"));
    }
}

TEST_F(AliasLookup, FilesOutsideTheBoundsAreSetAsideWithoutParsing)
{
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"seventeen levels", nestedEntryFile(13)},
        {"50000 nested arrays", std::string(50000, '[') + std::string(50000, ']')},
        {"unclosed nesting", std::string(100000, '[')},
        {"over 256 KiB", nestedEntryFile(0) + std::string(256 * 1024, ' ')},
        {"5 million numbers", numbersArray(5000000)},
    };
    for (const auto& c : cases) {
        writeText(kAlias, c.text);
        clearCommands();
        testing::internal::CaptureStderr();
        EXPECT_EQ(0, lookup("source", 1)) << c.what;
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_NE(std::string::npos, log.find(kAlias)) << c.what;
        EXPECT_FALSE(fileExists(kAlias)) << c.what;
        EXPECT_TRUE(fileExists(std::string(kAlias) + ".bad")) << c.what;
        EXPECT_FALSE(removed()) << c.what;
        EXPECT_EQ(0, lookup("source", 1)) << c.what;   // nothing left to read
    }
}

TEST_F(AliasLookup, FileIsParsedOncePerChange)
{
    writeText(kAlias, kPythonFile);
    const unsigned long before = JsonFile::parseCount();
    for (int refresh = 0; refresh < 20; ++refresh)
        for (int source = 0; source < 6; ++source)
            lookup("source", source);
    EXPECT_EQ(before + 1, JsonFile::parseCount());

    // An upload renames a new file into place.
    const std::string next = R"({"namelist": {"source": [{"id": 0, "valid": "on", "name": "new"}]}})";
    writeText(std::string(kAlias) + ".tmp", next);
    ASSERT_EQ(0, std::rename(hostPath(std::string(kAlias) + ".tmp").c_str(), hostPath(kAlias).c_str()));
    EXPECT_EQ(1, lookup("source", 0));
    EXPECT_EQ("new", alias.name);
    EXPECT_EQ(before + 2, JsonFile::parseCount());
}
