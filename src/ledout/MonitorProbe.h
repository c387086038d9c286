#pragma once
#include <functional>

// The probe of the local monitor transmitters, which live in the input
// library above this one. The input board manager registers it once it
// holds the bus; before that no transmitter answers.
class MonitorProbe {
public:
    using Probe = std::function<int(int monitor)>;
    static void setProbe(Probe probe);
    // 1 when the monitor's transmitter answered, else 0.
    static int check(int monitor);
};
