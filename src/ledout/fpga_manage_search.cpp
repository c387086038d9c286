// Periodic card search of the output ports, the V-by-One watch, and the
// cabinet positions of smart mapping.
#include "ledout/fpga_manage.h"

#include "ledout/RcvCardFrame.h"
#include "params/Utils.h"
#include "params/global.h"

namespace {

// One wiring route: the cards run along rows or along columns; the major
// index (row or column) may count from the bottom / right, the first line
// may run right-to-left / upwards, and a serpentine route turns back on
// every other line.
struct Route {
    bool columns;
    bool majorReversed;
    bool minorReversed;
    bool serpentine;
};
constexpr Route kRoutes[16] = {
    {false, true, true, true},   {false, true, false, true},  {false, false, true, true},  {false, false, false, true},
    {true, true, true, true},    {true, true, false, true},   {true, false, false, true},  {true, false, true, true},
    {false, true, true, false},  {false, false, false, false}, {false, true, false, false}, {true, false, true, false},
    {true, true, true, false},   {true, false, false, false}, {true, false, true, false},  {true, true, false, false},
};

} // namespace

// Position of card `index` along the route of line_type. Route 12 runs
// every column upwards like route 15 (its row count is the grid's rows).
// A route outside 1..16 or an empty grid leaves x and y as they are.
void fpga_manage::get_rcvcard_x_y(int index, uint16_t* x, uint16_t* y)
{
    const LineType lt = line_type;
    const int rows = lt.rows, cols = lt.columns;
    if (lt.route_way < 1 || lt.route_way > 16 || rows == 0 || cols == 0)
        return;
    const Route& route = kRoutes[lt.route_way - 1];
    const int last = rows * cols - 1;
    const int i = index < 0 ? 0 : index > last ? last : index;
    const int lineLength = route.columns ? rows : cols;
    const int lines = route.columns ? cols : rows;
    const int j = i / lineLength, m = i % lineLength;
    const int major = route.majorReversed ? lines - 1 - j : j;
    const bool minorReversed = route.serpentine && (j % 2) ? !route.minorReversed : route.minorReversed;
    const int minor = minorReversed ? lineLength - 1 - m : m;
    const int c = route.columns ? major : minor;
    const int r = route.columns ? minor : major;
    // The card takes the low 16 bits, as its position register holds them.
    *x = uint16_t(c * lt.cabinet_width);
    *y = uint16_t(r * lt.cabinet_height);
}
