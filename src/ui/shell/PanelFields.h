#pragma once
#include "params/RamLayout.h"

#include <cstddef>
#include <cstdint>

// Parameter block fields the shell reads (names for the offsets kept in
// RamLayout) and the audio rules built on them.
struct PanelFields {
    static constexpr size_t kPanelKeyLock = RamLayout::kPanelKeyLock;
    static constexpr size_t kAudioImageIndex = RamLayout::kAudioImageIndex;
    static constexpr size_t kQualityBright = RamLayout::kQualityBright;
    static constexpr size_t kQualityContrast = RamLayout::kQualityContrast;
    static constexpr size_t kImgVolume = RamLayout::kImgVolume;
    static constexpr size_t kImgAudio = RamLayout::kImgAudio;
    static constexpr uint8_t kAudioOn = RamLayout::kImgAudioOn;

    // audio_image_index as a window 0..5 (values of 6 or more read window 0).
    static int audioWindow(const uint8_t* block);
    // The sound of the window audioWindow() names is on.
    static bool soundOn(const uint8_t* block);
    // Window w (0..5) is on: the first word of its record is non-zero.
    static bool windowOn(const uint8_t* block, int w);
    // audio_image_index as the other settings page keeps it: the whole word
    // when it names a window 0..5 that is on, else 0.
    static int listedAudioWindow(const uint8_t* block);
    // The audio state a page shows may have changed since the last applied
    // copy: the audio word of the window now named, or which window that is.
    static bool audioChanged(const uint8_t* block, const uint8_t* shadow);
};
