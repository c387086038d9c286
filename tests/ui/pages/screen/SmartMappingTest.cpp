#include "ui/support/ShellFixture.h"

#include "ledout/LedGlobals.h"
#include "ledout/fpga_manage.h"
#include "params/RamLayout.h"
#include "params/SyncReason.h"
#include "params/global.h"
#include "platform/sim/SimFpga.h"
#include "platform/sim/SimFpgaBoard.h"
#include "protocol/PanelCalls.h"
#include "ui/pages/registerPageMakers.h"
#include "ui/pages/screen/SmartMapping.h"
#include "ui/shell/NumberKeyboard.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/PageTable.h"
#include "ui/shell/PanelKeys.h"
#include "ui/shell/QRoundProgressBar.h"
#include "ui/shell/ShellGlobals.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>

#include <thread>

namespace kel::test {
namespace {

constexpr int L = PanelKeys::kLeft, R = PanelKeys::kRight, OK = PanelKeys::kOk, BACK = PanelKeys::kBack;
const char* const kWhiteLook = "background-color: rgb(33, 36, 53);color: #FFFFFF";
const char* const kGreenLook = "background-color: rgb(33, 36, 53);color: #00FF00";
const char* const kGreenCell = "background-color: #212435;border:1px solid #00D65B;";
const char* const kFocus =
    "background-color: rgb(33, 36, 53);color:rgb(255, 255, 255);border:1px solid rgb(255,171,84);";
const char* const kFieldFocus =
    "color:rgb(255, 255, 255);background-color: rgb(33, 36, 53);border:1px solid rgb(255,171,84);";
const char* const kGrey = "background-color: gray;border:2px;border-radius:10px;padding:2px 4px;color:rgb(255,255,255)";

class SmartMappingTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        registerPageMakers();
        g_send_para.head = 0;
        g_send_para.send_arg = 0;
        g_usb_grade = 0;
        g_qjfile_name.clear();
        line_type = LineType{};
    }
    void TearDown() override
    {
        ShellFixture::TearDown();
        fpga_manage::destroyInstance();
        kel::protocol::PanelCalls::clear();
        g_send_para.head = 0;
    }
    // The settings menu under the wizard, as the operator reaches it.
    Step open()
    {
        return []() {
            g_page_focus = PageFocus::MainWindow;
            PageOpener::open(PageFocus::Option);
        };
    }
    Step openWizard()
    {
        return []() { PageOpener::open(PageFocus::SmartMapping); };
    }
    void scanFile(const char* folder, const QString& name)
    {
        const QString dir = QString::fromStdString(hostPath(folder));
        QDir().mkpath(dir);
        QFile f(dir + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("QJFR");
    }
    static SmartMapping& wizard() { return *g_smartmapping; }
    static QString text(const char* name)
    {
        QWidget* w = find(name);
        if (auto* l = qobject_cast<QLabel*>(w))
            return l->text();
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            return b->text();
        return w ? static_cast<QLineEdit*>(w)->text() : QStringLiteral("<missing>");
    }
    // The grid cell with the green border (-1: none).
    static int greenCell()
    {
        for (int i = 0; i < 8; ++i) {
            for (QWidget* w : g_smartmapping->findChildren<QWidget*>(QStringLiteral("frame_cell%1").arg(i))) {
                if (w->isVisibleTo(g_smartmapping) && w->styleSheet() == kGreenCell)
                    return i;
            }
        }
        return -1;
    }
    static std::vector<std::pair<QString, QString>> shownFiles()
    {
        std::vector<std::pair<QString, QString>> out;
        for (int k = 0; k < 3; ++k) {
            if (auto* l = g_smartmapping->findChild<QLabel*>(QStringLiteral("label_file%1").arg(k)))
                out.emplace_back(l->text(), l->styleSheet());
        }
        return out;
    }
    // Progress as the FPGA manager's relay reports it.
    static void progress(int value) { emit g_smartmapping->sig_qround_bar_update(value); }
};

// ---- main menu ----

TEST_F(SmartMappingTest, LoadScanIsSkippedAndGreyOnlyWhileNoScanFileExists)
{
    struct Case {
        const char* folder;
        const char* file;
        bool offered;
    };
    // Every file in the device's folder counts; on the stick only scan files.
    const Case cases[] = {{nullptr, nullptr, false},
                          {"/data/smartmapping", "notes.txt", true},
                          {"/mnt/usb1", "a.qjfile", true},
                          {"/mnt/usb1", "a.txt", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file ? c.file : "none");
        QDir(QString::fromStdString(hostPath("/data/smartmapping"))).removeRecursively();
        QDir(QString::fromStdString(hostPath("/mnt/usb1"))).removeRecursively();
        if (c.folder)
            scanFile(c.folder, c.file);
        run({open(), openWizard(), [this, c]() {
                 EXPECT_EQ(styleOf("Button_loadscan") == kGrey, !c.offered);
                 key(R);
                 EXPECT_EQ(wizard().menuIndex(), c.offered ? 1 : 2);
                 if (c.offered)
                     key(R);
                 key(L);
                 EXPECT_EQ(wizard().menuIndex(), c.offered ? 1 : 0);
                 key(L);
                 if (c.offered)
                     key(L);
                 EXPECT_EQ(wizard().menuIndex(), 3) << "Left from the first entry wraps to Mapping";
             }});
    }
}

// ---- debugging screen: steps 1 to 3 and Send ----

TEST_F(SmartMappingTest, SendPostsCommand1OnceAndKeysWaitForTheEndOfItsProgress)
{
    std::vector<Step> steps{open(), openWizard(), keys({OK, OK})};
    type(steps, "64");
    steps.push_back(keys({R, OK}));
    type(steps, "32");
    steps.push_back(keys({R, OK}));  // Next: step 2
    steps.push_back([this]() {
        EXPECT_EQ(wizard().stackPage(), SmartMapping::StepPort);
        EXPECT_EQ(greenCell(), 0) << "port 0 from the constructor";
        key(R);
        key(OK); // the grid of LED9~16: port 8 at once
        EXPECT_EQ(greenCell(), 0);
        EXPECT_EQ(text("label_cell0"), "LED9");
        key(R);
        key(OK); // port 9 confirmed
        EXPECT_EQ(greenCell(), 1);
        screenshot("smartmapping_step2_port");
        key(R);
        key(R);
        key(OK); // Button_next_2
        EXPECT_EQ(wizard().stackPage(), SmartMapping::StepGrid);
        key(OK); // rows
    });
    type(steps, "300");
    steps.push_back(keys({R, R, OK})); // the route chooser
    steps.push_back([this]() {
        EXPECT_EQ(wizard().stackPage(), SmartMapping::RouteChooser);
        EXPECT_EQ(styleOf("Button_route1"), kFieldFocus);
        screenshot("smartmapping_routes");
        for (int i = 0; i < 4; ++i)
            key(R);
        key(OK);
        EXPECT_EQ(iconOf("Button_route"), ":/png/line5.png");
        EXPECT_EQ(text("Button_route"), "Routing 5");
        key(R);
        key(OK); // horizontal offset
    });
    type(steps, "70000");
    steps.push_back([this]() {
        key(R);
        key(R);
        key(R); // Send
        key(OK);
        struct Field {
            const char* name;
            int stored;
            int expected;
        };
        // Entered texts cut to their field's width: 300 rows is 44, 70000 is 4464.
        const LineType lt = line_type;
        for (const Field& f : {Field{"width", lt.cabinet_width, 64}, Field{"height", lt.cabinet_height, 32},
                               Field{"port", lt.port, 9}, Field{"rows", lt.rows, 44}, Field{"columns", lt.columns, 1},
                               Field{"route", lt.route_way, 5}, Field{"horizontal", lt.h_offset, 4464},
                               Field{"vertical", lt.v_offset, 0}})
            EXPECT_EQ(f.stored, f.expected) << f.name;
        EXPECT_EQ(g_send_para.command(), SendPara::send_cmd_smartmapping);
        EXPECT_EQ(g_send_para.send_step(), 0);
        ASSERT_NE(g_qround_bar, nullptr);
        QRoundProgressBar* popup = g_qround_bar;
        g_send_para.set_command(0); // taken by the FPGA manager
        key(OK);
        EXPECT_EQ(g_send_para.command(), 0) << "a second Send while the popup is open posts nothing";
        EXPECT_EQ(g_qround_bar, popup);
        progress(50);
        EXPECT_EQ(popup->getValue(), 50.0);
        key(PanelKeys::kMode);
        EXPECT_EQ(g_mode_shortcut_key, 0) << "Mode is dropped while the command runs";
        key(BACK); // step 3 stays while busy
        key(BACK);
        EXPECT_EQ(g_page_focus, PageFocus::SmartMapping);
        EXPECT_EQ(wizard().stackPage(), SmartMapping::StepGrid);
        key(L);
        EXPECT_EQ(styleOf("Button_front_3"), kFocus) << "the focus still moves";
        progress(100);
        EXPECT_EQ(g_qround_bar, nullptr);
        screenshot("smartmapping_step3_sent");
        key(BACK);
        EXPECT_EQ(wizard().stackPage(), SmartMapping::StepPort);
        key(BACK);
        key(BACK);
        key(BACK);
        EXPECT_EQ(g_page_focus, PageFocus::Option);
        EXPECT_EQ(g_smartmapping, nullptr);
    });
    steps.push_back(openWizard());
    steps.push_back([]() {
        EXPECT_EQ(line_type.port, 0) << "a new wizard starts on port 0";
        EXPECT_EQ(line_type.route_way, 1);
        EXPECT_EQ(line_type.cabinet_width, 64) << "the entered values outlive the wizard";
        EXPECT_EQ(line_type.rows, 44);
    });
    run(steps);
}

// ---- Load scan ----

TEST_F(SmartMappingTest, LoadScanPortBackRestoresOnlyAConfirmedPort)
{
    scanFile("/mnt/usb1", "u.qjfile");
    run({open(), openWizard(), keys({R, OK, OK}), [this]() {
             EXPECT_EQ(line_type.port, 0) << "entering the grid leaves the port";
             key(R);
             key(R);
             EXPECT_EQ(line_type.port, 2) << "the cursor moves the port";
             key(BACK);
             EXPECT_EQ(line_type.port, 2) << "nothing confirmed yet: the port stays";
             key(OK);
             key(R);
             key(OK); // port 1 confirmed
             EXPECT_EQ(line_type.port, 1);
             key(OK);
             key(L);
             EXPECT_EQ(line_type.port, 7) << "Left from cell 0 wraps to 7 in the same view";
             key(BACK);
             EXPECT_EQ(line_type.port, 1);
         }});
}

TEST_F(SmartMappingTest, ScanFileListPagesColoursAndChoice)
{
    for (const char* name : {"d1.qjfile", "d2.qjfile", "d3.qjfile", "d4.qjfile", "skip.QJFILE"})
        scanFile("/data/smartmapping", name);
    for (const char* name : {"u1.qjfile", "u2.qjfile"})
        scanFile("/mnt/usb1", name);
    run({open(), openWizard(), keys({R, OK, R, R, OK}), [this]() {
             ASSERT_EQ(wizard().stackPage(), SmartMapping::ScanFiles);
             using Files = std::vector<std::pair<QString, QString>>;
             const Files page0 = shownFiles();
             ASSERT_EQ(page0.size(), 3u);
             EXPECT_EQ(page0[0].first, "d1.qjfile");
             EXPECT_EQ(page0[1], (std::pair<QString, QString>("d2.qjfile", kWhiteLook)));
             EXPECT_EQ(page0[2], (std::pair<QString, QString>("d3.qjfile", kWhiteLook)));
             EXPECT_EQ(g_qjfile_name, "/data/smartmapping/d1.qjfile");
             EXPECT_NE(find("Button_next_page"), nullptr);
             EXPECT_EQ(find("Button_previous"), nullptr) << "no page before the first";
             screenshot("smartmapping_files_page0");
             key(R);
             key(R);
             key(R); // Right on the last file of page 0: first file of page 1
             EXPECT_EQ(wizard().currentPage(), 1);
             const Files page1 = shownFiles();
             ASSERT_EQ(page1.size(), 3u);
             EXPECT_EQ(page1[0].first, "d4.qjfile");
             EXPECT_EQ(page1[1], (std::pair<QString, QString>("u1.qjfile", kGreenLook)));
             EXPECT_EQ(page1[2], (std::pair<QString, QString>("u2.qjfile", kGreenLook)));
             EXPECT_EQ(find("Button_next_page"), nullptr);
             EXPECT_EQ(g_qjfile_name, "/data/smartmapping/d4.qjfile") << "the place chosen is shown on page 1";
             key(R);
             key(OK); // choose u1
             EXPECT_EQ(g_qjfile_name, "/mnt/usb1/u1.qjfile");
             screenshot("smartmapping_files_page1");
             key(BACK);
             key(L);
             key(L); // Left on the first file of page 1: third file of page 0
             EXPECT_EQ(wizard().currentPage(), 0);
             EXPECT_EQ(wizard().fileCursor(), 2);
             wizard().kel_Button_previous_clicked();
             EXPECT_EQ(wizard().currentPage(), 0) << "Previous stops at page 0";
             wizard().kel_Button_next_clicked();
             wizard().kel_Button_next_clicked();
             EXPECT_EQ(wizard().currentPage(), 0) << "Next wraps after the last page";
         }});
}

TEST_F(SmartMappingTest, LoadPostsCommand2ForTheChosenFileAndARemovedStickDropsItsFiles)
{
    scanFile("/data/smartmapping", "d1.qjfile");
    for (const char* name : {"u1.qjfile", "u2.qjfile"})
        scanFile("/mnt/usb1", name);
    run({open(), openWizard(), keys({R, OK, R, R, OK}), [this]() {
             key(R);
             key(OK); // choose u1, cursor to Load
             EXPECT_EQ(g_qjfile_name, "/mnt/usb1/u1.qjfile");
             QFile::remove(QString::fromStdString(hostPath("/mnt/usb1/u1.qjfile")));
             key(OK);
             EXPECT_EQ(g_send_para.command(), 0) << "a file gone from its folder is not loaded";
             EXPECT_EQ(g_qround_bar, nullptr);
             QDir(QString::fromStdString(hostPath("/mnt/usb1"))).removeRecursively();
             store_->test_signal(SYNC_USB_REMOVE);
         },
         [this]() {
             EXPECT_EQ(wizard().fileList().count(), 1);
             EXPECT_EQ(shownFiles().size(), 1u);
             EXPECT_EQ(g_qjfile_name, "/data/smartmapping/d1.qjfile");
             EXPECT_EQ(g_tip_flag, 1) << "the unplugged notice";
             tick(300);
         },
         [this]() {
             key(R);
             key(OK);
             key(OK); // Load
             EXPECT_EQ(g_send_para.command(), SendPara::send_cmd_load_scan);
             EXPECT_NE(g_qround_bar, nullptr);
             progress(100);
         }});
}

// The load reads the chosen path from the FPGA manager's thread: a stick
// pulled while it runs changes the list shown, never the file being loaded.
TEST_F(SmartMappingTest, AStickRemovedDuringALoadLeavesTheChosenFile)
{
    scanFile("/data/smartmapping", "d1.qjfile");
    scanFile("/mnt/usb1", "u1.qjfile");
    run({open(), openWizard(), keys({R, OK, R, R, OK}), [this]() {
             key(R);
             key(OK);
             key(OK); // Load u1
             ASSERT_EQ(g_send_para.command(), SendPara::send_cmd_load_scan);
             QDir(QString::fromStdString(hostPath("/mnt/usb1"))).removeRecursively();
             store_->test_signal(SYNC_USB_REMOVE);
         },
         [this]() {
             EXPECT_EQ(shownFiles().size(), 1u) << "the stick's file is gone from the list";
             EXPECT_EQ(g_qjfile_name, "/mnt/usb1/u1.qjfile");
             progress(100);
             g_send_para.finish();
             tick(300);
         },
         [this]() { store_->test_signal(SYNC_USB_REMOVE); },
         [this]() {
             EXPECT_EQ(g_qjfile_name, "/data/smartmapping/d1.qjfile") << "no command: the redraw chooses again";
             tick(300);
         }});
}

TEST_F(SmartMappingTest, AnEmptyListSaysSoAndLoadPostsNothing)
{
    g_qjfile_name = "/data/smartmapping/old.qjfile";
    scanFile("/data/smartmapping", "readme.txt"); // offers Load scan, lists nothing
    run({open(), openWizard(), keys({R, OK, R, R, OK}), [this]() {
             EXPECT_EQ(text("label_nofile"), "No loaded file!");
             EXPECT_TRUE(g_qjfile_name.isEmpty());
             key(R);
             key(OK); // Load
             EXPECT_EQ(g_send_para.command(), 0);
             key(R);
             key(OK); // Previous
             EXPECT_EQ(wizard().stackPage(), SmartMapping::ScanPort);
         }});
}

// ---- curing and the mapping switch ----

TEST_F(SmartMappingTest, CuringPostsCommand3AndTheSwitchTogglesMappingBeforeCommand4)
{
    fpga_manage* m = fpga_manage::pInstance();
    m->softinit();
    m->gpio.gpio_fpga0_reset.high();
    auto& sim = platform::sim::SimFpgaBoard::current()->fpga0();
    sim.setReg(0, 0x01);
    run({open(), openWizard(), keys({R, OK, OK}), [&]() {
             EXPECT_EQ(g_send_para.command(), SendPara::send_cmd_save_para);
             m->progress_relay.smartMappingProgress(100);
         },
         [&]() {
             EXPECT_EQ(g_qround_bar, nullptr) << "the relay's 100 closes the popup";
             g_send_para.finish();
             key(BACK);
             key(R); // Mapping: the switch shows the register's state
             EXPECT_EQ(iconOf("Button_mapping_state"), ":/png/button_off.png");
             key(OK); // into the switch
             struct Press {
                 uint8_t reg;
                 uint32_t arg;
                 const char* icon;
             };
             // The register is read before each switch: on, then off again.
             for (const Press& p : {Press{0x81, 9, ":/png/button_on.png"}, Press{0x01, 0, ":/png/button_off.png"}}) {
                 key(OK);
                 EXPECT_EQ(sim.reg(0), p.reg);
                 EXPECT_EQ(g_send_para.command(), SendPara::send_cmd_mapping_enable);
                 EXPECT_EQ(g_send_para.send_arg, p.arg);
                 EXPECT_EQ(iconOf("Button_mapping_state"), p.icon);
                 progress(100);
                 g_send_para.finish();
             }
         }});
}

TEST_F(SmartMappingTest, NothingIsPostedWhileTheMailboxIsBusyOrAnUpgradeRuns)
{
    fpga_manage* m = fpga_manage::pInstance();
    m->softinit();
    m->gpio.gpio_fpga0_reset.high();
    auto& sim = platform::sim::SimFpgaBoard::current()->fpga0();
    run({open(), openWizard(), keys({L}), [&]() {
             for (int busy : {0, 1}) {
                 g_usb_grade = uint8_t(busy == 0);
                 g_send_para.head = busy ? SendPara::send_cmd_rcv_check : 0;
                 key(OK);
                 key(OK); // the mapping switch
                 EXPECT_EQ(g_qround_bar, nullptr);
                 EXPECT_EQ(sim.reg(0) & 0x80, 0) << "the register is left alone";
                 key(BACK);
                 key(L);
                 key(OK);
                 key(OK); // curing
                 EXPECT_EQ(g_qround_bar, nullptr);
                 EXPECT_EQ(g_send_para.command(), busy ? SendPara::send_cmd_rcv_check : 0);
                 key(BACK);
                 key(R);
             }
         }});
}

// ---- close over the control link ----

TEST_F(SmartMappingTest, AStoredScanFileClosesTheWizardInTheGuiThreadUnlessACommandRuns)
{
    kel::protocol::PanelCalls::Hooks hooks;
    hooks.smartMappingBack = []() { return PageOpener::backIfInFront(PageFocus::SmartMapping); };
    hooks.fpgaManagerPresent = []() { return true; };
    kel::protocol::PanelCalls::install(hooks);
    // The queued close runs in the GUI thread before the next step.
    auto fromLinkThread = []() {
        std::thread link([]() { kel::protocol::PanelCalls::post(kel::protocol::PanelCalls::Event::SmartFileStored); });
        link.join();
    };
    run({open(), openWizard(), keys({R, OK, OK}), [&]() {
             ASSERT_NE(g_qround_bar, nullptr); // curing runs
             fromLinkThread();
         },
         [&]() {
             EXPECT_EQ(g_page_focus, PageFocus::SmartMapping) << "refused while the popup is open";
             progress(100);
             g_send_para.finish();
             fromLinkThread(); // inside the curing branch: the close leaves the whole wizard
             EXPECT_NE(g_smartmapping, nullptr) << "nothing happens in the link thread";
         },
         [&]() {
             EXPECT_EQ(g_page_focus, PageFocus::Option);
             EXPECT_EQ(g_smartmapping, nullptr);
             fromLinkThread(); // the wizard is gone: harmless
         },
         [&]() {
             EXPECT_EQ(g_page_focus, PageFocus::Option);
         }});
}

// ---- texts ----

TEST_F(SmartMappingTest, TextsInEnglishAndSimplifiedChineseWithEnglishForALanguageNotOffered)
{
    struct Row {
        const char* widget;
        const char* en;
        const char* zh;
    };
    const Row rows[] = {
        {"label_title", "Smart debugging screen", "智能调屏"},
        {"Button_shortcut", "Debugging\nscreen", "快捷点屏"},
        {"Button_loadscan", "Load scan", "加载扫描"},
        {"Button_paraweld", "Curing\nparameter", "参数固化"},
        {"Button_mapping", "Mapping", "Mapping"},
        {"label_step1", "Step 1 Cabinet setup", "步骤1箱体设置"},
        {"label_boxwidth", "Cabinet width", "箱体宽度"},
        {"label_boxheight", "Cabinet height", "箱体高度"},
        {"Button_next", "Next", "下一步"},
        {"Button_next_5", "Next", "下一步"},
        {"label_step2", "Step 2 Select port", "步骤2选择网口"},
        {"Button_front_2", "Previous", "上一步"},
        {"Button_wlan1", "LED1~8", "网口1~8"},
        {"Button_wlan6", "LED9~16", "网口9~16"},
        {"label_step3", "Step 3 Screen parameter setting", "步骤3屏参设置"},
        {"label_boxline", "Number of Cabinet in rows", "箱体行数"},
        {"label_boxlcolumn", "Number of Cabinet in lines", "箱体列数"},
        {"label_routeway", "Screen alignment mode", "屏体走线方式"},
        {"label_horizon", "Horizontal offset", "水平偏移"},
        {"label_vert", "Vertical offset", "垂直偏移"},
        {"Button_send", "Send", "发送"},
        {"Button_route", "Routing 1", "走线1"},
        {"Button_route16", "Routing 16", "走线16"},
        {"Button_cancel", "Cancle", "取消"},
        {"label_step1_5", "Step 1 Select network port", "步骤1选择网口"},
        {"label_step2_6", "Step 2 Upload scan parameters", "步骤2加载扫描参数"},
        {"label_step2_7", "Detected the following screen parameter\n files", "检测到以下屏参文件"},
        {"Button_load", "Load", "加载"},
        {"label_step1_6", "Parameter curing operation", "参数固化操作"},
        {"Button_confirm", "OK", "确定"},
        {"label_step1_7", "Mapping switch", "Mapping开关"},
    };
    struct Language {
        uint8_t language;
        uint32_t offered;
        bool chinese;
    };
    for (const Language lang : {Language{1, 0x1F, false}, Language{0, 0x1F, true}, Language{0, 0x1E, false}}) {
        g_language = lang.language;
        g_lcd_lang_valid = lang.offered;
        run({open(), openWizard(), [&]() {
                 for (const Row& r : rows)
                     EXPECT_EQ(text(r.widget), QString::fromUtf8(lang.chinese ? r.zh : r.en)) << r.widget;
                 if (lang.offered == 0x1F)
                     screenshot(lang.chinese ? "smartmapping_zh" : "smartmapping_en");
             }});
    }
}

// The rows given for the other languages, and the empty list's text.
TEST_F(SmartMappingTest, TheNamedTextsOfTheOtherLanguages)
{
    struct Row {
        uint8_t language;
        const char* widget;
        const char* text;
    };
    const Row rows[] = {
        {2, "label_step1", "Шаг 1. Настройка кабинета"},
        {2, "label_step3", "Шаг 3.Настройка параметров экрана"},
        {2, "Button_route", "Путь 1"},
        {2, "Button_route16", "Путь 16"},
        {2, "Button_cancel", "取消"},
        {2, "label_nofile", "Нет файлов для загрузки!"},
        {3, "label_step1", "Bước 1: Thiết lập cabin"},
        {3, "Button_route7", "Dấu vết7"},
        {3, "Button_cancel", "取消"},
        {3, "label_nofile", "Không có tập tin để tải!"},
        {4, "label_title", "智能調屏"},
        {4, "Button_route", "走線1"},
        {4, "Button_wlan2", "網口9~16"},
        {4, "Button_cancel", "取消"},
        {4, "label_nofile", "無加載文件!"},
        {0, "label_nofile", "无加载文件!"},
    };
    scanFile("/data/smartmapping", "readme.txt"); // offers Load scan, lists nothing
    g_lcd_lang_valid = 0x1F;
    for (uint8_t lang : {0, 2, 3, 4}) {
        g_language = lang;
        run({open(), openWizard(), keys({R, OK, R, R, OK}), [&]() {
                 for (const Row& r : rows) {
                     if (r.language == lang) {
                         EXPECT_EQ(text(r.widget), QString::fromUtf8(r.text)) << r.widget << " in " << int(lang);
                     }
                 }
             }});
    }
}

TEST_F(SmartMappingTest, KeyboardTitlesFollowTheFieldAndLanguage)
{
    struct Case {
        uint8_t language;
        int rights;   // from the first field of step 3
        const char* title;
    };
    for (const Case c : {Case{1, 0, "rows"}, Case{0, 1, "箱体列数"}, Case{2, 3, "Horizontal"}, Case{4, 4, "垂直偏移"},
                        Case{4, 0, "箱體行數"}}) {
        g_language = c.language;
        std::vector<Step> steps{open(), openWizard(), keys({OK, R, R, OK, R, R, R, OK})};
        steps.push_back([this, c]() {
            for (int i = 0; i < c.rights; ++i)
                key(R);
            key(OK);
        });
        steps.push_back([c]() {
            ASSERT_TRUE(g_numberkeyboard->isVisible());
            EXPECT_EQ(g_numberkeyboard->findChild<QLabel*>(QStringLiteral("label"))->text(), QString::fromUtf8(c.title));
            g_numberkeyboard->on_Button_close_clicked();
        });
        run(steps);
    }
}

} // namespace
} // namespace kel::test
