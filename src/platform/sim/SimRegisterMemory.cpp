#include "platform/sim/SimRegisterMemory.h"

namespace kel::platform::sim {

uint16_t SimRegisterMemory::load(uint32_t offset)
{
    LoadHook hook;
    uint16_t stored;
    {
        std::lock_guard<std::mutex> l(lock_);
        auto it = words_.find(offset);
        stored = it == words_.end() ? 0 : it->second;
        auto h = loadHooks_.find(offset);
        if (h != loadHooks_.end())
            hook = h->second;
    }
    return hook ? hook(offset, stored) : stored;
}

void SimRegisterMemory::store(uint32_t offset, uint16_t value)
{
    std::vector<StoreObserver> observers;
    uint16_t old;
    {
        std::lock_guard<std::mutex> l(lock_);
        old = words_[offset];
        words_[offset] = value;
        if (log_.size() < 100000)
            log_.emplace_back(offset, value);
        for (auto& [id, w] : watches_)
            if (offset >= w.first && offset <= w.last)
                observers.push_back(w.fn);
    }
    // Observers run outside the lock so they may load and store themselves.
    for (auto& fn : observers)
        fn(offset, old, value);
}

void SimRegisterMemory::poke(uint32_t offset, uint16_t value)
{
    std::lock_guard<std::mutex> l(lock_);
    words_[offset] = value;
}

uint16_t SimRegisterMemory::peek(uint32_t offset) const
{
    std::lock_guard<std::mutex> l(lock_);
    auto it = words_.find(offset);
    return it == words_.end() ? 0 : it->second;
}

int SimRegisterMemory::watchStores(uint32_t first, uint32_t last, StoreObserver observer)
{
    std::lock_guard<std::mutex> l(lock_);
    int id = nextId_++;
    watches_[id] = Watch{first, last, std::move(observer)};
    return id;
}

void SimRegisterMemory::setLoadHook(uint32_t offset, LoadHook hook)
{
    std::lock_guard<std::mutex> l(lock_);
    if (hook)
        loadHooks_[offset] = std::move(hook);
    else
        loadHooks_.erase(offset);
}

void SimRegisterMemory::unwatch(int id)
{
    std::lock_guard<std::mutex> l(lock_);
    watches_.erase(id);
}

void SimRegisterMemory::setOpenFails(bool fails)
{
    std::lock_guard<std::mutex> l(lock_);
    openFails_ = fails;
}

bool SimRegisterMemory::openFails() const
{
    std::lock_guard<std::mutex> l(lock_);
    return openFails_;
}

void SimRegisterMemory::setOpenFailStep(RegisterWindow::OpenStep step)
{
    std::lock_guard<std::mutex> l(lock_);
    failStep_ = step;
}

RegisterWindow::OpenStep SimRegisterMemory::openFailStep() const
{
    std::lock_guard<std::mutex> l(lock_);
    if (failStep_ == RegisterWindow::OpenStep::None && openFails_)
        return RegisterWindow::OpenStep::OpenMsys;
    return failStep_;
}

std::vector<std::pair<uint32_t, uint16_t>> SimRegisterMemory::storeLog() const
{
    std::lock_guard<std::mutex> l(lock_);
    return log_;
}

void SimRegisterMemory::clearStoreLog()
{
    std::lock_guard<std::mutex> l(lock_);
    log_.clear();
}

} // namespace kel::platform::sim
