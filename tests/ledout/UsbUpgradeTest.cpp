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
#include "platform/Sleeper.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimCommandRunner.h"
#include "platform/sim/SimNorFlash.h"

#include <QDir>
#include <QRegularExpression>
#include <QSettings>

#include <sys/stat.h>

#include <algorithm>
#include <fstream>

using kel::platform::sim::SimFlashOp;

namespace kel::test {
namespace {

using Bytes = std::vector<uint8_t>;
using B = UpgradePackageBuilder;
using Writes = std::vector<std::pair<int, int>>;   // scaler address, length
const Bytes kRunning = {25, 9, 26, 11, 2, 1};       // this program's version
const Bytes kNewer = {25, 10, 1, 11, 2, 1};

class UsbUpgrade : public FpgaFixture {
protected:
    void SetUp() override
    {
        FpgaFixture::SetUp();
        Utils::setConfigValue(g_usb_grade_path, QStringLiteral("KEL-T46 Rev.c"));
        g_update_status = g_update_flag = g_app_reset_flag = 0;
        QDir().mkpath(QString::fromStdString(stick()));
        // The scaler side as the engine sees it: a flash image and the calls.
        UpgradeServices& u = UpgradeServices::instance();
        u.scalerErase = [this](int sector, int, char kind) {
            scalerErases.push_back({uint32_t(sector), uint8_t(kind)});
            return 0;
        };
        u.scalerWrite = [this](int addr, int len, char* buf) {
            scalerWrites.push_back({addr, len});
            std::copy(buf, buf + len, scalerMem.begin() + addr);
            return 0;
        };
        u.scalerReadFonts = [this] { return scalerCalls.push_back("read_c331_font"), 0; };
        u.scalerUpdateFonts = [this] { return scalerCalls.push_back("update_font"), 0; };
        // FPGA 0 runs 2025-09-26, function 3.
        const uint8_t version[4] = {3, 0x26, 0x09, 0x25};
        std::copy(version, version + 4, m().reg_images[0] + 28);
        flash().clearOps();
    }
    void TearDown() override
    {
        UpgradeServices::instance() = UpgradeServices{};
        FpgaFixture::TearDown();
    }
    std::string stick() const { return hostPath("/mnt/usb1/KEL-T46 Rev.c") + "/"; }
    void put(const std::string& name, const B& b) { B::write(stick() + name, b.build()); }
    // The page's start, then the FPGA thread's calls until the run ends.
    int runUpgrade()
    {
        g_send_para.set_send_step(0);
        g_usb_grade = 1;
        int calls = 0;
        for (; g_usb_grade && calls < 10; ++calls)
            m().usb_upgrade_manage_deal();
        return calls;
    }
    Bytes file(const std::string& logical) const
    {
        std::ifstream in(hostPath(logical), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    bool exists(const std::string& logical) const { return QFile::exists(QString::fromStdString(hostPath(logical))); }
    bool installed()
    {
        const auto cmds = board().commands().commands();
        return std::count(cmds.begin(), cmds.end(), "mv /data/app/kelT57N2  /data/app/kelT57N") > 0;
    }
    // FPGA flash erases, and the end of the programmed bytes when they form
    // one run from address 0 (else ~0).
    std::vector<SimFlashOp> erases()
    {
        std::vector<SimFlashOp> e;
        for (const SimFlashOp& op : flash().ops())
            if (op.kind == SimFlashOp::Erase)
                e.push_back(op);
        return e;
    }
    uint32_t programmedRun()
    {
        uint32_t end = 0;
        for (const SimFlashOp& op : flash().ops())
            if (op.kind == SimFlashOp::Program)
                end = op.addr == end ? end + op.len : ~0u;
        return end;
    }

    Bytes scalerMem = Bytes(0x800000, 0xFF);
    std::vector<UpgradePackage::EraseUnit> scalerErases;
    Writes scalerWrites;
    std::vector<std::string> scalerCalls;
};

TEST_F(UsbUpgrade, ProgramImageAndFontAreWrittenThenTheProgramIsInstalledWithoutAnFpgaReset)
{
    const Bytes program = B::pattern(200000, 1), image = B::pattern(100000, 2), font = B::font(1, 64, 0xC000, 3);
    B b;
    b.add(10, program, kNewer);
    b.add(7, image, {25, 10, 1, 0, 0, 3});
    b.add(13, font);
    put("all.KEL", b);

    EXPECT_EQ(runUpgrade(), 4) << "one step per call";
    EXPECT_EQ(file("/data/app/kelT57N"), program);
    EXPECT_FALSE(exists("/data/app/kelT57N2"));
    EXPECT_EQ(flash().read(0, image.size()), image);
    EXPECT_EQ(flash().read(100000, 0x19000 - 100000), Bytes(0x19000 - 100000, 0xFF));
    EXPECT_EQ(erases(), (std::vector<SimFlashOp>{{SimFlashOp::Erase, 0x0, 0x8000}, {SimFlashOp::Erase, 0x8000, 0x8000},
                                                 {SimFlashOp::Erase, 0x10000, 0x8000},
                                                 {SimFlashOp::Erase, 0x18000, 0x1000}}))
        << "B32@0, B32@8, B32@16, S4@24";
    EXPECT_EQ(programmedRun(), 100000u);
    EXPECT_EQ(scalerErases,
              (std::vector<UpgradePackage::EraseUnit>{{0x410, 1}, {0x418, 0}, {0x419, 0}, {0x41A, 0}, {0x41B, 0}}));
    EXPECT_EQ(scalerWrites, (Writes{{0x410000, 16384}, {0x414000, 16384}, {0x418000, 16384}}));
    EXPECT_TRUE(std::equal(font.begin(), font.end(), scalerMem.begin() + 0x410000));
    const auto cmds = board().commands().commands();
    EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "chmod 777 -R /data/app"), 1);
    EXPECT_TRUE(installed());
    QSettings ini(QString::fromStdString(hostPath("/data/configs/led_load_config.ini")), QSettings::IniFormat);
    EXPECT_EQ(ini.value("app-1/app_path").toString(), "/data/app/kelT57N -platform linuxfb");
    EXPECT_EQ(ini.value("app-1/app_name").toString(), "kelT57N");
    EXPECT_EQ(g_app_reset_flag, 1);
    EXPECT_EQ(G_reboot_tickTicks, G_timeTicks);
    EXPECT_EQ(m().reset_pending[0], 0) << "the image takes effect with the restart";
    EXPECT_TRUE(scalerCalls.empty()) << "no font reload before the restart";
    EXPECT_EQ(std::count(reasons.begin(), reasons.end(), 104), 1);
    EXPECT_EQ(g_usb_grade + g_send_para.send_step() + g_update_flag, 0);
    EXPECT_TRUE(QRegularExpression("^\\d{1,2}:\\d{1,2}:\\d{1,2}    \\d{1,2}:\\d{1,2}:\\d{1,2}$")
                    .match(m().usb_upgrade_time)
                    .hasMatch())
        << m().usb_upgrade_time.toStdString();
}

TEST_F(UsbUpgrade, ImageAndFontWithoutAProgramResetTheFpgaAndReloadTheFonts)
{
    const Bytes image = B::pattern(70000, 4);
    B b;
    b.publish = 0x81;
    b.add(7, image, {25, 9, 26, 0, 0, 3});
    b.add(13, B::font(0, 32, 5000, 5));
    put("img.KELZK", b);
    runUpgrade();
    EXPECT_EQ(flash().read(0, image.size()), image);
    EXPECT_EQ(erases(), (std::vector<SimFlashOp>{{SimFlashOp::Erase, 0x0, 0x8000}, {SimFlashOp::Erase, 0x8000, 0x8000},
                                                 {SimFlashOp::Erase, 0x10000, 0x1000},
                                                 {SimFlashOp::Erase, 0x11000, 0x1000}}))
        << "B32@0, B32@8, S4@16, S4@17";
    EXPECT_EQ(flash().read(70000, 0x12000 - 70000), Bytes(0x12000 - 70000, 0xFF));
    EXPECT_EQ(programmedRun(), 70000u);
    EXPECT_EQ(m().reset_pending[0], 1) << "FPGA 0 is held in reset to load its new image";
    EXPECT_EQ(scalerWrites, (Writes{{0x010000, 5000}}));
    EXPECT_EQ(scalerCalls, (std::vector<std::string>{"read_c331_font", "update_font"}));
    EXPECT_EQ(g_app_reset_flag, 0);
    EXPECT_FALSE(installed());
}

// The program's stop, asked for while the font is written: the font is
// written whole and reloaded; the image after it is not touched, and the next
// package is not even taken up (no sync of the board for it).
TEST_F(UsbUpgrade, AStopEndsTheRunAfterTheChildBeingWritten)
{
    const Bytes font = B::font(0, 32, 40000, 5);
    B b, next;
    b.publish = 0x81;
    b.add(13, font);
    b.add(7, B::pattern(70000, 4), {25, 9, 26, 0, 0, 3});
    put("img.KELZK", b);
    next.add(13, B::font(1, 64, 3000, 6));
    put("next.KELZK", next);
    size_t commandsAtStop = 0;
    UpgradeServices& u = UpgradeServices::instance();
    u.scalerErase = [&, erase = u.scalerErase](int sector, int count, char kind) {
        if (!kel::platform::Sleeper::stopping())
            commandsAtStop = board().commands().commands().size();
        kel::platform::Sleeper::requestStop();
        return erase(sector, count, kind);
    };
    runUpgrade();
    kel::platform::Sleeper::clearStop();
    EXPECT_EQ(scalerWrites, (Writes{{0x010000, 16384}, {0x014000, 16384}, {0x018000, 40000 - 32768}}));
    EXPECT_TRUE(std::equal(font.begin(), font.end(), scalerMem.begin() + 0x010000));
    EXPECT_EQ(scalerCalls, (std::vector<std::string>{"read_c331_font", "update_font"}));
    EXPECT_TRUE(flash().ops().empty()) << "FPGA flash";
    EXPECT_EQ(board().commands().commands().size(), commandsAtStop) << "nothing asked of the board after the stop";
    EXPECT_EQ(m().reset_pending[0], 0);
    EXPECT_EQ(g_usb_grade + g_send_para.send_step() + g_update_flag, 0);
}

TEST_F(UsbUpgrade, AFontOfAnotherCodingIsNotWrittenButTheFontsAreReloaded)
{
    B b;
    b.add(13, B::font(2, 32, 3000, 9));
    put("f.KEL", b);
    runUpgrade();
    EXPECT_TRUE(scalerErases.empty());
    EXPECT_TRUE(scalerWrites.empty());
    EXPECT_EQ(scalerCalls, (std::vector<std::string>{"read_c331_font", "update_font"}));
}

TEST_F(UsbUpgrade, SkipRulesFollowTheReleaseKindVersionsControllerAndFonts)
{
    struct Case {
        const char* name;
        uint8_t publish;
        uint16_t controller;
        Bytes program, image;
        uint8_t reg43;
        bool programWritten, imageWritten, fontWritten;
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
        QFile::remove(QString::fromStdString(hostPath("/data/app/kelT57N")));
        flash().clearOps();
        scalerWrites.clear();
        g_app_reset_flag = 0;
        store().LocalRegBank[43] = c.reg43;
        B b;
        b.publish = c.publish;
        b.controller = c.controller;
        b.add(10, B::pattern(3000, 6), c.program);
        b.add(7, B::pattern(5000, 7), c.image);
        b.add(13, B::font(1, 32, 4000, 8));
        put("p.KEL", b);
        runUpgrade();
        EXPECT_EQ(exists("/data/app/kelT57N"), c.programWritten);
        EXPECT_EQ(g_app_reset_flag, c.programWritten ? 1 : 0);
        EXPECT_EQ(programmedRun() == 5000, c.imageWritten);
        EXPECT_EQ(!scalerWrites.empty(), c.fontWritten);
    }
}

TEST_F(UsbUpgrade, TheLastProgramChildOfTheRunDecidesTheInstall)
{
    // A newer program, then the running one in a normal release: the copy
    // stays in kelT57N2, nothing is installed, no restart.
    const Bytes newer = B::pattern(2500, 30);
    B first, second;
    first.add(10, newer, kNewer);
    second.add(10, B::pattern(2600, 31), kRunning);
    put("a.KEL", first);
    put("b.KEL", second);
    runUpgrade();
    EXPECT_EQ(file("/data/app/kelT57N2"), newer);
    EXPECT_FALSE(installed());
    EXPECT_EQ(g_app_reset_flag, 0);
    EXPECT_EQ(m().downing_mcu, 0);
}

TEST_F(UsbUpgrade, TheInstallFollowsTheStartEntryAndAPendingRestart)
{
    struct Case {
        const char* name;
        uint8_t startEntryPresent, restartPending;
        bool installs, writesStartEntry;
    };
    const Case cases[] = {
        {"start entry in place: left alone", 1, 0, true, false},
        {"restart pending: copied, not moved", 0, 1, false, false},
    };
    const std::string ini = hostPath("/data/configs/led_load_config.ini");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(QString::fromStdString(ini));
        QFile::remove(QString::fromStdString(hostPath("/data/app/kelT57N")));
        g_update_status = c.startEntryPresent;
        g_app_reset_flag = c.restartPending;
        G_reboot_tickTicks = 7;
        board().commands().clear();
        const Bytes program = B::pattern(1800, 32);
        B b;
        b.add(10, program, kNewer);
        put("p.KEL", b);
        runUpgrade();
        EXPECT_EQ(file(c.installs ? "/data/app/kelT57N" : "/data/app/kelT57N2"), program);
        EXPECT_EQ(installed(), c.installs);
        EXPECT_EQ(g_app_reset_flag, 1);
        EXPECT_EQ(G_reboot_tickTicks == 7u, c.restartPending == 1) << "a pending restart keeps its time";
        EXPECT_EQ(QFile::exists(QString::fromStdString(ini)), c.writesStartEntry);
    }
}

TEST_F(UsbUpgrade, AFailedCopyOrReadBackLeavesTheProgramAndRequestsNoRestart)
{
    for (const bool damageReadBack : {false, true}) {
        SCOPED_TRACE(damageReadBack ? "read-back differs" : "copy fails");
        std::ofstream(hostPath("/data/app/kelT57N"), std::ios::binary) << "running";
        B b;
        b.add(10, B::pattern(4000, 11), kNewer);
        put("p.KEL", b);
        const std::string copy = hostPath("/data/app/kelT57N2");
        if (damageReadBack) {
            // The copy changes between its write and its read-back.
            board().commands().setResponder([copy](const std::string& cmd, int& status, std::string&) {
                if (cmd == "sync" && QFile::exists(QString::fromStdString(copy)))
                    std::fstream(copy, std::ios::in | std::ios::out | std::ios::binary).seekp(1500).put('\0');
                status = 0;
                return cmd == "sync";
            });
        } else {
            platform::AtomicFile::crashBeforeWrite(1);
        }
        runUpgrade();
        board().commands().setResponder({});
        EXPECT_EQ(file("/data/app/kelT57N"), (Bytes{'r', 'u', 'n', 'n', 'i', 'n', 'g'}));
        EXPECT_FALSE(exists("/data/app/kelT57N2"));
        EXPECT_FALSE(installed());
        EXPECT_EQ(g_app_reset_flag, 0);
    }
}

TEST_F(UsbUpgrade, AFailedMoveOfTheInstallRequestsNoRestart)
{
    board().commands().setResponder([](const std::string& cmd, int& status, std::string&) {
        status = platform::sim::SimCommandRunner::kFailed;
        return cmd.rfind("mv ", 0) == 0;
    });
    B b;
    b.add(10, B::pattern(4000, 11), kNewer);
    put("p.KEL", b);
    runUpgrade();
    board().commands().setResponder({});
    EXPECT_TRUE(installed()) << "the move was tried";
    EXPECT_FALSE(exists("/data/app/kelT57N"));
    EXPECT_EQ(g_app_reset_flag, 0);
}

TEST_F(UsbUpgrade, HostilePackagesAreRefusedWholeAndTheRunGoesOn)
{
    // Each carries a sound program too, which must not be installed.
    auto hostile = [this](const std::string& name, const std::function<void(B&)>& spoil) {
        B b;
        b.add(10, B::pattern(1000, 12), kNewer);
        spoil(b);
        put(name, b);
    };
    hostile("a_truncated.KEL", [](B& b) { b.add(7, B::pattern(40000, 13)); b.cut = 100; });
    hostile("b_offset.KEL", [](B& b) { b.add(7, B::pattern(4000, 14)).offset = 0x7FFFFFF0; });
    hostile("c_length.KEL", [](B& b) { b.add(13, B::font(1, 32, 4000, 15)).len = 9000; });
    hostile("d_program.KEL", [](B& b) { b.children[0].data.resize(5 * 1024 * 1024 + 1); });
    hostile("e_image.KEL", [](B& b) { b.add(7, B::pattern(4000, 16)).imageLen = 0x800001; });
    // An ASCII-32 font spilling into the Chinese-32 font.
    hostile("f_font.KEL", [](B& b) { b.add(13, B::font(1, 32, 0x10001, 17)); });
    hostile("g_count.KEL", [](B& b) { b.fileNum = 65535; });
    B sound;
    sound.add(13, B::font(0, 64, 2000, 18));
    put("h_sound.KEL", sound);

    const uint64_t before = sleptUs();
    runUpgrade();
    EXPECT_TRUE(erases().empty());
    EXPECT_EQ(scalerWrites, (Writes{{0x450000, 2000}})) << "only the sound package";
    EXPECT_FALSE(exists("/data/app/kelT57N2"));
    EXPECT_FALSE(installed());
    EXPECT_EQ(g_app_reset_flag, 0);
    EXPECT_EQ(m().reset_pending[0], 0);
    EXPECT_EQ(std::count(reasons.begin(), reasons.end(), 104), 1);
    EXPECT_LT(sleptUs() - before, 5000000u) << "the run ends within seconds";
}

TEST_F(UsbUpgrade, EachPackageOfASetWritesExactlyWhatItsChildrenAskFor)
{
    const Bytes prog = B::pattern(3000, 40), img = B::pattern(5000, 41), asc32 = B::font(1, 32, 3000, 42),
                chi64 = B::font(0, 64, 2000, 43), asc64 = B::font(1, 64, 3000, 44), odd = B::font(0, 48, 3000, 45);
    using Fonts = std::vector<std::pair<uint32_t, Bytes>>;   // scaler address, font file
    struct Case {
        const char* name;
        std::function<void(B&)> build;   // publish 0x80 and this controller unless changed
        uint8_t reg43;                   // fonts present
        Bytes image;                     // FPGA flash from address 0; empty: untouched
        Fonts fonts;
        bool reload;
        Bytes program;                   // installed; empty: none
    };
    const auto forced = [](B& b) { b.publish = 0x81; };
    const Case cases[] = {
        {"program, image and font", [&](B& b) { b.add(10, prog, kNewer); b.add(7, img, {25, 10, 1, 0, 0, 3});
                                                b.add(13, asc32); }, 0, img, {{0x000000, asc32}}, false, prog},
        {"forced image and font", [&](B& b) { forced(b); b.add(7, img, {25, 9, 26, 0, 0, 3}); b.add(13, chi64); },
         0, img, {{0x450000, chi64}}, true, {}},
        {"zero children", [](B&) {}, 0, {}, {}, false, {}},
        {"package head cut short", [](B& b) { b.cut = 19; }, 0, {}, {}, false, {}},
        {"more child heads than the file holds", [&](B& b) { b.add(13, Bytes(20, 0)); b.fileNum = 3; },
         0, {}, {}, false, {}},
        {"20-byte font child: its head does not fit", [&](B& b) { forced(b); b.add(7, img);
                                                                  b.add(13, asc32).len = 20; }, 0, {}, {}, false, {}},
        {"program beyond the end of the file", [&](B& b) { b.add(13, asc32); b.add(10, prog, kNewer).len = 3001; },
         0, {}, {}, false, {}},
        {"image offset beyond the file", [&](B& b) { b.add(13, asc32); b.add(7, img).offset = 0x7FFFFFF0; },
         0, {}, {}, false, {}},
        {"another controller: its 6 MiB program is passed over, its font written",
         [&](B& b) { b.controller = 0x1234; b.add(10, B::pattern(6 << 20, 46), kNewer); b.add(13, asc64); },
         0, {}, {{0x410000, asc64}}, true, {}},
        {"all fonts present: a font beyond its area is passed over",
         [&](B& b) { forced(b); b.add(13, B::font(1, 32, 0x10001, 47)); b.add(7, img); }, 63, img, {}, false, {}},
        {"font beyond its area", [&](B& b) { b.add(10, prog, kNewer); b.add(13, B::font(1, 32, 0x10001, 47)); },
         0, {}, {}, false, {}},
        {"font of another coding: not written, fonts reloaded", [](B& b) { b.add(13, B::font(2, 32, 3000, 48)); },
         0, {}, {}, true, {}},
        {"font of another height at 0x000000", [&](B& b) { b.add(13, odd); }, 0, {}, {{0x000000, odd}}, true, {}},
        {"program above 5 MiB", [&](B& b) { b.add(13, asc32); b.add(10, B::pattern(5242881, 49), kNewer); },
         0, {}, {}, false, {}},
        {"program of length 0", [&](B& b) { forced(b); b.add(13, asc32); b.add(7, img); b.add(10, {}, kNewer); },
         0, {}, {}, false, {}},
        {"image larger than its flash", [&](B& b) { forced(b); b.add(13, asc32); b.add(7, B::pattern(0x800001, 50)); },
         0, {}, {}, false, {}},
        {"normal release of the running versions", [&](B& b) { b.add(10, prog, kRunning);
                                                                b.add(7, img, {25, 9, 26, 7, 7, 3}); },
         0, {}, {}, false, {}},
        {"second FPGA image passed over", [&](B& b) { forced(b); b.add(8, img); b.add(13, asc32); },
         0, {}, {{0x000000, asc32}}, true, {}},
        {"65,534 ignored children and a font", [&](B& b) { for (int i = 0; i < 65534; ++i) b.add(0, {});
                                                            b.add(13, chi64); }, 0, {}, {{0x450000, chi64}}, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(QString::fromStdString(hostPath("/data/app/kelT57N")));
        QFile::remove(QString::fromStdString(hostPath("/data/app/kelT57N2")));
        flash().clearOps();
        std::fill(scalerMem.begin(), scalerMem.end(), 0xFF);
        scalerWrites.clear();
        scalerCalls.clear();
        g_app_reset_flag = 0;
        m().reset_pending[0] = 0;
        store().LocalRegBank[43] = c.reg43;
        B b;
        c.build(b);
        put("set.KEL", b);
        const uint64_t before = sleptUs();
        runUpgrade();
        EXPECT_LT(sleptUs() - before, 10000000u) << "the FPGA manager's pass is back within seconds";

        EXPECT_EQ(flash().read(0, c.image.size()), c.image);
        EXPECT_EQ(c.image.empty() ? flash().ops().empty() : programmedRun() == c.image.size(), true);
        size_t fontBytes = 0;
        for (const auto& [base, font] : c.fonts) {
            EXPECT_TRUE(std::equal(font.begin(), font.end(), scalerMem.begin() + base)) << base;
            fontBytes += font.size();
        }
        size_t written = 0;
        for (const auto& w : scalerWrites)
            written += size_t(w.second);
        EXPECT_EQ(written, fontBytes);
        EXPECT_EQ(!scalerCalls.empty(), c.reload);
        EXPECT_EQ(m().reset_pending[0] == 1, !c.image.empty() && c.program.empty());
        struct stat st {};
        const bool installedNow = ::stat(hostPath("/data/app/kelT57N").c_str(), &st) == 0;
        EXPECT_EQ(installedNow, !c.program.empty());
        if (installedNow) {
            EXPECT_EQ(file("/data/app/kelT57N"), c.program);
            EXPECT_EQ(st.st_mode & 0777, 0777u);
        }
        EXPECT_EQ(g_app_reset_flag, c.program.empty() ? 0 : 1);
    }
}

TEST_F(UsbUpgrade, ASecondFpgaImageIsSkippedAndTheRestOfThePackageGoesOn)
{
    B b;
    b.publish = 0x81;
    b.add(8, B::pattern(9000, 18));
    b.add(13, B::font(1, 32, 3000, 19));
    put("two.KEL", b);
    runUpgrade();
    EXPECT_TRUE(flash().ops().empty());
    EXPECT_EQ(m().downing_txc2, 0);
    EXPECT_EQ(m().reset_pending[0] + m().reset_pending[1], 0);
    EXPECT_EQ(scalerWrites.size(), 1u);
}

TEST_F(UsbUpgrade, NamesBeyondLatin1AreOpenedAndManyPackagesDoNotWrapTheCount)
{
    B b;
    b.add(10, B::pattern(1500, 20), kNewer);
    put("升级包 ✓.KEL", b);
    runUpgrade();
    EXPECT_EQ(g_app_reset_flag, 1) << "the package with a UTF-8 name was installed";

    for (int i = 0; i < 300; ++i)
        put("p" + std::to_string(1000 + i) + ".KELZK", B());
    g_send_para.set_send_step(0);
    g_usb_grade = 1;
    m().usb_upgrade_manage_deal();
    m().usb_upgrade_manage_deal();
    EXPECT_EQ(m().usb_file_count, 255);
    EXPECT_EQ(m().usb_file_list.size(), 255);
}

TEST(UpgradePackageFormat, LoadTakesChildrenUpToTheirBoundsAndRefusesOneByteBeyond)
{
    // One child whose data the file holds in full (the file is padded with
    // zeros up to the claimed length plus extra bytes).
    struct Case {
        const char* name;
        uint8_t type;
        Bytes head;          // font head; the image head and program carry no data here
        uint32_t claimed;    // file_len, or the image head's length
        int64_t extra;       // file bytes beyond the claimed data
        bool taken;
    };
    const Case cases[] = {
        {"image filling its 8 MiB flash", 7, {}, 0x800000, 0, true},
        {"image one byte larger than its flash", 7, {}, 0x800001, 0, false},
        {"program of length 0", 10, {}, 0, 0, false},
        {"program of 1 byte", 10, {}, 1, 0, true},
        {"program of 5 MiB", 10, {}, 5242880, 0, true},
        {"program one byte above 5 MiB", 10, {}, 5242881, 0, false},
        {"program one byte beyond the file", 10, {}, 3000, -1, false},
        {"image one byte beyond the file", 7, {}, 3000, -1, false},
        {"ASCII 32 font filling 0x000000-0x00FFFF", 13, B::font(1, 32, 35, 1), 0x10000, 0, true},
        {"ASCII 32 font one byte over", 13, B::font(1, 32, 35, 1), 0x10001, 0, false},
        {"Chinese 32 font filling 0x010000-0x40FFFF", 13, B::font(0, 32, 35, 1), 0x400000, 0, true},
        {"Chinese 32 font one byte over", 13, B::font(0, 32, 35, 1), 0x400001, 0, false},
        {"ASCII 64 font filling 0x410000-0x44FFFF", 13, B::font(1, 64, 35, 1), 0x40000, 0, true},
        {"ASCII 64 font one byte over", 13, B::font(1, 64, 35, 1), 0x40001, 0, false},
        {"Chinese 64 font up to the end of the flash", 13, B::font(0, 64, 35, 1), 0x3B0000, 0, true},
        {"Chinese 64 font one byte over", 13, B::font(0, 64, 35, 1), 0x3B0001, 0, false},
        {"Chinese font of another height at 0x000000", 13, B::font(0, 48, 35, 1), 0x10001, 0, false},
        {"font one byte beyond the file", 13, B::font(1, 32, 35, 1), 3000, -1, false},
        {"font child shorter than its head", 13, B::font(1, 32, 35, 1), 34, 1, false},
        {"font child of just its head", 13, B::font(1, 32, 35, 1), 35, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        B b;
        B::Child& child = b.add(c.type, c.head);
        (c.type == 7 ? child.imageLen : child.len) = c.claimed;
        const Bytes built = b.build();
        const uint64_t size = built.size() - c.head.size() + c.claimed + uint64_t(c.extra);
        auto read = [&built, size](uint64_t off, uint32_t len, uint8_t* out) {
            if (off + len > size)
                return false;
            for (uint32_t i = 0; i < len; ++i)
                out[i] = off + i < built.size() ? built[size_t(off + i)] : 0;
            return true;
        };
        UpgradePackage package;
        EXPECT_EQ(package.load(size, read, nullptr) && UpgradePackage::fitsDestination(package.children[0], nullptr),
                  c.taken);
    }
    // A child head claimed that the file does not hold.
    B b;
    b.fileNum = 1;
    const Bytes built = b.build();
    UpgradePackage package;
    EXPECT_FALSE(package.load(built.size(),
                              [&built](uint64_t off, uint32_t len, uint8_t* out) {
                                  if (off + len > built.size())
                                      return false;
                                  std::copy_n(built.begin() + long(off), len, out);
                                  return true;
                              },
                              nullptr));
}

TEST(UpgradePackageFormat, ErasePlansFontBasesFolderAndNames)
{
    using U = UpgradePackage::EraseUnit;
    EXPECT_EQ(UpgradePackage::erasePlan(0, 100000), (std::vector<U>{{0, 1}, {8, 1}, {16, 1}, {24, 0}}));
    EXPECT_EQ(UpgradePackage::erasePlan(0, 70000), (std::vector<U>{{0, 1}, {8, 1}, {16, 0}, {17, 0}}));
    EXPECT_EQ(UpgradePackage::erasePlan(0x410000, 0xC000),
              (std::vector<U>{{0x410, 1}, {0x418, 0}, {0x419, 0}, {0x41A, 0}, {0x41B, 0}}));
    struct Base { uint8_t coding, height; uint32_t base; };
    for (const Base& b : {Base{1, 32, 0x000000}, Base{1, 64, 0x410000}, Base{1, 16, 0x000000}, Base{0, 32, 0x010000},
                          Base{0, 64, 0x450000}, Base{0, 48, 0x000000}, Base{2, 32, UpgradePackage::kNoFontBase}})
        EXPECT_EQ(UpgradePackage::fontBase(b.coding, b.height), b.base) << int(b.coding) << "/" << int(b.height);
    const char* const fallback = "/mnt/usb1/KEL-T46 Rev.c/";
    const std::pair<const char*, const char*> folders[] = {
        {"KEL-T46 Rev.c", fallback}, {" ", "/mnt/usb1/"}, {"../etc", fallback}, {"/", fallback},
        {"..", fallback},            {"", fallback},      {"up", "/mnt/usb1/up/"}};
    for (const auto& [configured, folder] : folders)
        EXPECT_EQ(UpgradePackage::folder(QString::fromUtf8(configured)), QString::fromUtf8(folder)) << configured;
    for (const auto& [name, package] : {std::pair<const char*, bool>{"a.KEL", true}, {"a.KELZK", true},
                                        {"a.KELZK.bak", false}, {"a.kel", false}, {"KEL", false}})
        EXPECT_EQ(UpgradePackage::isPackageName(QString::fromLatin1(name)), package) << name;
}

} // namespace
} // namespace kel::test
