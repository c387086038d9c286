#pragma once
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>

namespace kel::platform::sim { class SimBoard; }

namespace kel::test {

// Gives each test a fresh root folder, a fresh simulated board on it, and
// instant sleeps that advance a virtual clock.
class SimRootFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    platform::sim::SimBoard& board();
    std::string root() const;
    // Host path of a logical path under this test's root.
    std::string hostPath(const std::string& logical) const;
    uint64_t sleptUs() const { return slept_.load(); }
    // Runs in the fresh root before the simulated board reads it (a test
    // writes its board.ini here).
    virtual void beforeBoard() {}

private:
    QTemporaryDir dir_;
    std::atomic<uint64_t> slept_{0};
};

} // namespace kel::test
