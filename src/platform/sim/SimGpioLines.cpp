#include "platform/sim/SimGpioLines.h"

#include "platform/sim/SimRegisterMemory.h"

#include <algorithm>

namespace kel::platform::sim {

SimGpioLines::SimGpioLines(SimRegisterMemory& memory, std::vector<uint32_t> offsets)
    : memory_(memory), offsets_(std::move(offsets))
{
    for (uint32_t off : offsets_) {
        stores_.emplace_back(off, 0u);
        watches_.push_back(memory_.watchStores(off, off, [this](uint32_t o, uint16_t a, uint16_t b) {
            onStore(o, a, b);
        }));
    }
}

SimGpioLines::~SimGpioLines()
{
    for (int id : watches_)
        memory_.unwatch(id);
}

void SimGpioLines::onStore(uint32_t offset, uint16_t oldValue, uint16_t newValue)
{
    Observer observer;
    Edge edge{offset, oldValue, newValue, 0};
    {
        std::lock_guard<std::mutex> l(lock_);
        edge.tick = ticks_ ? ticks_() : 0;
        for (auto& s : stores_)
            if (s.first == offset)
                ++s.second;
        if (oldValue != newValue && edges_.size() < 100000)
            edges_.push_back(edge);
        observer = observer_;
    }
    if (observer)
        observer(edge);
}

uint16_t SimGpioLines::level(uint32_t offset) const { return memory_.peek(offset); }

std::vector<SimGpioLines::Edge> SimGpioLines::edges() const
{
    std::lock_guard<std::mutex> l(lock_);
    return edges_;
}

std::vector<SimGpioLines::Edge> SimGpioLines::edges(uint32_t offset) const
{
    std::lock_guard<std::mutex> l(lock_);
    std::vector<Edge> out;
    std::copy_if(edges_.begin(), edges_.end(), std::back_inserter(out),
                 [offset](const Edge& e) { return e.offset == offset; });
    return out;
}

unsigned SimGpioLines::stores(uint32_t offset) const
{
    std::lock_guard<std::mutex> l(lock_);
    for (auto& s : stores_)
        if (s.first == offset)
            return s.second;
    return 0;
}

void SimGpioLines::clear()
{
    std::lock_guard<std::mutex> l(lock_);
    edges_.clear();
    for (auto& s : stores_)
        s.second = 0;
}

void SimGpioLines::setTickSource(TickSource source)
{
    std::lock_guard<std::mutex> l(lock_);
    ticks_ = std::move(source);
}

void SimGpioLines::setObserver(Observer observer)
{
    std::lock_guard<std::mutex> l(lock_);
    observer_ = std::move(observer);
}

} // namespace kel::platform::sim
