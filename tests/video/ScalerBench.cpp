#include "video/ScalerBench.h"

#include "params/global.h"
#include "platform/sim/SimBoard.h"

namespace kel::test {

void ScalerBench::SetUp()
{
    SimRootFixture::SetUp();
    chip_ = platform::sim::SimScaler::on(board());
    ASSERT_NE(chip_, nullptr);
    g_osd_update = 0;
    g_c331_source_online = 0;
    peers.paraMutex = &mutex;
    peers.applyFlag = &flag;
    peers.block = block;
    peers.regBank = regBank;
    peers.testSignal = [this](int r) { announced.push_back(r); };
    peers.restartInput = [this](int k) { restarts.push_back(k); };
    peers.requestAudioRoute = [this] { ++audioRequests; };
    peers.requestFpgaBrightness = [this] { ++brightnessRequests; };
    peers.requestFpgaOutput = [this] { ++outputRequests; };
    peers.reloadOsdMenu = [this] { ++osdReloads; };
    peers.ledParaReprogrammed = [this] { ++ledParaDone; };
    setU16(RamLayout::kLedWidth, 1920);
    setU16(RamLayout::kLedHeight, 1080);
}

void ScalerBench::TearDown()
{
    manager.reset();
    SimRootFixture::TearDown();
}

void ScalerBench::bringUp()
{
    manager = std::make_unique<c331_manage>(peers);
    ASSERT_TRUE(manager->openDevice());
    ASSERT_TRUE(manager->waitChipReady(10));
    manager->startUp();
    chip().clearWrites();
}

void ScalerBench::handOff(size_t off, uint16_t value, uint8_t f)
{
    pthread_mutex_lock(&mutex);
    setU16(off, value);
    flag = f;
    pthread_mutex_unlock(&mutex);
}

int ScalerBench::writesTo(int bank, int reg) const
{
    int n = 0;
    for (const auto& w : chip_->writes())
        n += w.bank == bank && w.reg == reg;
    return n;
}

} // namespace kel::test
