#include "platform/sim/SimChips.h"

#include "platform/sim/SimBoard.h"

namespace kel::platform::sim {

void installSimChips(SimBoard& board)
{
    (void)board;
}

} // namespace kel::platform::sim
