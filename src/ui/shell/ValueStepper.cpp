#include "ui/shell/ValueStepper.h"

#include "params/ApplyGate.h"
#include "params/KelRamPara.h"

#include <QLineEdit>

namespace {
const char* const kRest =
    "color:rgb(255,255,255);\nbackground-color: rgb(33, 36, 53);\nborder:1px solid rgb(255, 255, 255);";
const char* const kFocus =
    "color:rgb(255,255,255);\nbackground-color: rgb(33, 36, 53);\nborder:1px solid rgb(255,171,84);";
const char* const kEditing =
    "color:rgb(255,255,255);\nbackground-color: rgb(33, 36, 53);\nborder:1px solid rgb(255,0,0);";

KelRamPara* ram()
{
    return KelRamPara::p_kelrampara_config;
}
} // namespace

FocusRing::Styles ValueStepper::fieldStyles()
{
    FocusRing::Styles s;
    s.rest = QString::fromLatin1(kRest);
    s.focus = QString::fromLatin1(kFocus);
    s.editing = QString::fromLatin1(kEditing);
    return s;
}

ValueStepper::ValueStepper(QLineEdit* field, size_t offset, QObject* parent, int min, int max)
    : QObject(parent), field_(field), offset_(offset), min_(min), max_(max)
{
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, &ValueStepper::retry);
}

ValueStepper::~ValueStepper()
{
    // The field may already be gone with its page: only the store is made.
    if (retry_.isActive()) {
        retry_.stop();
        write();
    }
}

void ValueStepper::load()
{
    // A commit or revert still waiting would otherwise be replaced by the
    // step it is meant to undo.
    if (!retry_.isActive())
        value_ = static_cast<int16_t>(ram()->blockU16(offset_));
    show();
}

void ValueStepper::begin()
{
    value_ = field_->text().toInt();
    saved_ = value_;
}

int ValueStepper::clamp(int v) const
{
    return v < min_ ? min_ : (v > max_ ? max_ : v);
}

void ValueStepper::show()
{
    field_->setText(QString::number(value_));
}

bool ValueStepper::step(int delta)
{
    if (ApplyGate::instance().c331_apply_flag.load() != 0)
        return false;
    value_ = clamp(value_ + delta);
    storeNow();
    return true;
}

void ValueStepper::commit()
{
    value_ = clamp(value_);
    saved_ = value_;
    storeWhenFree();
}

void ValueStepper::revert()
{
    value_ = clamp(saved_);
    storeWhenFree();
}

void ValueStepper::storeNow()
{
    write();
    show();
}

void ValueStepper::write()
{
    const uint8_t low = static_cast<uint8_t>(value_ & 0xFF);
    uint8_t* at = ram()->RamBlock + offset_;
    ApplyGate::instance().apply([at, low]() { *at = low; });
}

void ValueStepper::storeWhenFree()
{
    show();
    if (ApplyGate::instance().c331_apply_flag.load() == 0) {
        retry_.stop();
        storeNow();
        return;
    }
    tries_ = 0;
    retry_.start();
}

void ValueStepper::retry()
{
    if (ApplyGate::instance().c331_apply_flag.load() != 0 && ++tries_ < kRetryBound)
        return;
    retry_.stop();
    storeNow();
}
