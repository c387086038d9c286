#include "support/SimRootFixture.h"

#include "platform/Board.h"
#include "platform/PathMap.h"
#include "platform/Sleeper.h"
#include "platform/sim/SimBoard.h"

namespace kel::test {

void SimRootFixture::SetUp()
{
    ASSERT_TRUE(dir_.isValid());
    beforeBoard();
    platform::Board::initSim(dir_.path().toStdString());
    platform::Sleeper::setHook([this](uint64_t us) { slept_ += us; });
    platform::Sleeper::clearStop();
}

void SimRootFixture::TearDown()
{
    platform::Sleeper::clearStop();
    platform::Sleeper::setHook({});
    platform::Board::shutdown();
}

platform::sim::SimBoard& SimRootFixture::board() { return *platform::Board::sim(); }

std::string SimRootFixture::root() const { return dir_.path().toStdString(); }

std::string SimRootFixture::hostPath(const std::string& logical) const
{
    return platform::PathMap::host(logical);
}

} // namespace kel::test
