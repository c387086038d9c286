#include "platform/Board.h"
#include "platform/SpiDevice.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimScaler.h"
#include "support/SimRootFixture.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

using kel::platform::sim::SimScaler;

namespace {

class SimScalerTest : public kel::test::SimRootFixture {
protected:
    void SetUp() override
    {
        SimRootFixture::SetUp();
        chip = SimScaler::on(board());
        ASSERT_NE(chip, nullptr);
        spi = kel::platform::Board::newSpi();
        ASSERT_TRUE(spi->open(SimScaler::kDevPath));
    }
    void write(uint8_t reg, std::vector<uint16_t> words)
    {
        std::vector<uint8_t> tx{0x02, reg};
        for (uint16_t w : words) {
            tx.push_back(uint8_t(w >> 8));
            tx.push_back(uint8_t(w));
        }
        ASSERT_TRUE(spi->transfer(tx.data(), nullptr, tx.size()));
    }
    std::vector<uint16_t> read(uint8_t reg, size_t n)
    {
        std::vector<uint8_t> tx(2 + 2 * n, 0), rx(tx.size(), 0);
        tx[0] = 0x03;
        tx[1] = reg;
        EXPECT_TRUE(spi->transfer(tx.data(), rx.data(), tx.size()));
        std::vector<uint16_t> out;
        for (size_t i = 0; i < n; ++i)
            out.push_back(uint16_t((rx[2 + 2 * i] << 8) | rx[3 + 2 * i]));
        return out;
    }
    SimScaler* chip = nullptr;
    std::unique_ptr<kel::platform::SpiDevice> spi;
};

} // namespace

TEST_F(SimScalerTest, BurstWritesAdvanceAndLandInTheSelectedBank)
{
    write(SimScaler::RegBank, {SimScaler::Picture});
    write(SimScaler::PicGainR, {8845, 8113, 7056});
    EXPECT_EQ(chip->reg(SimScaler::Picture, SimScaler::PicGainG), 8113);
    EXPECT_EQ(chip->reg(SimScaler::Sys, SimScaler::PicGainG), 0);
    EXPECT_EQ(read(SimScaler::PicGainR, 3), (std::vector<uint16_t>{8845, 8113, 7056}));
    EXPECT_EQ(chip->bankSelects(), 1);
    const auto log = chip->writes();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[3].bank, SimScaler::Picture);
    EXPECT_EQ(log[3].reg, SimScaler::PicGainB);
    EXPECT_EQ(log[3].value, 7056);
}

TEST_F(SimScalerTest, ChipIdFollowsItsScriptThenTheDefault)
{
    chip->scriptChipId({0xFFFF, 0x0000});
    EXPECT_EQ(read(SimScaler::SysChipId, 1)[0], 0xFFFF);
    EXPECT_EQ(read(SimScaler::SysChipId, 1)[0], 0x0000);
    EXPECT_EQ(read(SimScaler::SysChipId, 1)[0], SimScaler::kChipId);
    EXPECT_EQ(chip->chipIdReads(), 3);
}

TEST_F(SimScalerTest, TextPortStoresCharactersAtTheAdvancingAddress)
{
    write(SimScaler::RegBank, {SimScaler::OsdText});
    write(SimScaler::TextAddr, {128});
    write(SimScaler::TextData, {0x41, 0x42});
    EXPECT_EQ(chip->textChar(1, 0), 0x41);
    EXPECT_EQ(chip->textChar(1, 1), 0x42);
    EXPECT_EQ(chip->reg(SimScaler::OsdText, SimScaler::TextAddr), 130);
}

TEST_F(SimScalerTest, FlashBridgeRunsOneFlashCommandPerGo)
{
    chip->flash().poke(0x410000, {'P', 7});
    write(SimScaler::RegBank, {SimScaler::Flash});
    write(SimScaler::SfTx, {0x03, 0x41, 0x00, 0x00});
    write(SimScaler::SfRxLen, {2});
    write(SimScaler::SfGo, {1});
    EXPECT_EQ(read(SimScaler::SfRx, 3), (std::vector<uint16_t>{'P', 7, 0xFF}));
}

TEST_F(SimScalerTest, FontLoadChecksumsTheFlashRegion)
{
    chip->flash().poke(0x10000, {1, 2, 3});
    write(SimScaler::RegBank, {SimScaler::Flash});
    write(SimScaler::FontSel, {1, 0x0001, 0x0000, 0x0000, 0x0003, 1});
    const SimScaler::Font f = chip->font(1);
    EXPECT_EQ(f.addr, 0x10000u);
    EXPECT_EQ(f.checksum, 6u);
    EXPECT_EQ(f.loads, 1);
}

TEST_F(SimScalerTest, StateFileCarriesTheScalerState)
{
    write(SimScaler::RegBank, {SimScaler::Picture});
    write(SimScaler::PicContrast, {42});
    ASSERT_TRUE(board().writeState());
    QFile f(QString::fromStdString(hostPath("/sim/state.json")));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QJsonObject scaler = QJsonDocument::fromJson(f.readAll()).object().value("scaler").toObject();
    EXPECT_EQ(scaler.value("picture").toObject().value("contrast").toInt(), 42);
    EXPECT_EQ(scaler.value("windows").toArray().size(), 6);
}
