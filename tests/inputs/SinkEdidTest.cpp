#include "inputs/InputBoardFixture.h"

#include "inputs/it66121_hdmitx_sys.h"
#include "inputs/it66121_sys.h"
#include "inputs/tarvosource.h"
#include "platform/sim/SimInputBoard.h"
#include "platform/sim/SimIt66121.h"
#include "platform/sim/SimSinkEdid.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <memory>
#include <string>
#include <vector>

using kel::platform::sim::SimIt66121;
using kel::platform::sim::SimSinkEdid;
using Sink = kel::platform::sim::SimIt66121::Sink;

namespace kel::test {
namespace {

// The transmitter brought up, with its loop switched on (nothing in the
// system does that).
class SinkEdid : public InputBoardFixture {
protected:
    void SetUp() override
    {
        InputBoardFixture::SetUp();
        bringUp();
    }
    void bringUp()
    {
        ASSERT_TRUE(runUntilState(tarvosource::kSteady));
        for (int i = 0; i < 10 && src().sdi_tx_state != 3; ++i)
            run(1);
        ASSERT_EQ(src().sdi_tx_state, 3);
        sys().tx_loop_enable = 1;
    }
    it66121_hdmitx_sys& sys() { return src().it66121->sys; }
    const RxCapability& cap() { return sys().RxCapability_; }
    SimIt66121& tx() { return sim().it66121(); }
    QJsonObject sdiState()
    {
        QFile f(QString::fromStdString(hostPath("/sim/state.json")));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return QJsonDocument::fromJson(f.readAll()).object()["input_board"].toObject()["sdi"].toObject();
    }
    // An HDMI sink's EDID with other CTA flags (byte 3 of the extension).
    static std::vector<uint8_t> hdmiWithFlags(uint8_t flags)
    {
        std::vector<uint8_t> e = SimSinkEdid::hdmi();
        e[128 + 3] = flags;
        SimSinkEdid::fixChecksums(e);
        return e;
    }
};

TEST_F(SinkEdid, HdmiSinkIsParsedIntoItsCapability)
{
    run(1);  // hot-plug seen: power on, EDID parsed
    EXPECT_EQ(sys().tx_hpd_status, 1);
    EXPECT_EQ(cap().rx_valid, 0x07);  // parsed, HDMI, 3D
    EXPECT_EQ(cap().cea_flags, 0x71);
    EXPECT_EQ(cap().native_vic, 16);
    for (unsigned vic : {16u, 4u, 31u, 3u})
        EXPECT_TRUE(cap().hasVic(vic)) << vic;
    EXPECT_FALSE(cap().hasVic(1));
    EXPECT_EQ(cap().AUDDesCount, 1);
    EXPECT_EQ(cap().AUDDes[0][0], 0x09);
    EXPECT_EQ(cap().IEEEOUI, 0x000C03u);
    EXPECT_EQ(cap().vsdb_address[0], 0x10);
    EXPECT_EQ(cap().vsdb_dc_flags, 0x30);
    EXPECT_EQ(cap().vsdb_max_tmds, 0x2D);
    EXPECT_EQ(cap().speaker_alloc[0], 0x01);
    EXPECT_EQ(sys().tx_hdmi_mode, 1);
    EXPECT_EQ(sys().tx_audio_enable, 1);
    EXPECT_EQ(sys().tx_output_color_mode, it66121_hdmitx_sys::kYuv444);
    EXPECT_EQ(sys().tx_mode_changed, 1);
    EXPECT_EQ(tx().reg(0, 0x0F) & 0x78, 0x08) << "power-on table";
}

TEST_F(SinkEdid, SinksThatGiveNoHdmiCapabilityAreDrivenAsDvi)
{
    struct Case {
        Sink sink;
        bool parsed;
    };
    for (const Case c : {Case{Sink::Dvi, true}, Case{Sink::Corrupt, false}, Case{Sink::DdcError, false}}) {
        SCOPED_TRACE(SimIt66121::sinkName(c.sink));
        restartWithScenario({});
        bringUp();
        tx().setSink(c.sink);
        run(2);  // parse, then program the output
        EXPECT_EQ(cap().rx_valid & 0x02, 0);
        EXPECT_EQ(sys().tx_hdmi_mode, 0);
        EXPECT_EQ(sys().tx_audio_enable, 0);
        EXPECT_EQ(tx().reg(0, 0xC0) & 0x01, 0) << "DVI output";
        EXPECT_EQ(tx().reg(0, 0xCD), 0) << "no AVI infoframe";
        EXPECT_EQ(sys().tx_mode_changed, 0);
        EXPECT_EQ(sys().ParseEDID(), c.parsed);
    }
}

TEST_F(SinkEdid, DviSinkChosenInBoardIniReachesTheStateFile)
{
    restartWithScenario({{"sdi_sink", "dvi"}});
    bringUp();
    EXPECT_EQ(sdiState()["sink"].toString(), "dvi");
    EXPECT_TRUE(sdiState()["hpd"].toBool());
    run(2);
    EXPECT_EQ(sys().tx_hdmi_mode, 0);
    EXPECT_TRUE(sys().ParseEDID());
    tx().setSink(Sink::None);  // unplugged: the state file follows
    EXPECT_FALSE(sdiState()["hpd"].toBool());
    run(1);
    EXPECT_EQ(sys().tx_hpd_status, 0);
    EXPECT_EQ(tx().reg(0, 0x05) & 0x01, 0x01) << "power-down table";
}

TEST_F(SinkEdid, RgbHdmiSinkGetsTheAviAndAudioOfVic16)
{
    tx().setSinkEdid(hdmiWithFlags(0x40));  // basic audio, RGB only
    run(2);
    EXPECT_EQ(sys().tx_output_color_mode, it66121_hdmitx_sys::kRgb);
    EXPECT_EQ(tx().reg(1, 0x58), 0x10);  // DB1 RGB
    EXPECT_EQ(tx().reg(1, 0x59), 0xA8);  // DB2 16:9, BT.709
    EXPECT_EQ(tx().reg(1, 0x5B), 0x10);  // DB4 VIC 16
    EXPECT_EQ(tx().reg(1, 0x5D), 0xA7);  // checksum
    EXPECT_EQ(tx().reg(0, 0xCD), 0x03);
    EXPECT_EQ(tx().reg(0, 0xC0) & 0x01, 0x01) << "HDMI output";
    // 48 kHz: N 6144, channel status code 2, audio infoframe DB1 = 1.
    EXPECT_EQ(tx().reg(1, 0x33), 0x00);
    EXPECT_EQ(tx().reg(1, 0x34), 0x18);
    EXPECT_EQ(tx().reg(1, 0x98), 0x02);
    EXPECT_EQ(tx().reg(1, 0x99), 0xDB);
    EXPECT_EQ(tx().reg(1, 0x68), 0x01);
    EXPECT_EQ(tx().reg(1, 0x6D), 0x70);
    EXPECT_EQ(tx().reg(0, 0x04), 0x15 & ~0x14) << "audio enabled after the video";
    EXPECT_EQ(sys().tx_audio_changed, 0);
}

TEST_F(SinkEdid, AviInfoFrameFollowsTheOutputColourTheSinkTakes)
{
    struct Case {
        uint8_t ctaFlags;  // bit 5 YCbCr 4:4:4, bit 4 YCbCr 4:2:2
        uint8_t db1, checksum;
    };
    // Type 0x82, version 2, length 13; DB2 0xA8 (16:9, BT.709), DB4 16.
    for (const Case c : {Case{0x40, 0x10, 0xA7}, Case{0x50, 0x30, 0x87}, Case{0x60, 0x50, 0x67}}) {
        SCOPED_TRACE(int(c.ctaFlags));
        restartWithScenario({});
        bringUp();
        tx().setSinkEdid(hdmiWithFlags(c.ctaFlags));
        run(2);
        EXPECT_EQ(tx().reg(1, 0x58), c.db1);
        EXPECT_EQ(tx().reg(1, 0x59), 0xA8);
        EXPECT_EQ(tx().reg(1, 0x5D), c.checksum);
    }
}

TEST_F(SinkEdid, OversizedAndTruncatedEdidsAreReadWithinTheirLimits)
{
    // Seven CTA blocks announced as 255 extensions: only four are read.
    std::vector<uint8_t> big = SimSinkEdid::hdmi();
    big[126] = 0xFF;
    for (int b = 2; b < 8; ++b)
        big.insert(big.end(), big.begin() + 128, big.begin() + 256);
    SimSinkEdid::fixChecksums(big);
    tx().setSinkEdid(big);
    const unsigned before = tx().ddcReads();
    run(1);
    EXPECT_EQ(tx().ddcReads() - before, 5u * 4u) << "block 0 and four extensions, 32 bytes a read";
    EXPECT_EQ(cap().rx_valid & 0x03, 0x03);
    // One extension announced, none there: the read fails and nothing of
    // an HDMI sink is assumed.
    std::vector<uint8_t> cut = SimSinkEdid::dvi();
    cut[126] = 1;
    SimSinkEdid::fixChecksums(cut);
    tx().setSinkEdid(cut);
    EXPECT_FALSE(sys().ParseEDID());
    EXPECT_EQ(cap().rx_valid & 0x03, 0);
}

TEST_F(SinkEdid, ReadFailureAfterAnHdmiBlockLeavesTheSinkDvi)
{
    // Block 1 names an HDMI sink, block 2 is announced but cannot be read.
    std::vector<uint8_t> e = SimSinkEdid::hdmi();
    e[126] = 2;
    SimSinkEdid::fixChecksums(e);
    tx().setSinkEdid(e);
    run(2);  // parse, then program the output
    EXPECT_EQ(cap().rx_valid & 0x03, 0);
    EXPECT_EQ(sys().tx_hdmi_mode, 0);
    EXPECT_EQ(tx().reg(0, 0xC0) & 0x01, 0) << "DVI output";
    EXPECT_EQ(tx().reg(0, 0xCD), 0) << "no AVI infoframe";
}

// ---- the CTA block parser on its own ------------------------------------------

// A CTA block of exactly 128 bytes on the heap, so a read past it is caught
// by the address sanitizer.
std::unique_ptr<uint8_t[]> ctaBlock(uint8_t dtd, const std::vector<uint8_t>& data)
{
    std::unique_ptr<uint8_t[]> b(new uint8_t[128]());
    b[0] = 0x02;
    b[1] = 0x03;
    b[2] = dtd;
    b[3] = 0x40;
    for (size_t i = 0; i < data.size() && 4 + i < 128; ++i)
        b[4 + i] = data[i];
    return b;
}

TEST(ParseCEAEDID, StaysInsideItsBlockWhateverTheLengthsSay)
{
    struct Case {
        const char* name;
        uint8_t dtd;
        std::vector<uint8_t> data;
        bool fits;
    };
    std::vector<uint8_t> full(123, 0x5F);  // tag 2, length 31, everywhere
    std::vector<uint8_t> lateVsdb(116, 0x00);
    lateVsdb[0] = 0x40 | 31;  // one block of 31 zero bytes...
    lateVsdb[32] = 0x40 | 31;
    lateVsdb[64] = 0x40 | 31;
    lateVsdb[96] = 0x40 | 19;  // ...and more, up to byte 119
    lateVsdb.insert(lateVsdb.end(), {0x7F, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x38});  // HDMI VSDB "31" long
    const Case cases[] = {{"DTD offset 255, blocks to the end", 255, full, false},
                          {"VSDB running past byte 126", 127, lateVsdb, false},
                          {"DTD offset inside the last block", 10, {0x44, 0x90, 0x04, 0x1F, 0x03, 0x23}, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto b = ctaBlock(c.dtd, c.data);
        RxCapability cap;
        EXPECT_EQ(it66121_hdmitx_sys::ParseCEAEDID(b.get(), cap), c.fits);
        EXPECT_EQ(cap.rx_valid & 0x01, 0x01);
    }
    // The late VSDB is read only as far as byte 126: address and deep
    // colour flags, no TMDS byte.
    auto b = ctaBlock(127, lateVsdb);
    RxCapability cap;
    it66121_hdmitx_sys::ParseCEAEDID(b.get(), cap);
    EXPECT_EQ(cap.IEEEOUI, 0x000C03u);
    EXPECT_EQ(cap.vsdb_address[0], 0x10);
    EXPECT_EQ(cap.vsdb_dc_flags, 0x30);
    EXPECT_EQ(cap.vsdb_max_tmds, 0);
}

TEST(ParseCEAEDID, DescriptorsAsTheStandardLaysThemOut)
{
    // Seven audio descriptors (four kept), SVDs with bit 6 skipped and the
    // first bit-7 one native, a VSDB with both latency fields and 3D.
    const std::vector<uint8_t> data = {
        0x35, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 6, 7, 7, 7,
        0x44, 0x45, 0x84, 0x90, 0x03,
        0x6D, 0x03, 0x0C, 0x00, 0x20, 0x00, 0x00, 0x3C, 0xE0, 0x11, 0x22, 0x33, 0x44, 0x80,
        0x83, 0x4F, 0x00, 0x00};
    auto b = ctaBlock(static_cast<uint8_t>(4 + data.size()), data);
    RxCapability cap;
    EXPECT_TRUE(it66121_hdmitx_sys::ParseCEAEDID(b.get(), cap));
    EXPECT_EQ(cap.AUDDesCount, 7);
    EXPECT_EQ(cap.AUDDes[3][0], 4);
    EXPECT_FALSE(cap.hasVic(5));  // 0x45: bit 6 set
    EXPECT_TRUE(cap.hasVic(4));
    EXPECT_TRUE(cap.hasVic(16));
    EXPECT_EQ(cap.native_vic, 4);
    EXPECT_EQ(cap.vsdb_max_tmds, 0x3C);
    EXPECT_EQ(cap.rx_valid, 0x07);
    EXPECT_EQ(cap.speaker_alloc[0], 0x4F);
    // Without the byte after the latencies there is no 3D flag to read.
    std::vector<uint8_t> shortVsdb = {0x6C, 0x03, 0x0C, 0x00, 0x20, 0x00, 0x00, 0x3C, 0xE0, 0x11, 0x22, 0x33, 0x44};
    auto s = ctaBlock(static_cast<uint8_t>(4 + shortVsdb.size()), shortVsdb);
    RxCapability cap2;
    EXPECT_TRUE(it66121_hdmitx_sys::ParseCEAEDID(s.get(), cap2));
    EXPECT_EQ(cap2.rx_valid, 0x03);
    // A DTD offset below 5: no data blocks at all.
    auto none = ctaBlock(4, {0x44, 0x90, 0x04, 0x1F, 0x03});
    RxCapability cap3;
    EXPECT_TRUE(it66121_hdmitx_sys::ParseCEAEDID(none.get(), cap3));
    EXPECT_EQ(cap3.native_vic, 255);
    EXPECT_EQ(cap3.rx_valid, 0x01);
}

TEST_F(SinkEdid, SimulatedSinkImagesPassEdidDecodeWhenItIsInstalled)
{
    if (!haveEdidDecode())
        GTEST_SKIP() << "edid-decode not installed";
    for (const auto& [name, edid] : {std::pair<std::string, std::vector<uint8_t>>{"hdmi", SimSinkEdid::hdmi()},
                                     {"dvi", SimSinkEdid::dvi()}}) {
        const std::string path = writeTemp(edid.data(), edid.size(), name + ".bin");
        std::string report;
        EXPECT_TRUE(edidDecodePasses(path, &report)) << name << "\n" << report;
    }
}

} // namespace
} // namespace kel::test
