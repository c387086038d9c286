#pragma once
#include <array>
#include <cstdint>

namespace kel::protocol {

// How many card requests of a run of frames go to each output port
// (ControllerPort::cardPortOf: 0-15, kAllCardPorts, kNoCardPort), so a link
// can tell whether one of them waits for the same port as another: a
// request for all ports overlaps every port, one that goes nowhere none.
class CardPortTally {
public:
    void add(uint8_t port, int n = 1);
    // Whether requests counted overlap port, `mine` of them not counted.
    bool overlapping(uint8_t port, int mine = 0) const;
    static bool overlaps(uint8_t a, uint8_t b);

private:
    std::array<int, 17> count_{};   // ports 0-15, then all ports
};

} // namespace kel::protocol
