#include "TestFrames.h"
#include "params/ApplyGate.h"
#include "params/ConfigEngine.h"
#include "params/KelRamPara.h"
#include "params/SyncReason.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimCommandRunner.h"
#include "platform/sim/SimScaler.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/SystemControllerPort.h"
#include "protocol/message_deal.h"
#include "support/SimRootFixture.h"
#include "video/c331_manage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

namespace kel::test {
namespace {

using namespace protocol;
using platform::sim::SimScaler;

// The dispatcher on the real parameter store and a scaler manager on the
// simulated chip; the manager's passes are run by the test.
class SystemPort : public SimRootFixture {
protected:
    void SetUp() override
    {
        SimRootFixture::SetUp();
        ApplyGate::instance().c331_apply_flag = 0;
        g_update_flag = 0;
        g_osd_update = 0;
        store_ = std::make_unique<KelRamPara>();
        KelRamPara::p_kelrampara_config = store_.get();
        store_->load();
        c331_peers peers;
        peers.paraMutex = &ApplyGate::instance().c331_para_mutex;
        peers.applyFlag = &ApplyGate::instance().c331_apply_flag;
        peers.block = store_->RamBlock;
        peers.regBank = store_->LocalRegBank;
        peers.restartInput = [this](int k) { restarts_.push_back(k); };
        peers.testSignal = [this](int reason) { announced_.push_back(reason); };
        peers.reloadOsdMenu = [this] { ++osdReloads_; };
        scaler_ = std::make_unique<c331_manage>(peers);
        ASSERT_TRUE(scaler_->openDevice());
        ASSERT_TRUE(scaler_->waitChipReady(20));
        scaler_->startUp();
        chip_ = SimScaler::on(board());
        deal_ = std::make_unique<message_deal>(port_);
    }
    void TearDown() override
    {
        deal_.reset();
        scaler_.reset();
        KelRamPara::p_kelrampara_config = nullptr;
        store_.reset();
        ConfigEngine::destroyInstance();
        SimRootFixture::TearDown();
    }
    Bytes ask(uint8_t cmd, const Bytes& payload)
    {
        const Bytes body = TestFrames::body(0xF100, 0xF020, cmd, payload);
        Bytes answer;
        deal_->message_group_deal(LINK_CONTROL, Requester{LINK_UDP, "udp"}, body.data(), body.size(), answer);
        return answer;
    }
    std::vector<uint16_t> gains() const
    {
        return {chip_->reg(SimScaler::Picture, SimScaler::PicGainR), chip_->reg(SimScaler::Picture, SimScaler::PicGainG),
                chip_->reg(SimScaler::Picture, SimScaler::PicGainB)};
    }
    std::vector<std::string> commands() { return board().commands().commands(); }

    std::unique_ptr<KelRamPara> store_;
    std::unique_ptr<c331_manage> scaler_;
    SimScaler* chip_ = nullptr;
    SystemControllerPort port_;
    std::unique_ptr<message_deal> deal_;
    std::vector<int> restarts_;
    std::vector<int> announced_;
    int osdReloads_ = 0;
};

TEST_F(SystemPort, ColourGainsReachTheChipOnlyAfterRegisterElevenAsksForApply)
{
    // Custom colour temperature (type 0), red 100, green 110, blue 120.
    const Bytes words = TestFrames::cat({TestFrames::u16(0), TestFrames::u16(100), TestFrames::u16(110), TestFrames::u16(120)});
    const std::vector<uint16_t> before = gains();
    ASSERT_EQ(TestFrames::status(ask(CMD_WRITE_RAM, TestFrames::ramWrite(2184, words))), ST_OK);
    scaler_->runPass();
    EXPECT_EQ(gains(), before) << "a RAM write alone changes nothing on the chip";

    ASSERT_EQ(TestFrames::status(ask(CMD_WRITE_REGISTER, {11, 0, 0xFF, 1, 0x02})), ST_OK);
    EXPECT_EQ(ApplyGate::instance().c331_apply_flag.load(), 1);
    scaler_->runPass();
    EXPECT_EQ(gains(), (std::vector<uint16_t>{100 * 64, 110 * 64, 120 * 64}));
}

TEST_F(SystemPort, RamWritesRespectTheStoreBounds)
{
    const auto before = std::vector<uint8_t>(store_->RamBlock, store_->RamBlock + 4096);
    EXPECT_EQ(TestFrames::status(ask(CMD_WRITE_RAM, TestFrames::ramWrite(4090, Bytes(7, 0x77)))), ST_REFUSED);
    EXPECT_EQ(std::vector<uint8_t>(store_->RamBlock, store_->RamBlock + 4096), before);
    EXPECT_EQ(TestFrames::status(ask(CMD_WRITE_RAM, TestFrames::ramWrite(0x3010, {0x5C}))), ST_OK);
    EXPECT_EQ(store_->UserModeSlot[2][0x10], 0x5C);
}

TEST_F(SystemPort, EdidWriteLeadsToTheRestartOfThatInput)
{
    Bytes edid(256, 0);
    const uint8_t dtd[] = {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40};
    std::copy(std::begin(dtd), std::end(dtd), edid.begin() + 54);
    edid[54 + 2] = 0x00;  // 1280 wide: differs from the start value
    edid[54 + 4] = 0x51;
    ASSERT_EQ(TestFrames::status(ask(CMD_WRITE_EDID, TestFrames::cat({{2}, TestFrames::u16(256), edid}))), ST_OK);
    EXPECT_EQ(store_->blockU16(908), 1280);
    for (int pass = 0; pass < 3; ++pass)
        scaler_->runPass();
    EXPECT_EQ(restarts_, std::vector<int>{2});
}

TEST_F(SystemPort, ClockAndNetworkReachOnlyTheRecordingRunner)
{
    ASSERT_EQ(TestFrames::status(ask(CMD_WRITE_RTC, {0x26, 0x20, 0x12, 0x07, 0x09, 0x05, 0x03})), ST_OK);
    const auto after = commands();
    EXPECT_NE(std::find(after.begin(), after.end(), "date \"2026-12-7 9:5:3\";hwclock -wu"), after.end());

    auto text = [](const std::string& s) {
        Bytes b = {uint8_t(s.size())};
        b.insert(b.end(), s.begin(), s.end());
        return b;
    };
    board().commands().clear();
    EXPECT_EQ(TestFrames::status(ask(CMD_SET_NETWORK, TestFrames::cat({text("1.2.3.4;reboot"), text("255.255.255.0"),
                                                                        text("1.2.3.1")}))),
              ST_BAD_VALUE);
    EXPECT_TRUE(commands().empty());
    EXPECT_NE(g_str_ip, QString("1.2.3.4;reboot"));

    ASSERT_EQ(TestFrames::status(ask(CMD_SET_NETWORK, TestFrames::cat({text("10.1.2.3"), text("255.255.0.0"),
                                                                        text("10.1.0.1")}))),
              ST_OK);
    EXPECT_EQ(g_str_ip, QString("10.1.2.3"));
    const auto net = commands();
    EXPECT_NE(std::find(net.begin(), net.end(), "ifconfig eth0 10.1.2.3 netmask 255.255.0.0"), net.end());
    EXPECT_FALSE(board().commands().rebootRequested());
}

TEST_F(SystemPort, ARegisterElevenWriteNeverLowersAPendingUserModeApply)
{
    // The OSD is on and the chip has taken that already.
    const Bytes on = TestFrames::u16(1);
    ASSERT_EQ(TestFrames::status(ask(CMD_WRITE_RAM, TestFrames::ramWrite(2124, on))), ST_OK);
    ASSERT_EQ(TestFrames::status(ask(CMD_WRITE_REGISTER, {11, 0, 0xFF, 1, 0x02})), ST_OK);
    scaler_->runPass();
    announced_.clear();
    osdReloads_ = 0;

    // Save-the-user-mode and OSD reload in one write.
    ASSERT_EQ(TestFrames::status(ask(CMD_WRITE_REGISTER, {11, 0, 0xFF, 1, 0x0C})), ST_OK);
    EXPECT_EQ(ApplyGate::instance().c331_apply_flag.load(), 2);
    scaler_->runPass();
    EXPECT_EQ(announced_, std::vector<int>{SYNC_USER_MODE});
    EXPECT_EQ(osdReloads_, 1);

    // A plain apply or an OSD reload asked before the pass keeps the save.
    ASSERT_EQ(TestFrames::status(ask(CMD_WRITE_REGISTER, {11, 0, 0xFF, 1, 0x04})), ST_OK);
    ASSERT_EQ(TestFrames::status(ask(CMD_WRITE_REGISTER, {11, 0, 0xFF, 1, 0x02})), ST_OK);
    ASSERT_EQ(TestFrames::status(ask(CMD_WRITE_REGISTER, {11, 0, 0xFF, 1, 0x08})), ST_OK);
    scaler_->runPass();
    EXPECT_EQ(announced_, (std::vector<int>{SYNC_USER_MODE, SYNC_USER_MODE}));
    EXPECT_EQ(osdReloads_, 2);
}

} // namespace
} // namespace kel::test

namespace kel::test {
namespace {

Bytes textField(const std::string& s)
{
    Bytes b = {uint8_t(s.size())};
    b.insert(b.end(), s.begin(), s.end());
    return b;
}

} // namespace

// Two links change the configuration at once (each change reloads every
// configuration global) while the panel reads the address it shows.
TEST_F(SystemPort, TwoLinksWritingTheConfigurationAtOnce)
{
    constexpr int kRounds = 60;
    const char* const ips[] = {"10.1.2.3", "10.9.8.7"};
    const char* const wifi[] = {"192.168.22.7", "192.168.22.9"};
    std::atomic<int> failed{0};
    std::atomic<bool> done{false};
    std::thread tcp([&] {
        for (int i = 0; i < kRounds; ++i) {
            const Bytes p = TestFrames::cat({textField(ips[i % 2]), textField("255.255.0.0"), textField("10.1.0.1")});
            failed += TestFrames::status(ask(CMD_SET_NETWORK, p)) != ST_OK;
        }
    });
    std::thread serial([&] {
        for (int i = 0; i < kRounds; ++i) {
            failed += TestFrames::status(ask(CMD_WRITE_CONFIG, TestFrames::cat({{7}, textField(wifi[i % 2])}))) != ST_OK;
            failed += TestFrames::status(ask(CMD_WRITE_CONFIG, TestFrames::cat({{6}, textField("BC" + std::to_string(i))})))
                != ST_OK;
        }
    });
    std::thread panel([&] {
        while (!done)
            failed += !Utils::isIPv4Address(Utils::configValue(g_str_ip));
    });
    tcp.join();
    serial.join();
    done = true;
    panel.join();

    EXPECT_EQ(0, failed.load());
    // The last values written by each link are the ones kept.
    EXPECT_EQ(QString(ips[(kRounds - 1) % 2]), Utils::configValue(g_str_ip));
    EXPECT_EQ(QString(wifi[(kRounds - 1) % 2]), Utils::configValue(g_str_wifi_ip));
    EXPECT_EQ(QString("BC%1").arg(kRounds - 1), Utils::configValue(g_str_barcode));
    ConfigEngine* config = ConfigEngine::pInstance();
    EXPECT_EQ(QString(ips[(kRounds - 1) % 2]), config->read_config_variant(ConfigItem::IPAddress).toString());
}

} // namespace kel::test
