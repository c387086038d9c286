#include "ControllerFixture.h"

#include "ledout/LedGlobals.h"
#include "params/ApplyGate.h"
#include "ledout/clock_record_run.h"
#include "ledout/fpga_manage.h"
#include "params/KelRamPara.h"
#include "params/PageRegistry.h"
#include "params/global.h"
#include "params/RamLayout.h"
#include "params/SyncReason.h"
#include "params/SyncUpdate.h"
#include "platform/Board.h"
#include "platform/Clock.h"
#include "platform/PathMap.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimEdidEeprom.h"
#include "platform/sim/SimFpga.h"
#include "platform/sim/SimFpgaBoard.h"
#include "platform/sim/SimInputBoard.h"
#include "platform/sim/SimNorFlash.h"
#include "platform/sim/SimScaler.h"
#include "protocol/LinkClient.h"
#include "protocol/PanelCalls.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/TestFrames.h"
#include "protocol/UsbServer.h"
#include "protocol/networkManage.h"
#include "protocol/udpnetManage.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/PageOpener.h"
#include "ui/shell/PagePointers.h"
#include "ui/shell/ShellGlobals.h"
#include "ui/shell/LockWindow.h"
#include "platform/sim/SimVideoSource.h"
#include "ui/shell/ValueStepper.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>

#include <QFile>
#include <QTimer>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <thread>
#include <vector>

namespace kel::test {
namespace {

using namespace kel::protocol;
constexpr int kFocusUsbUpgrade = 26;
constexpr int kTipUsbIn = 3;
using platform::sim::SimFpgaBoard;
using platform::sim::SimInputBoard;
using platform::sim::SimScaler;

class WholeController : public ControllerFixture {
protected:
    static platform::sim::SimFpga& fpga0() { return SimFpgaBoard::current()->fpga0(); }
    SimScaler& scaler() { return *SimScaler::on(board()); }
    // One request over UDP to the control port, as the PC tool sends it.
    uint8_t ask(uint8_t cmd, const Bytes& payload)
    {
        LinkClient tool = LinkClient::udp(udpnetManage::p_udpnetManage->localPort());
        EXPECT_TRUE(tool.ok());
        const Bytes answer = tool.exchange(TestFrames::request(cmd, payload));
        return answer.empty() ? 0xFF : TestFrames::status(answer);
    }
};

// A fresh root plugs a source into input 2 (follow EDID; the blank EEPROM
// gets its default EDID, 1920x1080 at 60 Hz), the input window 0 shows.
TEST_F(WholeController, ColdStartReachesALitScreen)
{
    EXPECT_TRUE(tickUntil(&ControllerFixture::screenLit));
    EXPECT_EQ(g_source_online, 2);
    EXPECT_EQ(fpga_manage::p_fpga_manage->get_fpga_status(), 1u);
    EXPECT_GE(scaler().initCount(), 1);
    auto scalerInput = [&] { return board().state().value("scaler").toObject().value("inputs").toArray()[2].toObject(); };
    EXPECT_TRUE(tickUntil([&] { return scalerInput().value("hact").toInt() == 1920; }));
    EXPECT_EQ(scalerInput().value("vact").toInt(), 1080);
    EXPECT_EQ(scalerInput().value("htotal").toInt(), 2200);
    EXPECT_EQ(scalerInput().value("vtotal").toInt(), 1125);
    auto homeState = [] {
        QLabel* l = g_lockwindow ? g_lockwindow->findChild<QLabel*>("state1") : nullptr;
        return l ? l->text() : QString();
    };
    EXPECT_TRUE(tickUntil([&] { return homeState() == "1920x1080@60Hz"; }, 2000)) << homeState().toStdString();
}

TEST_F(WholeController, NoSourceLeavesTheScreenDarkAndTheHomeScreenSaysNoSignal)
{
    SimInputBoard::of(board())->source(2).unplug();
    ASSERT_TRUE(tickUntil([] { return g_fpga_lcd_on == 1; }));
    EXPECT_FALSE(tickUntil(&ControllerFixture::screenLit, 600));
    EXPECT_EQ(g_source_online, 0);
    QLabel* state = g_lockwindow->findChild<QLabel*>("state1");
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->text(), QString::fromUtf8("无信号"));
}

TEST_F(WholeController, LedSizeWrittenOverUdpReachesTheScalerAndTheFpga)
{
    ASSERT_TRUE(tickUntil(&ControllerFixture::screenLit));
    const int resetsBefore = fpga0().resets();
    const int panelBefore = scaler().panelApplies();
    uint8_t saved[RamLayout::kLedHeight + 2 - RamLayout::kSpliceMode];
    std::memcpy(saved, KelRamPara::p_kelrampara_config->RamShadow + RamLayout::kSpliceMode, sizeof saved);
    const uint16_t width = 1024, height = 512;
    ASSERT_EQ(ask(CMD_WRITE_RAM, TestFrames::ramWrite(RamLayout::kLedWidth, TestFrames::cat({TestFrames::u16(width),
                                                                                             TestFrames::u16(height)}))),
              ST_OK);
    ASSERT_EQ(ask(CMD_WRITE_REGISTER, {11, 0, 0xFF, 1, 0x02}), ST_OK);

    // The FPGA side blanks, the scaler reprograms its panel, the FPGA side
    // restarts the cards with the new size and lights the screen again.
    EXPECT_TRUE(tickUntil([&] { return fpga0().resets() > resetsBefore && g_set_led_para == 0 && screenLit(); }));
    EXPECT_GT(scaler().panelApplies(), panelBefore);
    EXPECT_EQ(scaler().reg(SimScaler::Output, SimScaler::OutPanelW), width);

    // While the new size is not saved yet (a slow save), the block's size
    // still differs from the saved one. An apply of other settings then
    // starts no second blanking: the scaler, whose panel already has the
    // size, would not answer it, and no reset would light the screen again.
    KelRamPara* store = KelRamPara::p_kelrampara_config;
    pthread_mutex_lock(&ApplyGate::instance().c331_para_mutex);
    std::memcpy(store->RamShadow + RamLayout::kSpliceMode, saved, sizeof saved);
    pthread_mutex_unlock(&ApplyGate::instance().c331_para_mutex);
    const int resetsAfter = fpga0().resets();
    ASSERT_EQ(ask(CMD_WRITE_RAM, TestFrames::ramWrite(3072, TestFrames::u16(5))), ST_OK);
    ASSERT_EQ(ask(CMD_WRITE_REGISTER, {11, 0, 0xFF, 1, 0x02}), ST_OK);
    EXPECT_FALSE(tickUntil([] { return g_set_led_para != 0 || !screenLit(); }, 100));
    EXPECT_EQ(fpga0().resets(), resetsAfter);
}

// The way a newcomer changes the panel language before the settings pages
// exist: the language at parameter address 0x300, then an apply. The tool
// sees the apply taken at status byte 0x11002; state.json reports the panel.
TEST_F(WholeController, LanguageWrittenOverUdpReachesThePanelAndItsState)
{
    ASSERT_TRUE(tickUntil(&ControllerFixture::screenLit));
    auto panel = [&] { return board().state().value("panel").toObject(); };
    EXPECT_EQ(panel().value("language").toString(), "Simplified Chinese");
    EXPECT_EQ(panel().value("window").toString(), "LockWindow");

    ASSERT_EQ(ask(CMD_WRITE_RAM, TestFrames::ramWrite(0x300, TestFrames::u16(1))), ST_OK);
    ASSERT_EQ(ask(CMD_WRITE_REGISTER, {11, 0, 0xFF, 1, 0x02}), ST_OK);
    auto pendingApply = [&] {
        LinkClient tool = LinkClient::udp(udpnetManage::p_udpnetManage->localPort());
        const Bytes a = tool.exchange(TestFrames::request(CMD_READ_RAM, TestFrames::ramRead(0x11002, 1)));
        return a.empty() || TestFrames::status(a) != ST_OK ? -1 : int(TestFrames::answerData(a).back());
    };
    EXPECT_TRUE(tickUntil([&] { return pendingApply() == 0; }));
    EXPECT_TRUE(tickUntil([&] { return g_language == 1; }));
    EXPECT_EQ(panel().value("language").toString(), "English");
    EXPECT_EQ(panel().value("g_language").toInt(), 1);
}

// A host frame holds the ageing sample back; the FPGA manager ends the hold
// 80 ticks after the frame, and the next sample is taken again.
TEST_F(WholeController, AgeingSampleResumesEightyTicksAfterAHostFrame)
{
    ASSERT_TRUE(tickUntil(&ControllerFixture::screenLit));
    ASSERT_EQ(ask(CMD_READ_RAM, TestFrames::ramRead(0x300, 2)), ST_OK);
    ASSERT_EQ(pc_cmd_valid, 1);
    const uint32_t frameTick = pc_cmd_time;
    const int samples = factoryage_log.size();
    auto sampleAtNextTick = [] {
        G_factoryage_ticks = G_timeTicks.load() - 18000;
        g_mainwindow->slot_update_timer_ticks();
    };
    sampleAtNextTick();
    EXPECT_EQ(factoryage_log.size(), samples) << "no sample while the host is served";
    ASSERT_TRUE(tickUntil([] { return pc_cmd_valid == 0; }, 400));
    EXPECT_GT(G_timeTicks.load() - frameTick, 80u);
    sampleAtNextTick();
    EXPECT_EQ(factoryage_log.size(), samples + 1);
}

// The protocol's clock command sets the board clock through the recorded
// "date" and marks the running-time record that the FPGA manager keeps
// once FPGA 0 is up; the PC tool reads the time back from the extended image.
TEST_F(WholeController, ClockCommandOverUdpMovesTheBoardClockAndMarksTheRunningTime)
{
    ASSERT_TRUE(tickUntil([] { return fpga_manage::p_fpga_manage->clock_record->record_ready != 0; }));
    ASSERT_EQ(ask(CMD_WRITE_RTC, {0x27, 0x20, 0x03, 0x04, 0x05, 0x06, 0x07}), ST_OK);
    const QDateTime expected(QDate(2027, 3, 4), QTime(5, 6, 7));
    EXPECT_LE(std::llabs(platform::Board::clock().now().secsTo(expected)), 2);
    // The FPGA manager makes the mark on its next pass.
    EXPECT_TRUE(tickUntil([] { return SimFpgaBoard::current()->flash2().read(0x6F4000 + 44, 1) == Bytes{0x5A}; }, 100));

    LinkClient tool = LinkClient::udp(udpnetManage::p_udpnetManage->localPort());
    const Bytes a = tool.exchange(TestFrames::request(CMD_READ_RAM, TestFrames::ramRead(0x20000 + 16, 5), 0xF200));
    ASSERT_EQ(TestFrames::status(a), ST_OK);
    const Bytes d = TestFrames::answerData(a);
    EXPECT_EQ(Bytes(d.end() - 5, d.end()), (Bytes{0x27, 0x20, 0x03, 0x04, 0x05}));

    // The totals: sequence number, minutes since power-on, finished groups,
    // and those with the current group's marks (2 minutes each).
    {
        std::lock_guard<std::mutex> l(fpga_manage::p_fpga_manage->sched_mutex);
        g_clock_record.rec_seq = 7;
        g_clock_record.rec_minutes_boot = 100;
        g_clock_record.rec_total = 2880;
        g_clock_record.rec_marks = 10;
    }
    // The links read what the FPGA manager publishes at the end of a pass.
    ASSERT_TRUE(tickUntil([] { return fpga_manage::p_fpga_manage->clock_record_snapshot().rec_marks == 10; }, 100));
    const Bytes t = tool.exchange(TestFrames::request(CMD_READ_RAM, TestFrames::ramRead(0x20000 + 76, 16), 0xF200));
    ASSERT_EQ(TestFrames::status(t), ST_OK);
    const Bytes words = TestFrames::answerData(t);
    EXPECT_EQ(Bytes(words.end() - 16, words.end()),
              TestFrames::cat({TestFrames::u32(7), TestFrames::u32(100), TestFrames::u32(2880), TestFrames::u32(2900)}));
}

// A mode recalled with the main menu's picker reaches the scaler's windows;
// picture and colour-temperature steps reach its picture registers.
TEST_F(WholeController, RecalledModeAndPictureStepsReachTheScaler)
{
    ASSERT_TRUE(tickUntil(&ControllerFixture::screenLit));
    KelRamPara& store = *KelRamPara::p_kelrampara_config;
    uint8_t* slot = store.UserModeSlot[3];
    slot[0] = slot[1] = 0xAA;
    std::memcpy(slot + 2, store.RamBlock + 896, 3200);
    const size_t w1 = RamLayout::imageRecord(1) - 894;
    const uint16_t record[] = {1, 0, 0, 0, 2, 100, 50, 640, 360};
    for (size_t i = 0; i < 9; ++i)
        RamLayout::setU16(slot, w1 + 2 * i, record[i]);
    g_mainwindow->on_tools_clicked();
    g_mainwindow->on_toolButton3_clicked();
    g_mainwindow->kel_button_mode_clicked();
    EXPECT_EQ(store.blockU16(RamLayout::kCurrentUserMode), 4);
    const int base = SimScaler::WinStride * 1;
    EXPECT_TRUE(tickUntil([&] {
        return scaler().reg(SimScaler::Window, base + SimScaler::WinEnable) == 1 &&
               scaler().reg(SimScaler::Window, base + SimScaler::WinPos) == 100 &&
               scaler().reg(SimScaler::Window, base + SimScaler::WinPos + 2) == 640;
    }));

    QLineEdit contrastField, greenField;
    ValueStepper contrast(&contrastField, RamLayout::kQualityContrast);
    ValueStepper green(&greenField, RamLayout::kColortempGreen);
    store.RamBlock[RamLayout::kColortemp] = 0; // custom: the gains follow the values
    for (ValueStepper* s : {&contrast, &green}) {
        ASSERT_TRUE(tickUntil([] { return ApplyGate::instance().c331_apply_flag.load() == 0; }));
        s->load();
        s->begin();
        EXPECT_TRUE(s->step(+1));
    }
    EXPECT_TRUE(tickUntil([&] {
        return scaler().reg(SimScaler::Picture, SimScaler::PicContrast) == 51 &&
               scaler().reg(SimScaler::Picture, SimScaler::PicGainG) == 65 * 64;
    }));
}

// Deeply nested menu and alias files: refused on upload, set aside when met
// on the device, and the controller keeps answering.
TEST_F(WholeController, NestedJsonFilesAreRefusedOrSetAsideAndTheLinkStillAnswers)
{
    ASSERT_TRUE(tickUntil(&ControllerFixture::screenLit));
    ASSERT_EQ(ask(CMD_WRITE_FILE_START, TestFrames::cat({{0, 'O', 'S', 'D', 'S'}, TestFrames::u32(400 * 1024)})),
              ST_BAD_RANGE);
    const std::string nested = std::string(50000, '[') + std::string(50000, ']');
    for (const char* file : {"/data/configs/omenu.json", "/data/configs/alias.json"}) {
        QFile f(QString::fromStdString(hostPath(file)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(nested.data(), qint64(nested.size()));
    }
    // The OSD switched on over the link reloads the menu; the change pass
    // that follows refreshes the home screen's input names.
    ASSERT_EQ(ask(CMD_WRITE_RAM, TestFrames::ramWrite(RamLayout::kOsdEnable, TestFrames::u16(1))), ST_OK);
    ASSERT_EQ(ask(CMD_WRITE_REGISTER, {11, 0, 0xFF, 1, 0x0A}), ST_OK);
    KelRamPara::pInstance()->ram_para_save();
    EXPECT_TRUE(tickUntil([&] {
        return QFile::exists(QString::fromStdString(hostPath("/data/configs/omenu.json.bad"))) &&
               QFile::exists(QString::fromStdString(hostPath("/data/configs/alias.json.bad")));
    }));
    EXPECT_EQ(ask(CMD_WRITE_RAM, TestFrames::ramWrite(RamLayout::kLedWidth, TestFrames::u16(1920))), ST_OK);
}

TEST_F(WholeController, EdidWrittenOverUdpLandsInTheInputEeprom)
{
    Bytes edid(256, 0);
    const uint8_t header[] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    std::copy(std::begin(header), std::end(header), edid.begin());
    edid[18] = 1;
    edid[19] = 3;
    // First detailed timing: 148.5 MHz, 1920 + 280 by 1080 + 45: 60 Hz.
    const uint8_t dtd[] = {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40};
    std::copy(std::begin(dtd), std::end(dtd), edid.begin() + 54);
    edid[127] = uint8_t(-std::accumulate(edid.begin(), edid.begin() + 127, 0));
    const int input = 2;
    ASSERT_TRUE(tickUntil(&ControllerFixture::screenLit));

    ASSERT_EQ(ask(CMD_WRITE_EDID, TestFrames::cat({{uint8_t(input)}, TestFrames::u16(256), edid})), ST_OK);

    platform::sim::SimEdidEeprom& eeprom = SimInputBoard::of(board())->eeprom(input);
    auto stored = [&] {
        const auto c = eeprom.contents();
        return Bytes(c.begin(), c.end()) == edid;
    };
    EXPECT_TRUE(tickUntil(stored));
}

TEST_F(WholeController, UsbStickInsertReachesTheChangePass)
{
    // The USB-upgrade page in front (its own code is not part of this
    // build): the change pass refreshes it and raises the "USB in" notice.
    std::vector<int> refreshed, notices;
    PageRegistry::instance().join(kFocusUsbUpgrade, [&refreshed](int reason) { refreshed.push_back(reason); });
    PageRegistry::instance().setNoticeSink([&notices](int kind) { notices.push_back(kind); });
    g_page_focus = kFocusUsbUpgrade;
    // The watcher acts once the tick has opened its gate.
    ASSERT_TRUE(tickUntil([] { return g_delay_usbserver.load() == 1; }, 1100));

    const int pipe = ::open(platform::PathMap::host(std::string("/sim/usb-events")).c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(pipe, 0);
    ASSERT_EQ(::write(pipe, "insert\n", 7), 7);
    ::close(pipe);

    EXPECT_TRUE(tickUntil([&] { return !notices.empty(); }, 2000));
    EXPECT_NE(std::find(refreshed.begin(), refreshed.end(), SYNC_USB_ADD), refreshed.end());
    EXPECT_EQ(notices, std::vector<int>{kTipUsbIn});
    PageRegistry::instance().leave(kFocusUsbUpgrade);
    g_page_focus = 0;
}

TEST_F(WholeController, StickBeingReadClosesTheSettingsMenuInFront)
{
    bool menuWasInFront = false, returned = false, watchdog = false;
    QTimer::singleShot(0, [&] {
        // Runs inside the menu's own loop, as the watcher's call does.
        QTimer::singleShot(0, [&] {
            menuWasInFront = g_page_focus == PageFocus::Option;
            PanelCalls::post(PanelCalls::Event::UsbStickReading);
        });
        // Ends the menu's loop should the call never close it.
        QTimer::singleShot(3000, [&] {
            watchdog = !returned;
            PageOpener::backIfInFront(PageFocus::Option);
        });
        PageOpener::open(PageFocus::Option);
        returned = true;
    });
    EXPECT_TRUE(tickUntil([&] { return returned; }, 100));
    EXPECT_TRUE(menuWasInFront);
    EXPECT_FALSE(watchdog);
    EXPECT_NE(g_page_focus, PageFocus::Option);
}

} // namespace
} // namespace kel::test

namespace kel::test {
namespace {

// A TCP connection to the control port with a tiny receive buffer: the
// shape of a client that stops reading.
int connectTcp(uint16_t port, int receiveBuffer)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

TEST_F(WholeController, TcpClientThatNeverReadsAndSilentClientsDoNotStopAnother)
{
    ASSERT_NE(networkManage::p_networkManage, nullptr);
    const uint16_t port = networkManage::p_networkManage->localPort();
    // 4000 requests for 1024 bytes each: far more answer bytes than the
    // socket buffers hold, none of them ever read.
    const int hog = connectTcp(port, 4096);
    ASSERT_GE(hog, 0);
    const Bytes read = TestFrames::request(CMD_READ_RAM, TestFrames::ramRead(0, 1024));
    Bytes flood;
    for (int i = 0; i < 4000; ++i)
        flood.insert(flood.end(), read.begin(), read.end());
    for (size_t sent = 0; sent < flood.size();) {
        const ssize_t w = ::send(hog, flood.data() + sent, flood.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (w <= 0)
            break;
        sent += size_t(w);
    }
    std::vector<int> silent;
    for (int i = 0; i < 8; ++i)
        silent.push_back(connectTcp(port, 0));

    LinkClient tool = LinkClient::tcp(port);
    ASSERT_TRUE(tool.ok());
    for (int i = 0; i < 5; ++i) {
        const Bytes answer = tool.exchange(TestFrames::request(CMD_READ_RAM, TestFrames::ramRead(768, 16)));
        ASSERT_FALSE(answer.empty()) << "round trip " << i;
        EXPECT_EQ(ST_OK, TestFrames::status(answer));
    }
    for (int fd : silent)
        ::close(fd);
    ::close(hog);
}

// A tool asking once a second keeps its TCP connection while ten
// connections a second each send one request and stay silent: once the
// link's clients are full, those only replace each other. The seconds are
// counted in connections, not on the clock: each connection is answered,
// and once the set is full another closed, before the next opens, and the
// tool asks after every tenth. The tick stands, so all are heard lately:
// of equals the newest goes, never the tool.
TEST_F(WholeController, TcpToolAskingOnceASecondKeepsItsConnectionUnderOneFrameChurn)
{
    ASSERT_NE(networkManage::p_networkManage, nullptr);
    const uint16_t port = networkManage::p_networkManage->localPort();
    const Bytes ask = TestFrames::request(CMD_DEVICE_INFO, {});
    LinkClient tool = LinkClient::tcp(port);
    ASSERT_TRUE(tool.ok());
    std::vector<int> churn;
    // Answers are read; a connection the controller closed is closed here.
    const auto closeClosed = [&churn] {
        for (auto it = churn.begin(); it != churn.end();) {
            char buf[256];
            const ssize_t got = ::recv(*it, buf, sizeof buf, MSG_DONTWAIT);
            if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
                ::close(*it);
                it = churn.erase(it);
            } else {
                ++it;
            }
        }
    };
    for (int second = 0; second < 60; ++second) {
        for (int tenth = 0; tenth < 10; ++tenth) {
            const int fd = connectTcp(port, 0);
            ASSERT_GE(fd, 0);
            ASSERT_EQ(::send(fd, ask.data(), ask.size(), MSG_NOSIGNAL), ssize_t(ask.size()));
            churn.push_back(fd);
            pollfd answer{fd, POLLIN, 0};
            bool answered = false;
            ASSERT_TRUE(eventually([&] {
                answered = answered || ::poll(&answer, 1, 0) > 0;
                if (answered)
                    closeClosed();
                return answered && churn.size() < networkManage::kMaxClients;
            })) << "second " << second << ": " << churn.size() << " one-frame connections beside the tool";
        }
        const Bytes answer = tool.exchange(ask);
        ASSERT_FALSE(answer.empty()) << "the tool lost its connection after " << second << " answers";
        EXPECT_EQ(TestFrames::status(answer), ST_OK);
    }
    for (int fd : churn)
        ::close(fd);
}

} // namespace kel::test
