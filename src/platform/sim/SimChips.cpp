#include "platform/sim/SimChips.h"

#include "platform/sim/SimBoard.h"
#include "platform/sim/SimScaler.h"

namespace kel::platform::sim {

void installSimChips(SimBoard& board)
{
    (void)board;
    SimScaler::install(board);
}

} // namespace kel::platform::sim
