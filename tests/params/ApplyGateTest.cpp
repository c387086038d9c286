#include "params/ApplyGate.h"

#include <gtest/gtest.h>

namespace {

class ApplyGateTest : public ::testing::Test {
protected:
    void SetUp() override { ApplyGate::instance().c331_apply_flag = 0; }
    void TearDown() override { ApplyGate::instance().c331_apply_flag = 0; }
};

TEST_F(ApplyGateTest, APlainApplyNeverLowersAPendingUserModeApply)
{
    ApplyGate& gate = ApplyGate::instance();
    gate.apply({}, 2);
    gate.apply({}, 1);
    EXPECT_EQ(gate.c331_apply_flag.load(), 2);
}

TEST_F(ApplyGateTest, RunsTheWriteUnderTheLockAndRaisesTheFlag)
{
    ApplyGate& gate = ApplyGate::instance();
    bool locked = false;
    gate.apply([&] { locked = pthread_mutex_trylock(&gate.c331_para_mutex) != 0; });
    EXPECT_TRUE(locked);
    EXPECT_EQ(gate.c331_apply_flag.load(), 1);
    gate.apply({}, 2);
    EXPECT_EQ(gate.c331_apply_flag.load(), 2);
}

} // namespace
