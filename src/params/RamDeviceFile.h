#pragma once
#include <cstdint>

// The stored parameter file /data/ram_device_info: marker 0xAA 0xAA, then
// block bytes 768..4095; a file written from the defaults is the whole
// 4096-byte default table. The caller holds Utils::_file_deal_mutex where
// the store's rules ask for it.
class RamDeviceFile {
public:
    static constexpr const char* kPath = "/data/ram_device_info";

    enum class Load {
        Loaded,      // marked file read into the saved area
        Unopenable,  // exists but cannot be opened
        BadMarker,   // opened, the first two bytes are not 0xAA 0xAA
    };

    static bool exists();
    // Reads the marker and, when it is 0xAA 0xAA, the saved area into block
    // 768..; what a short file does not hold is taken from the defaults.
    static Load read(uint8_t* block, uint8_t marker[2]);
    static bool remove();
    // Replaces the file atomically with the whole default table.
    static bool writeDefaults();
    // Rewrites file bytes 2..3329 from the block in place (never making the
    // file shorter); a file that is missing, too short to hold them or
    // cannot be opened for update is replaced atomically (marker, saved
    // area, zeros up to 4096 bytes).
    static bool writeSaved(const uint8_t* block);

private:
    static bool create(const uint8_t* block);
};
