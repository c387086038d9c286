#include "StoreFixture.h"

#include "params/AliasFile.h"
#include "params/KelRamPara.h"

#include <boost/property_tree/json_parser.hpp>

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
