#pragma once
#include <cstddef>
#include <cstdint>

// What a window shows, read from its image_input_selector. A crop is named
// by the crop-table row the selector holds (its crop number and rectangle),
// never by its rank among the input's crops, which names another crop once
// rows are out of crop-number order.
struct WindowSource {
    int source = 0;      // source_id; above 5 when unknown
    bool crop = false;   // the selector names a crop-table row
    int row = 0;         // that row
    bool cropValid = false; // the row is in use (else the rectangle is zero)
    int cropNumber = 0;  // 1..40 when valid
    int x = 0, y = 0, width = 0, height = 0;

    // block: a RamBlock image; window 0..5.
    static WindowSource of(const uint8_t* block, int window);
    // slot: a UserModeSlot record (marker bytes first); window 0..5.
    static WindowSource ofSlot(const uint8_t* slot, int window);

private:
    // base holds block byte off at base[off - shift].
    static WindowSource read(const uint8_t* base, size_t shift, int window);
};
