#include "StoreFixture.h"
#include "TypedDefaults.h"

#include "params/DefaultParaTable.h"
#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "params/global.h"

#include <QDir>
#include <cstring>

using namespace kel::test;

namespace {
const char* const kParamFile = "/data/ram_device_info";

std::vector<uint8_t> table() { return std::vector<uint8_t>(default_para_ramlist.begin(), default_para_ramlist.end()); }

// Block bytes 768..4095 as the documented table gives them, then the
// start-up fields.
void expectDefaultsWithForcedFields(const KelRamPara& s)
{
    std::vector<uint8_t> expected = typedDefaultBlock();
    for (int k = 0; k < 16; ++k) {
        expected[2816 + 4 * k] = 60;
        expected[2818 + 4 * k] = 60;
    }
    EXPECT_EQ(0, std::memcmp(expected.data() + 768, s.RamBlock + 768, RamLayout::kSavedSize));
    EXPECT_EQ(0, std::memcmp(s.RamBlock, s.RamShadow, RamLayout::kBlockSize));
}
} // namespace

class StoreStartup : public StoreFixture {};

TEST_F(StoreStartup, FreshRootWritesTheDefaultFileAndLoadsIt)
{
    KelRamPara& s = start();
    EXPECT_EQ(typedDefaultFile(), readFile(kParamFile));
    expectDefaultsWithForcedFields(s);
    EXPECT_EQ(1920, s.blockU16(RamLayout::kLedWidth));
    EXPECT_EQ(0x80, s.LocalRegBank[37]);
    EXPECT_EQ(0x1F, s.LocalRegBank[38]);
    EXPECT_EQ(0x07, s.LocalRegBank[39]);
    EXPECT_EQ(0, s.LocalRegBank[40]);
    for (int slot = 0; slot < 16; ++slot) {
        EXPECT_EQ(0xFF, s.UserModeSlot[slot][0]);
        EXPECT_EQ(0xFF, s.UserModeSlot[slot][1]);
    }
    EXPECT_TRUE(QDir(QString::fromStdString(hostPath("/data/modes"))).exists());
}

TEST_F(StoreStartup, WrongMarkerIsReplacedByTheDefaults)
{
    std::vector<uint8_t> bad(4096, 0x11);
    bad[0] = 0xAA;
    bad[1] = 0x00;
    writeFile(kParamFile, bad);
    KelRamPara& s = start();
    EXPECT_EQ(typedDefaultFile(), readFile(kParamFile));
    expectDefaultsWithForcedFields(s);
}

TEST_F(StoreStartup, ShortFileIsCompletedFromTheDefaults)
{
    std::vector<uint8_t> shortFile(102, 0x33);
    shortFile[0] = shortFile[1] = 0xAA;
    writeFile(kParamFile, shortFile);
    KelRamPara& s = start();
    // 100 bytes land at 768..867 (with the start-up fields forced in them).
    EXPECT_EQ(0x33, s.RamBlock[770]);
    EXPECT_EQ(0x33, s.RamBlock[863]);
    EXPECT_EQ(0, s.blockU16(RamLayout::kTestPattern));
    EXPECT_EQ(0, s.blockU16(RamLayout::kCurrentUserMode));
    // The rest is the default table.
    EXPECT_EQ(1920, s.blockU16(896));
    EXPECT_EQ(1920, s.blockU16(RamLayout::kLedWidth));
    EXPECT_EQ(1, s.RamBlock[2272]);
    EXPECT_EQ(102u, readFile(kParamFile).size());
}

TEST_F(StoreStartup, UnwritableDataStillLeavesTheDefaultsInMemory)
{
    // A plain file where the /data folder should be: nothing can be created.
    QDir(QString::fromStdString(hostPath("/data"))).removeRecursively();
    writeText("/data", "not a folder");
    KelRamPara& s = start();
    expectDefaultsWithForcedFields(s);
    EXPECT_EQ(1080, s.blockU16(RamLayout::kLedHeight));
}

TEST_F(StoreStartup, StoredValuesSurviveButStartFieldsAreForced)
{
    std::vector<uint8_t> file = table();
    auto put = [&](size_t blockByte, uint16_t v) {
        file[blockByte - 766] = v & 0xFF;
        file[blockByte - 765] = v >> 8;
    };
    put(RamLayout::kSpliceMode, 3);
    put(RamLayout::kTestPattern, 4);
    put(RamLayout::kCurrentUserMode, 5);
    put(RamLayout::kUsermodeSaveReq, 0x0207);
    put(RamLayout::kLedScreenSwitch, 1);
    put(RamLayout::kImageRecord + 26 * 2 + 18, 0x0103);   // black, freeze, point-to-point
    put(2816, 0x1234);
    put(2818 + 4 * 15, 0xFFFF);
    put(RamLayout::kLedWidth, 3840);
    writeFile(kParamFile, file);

    KelRamPara& s = start();
    EXPECT_EQ(0, s.blockU16(RamLayout::kSpliceMode));
    EXPECT_EQ(0, s.blockU16(RamLayout::kTestPattern));
    EXPECT_EQ(0, s.blockU16(RamLayout::kCurrentUserMode));
    EXPECT_EQ(0x0007, s.blockU16(RamLayout::kUsermodeSaveReq));
    EXPECT_EQ(0, s.blockU16(RamLayout::kLedScreenSwitch));
    EXPECT_EQ(0x0101, s.blockU16(RamLayout::kImageRecord + 26 * 2 + 18));
    EXPECT_EQ(0x123C, s.blockU16(2816));
    EXPECT_EQ(0xFF3C, s.blockU16(2818 + 4 * 15));
    EXPECT_EQ(3840, s.blockU16(RamLayout::kLedWidth));
}

TEST_F(StoreStartup, ExistingModeFileIsLoadedWithItsMarker)
{
    std::vector<uint8_t> mode(4096, 0x5A);
    mode[0] = mode[1] = 0xAA;
    writeFile("/data/modes/custom_mode3", mode);
    KelRamPara& s = start();
    EXPECT_EQ(0xAA, s.UserModeSlot[2][0]);
    EXPECT_EQ(0x5A, s.UserModeSlot[2][4095]);
    EXPECT_EQ(0, s.UserModeSlot[2][4096]);
    EXPECT_EQ(0xFF, s.UserModeSlot[1][0]);
}

struct LanguageCase {
    uint16_t stored;
    uint32_t mask;
    uint8_t language;      // g_language after start
    uint32_t maskAfter;
};

void PrintTo(const LanguageCase& c, std::ostream* os)
{
    *os << "stored " << c.stored << " mask 0x" << std::hex << c.mask;
}

class StartLanguage : public StoreFixture, public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(StartLanguage, OnlyOfferedLanguagesZeroToFourSurvive)
{
    const LanguageCase c = GetParam();
    std::vector<uint8_t> file = table();
    file[2] = c.stored & 0xFF;
    file[3] = c.stored >> 8;
    writeFile(kParamFile, file);
    g_lcd_lang_valid = c.mask;
    KelRamPara& s = start();
    EXPECT_EQ(c.language, g_language);
    EXPECT_EQ(c.language, s.RamBlock[RamLayout::kLcdLanguage]);
    EXPECT_EQ(c.maskAfter, g_lcd_lang_valid);
}

INSTANTIATE_TEST_SUITE_P(Cases, StartLanguage,
                         ::testing::Values(LanguageCase{2, 0x1F, 2, 0x1F},
                                           LanguageCase{2, 0x1B, 0, 0x1B},
                                           // bits 0 and 17 set: bit 0 and everything above 15 go
                                           LanguageCase{0, 0x2001F, 1, 0x1E},
                                           // 16 is no language even with bit 16 set
                                           LanguageCase{16, 0x1001F, 0, 0x1001F},
                                           LanguageCase{9, 0, 1, 0},
                                           LanguageCase{3, 0, 3, 0}));

TEST_F(StoreStartup, ResetRewritesTheDefaultsWithoutForcingOrAnnouncing)
{
    KelRamPara& s = start();
    int announced = 0;
    QObject::connect(&s, &KelRamPara::sig_update_para, [&](int) { ++announced; });
    s.setBlockU16(RamLayout::kLedWidth, 3840);
    s.setBlockU16(RamLayout::kSrcVideoInfo, 1280);
    std::vector<uint8_t> file = readFile(kParamFile);
    file[RamLayout::kLedWidth - 766] = 0;
    writeFile(kParamFile, file);

    s.ram_para_reset();
    EXPECT_EQ(typedDefaultFile(), readFile(kParamFile));
    // The table's raw value pairs (0) stay: the start-up fields are not forced.
    EXPECT_EQ(0, s.blockU16(2816));
    EXPECT_EQ(1920, s.blockU16(RamLayout::kLedWidth));
    EXPECT_EQ(1280, s.blockU16(RamLayout::kSrcVideoInfo));
    EXPECT_EQ(0, std::memcmp(s.RamBlock, s.RamShadow, RamLayout::kBlockSize));
    EXPECT_EQ(0, announced);
}

TEST_F(StoreStartup, ResetOnAnUnwritableRootStillLoadsTheDefaults)
{
    KelRamPara& s = start();
    QDir(QString::fromStdString(hostPath("/data"))).removeRecursively();
    writeText("/data", "not a folder");
    s.setBlockU16(RamLayout::kLedHeight, 7);
    s.ram_para_reset();
    EXPECT_EQ(1080, s.blockU16(RamLayout::kLedHeight));
}
