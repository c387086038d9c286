#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

// The compiled-in default parameter table: byte i is byte i of a freshly
// written /data/ram_device_info. Indexes 0..1 hold the marker 0xAA 0xAA;
// index i >= 2 is block byte i + 766; indexes 3330..4095 lie past the
// block's end (zero, written to a fresh file, never loaded).
extern const std::array<uint8_t, 4096> default_para_ramlist;

class DefaultParaTable {
public:
    // Copies the table's saved-area part (indexes 2..3329) into block bytes
    // 768..4095. The factory resets use this instead of indexing the table.
    static void copySavedAreaInto(uint8_t* block);
    // The same for block bytes [from, 4096): completes a short load.
    static void copySavedTailInto(uint8_t* block, size_t fromBlockByte);
    // The defaults of block bytes [fromBlockByte, fromBlockByte + count),
    // limited to the saved area.
    static void copyRangeInto(uint8_t* block, size_t fromBlockByte, size_t count);
};
