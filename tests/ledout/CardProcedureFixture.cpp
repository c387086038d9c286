#include "CardProcedureFixture.h"

#include "ledout/LedGlobals.h"
#include "ledout/RcvResultList.h"
#include "ledout/fpga_manage.h"
#include "params/global.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimCardChain.h"
#include "platform/sim/SimFpgaBoard.h"
#include "platform/sim/SimSpiBus.h"

namespace kel::test {

void CardProcedureFixture::SetUp()
{
    FpgaFixture::SetUp();
    inputBoardReady();
    board().spi().setLogging(false);
    powerUp();
    pc_cmd_valid = 0;
    line_type = LineType{};
    g_qjfile_name.clear();
    g_rcv_results.clear();
    QObject::connect(&m().progress_relay, &CardProgressRelay::smartMappingProgress,
                     [this](int v) { smartProgress.push_back(v); });
    QObject::connect(&m().progress_relay, &CardProgressRelay::recoveryProgress,
                     [this](int v) { recoveryProgress.push_back(v); });
}

void CardProcedureFixture::TearDown()
{
    g_send_para.finish();
    g_rcv_results.clear();
    g_qjfile_name.clear();
    FpgaFixture::TearDown();
}

platform::sim::SimCardChain& CardProcedureFixture::chain(int port)
{
    return platform::sim::SimFpgaBoard::current()->chain(port);
}

void CardProcedureFixture::cards(int port, int n, bool silent)
{
    auto k = chain(port).knobs();
    k.cards = n;
    k.drop = silent;
    chain(port).setKnobs(k);
    const uint16_t at = fpga_manage::port_count_addr(port);
    m().ram_para_image[0][at] = uint8_t(n);
    m().ram_para_image[0][at + 1] = uint8_t(n >> 8);
}

void CardProcedureFixture::powerUp()
{
    g_source_online = 2;
    runUntil([this] { return m().get_fpga_status() == 1; }, 3000);
    ASSERT_EQ(m().get_fpga_status(), 1u);
}

uint32_t CardProcedureFixture::runCommand(uint8_t command, uint32_t maxTicks)
{
    smartProgress.clear();
    recoveryProgress.clear();
    EXPECT_TRUE(post_send_command(command));
    return runUntil([] { return g_send_para.command() == 0; }, maxTicks);
}

std::vector<std::vector<uint8_t>> CardProcedureFixture::framesTo(int port, uint8_t cmd)
{
    std::vector<std::vector<uint8_t>> out;
    for (const auto& f : chain(port).received())
        if (f.size() > 9 && f[9] == cmd)
            out.push_back(f);
    return out;
}

bool inOrder(const std::vector<int>& got, const std::vector<int>& want)
{
    size_t i = 0;
    for (int v : got)
        if (i < want.size() && v == want[i])
            ++i;
    return i == want.size();
}

} // namespace kel::test
