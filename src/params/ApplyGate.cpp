#include "params/ApplyGate.h"

ApplyGate::ApplyGate()
{
    pthread_mutex_init(&c331_para_mutex, nullptr);
}

ApplyGate& ApplyGate::instance()
{
    static ApplyGate gate;
    return gate;
}

void ApplyGate::apply(const std::function<void()>& write, uint8_t value)
{
    pthread_mutex_lock(&c331_para_mutex);
    if (write)
        write();
    // Raise only: a pending 2 (apply and announce the user mode) must not be
    // turned into a plain apply by a later writer before the scaler runs.
    if (value > c331_apply_flag.load())
        c331_apply_flag.store(value);
    pthread_mutex_unlock(&c331_para_mutex);
}
