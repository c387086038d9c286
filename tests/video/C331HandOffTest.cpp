#include "params/ApplyGate.h"
#include "params/KelRamPara.h"
#include "params/SyncUpdate.h"
#include "platform/sim/SimScaler.h"
#include "support/SimRootFixture.h"
#include "video/c331_manage.h"

using kel::platform::sim::SimScaler;

namespace {
constexpr size_t kContrast = 2178;
class C331HandOff : public kel::test::SimRootFixture {};
}

// The whole road: a page writes the block under the hand-off, the input
// side announces new source information before the chip manager runs, and
// the change still reaches the chip and is announced once.
TEST_F(C331HandOff, ABroadcastBetweenAWriteAndTheApplyPassLosesNothing)
{
    KelRamPara* store = KelRamPara::pInstance();
    ApplyGate& gate = ApplyGate::instance();
    std::vector<int> announced;
    c331_peers peers;
    peers.paraMutex = &gate.c331_para_mutex;
    peers.applyFlag = &gate.c331_apply_flag;
    peers.block = store->RamBlock;
    peers.regBank = store->LocalRegBank;
    peers.testSignal = [&](int r) { announced.push_back(r); };
    c331_manage manager(peers);
    ASSERT_TRUE(manager.openDevice());
    ASSERT_TRUE(manager.waitChipReady(10));
    manager.startUp();

    const uint16_t value = uint16_t(store->blockU16(kContrast) == 33 ? 34 : 33);
    gate.apply([&] { store->setBlockU16(kContrast, value); });
    SyncUpdate sync;
    sync.para_sync(SYNC_INPUT_INFO);
    manager.runPass();

    EXPECT_EQ(SimScaler::on(board())->reg(SimScaler::Picture, SimScaler::PicContrast), value);
    EXPECT_EQ(announced, std::vector<int>{SYNC_PARA});
    EXPECT_EQ(gate.c331_apply_flag.load(), 0);
}
