#pragma once
#include "FpgaFixture.h"
#include "RecoveryFileBytes.h"

#include <cstdint>
#include <vector>

namespace kel::platform::sim { class SimCardChain; }

namespace kel::test {

// The manager on a simulated board with cards on its output ports, the
// progress of both relay signals recorded, and the mailbox driven one pass
// per tick.
class CardProcedureFixture : public FpgaFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    platform::sim::SimCardChain& chain(int port);
    // n cards on the port (the manager's count too); silent cards never answer.
    void cards(int port, int n, bool silent = false);
    // Powers FPGA 0 up to the lit screen, as every test starts.
    void powerUp();
    // Posts the command and runs passes until the mailbox is idle again;
    // returns the ticks it took (maxTicks when it never ended).
    uint32_t runCommand(uint8_t command, uint32_t maxTicks);
    // Frames a port received with this command byte, in order.
    std::vector<std::vector<uint8_t>> framesTo(int port, uint8_t cmd);

    std::vector<int> smartProgress;
    std::vector<int> recoveryProgress;
};

// True when want appears in got in this order (other values between).
bool inOrder(const std::vector<int>& got, const std::vector<int>& want);

} // namespace kel::test
