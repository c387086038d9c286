#pragma once
#include "platform/I2cBus.h"

namespace kel::platform::sim {

class SimBoard;

// The controller's handle on a simulated adapter, opened by device path.
class SimI2cAdapter : public I2cBus {
public:
    explicit SimI2cAdapter(SimBoard& board) : board_(board) {}
    bool open(const std::string& devPath) override;
    bool isOpen() const override { return bus_ != nullptr; }
    void close() override { bus_ = nullptr; }
    int transfer(I2cMsg* msgs, int count) override;

private:
    SimBoard& board_;
    class SimI2cBus* bus_ = nullptr;
};

} // namespace kel::platform::sim
