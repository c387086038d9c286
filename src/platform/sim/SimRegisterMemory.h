#pragma once
#include "platform/RegisterWindow.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

namespace kel::platform::sim {

// The simulated SoC register window: 16-bit words that simulated devices can
// watch (stores) and drive (loads). Shared by every window handle.
class SimRegisterMemory {
public:
    using StoreObserver = std::function<void(uint32_t offset, uint16_t oldValue, uint16_t newValue)>;
    using LoadHook = std::function<uint16_t(uint32_t offset, uint16_t stored)>;

    uint16_t load(uint32_t offset);
    void store(uint32_t offset, uint16_t value);
    // Back door: sets a word without notifying observers (inputs driven by
    // a simulated device, presets).
    void poke(uint32_t offset, uint16_t value);
    uint16_t peek(uint32_t offset) const;

    int watchStores(uint32_t first, uint32_t last, StoreObserver observer);
    void setLoadHook(uint32_t offset, LoadHook hook);
    void unwatch(int id);

    void setOpenFails(bool fails);
    bool openFails() const;
    // Makes open() fail at one step (None: open succeeds unless openFails).
    void setOpenFailStep(RegisterWindow::OpenStep step);
    RegisterWindow::OpenStep openFailStep() const;
    std::vector<std::pair<uint32_t, uint16_t>> storeLog() const;
    void clearStoreLog();

private:
    struct Watch { uint32_t first, last; StoreObserver fn; };
    mutable std::mutex lock_;
    std::map<uint32_t, uint16_t> words_;
    std::map<int, Watch> watches_;
    std::map<uint32_t, LoadHook> loadHooks_;
    std::vector<std::pair<uint32_t, uint16_t>> log_;
    int nextId_ = 1;
    bool openFails_ = false;
    RegisterWindow::OpenStep failStep_ = RegisterWindow::OpenStep::None;
};

} // namespace kel::platform::sim
