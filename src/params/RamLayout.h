#pragma once
#include <cstddef>
#include <cstdint>

// Byte layout of the parameter block (RamBlock), its shadow, the user-mode
// slots and the local register bank. The block is also a wire format
// (control command addresses below 0x1000) and the content of the stored
// parameter file, so every offset here is binding.
struct RamLayout {
    // ---- sizes ----
    static constexpr size_t kBlockSize = 4096;
    static constexpr size_t kSlotCount = 16;
    static constexpr size_t kSlotSize = 4098;
    static constexpr size_t kSlotFileSize = 4096;   // slot bytes stored in a mode file
    static constexpr size_t kRegBankSize = 1064;
    static constexpr size_t kRegReachable = 170;    // registers 0..169 reach the protocol

    // ---- areas of RamBlock ----
    static constexpr size_t kLiveBegin = 0;         // ram_live_area 0..767
    static constexpr size_t kSavedBegin = 768;      // ram_saved_area 768..4095
    static constexpr size_t kSavedSize = kBlockSize - kSavedBegin;   // 3328
    static constexpr size_t kModeBegin = 896;       // ram_mode_area 896..4095
    static constexpr size_t kModeSize = kBlockSize - kModeBegin;     // 3200

    // ---- stored parameter file ----
    static constexpr size_t kFileMarkerSize = 2;    // 0xAA 0xAA
    static constexpr size_t kFileSize = 4096;       // a file written from the defaults
    static constexpr uint8_t kMarkerSaved = 0xAA;
    static constexpr uint8_t kMarkerDeleted = 0xFF;

    // ---- fields (u16 little-endian unless noted) ----
    static constexpr size_t kSrcVideoInfo = 256;    // + 6s: u16 w, u16 h, u8 refresh, u8 0
    static constexpr size_t kSrcVideoInfoSize = 6;
    static constexpr size_t kSrcVideoInfoEnd = kSrcVideoInfo + 6 * kSrcVideoInfoSize;  // 292
    static constexpr size_t kLcdLanguage = 768;
    static constexpr size_t kPanelKeyLock = 772;     // non-zero: Mode key and keypad locked
    static constexpr size_t kWifiEnable = 774;       // byte: 0 WiFi on, 1 off
    static constexpr size_t kTestPattern = 864;
    static constexpr size_t kCurrentUserMode = 866;
    static constexpr size_t kUsermodeSaveReq = 868;
    static constexpr size_t kEdidSourceRecord = 896; // + 6s: u16 w, h, refresh
    static constexpr size_t kEdidRecordSize = 6;
    static constexpr size_t kSpliceMode = 1376;
    static constexpr size_t kLedWidth = 1378;
    static constexpr size_t kLedHeight = 1380;
    static constexpr size_t kScreenXOffset = 1382;
    static constexpr size_t kOch0Window = 1408;     // x, y, w, h
    static constexpr size_t kOch1Window = 1416;
    static constexpr size_t kCropTable = 1472;      // + 10r: selector, x, y, w, h
    static constexpr size_t kCropRowSize = 10;
    static constexpr int kCropRows = 40;
    static constexpr int kCropsPerSource = 40;
    static constexpr size_t kAudioImageIndex = 2112; // window whose sound plays; >= 6 means 0
    static constexpr size_t kP2pSwitch = 2114;
    static constexpr size_t kLedScreenSwitch = 2116;
    static constexpr size_t kSwitchEffect = 2118;
    static constexpr size_t kOsdEnable = 2124;
    static constexpr size_t kQualityBright = 2176;
    static constexpr size_t kQualityContrast = 2178;
    static constexpr size_t kQualitySharpness = 2180;
    static constexpr size_t kQualitySaturation = 2182;
    static constexpr size_t kColortemp = 2184;      // type, red, green, blue
    static constexpr size_t kColortempRed = 2186;
    static constexpr size_t kColortempGreen = 2188;
    static constexpr size_t kColortempBlue = 2190;
    static constexpr size_t kPictureWordsSize = 16; // 2176..2191: picture and colour temperature
    static constexpr size_t kImageRecord = 2272;    // + 26w
    static constexpr size_t kImageRecordSize = 26;
    static constexpr int kWindows = 6;
    static constexpr size_t kValuePairs = 2816;     // + 4k, k = 0..15
    static constexpr int kValuePairCount = 16;
    static constexpr size_t kWindowFades = kValuePairs;  // + 4w: fade in, fade out of window w

    // ---- ImageRecord bytes ----
    static constexpr size_t kImgEnable = 0;         // bit 0: enabled
    static constexpr size_t kImgMirror = 4;
    static constexpr size_t kImgSelector = 8;       // image_input_selector
    static constexpr size_t kImgX = 10;
    static constexpr size_t kImgY = 12;
    static constexpr size_t kImgW = 14;
    static constexpr size_t kImgH = 16;
    static constexpr size_t kImgFlags = 18;
    static constexpr uint16_t kFlagBlack = 0x0001;
    static constexpr uint16_t kFlagFreeze = 0x0002;
    static constexpr uint16_t kFlagFadeSwitch = 0x0004;
    static constexpr uint16_t kFlagPointToPoint = 0x0100;
    static constexpr size_t kImgVolume = 20;        // byte: volume
    static constexpr size_t kImgAudio = 21;         // byte: bit 7 sound on
    static constexpr uint8_t kImgAudioOn = 0x80;
    static constexpr size_t kImgP2pMode = 22;

    // ---- selectors ----
    static constexpr uint16_t kSelectorCrop = 0x8000;   // window: low byte is a crop row
    static constexpr uint16_t kRowInUse = 0x8000;       // crop row: in use

    // ---- inputs ----
    static constexpr int kSources = 6;              // source_id 0..5

    // ---- user-mode slot ----
    // Slot byte k holds block byte k + 894.
    static constexpr size_t kSlotDataBegin = 2;
    static constexpr size_t kSlotOsdEnable = kOsdEnable - kModeBegin + kSlotDataBegin;      // 1230
    static constexpr size_t kSlotImageRecord = kImageRecord - kModeBegin + kSlotDataBegin;  // 1378

    // ---- LocalRegBank ----
    static constexpr size_t kRegChipPresence = 37;  // 37..39 set at start
    static constexpr size_t kRegClearedAtStartEnd = 1060;

    // ---- helpers ----
    static uint16_t u16(const uint8_t* base, size_t off)
    {
        return static_cast<uint16_t>(base[off] | (base[off + 1] << 8));
    }
    static void setU16(uint8_t* base, size_t off, uint16_t value)
    {
        base[off] = static_cast<uint8_t>(value & 0xFF);
        base[off + 1] = static_cast<uint8_t>(value >> 8);
    }
    static size_t imageRecord(int w) { return kImageRecord + kImageRecordSize * static_cast<size_t>(w); }
    static size_t cropRow(int r) { return kCropTable + kCropRowSize * static_cast<size_t>(r); }
    static size_t srcVideoInfo(int s) { return kSrcVideoInfo + kSrcVideoInfoSize * static_cast<size_t>(s); }
    static size_t edidRecord(int s) { return kEdidSourceRecord + kEdidRecordSize * static_cast<size_t>(s); }
};
