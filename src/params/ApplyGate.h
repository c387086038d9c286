#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <pthread.h>

// The hand-off to the scaler manager: a writer of scaler-related block
// fields takes c331_para_mutex, writes, raises c331_apply_flag (1 apply,
// 2 apply and announce SYNC_USER_MODE) and releases. The scaler manager owns
// the pair by name (it exposes references to these members); the gate exists
// from the start, so the store and the pages work before any scaler manager.
class ApplyGate {
public:
    static ApplyGate& instance();

    pthread_mutex_t c331_para_mutex;
    // Pages and the persistence pass read it without the lock.
    std::atomic<uint8_t> c331_apply_flag{0};

    // Lock, run write (may be empty), raise the flag to value, unlock.
    void apply(const std::function<void()>& write, uint8_t value = 1);

    ApplyGate(const ApplyGate&) = delete;
    ApplyGate& operator=(const ApplyGate&) = delete;

private:
    ApplyGate();
};
