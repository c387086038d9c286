#pragma once

namespace kel::platform::sim {

class SimBoard;

// Puts the simulated chips of every board part on the board's buses, as the
// scenario file <root>/sim/board.ini describes.
void installSimChips(SimBoard& board);

} // namespace kel::platform::sim
