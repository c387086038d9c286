#pragma once
#include "ui/shell/FocusRing.h"

#include <QObject>
#include <QTimer>

#include <cstddef>

class QLineEdit;

// One value row of a value page: a field showing the low byte of a block
// word, stepped live while it is edited. OK keeps the value reached, Back
// stores the value from the start of the edit (or the last OK) again.
//
// Every store goes through the hand-off (ApplyGate). A step that meets a
// raised c331_apply_flag is dropped: the scaler has not applied the last
// one yet. A commit or a revert is never dropped: it is retried on a 10 ms
// timer until the flag clears, and stored anyway after kRetryBound tries
// (the scaler compares the block with its shadow, so a store under the
// mutex with the flag still raised is safe). A store still waiting when the
// row dies is made at once.
class ValueStepper : public QObject {
    Q_OBJECT
public:
    static constexpr int kRetryMs = 10;
    static constexpr int kRetryBound = 50;

    // The white, orange (focused) and red (being edited) looks of a field.
    static FocusRing::Styles fieldStyles();

    ValueStepper(QLineEdit* field, size_t offset, QObject* parent = nullptr, int min = 0, int max = 100);
    ~ValueStepper() override;

    QLineEdit* field() const { return field_; }
    size_t offset() const { return offset_; }

    // The field shows the block word, read as a signed 16-bit number (or
    // the value of a store still waiting).
    void load();
    // Starts an edit from the value the field shows.
    void begin();
    // +1 or -1, clamped to the range and stored; false when dropped.
    bool step(int delta);
    // OK: the value reached becomes the one Back returns to; stored again.
    void commit();
    // Back: the value from the start of the edit; stored again.
    void revert();

    int value() const { return value_; }
    bool storePending() const { return retry_.isActive(); }

private:
    int clamp(int v) const;
    void show();
    void storeNow();
    void write();
    void storeWhenFree();
    void retry();

    QLineEdit* field_;
    size_t offset_;
    int min_;
    int max_;
    int value_ = 0;
    int saved_ = 0;
    int tries_ = 0;
    QTimer retry_;
};
