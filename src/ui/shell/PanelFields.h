#pragma once
#include <cstddef>
#include <cstdint>

// Parameter block fields the shell reads that the block layout leaves to
// the pages (byte offsets; u16 little-endian).
struct PanelFields {
    static constexpr size_t kPanelKeyLock = 772;     // non-zero: Mode key and keypad locked
    static constexpr size_t kAudioImageIndex = 2112; // window whose sound plays; >= 6 means 0
    static constexpr size_t kQualityBright = 2176;
    static constexpr size_t kQualityContrast = 2178;
    static constexpr size_t kImgVolume = 20;         // ImageRecord byte: volume
    static constexpr size_t kImgAudio = 21;          // ImageRecord byte: bit 7 sound on
    static constexpr uint8_t kAudioOn = 0x80;

    // audio_image_index as a window 0..5 (values of 6 or more read window 0).
    static int audioWindow(const uint8_t* block);
    // The sound of the window audioWindow() names is on.
    static bool soundOn(const uint8_t* block);
    // The audio state a page shows may have changed since the last applied
    // copy: the audio word of the window now named, or which window that is.
    static bool audioChanged(const uint8_t* block, const uint8_t* shadow);
};
