#include "ui/support/ShellFixture.h"

#include "params/ApplyGate.h"
#include "params/RamLayout.h"
#include "ui/shell/ChoiceRow.h"
#include "ui/shell/ValueStepper.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <memory>

namespace kel::test {
namespace {

constexpr size_t kWord = 2178; // quality_contrast

class ValueStepperTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        field_ = std::make_unique<QLineEdit>();
        stepper_ = std::make_unique<ValueStepper>(field_.get(), kWord);
    }
    void TearDown() override
    {
        stepper_.reset();
        field_.reset();
        ShellFixture::TearDown();
    }
    uint8_t stored() const { return store_->RamBlock[kWord]; }
    uint8_t flag() const { return ApplyGate::instance().c331_apply_flag.load(); }

    std::unique_ptr<QLineEdit> field_;
    std::unique_ptr<ValueStepper> stepper_;
};

// Every step is stored at once (the chip pass runs between steps) and the
// value stays within 0..100.
TEST_F(ValueStepperTest, StepsAreStoredOneByOneAndClamped)
{
    struct Case {
        uint16_t start;
        int delta;
        std::vector<int> stored;
    };
    const Case cases[] = {
        {50, +1, {51, 52, 53}},
        {50, -1, {49, 48}},
        {100, +1, {100, 100}},
        {0, -1, {0}},
        {99, +1, {100, 100}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        setU16(kWord, c.start);
        stepper_->load();
        EXPECT_EQ(field_->text(), QString::number(c.start));
        stepper_->begin();
        for (int want : c.stored) {
            EXPECT_TRUE(stepper_->step(c.delta));
            EXPECT_EQ(stored(), want);
            EXPECT_EQ(field_->text(), QString::number(want));
            EXPECT_EQ(simChipPass(), 1);
        }
    }
}

TEST_F(ValueStepperTest, BackStoresTheStartValueAndOkKeepsTheReachedOne)
{
    setU16(kWord, 50);
    stepper_->load();
    stepper_->begin();
    for (int i = 0; i < 3; ++i) {
        stepper_->step(+1);
        simChipPass();
    }
    stepper_->revert();
    EXPECT_EQ(stored(), 50);
    EXPECT_EQ(flag(), 1);
    simChipPass();
    stepper_->begin();
    stepper_->step(+1);
    simChipPass();
    stepper_->commit();
    EXPECT_EQ(stored(), 51);
    simChipPass();
    stepper_->step(+1);
    simChipPass();
    stepper_->revert(); // back to the last OK
    EXPECT_EQ(stored(), 51);
}

// While the scaler has not applied the last change a step is dropped, but
// Back and OK wait for it and are stored once the flag clears.
TEST_F(ValueStepperTest, WithTheFlagHeldStepsDropButRevertAndCommitWait)
{
    for (bool commit : {false, true}) {
        SCOPED_TRACE(commit);
        setU16(kWord, 50);
        stepper_->load();
        stepper_->begin();
        stepper_->step(+1); // 51, flag raised and held
        EXPECT_FALSE(stepper_->step(+1));
        EXPECT_EQ(stored(), 51);
        if (commit) {
            store_->RamBlock[kWord] = 7; // stands for a store that must be redone
            stepper_->commit();
        } else {
            stepper_->revert();
        }
        const int want = commit ? 51 : 50;
        EXPECT_EQ(field_->text(), QString::number(want));
        EXPECT_TRUE(stepper_->storePending());
        EXPECT_EQ(stored(), commit ? 7 : 51);
        EXPECT_EQ(simChipPass(), 1);
        QTRY_COMPARE(int(stored()), want);
        EXPECT_FALSE(stepper_->storePending());
        EXPECT_EQ(flag(), 1);
        simChipPass();
    }
}

// A reload (the page refreshed for a new language) while Back waits for
// the flag does not turn the revert into a store of the step.
TEST_F(ValueStepperTest, AReloadKeepsARevertThatWaits)
{
    setU16(kWord, 50);
    stepper_->load();
    stepper_->begin();
    stepper_->step(+1); // 51, flag held
    stepper_->revert();
    stepper_->load();
    EXPECT_EQ(field_->text(), "50");
    EXPECT_EQ(simChipPass(), 1);
    QTRY_COMPARE(int(stored()), 50);
}

TEST_F(ValueStepperTest, AFlagThatNeverClearsDelaysTheStoreOnlyUpToTheBound)
{
    setU16(kWord, 50);
    stepper_->load();
    stepper_->begin();
    stepper_->step(-1);
    stepper_->revert();
    EXPECT_EQ(stored(), 49);
    QTRY_COMPARE_WITH_TIMEOUT(int(stored()), 50, 5 * ValueStepper::kRetryBound * ValueStepper::kRetryMs);
}

TEST_F(ValueStepperTest, ARowClosedWithAStoreWaitingStoresItAtOnce)
{
    setU16(kWord, 50);
    stepper_->load();
    stepper_->begin();
    stepper_->step(+1);
    stepper_->revert();
    stepper_.reset();
    EXPECT_EQ(stored(), 50);
}

// The choice row changes only what it shows until OK or Back.
TEST_F(ValueStepperTest, ChoiceRowStoresOnlyOnOkOrBack)
{
    QComboBox box;
    ChoiceRow row(&box, ChoiceRow::lowByteStore(2184));
    setU16(2184, 7);
    row.load({"custom", "warm", "nature", "cool"}, 7);
    EXPECT_EQ(box.currentIndex(), 0);
    EXPECT_EQ(u16(2184), 7);
    row.load({"custom", "warm", "nature", "cool"}, 2);
    row.begin();
    row.step(+1);
    row.step(+1);
    EXPECT_EQ(box.currentText(), "custom");
    EXPECT_EQ(u16(2184), 7);
    row.revert();
    EXPECT_EQ(box.currentText(), "nature");
    EXPECT_EQ(u16(2184), 2);
    row.begin();
    row.step(-1);
    row.commit();
    EXPECT_EQ(u16(2184), 1);
}

} // namespace
} // namespace kel::test
