#pragma once
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace kel::platform::sim {

class SimRegisterMemory;

// Watches GPIO words of the register window and keeps every change of level
// with the tick at which it happened, so tests can measure pulses that fall
// between bus transfers.
class SimGpioLines {
public:
    struct Edge {
        uint32_t offset;
        uint16_t from;
        uint16_t to;
        uint32_t tick;
    };
    using TickSource = std::function<uint32_t()>;
    using Observer = std::function<void(const Edge&)>;

    SimGpioLines(SimRegisterMemory& memory, std::vector<uint32_t> offsets);
    ~SimGpioLines();
    SimGpioLines(const SimGpioLines&) = delete;
    SimGpioLines& operator=(const SimGpioLines&) = delete;

    uint16_t level(uint32_t offset) const;
    std::vector<Edge> edges() const;
    std::vector<Edge> edges(uint32_t offset) const;
    unsigned stores(uint32_t offset) const;
    void clear();
    void setTickSource(TickSource source);
    // Called after each store to a watched word (outside any lock).
    void setObserver(Observer observer);

private:
    void onStore(uint32_t offset, uint16_t oldValue, uint16_t newValue);

    SimRegisterMemory& memory_;
    std::vector<uint32_t> offsets_;
    std::vector<int> watches_;
    mutable std::mutex lock_;
    std::vector<Edge> edges_;
    std::vector<std::pair<uint32_t, unsigned>> stores_;
    TickSource ticks_;
    Observer observer_;
};

} // namespace kel::platform::sim
