#pragma once
#include "ui/shell/WindowSource.h"

#include <cstddef>
#include <cstdint>

// Read-only view of one user-mode slot of the store: whether it is saved
// or in use, and the fields of its copy named by their block offsets
// (copy byte p holds block byte 896 + p).
class SlotView {
public:
    explicit SlotView(int slot);

    int slot() const { return slot_; }
    bool valid() const { return data_ != nullptr; }
    bool saved() const;
    // The mode in use is this slot's (current_user_mode == slot + 1).
    bool inUse() const;
    // A field of the copy; blockOffset is 896 or more.
    uint16_t u16(size_t blockOffset) const;
    int16_t i16(size_t blockOffset) const { return static_cast<int16_t>(u16(blockOffset)); }
    // A word of window w's record.
    uint16_t windowWord(int w, size_t field) const;
    bool windowOn(int w) const { return windowWord(w, 0) != 0; }
    WindowSource window(int w) const;
    // The window whose sound plays (6 or more reads window 0) and its state.
    int audioWindow() const;
    bool soundOn() const;
    bool osdEnabled() const;

private:
    int slot_;
    const uint8_t* data_ = nullptr;
};
