#include "inputs/Drv_I2C0.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimI2cBus.h"
#include "platform/sim/SimInputBoard.h"
#include "platform/sim/SimRegisterChip.h"
#include "support/SimRootFixture.h"

#include <cstring>

using kel::platform::sim::SimInputBoard;

namespace kel::test {
namespace {

class I2cGateway : public SimRootFixture {
protected:
    void SetUp() override
    {
        SimRootFixture::SetUp();
        input_ = SimInputBoard::of(board());
        fd_ = drv_.initialize();
        input_->bus().setLogging(true);
    }
    void TearDown() override
    {
        drv_.release(fd_);
        SimRootFixture::TearDown();
    }
    Drv_I2C0 drv_;
    SimInputBoard* input_ = nullptr;
    int fd_ = -1;
};

TEST_F(I2cGateway, OpensTheBusAndShiftsTheAddress)
{
    ASSERT_GE(fd_, 0);
    const uint8_t ch = 0x04;
    EXPECT_EQ(drv_.i2c_write(fd_, 0xEE, 0x00, &ch, 1), 1);
    const auto log = input_->bus().log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].addr, 0x77);
    EXPECT_EQ(log[0].data, (std::vector<uint8_t>{0x00, 0x04}));
}

TEST_F(I2cGateway, WriteOfNoDataSendsTheRegisterByteAlone)
{
    EXPECT_EQ(drv_.i2c_write(fd_, 0xCA, 0x07, nullptr, 0), 1);
    const auto log = input_->bus().log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].data, std::vector<uint8_t>{0x07});
}

TEST_F(I2cGateway, ReadIsOneCombinedTransferOfTwoMessages)
{
    input_->cdce913().setReg(0x10, 0xAA);
    input_->cdce913().setReg(0x11, 0xBB);
    uint8_t buf[2] = {};
    EXPECT_EQ(drv_.i2c_read(fd_, 0xCA, 0x10, buf, 2), 1);
    EXPECT_EQ(buf[0], 0xAA);
    EXPECT_EQ(buf[1], 0xBB);
    const auto log = input_->bus().log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_FALSE(log[0].read);
    EXPECT_EQ(log[0].data, std::vector<uint8_t>{0x10});
    EXPECT_TRUE(log[1].read);
    EXPECT_EQ(input_->cdce913().transfers(), 1u);
}

TEST_F(I2cGateway, FailedReadLeavesTheBufferUntouched)
{
    uint8_t buf[4] = {1, 2, 3, 4};
    EXPECT_EQ(drv_.i2c_read(fd_, 0x92, 0x00, buf, 4), 0);  // nobody at 0x92
    EXPECT_EQ(buf[0], 1);
    EXPECT_EQ(buf[3], 4);
    input_->bus().failNext(SimInputBoard::kCdce913, 1);
    EXPECT_EQ(drv_.i2c_read(fd_, 0xCA, 0x00, buf, 4), 0);
    EXPECT_EQ(buf[2], 3);
}

TEST_F(I2cGateway, ReadOfNothingCopiesNothing)
{
    uint8_t buf[1] = {9};
    EXPECT_EQ(drv_.i2c_read(fd_, 0xCA, 0x00, buf, 0), 1);
    EXPECT_EQ(drv_.i2c_read(fd_, 0xCA, 0x00, buf, -3), 1);
    EXPECT_EQ(buf[0], 9);
}

TEST_F(I2cGateway, OversizedTransfersAreRefusedWithoutTouchingTheBus)
{
    uint8_t big[300] = {};
    EXPECT_EQ(drv_.i2c_write(fd_, 0xCA, 0x00, big, 256), 0);
    EXPECT_EQ(drv_.i2c_read(fd_, 0xCA, 0x00, big, 101), 0);
    EXPECT_TRUE(input_->bus().log().empty());
    EXPECT_EQ(drv_.i2c_write(fd_, 0xCA, 0x00, big, 255), 1);
    EXPECT_EQ(drv_.i2c_read(fd_, 0xCA, 0x00, big, 100), 1);
}

TEST_F(I2cGateway, UnknownDescriptorFails)
{
    const uint8_t v = 0;
    EXPECT_EQ(drv_.i2c_write(-1, 0xCA, 0, &v, 1), 0);
    EXPECT_EQ(drv_.i2c_write(fd_ + 100, 0xCA, 0, &v, 1), 0);
}

} // namespace
} // namespace kel::test
