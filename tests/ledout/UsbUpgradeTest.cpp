#include "FpgaFixture.h"
#include "support/UpgradePackageBuilder.h"

#include "ledout/LedGlobals.h"
#include "ledout/UpgradePackage.h"
#include "ledout/UpgradeServices.h"
#include "ledout/fpga_manage.h"
#include "params/KelRamPara.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/AtomicFile.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimCommandRunner.h"
#include "platform/sim/SimNorFlash.h"

#include <QDir>
#include <QRegularExpression>
#include <QSettings>

#include <algorithm>
#include <fstream>
#include <iterator>

using kel::platform::sim::SimFlashOp;

namespace kel::test {
namespace {

using Bytes = std::vector<uint8_t>;
const Bytes kRunning = {25, 9, 26, 11, 2, 1};   // this program's version
const Bytes kNewer = {25, 10, 1, 11, 2, 1};

// The scaler side as the engine sees it: a flash image and the calls made.
struct FakeScaler {
    Bytes mem = Bytes(0x800000, 0xFF);
    std::vector<UpgradePackage::EraseUnit> erases;
    std::vector<std::pair<int, int>> writes;   // address, length
    std::vector<std::string> calls;
};

class UsbUpgrade : public FpgaFixture {
protected:
    void SetUp() override
    {
        FpgaFixture::SetUp();
        Utils::setConfigValue(g_usb_grade_path, QStringLiteral("KEL-T46 Rev.c"));
        g_update_status = 0;
        g_update_flag = 0;
        g_app_reset_flag = 0;
        QDir().mkpath(QString::fromStdString(stick()));
        UpgradeServices& u = UpgradeServices::instance();
        u.scalerErase = [this](int sector, int count, char kind) {
            scaler.erases.push_back({uint32_t(sector), uint8_t(kind)});
            const uint32_t unit = kind == 0 ? 0x1000 : 0x8000;
            std::fill_n(scaler.mem.begin() + long(uint32_t(sector) * 0x1000), unit * uint32_t(count), 0xFF);
            return 0;
        };
        u.scalerWrite = [this](int addr, int len, char* buf) {
            scaler.writes.push_back({addr, len});
            std::copy(buf, buf + len, scaler.mem.begin() + addr);
            return 0;
        };
        u.scalerReadFonts = [this] { scaler.calls.push_back("read_c331_font"); return 0; };
        u.scalerUpdateFonts = [this] { scaler.calls.push_back("update_font"); return 0; };
        u.popupStart = [this] { popup.push_back("start"); };
        u.popupOver = [this] { popup.push_back("over"); };
        // FPGA 0 runs 2025-09-26, function 3.
        m().reg_images[0][31] = 0x25;
        m().reg_images[0][30] = 0x09;
        m().reg_images[0][29] = 0x26;
        m().reg_images[0][28] = 3;
        flash().clearOps();
        board().commands().clear();
    }
    void TearDown() override
    {
        UpgradeServices::instance() = UpgradeServices{};
        kel::platform::AtomicFile::crashBeforeWrite(0);
        FpgaFixture::TearDown();
    }
    std::string stick() const { return hostPath("/mnt/usb1/KEL-T46 Rev.c") + "/"; }
    void put(const std::string& name, const Bytes& bytes) { UpgradePackageBuilder::write(stick() + name, bytes); }
    // The page's start, then the FPGA thread's calls until the run ends.
    int runUpgrade()
    {
        g_send_para.set_send_step(0);
        g_usb_grade = 1;
        int calls = 0;
        while (g_usb_grade && calls < 10) {
            m().usb_upgrade_manage_deal();
            ++calls;
        }
        return calls;
    }
    Bytes file(const std::string& logical) const
    {
        std::ifstream in(hostPath(logical), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    bool exists(const std::string& logical) const { return QFile::exists(QString::fromStdString(hostPath(logical))); }
    bool commandSeen(const std::string& text)
    {
        const auto cmds = board().commands().commands();
        return std::find(cmds.begin(), cmds.end(), text) != cmds.end();
    }
    std::vector<SimFlashOp> erases()
    {
        std::vector<SimFlashOp> e;
        for (const SimFlashOp& op : flash().ops())
            if (op.kind == SimFlashOp::Erase)
                e.push_back(op);
        return e;
    }
    // The programmed bytes form one run from 0 of exactly n bytes.
    uint32_t programmedRun()
    {
        uint32_t end = 0;
        for (const SimFlashOp& op : flash().ops())
            if (op.kind == SimFlashOp::Program) {
                if (op.addr != end)
                    return 0xFFFFFFFF;
                end += op.len;
            }
        return end;
    }

    FakeScaler scaler;
    std::vector<std::string> popup;
};

TEST_F(UsbUpgrade, ProgramImageAndFontAreWrittenThenTheProgramIsInstalledWithoutAnFpgaReset)
{
    const Bytes program = UpgradePackageBuilder::pattern(200000, 1);
    const Bytes image = UpgradePackageBuilder::pattern(100000, 2);
    const Bytes font = UpgradePackageBuilder::font(1, 64, 0xC000, 3);
    UpgradePackageBuilder b;
    b.add(10, program, kNewer);
    b.add(7, image, {25, 10, 1, 0, 0, 3});
    b.add(13, font);
    put("all.KEL", b.build());
    {
        std::ofstream old(hostPath("/data/app/kelT57N"), std::ios::binary);
        old << "old program";
    }

    EXPECT_EQ(runUpgrade(), 4) << "one step per call";
    EXPECT_EQ(file("/data/app/kelT57N"), program);
    EXPECT_FALSE(exists("/data/app/kelT57N2"));
    EXPECT_EQ(flash().read(0, image.size()), image);
    EXPECT_EQ(flash().read(100000, 0x19000 - 100000),
              Bytes(0x19000 - 100000, 0xFF));
    const std::vector<SimFlashOp> plan = {{SimFlashOp::Erase, 0x0, 0x8000},
                                          {SimFlashOp::Erase, 0x8000, 0x8000},
                                          {SimFlashOp::Erase, 0x10000, 0x8000},
                                          {SimFlashOp::Erase, 0x18000, 0x1000}};
    EXPECT_EQ(erases(), plan) << "B32@0, B32@8, B32@16, S4@24";
    EXPECT_EQ(programmedRun(), 100000u);
    const std::vector<UpgradePackage::EraseUnit> fontPlan = {{0x410, 1}, {0x418, 0}, {0x419, 0}, {0x41A, 0}, {0x41B, 0}};
    EXPECT_EQ(scaler.erases, fontPlan);
    const std::vector<std::pair<int, int>> fontWrites = {{0x410000, 16384}, {0x414000, 16384}, {0x418000, 16384}};
    EXPECT_EQ(scaler.writes, fontWrites);
    EXPECT_TRUE(std::equal(font.begin(), font.end(), scaler.mem.begin() + 0x410000));
    EXPECT_TRUE(commandSeen("chmod 777 -R /data/app"));
    EXPECT_TRUE(commandSeen("mv /data/app/kelT57N2  /data/app/kelT57N"));
    QSettings ini(QString::fromStdString(hostPath("/data/configs/led_load_config.ini")), QSettings::IniFormat);
    EXPECT_EQ(ini.value("app-1/app_path").toString(), "/data/app/kelT57N -platform linuxfb");
    EXPECT_EQ(ini.value("app-1/app_name").toString(), "kelT57N");
    EXPECT_EQ(g_app_reset_flag, 1);
    EXPECT_EQ(G_reboot_tickTicks, G_timeTicks);
    EXPECT_EQ(m().reset_pending[0], 0) << "the images take effect with the restart";
    EXPECT_TRUE(scaler.calls.empty()) << "no font reload before the restart";
    EXPECT_EQ(popup, (std::vector<std::string>{"start", "over"}));
    EXPECT_EQ(std::count(reasons.begin(), reasons.end(), 104), 1);
    EXPECT_EQ(g_usb_grade, 0);
    EXPECT_EQ(g_send_para.send_step(), 0);
    EXPECT_EQ(g_update_flag, 0);
    EXPECT_TRUE(QRegularExpression("^\\d{1,2}:\\d{1,2}:\\d{1,2}    \\d{1,2}:\\d{1,2}:\\d{1,2}$")
                    .match(m().usb_upgrade_time)
                    .hasMatch())
        << m().usb_upgrade_time.toStdString();
}

TEST_F(UsbUpgrade, ImageAndFontWithoutAProgramResetTheFpgaAndReloadTheFonts)
{
    const Bytes image = UpgradePackageBuilder::pattern(70000, 4);
    UpgradePackageBuilder b;
    b.publish = 0x81;
    b.add(7, image, {25, 9, 26, 0, 0, 3});
    b.add(13, UpgradePackageBuilder::font(0, 32, 5000, 5));
    put("img.KELZK", b.build());
    g_update_status = 1;

    runUpgrade();
    const std::vector<SimFlashOp> plan = {{SimFlashOp::Erase, 0x0, 0x8000},
                                          {SimFlashOp::Erase, 0x8000, 0x8000},
                                          {SimFlashOp::Erase, 0x10000, 0x1000},
                                          {SimFlashOp::Erase, 0x11000, 0x1000}};
    EXPECT_EQ(erases(), plan) << "B32@0, B32@8, S4@16, S4@17";
    EXPECT_EQ(flash().read(0, image.size()), image);
    EXPECT_EQ(m().reset_pending[0], 1) << "FPGA 0 is held in reset to load its new image";
    EXPECT_EQ(scaler.writes, (std::vector<std::pair<int, int>>{{0x010000, 5000}}));
    EXPECT_EQ(scaler.calls, (std::vector<std::string>{"read_c331_font", "update_font"}));
    EXPECT_EQ(g_app_reset_flag, 0);
    EXPECT_FALSE(commandSeen("chmod 777 -R /data/app"));
}

TEST_F(UsbUpgrade, SkipRulesFollowTheReleaseKindVersionsControllerAndFonts)
{
    struct Case {
        const char* name;
        uint8_t publish;
        uint16_t controller;
        Bytes programVersion;
        Bytes imageVersion;
        uint8_t reg43;
        bool program, image, font;
    };
    const Case cases[] = {
        // Hard and soft of an image are not compared.
        {"normal release of the running versions", 0x80, 0x8B52, kRunning, {25, 9, 26, 7, 7, 3}, 0, false, false, true},
        {"forced release of the running versions", 0x81, 0x8B52, kRunning, {25, 9, 26, 7, 7, 3}, 0, true, true, true},
        {"normal release of newer versions", 0x80, 0x8B52, kNewer, {25, 9, 26, 0, 0, 4}, 0, true, true, true},
        {"another controller type", 0x81, 0x1234, kNewer, {25, 9, 27, 0, 0, 3}, 0, false, false, true},
        {"all four fonts present", 0x81, 0x8B52, kNewer, {25, 9, 27, 0, 0, 3}, 0xFF, true, true, false},
        {"one font missing", 0x80, 0x8B52, kRunning, {25, 9, 26, 0, 0, 3}, 0x3E, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(QString::fromStdString(stick())).removeRecursively();
        QDir().mkpath(QString::fromStdString(stick()));
        QFile::remove(QString::fromStdString(hostPath("/data/app/kelT57N")));
        flash().clearOps();
        scaler = FakeScaler{};
        g_app_reset_flag = 0;
        store().LocalRegBank[43] = c.reg43;
        UpgradePackageBuilder b;
        b.publish = c.publish;
        b.controller = c.controller;
        b.add(10, UpgradePackageBuilder::pattern(3000, 6), c.programVersion);
        b.add(7, UpgradePackageBuilder::pattern(5000, 7), c.imageVersion);
        b.add(13, UpgradePackageBuilder::font(1, 32, 4000, 8));
        put("p.KEL", b.build());
        runUpgrade();
        EXPECT_EQ(exists("/data/app/kelT57N"), c.program);
        EXPECT_EQ(g_app_reset_flag, c.program ? 1 : 0);
        EXPECT_EQ(programmedRun() == 5000, c.image);
        EXPECT_EQ(!scaler.writes.empty(), c.font);
    }
}

TEST_F(UsbUpgrade, TheLastChildOfATypeDecidesItsInstall)
{
    // A newer program in the first package, the running one in the second:
    // the copy is made but not installed.
    UpgradePackageBuilder first, second;
    first.add(10, UpgradePackageBuilder::pattern(2000, 9), kNewer);
    second.add(10, UpgradePackageBuilder::pattern(2000, 10), kRunning);
    put("1.KEL", first.build());
    put("2.KEL", second.build());
    runUpgrade();
    EXPECT_TRUE(exists("/data/app/kelT57N2"));
    EXPECT_FALSE(exists("/data/app/kelT57N"));
    EXPECT_EQ(g_app_reset_flag, 0);
}

TEST_F(UsbUpgrade, AFailedCopyOrReadBackLeavesTheProgramAndRequestsNoRestart)
{
    for (const bool corruptReadBack : {false, true}) {
        SCOPED_TRACE(corruptReadBack ? "read-back differs" : "copy fails");
        {
            std::ofstream old(hostPath("/data/app/kelT57N"), std::ios::binary);
            old << "running program";
        }
        g_app_reset_flag = 0;
        board().commands().clear();
        UpgradePackageBuilder b;
        b.add(10, UpgradePackageBuilder::pattern(4000, 11), kNewer);
        put("p.KEL", b.build());
        if (corruptReadBack) {
            // The copy is damaged between its write and its read-back.
            const std::string copy = hostPath("/data/app/kelT57N2");
            board().commands().setResponder([copy](const std::string& cmd, int& status, std::string&) {
                if (cmd == "sync" && QFile::exists(QString::fromStdString(copy))) {
                    std::fstream f(copy, std::ios::in | std::ios::out | std::ios::binary);
                    f.seekp(1500);
                    f.put('\0');
                }
                status = 0;
                return cmd == "sync";
            });
        } else {
            platform::AtomicFile::crashBeforeWrite(1);
        }
        runUpgrade();
        board().commands().setResponder({});
        EXPECT_EQ(file("/data/app/kelT57N"), Bytes({'r', 'u', 'n', 'n', 'i', 'n', 'g', ' ', 'p', 'r', 'o', 'g', 'r',
                                                    'a', 'm'}));
        EXPECT_FALSE(exists("/data/app/kelT57N2"));
        EXPECT_FALSE(commandSeen("mv /data/app/kelT57N2  /data/app/kelT57N"));
        EXPECT_EQ(g_app_reset_flag, 0);
        EXPECT_EQ(g_usb_grade, 0);
    }
}

TEST_F(UsbUpgrade, HostilePackagesAreRefusedWholeAndTheRunGoesOn)
{
    auto withProgram = [](UpgradePackageBuilder& b) { b.add(10, UpgradePackageBuilder::pattern(1000, 12), kNewer); };
    std::vector<std::pair<std::string, Bytes>> packages;
    {
        UpgradePackageBuilder b;   // cut short inside the image
        withProgram(b);
        b.add(7, UpgradePackageBuilder::pattern(40000, 13));
        Bytes p = b.build();
        p.resize(p.size() - 100);
        packages.push_back({"a_truncated.KEL", p});
    }
    {
        UpgradePackageBuilder b;   // the image's offset beyond the file
        withProgram(b);
        b.add(7, UpgradePackageBuilder::pattern(4000, 14)).offset = 0x7FFFFFF0;
        packages.push_back({"b_offset.KEL", b.build()});
    }
    {
        UpgradePackageBuilder b;   // a font longer than the file
        withProgram(b);
        b.add(13, UpgradePackageBuilder::font(1, 32, 4000, 15)).len = 9000;
        packages.push_back({"c_length.KEL", b.build()});
    }
    {
        UpgradePackageBuilder b;   // a program above the 5 MiB buffer
        b.add(10, Bytes(5 * 1024 * 1024 + 1, 0x5A), kNewer);
        packages.push_back({"d_program.KEL", b.build()});
    }
    {
        UpgradePackageBuilder b;   // an image larger than its 8 MiB flash
        withProgram(b);
        b.add(7, UpgradePackageBuilder::pattern(4000, 16)).imageLen = 0x800001;
        packages.push_back({"e_image.KEL", b.build()});
    }
    {
        UpgradePackageBuilder b;   // an ASCII-32 font spilling into the Chinese-32 font
        withProgram(b);
        b.add(13, UpgradePackageBuilder::font(1, 32, 0x10001, 17));
        packages.push_back({"f_font.KEL", b.build()});
    }
    {
        UpgradePackageBuilder b;   // 65535 children claimed by a short file
        withProgram(b);
        b.fileNum = 65535;
        packages.push_back({"g_count.KEL", b.build()});
    }
    {
        UpgradePackageBuilder b;   // a sound package after them all
        b.add(13, UpgradePackageBuilder::font(0, 64, 2000, 18));
        packages.push_back({"h_valid.KEL", b.build()});
    }
    for (const auto& [name, bytes] : packages)
        put(name, bytes);

    const uint64_t before = sleptUs();
    runUpgrade();
    EXPECT_TRUE(erases().empty());
    EXPECT_EQ(scaler.writes, (std::vector<std::pair<int, int>>{{0x450000, 2000}})) << "only the sound package";
    EXPECT_FALSE(exists("/data/app/kelT57N"));
    EXPECT_FALSE(exists("/data/app/kelT57N2"));
    EXPECT_FALSE(commandSeen("chmod 777 -R /data/app"));
    EXPECT_EQ(g_app_reset_flag, 0);
    EXPECT_EQ(m().reset_pending[0], 0);
    EXPECT_EQ(std::count(reasons.begin(), reasons.end(), 104), 1);
    EXPECT_LT(sleptUs() - before, 5000000u) << "the run ends within seconds";
}

TEST_F(UsbUpgrade, ASecondFpgaImageIsSkippedAndTheRestOfThePackageGoesOn)
{
    UpgradePackageBuilder b;
    b.publish = 0x81;
    b.add(8, UpgradePackageBuilder::pattern(9000, 18));
    b.add(13, UpgradePackageBuilder::font(1, 32, 3000, 19));
    put("two.KEL", b.build());
    runUpgrade();
    EXPECT_TRUE(flash().ops().empty());
    EXPECT_EQ(m().downing_txc2, 0);
    EXPECT_EQ(m().reset_pending[0], 0);
    EXPECT_EQ(m().reset_pending[1], 0);
    EXPECT_EQ(scaler.writes.size(), 1u);
}

TEST_F(UsbUpgrade, NamesBeyondLatin1AreOpenedAndManyPackagesDoNotWrapTheCount)
{
    UpgradePackageBuilder b;
    b.add(10, UpgradePackageBuilder::pattern(1500, 20), kNewer);
    put("升级包 ✓.KEL", b.build());
    runUpgrade();
    EXPECT_EQ(g_app_reset_flag, 1) << "the package with a UTF-8 name was installed";

    UpgradePackageBuilder empty;
    for (int i = 0; i < 300; ++i)
        put("p" + std::to_string(1000 + i) + ".KELZK", empty.build());
    g_send_para.set_send_step(0);
    g_usb_grade = 1;
    m().usb_upgrade_manage_deal();
    m().usb_upgrade_manage_deal();
    EXPECT_EQ(m().usb_file_count, 255);
    EXPECT_EQ(m().usb_file_list.size(), 255);
}

TEST(UpgradePackageFormat, ErasePlansMatchTheWorkedExamples)
{
    using U = UpgradePackage::EraseUnit;
    struct Case { uint32_t base, len; std::vector<U> plan; };
    const Case cases[] = {
        {0, 100000, {{0, 1}, {8, 1}, {16, 1}, {24, 0}}},
        {0, 70000, {{0, 1}, {8, 1}, {16, 0}, {17, 0}}},
        {0x410000, 0xC000, {{0x410, 1}, {0x418, 0}, {0x419, 0}, {0x41A, 0}, {0x41B, 0}}},
        {0x010000, 0, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UpgradePackage::erasePlan(c.base, c.len), c.plan) << c.base << "+" << c.len;
}

TEST(UpgradePackageFormat, FontBasesFolderAndPackageNames)
{
    struct Base { uint8_t coding, height; uint32_t base; };
    for (const Base& b : {Base{1, 32, 0x000000}, Base{1, 64, 0x410000}, Base{1, 16, 0x000000}, Base{0, 32, 0x010000},
                          Base{0, 64, 0x450000}, Base{0, 48, 0x000000}, Base{2, 32, UpgradePackage::kNoFontBase}})
        EXPECT_EQ(UpgradePackage::fontBase(b.coding, b.height), b.base) << int(b.coding) << "/" << int(b.height);
    const std::pair<const char*, const char*> folders[] = {
        {"KEL-T46 Rev.c", "/mnt/usb1/KEL-T46 Rev.c/"}, {" ", "/mnt/usb1/"}, {"../etc", "/mnt/usb1/KEL-T46 Rev.c/"},
        {"/", "/mnt/usb1/KEL-T46 Rev.c/"}, {"..", "/mnt/usb1/KEL-T46 Rev.c/"}, {"", "/mnt/usb1/KEL-T46 Rev.c/"},
        {"up", "/mnt/usb1/up/"}};
    for (const auto& [configured, folder] : folders)
        EXPECT_EQ(UpgradePackage::folder(QString::fromUtf8(configured)), QString::fromUtf8(folder)) << configured;
    const std::pair<const char*, bool> names[] = {
        {"a.KEL", true}, {"a.KELZK", true}, {"a.KELZK.bak", false}, {"a.kel", false}, {"KEL", false}};
    for (const auto& [name, package] : names)
        EXPECT_EQ(UpgradePackage::isPackageName(QString::fromLatin1(name)), package) << name;
}

} // namespace
} // namespace kel::test
