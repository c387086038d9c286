#include "platform/sim/SimChips.h"

#include "platform/sim/SimBoard.h"
#include "platform/sim/SimFpgaBoard.h"
#include "platform/sim/SimInputBoard.h"
#include "platform/sim/SimScaler.h"

namespace kel::platform::sim {

void installSimChips(SimBoard& board)
{
    SimScaler::install(board);
    SimInputBoard::install(board);
    SimFpgaBoard::install(board);
}

} // namespace kel::platform::sim
