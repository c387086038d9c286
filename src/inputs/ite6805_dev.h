#pragma once
#include <cstdint>

// Everything the IT6805 driver keeps about one device (input 4 + dev): the
// driver state (iTE6805_DATA), the measured timing (iTE6805_VidTiming) and
// the counters of the interrupt service and the state machines.
struct ite6805_dev {
    enum STATEV_Type : uint32_t {
        STATEV_Off = 0, STATEV_Unplug = 1, STATEV_WaitSync = 2, STATEV_CheckSync = 3, STATEV_VidStable = 4
    };
    enum STATEA_Type : uint32_t {
        STATEA_Off = 0, STATEA_RequestAudio = 1, STATEA_WaitForReady = 2, STATEA_AudioOn = 3
    };
    static constexpr uint32_t STATEEQ_Off = 0;
    static constexpr uint32_t STATEEQ_KeepEQStateUntil5VOff = 7;
    static constexpr uint32_t STATEEQ_EQDone = 9;
    static constexpr uint8_t kNoLaneCount = 7;

    struct Data {
        uint8_t ChipID = 0;
        uint8_t CurrentPort = 0;
        uint8_t portSelect = 0, portSelectPending = 0;
        uint8_t portReset = 0, portResetPending = 0;
        uint32_t STATEV = STATEV_Off;
        uint32_t STATEA = STATEA_Off;
        uint32_t STATEEQ = STATEEQ_Off;
        uint8_t Flag_VidStable_Done = 0;
        uint8_t VBO_LaneCount = 0;
        uint8_t lastLaneCount = kNoLaneCount;
        uint8_t VBO_ByteMode = 1;
        uint8_t twoSectionMode = 0;
        uint8_t yuv420 = 0;
        uint8_t avMute = 0;
        uint8_t trace = 0;
        // AVI InfoFrame.
        uint32_t AVIInfoFrame_Input_ColorFormat = 0;
        uint32_t Colorimetry = 0;
        uint8_t ExtendedColorimetry = 0;
        uint32_t RGBQuantizationRange = 0;
        uint32_t YUVQuantizationRange = 0;
        uint8_t VIC = 0;
        uint8_t scanInfo = 0;
        uint32_t US_Output_ColorFormat = 0;
        uint8_t inputType = 0;  // 0 HDMI, 1 MHL, 2 DVI
        uint8_t pixelRepetition = 1;
        uint8_t Flag_AVI_ColorChange = 0;
        // Audio.
        uint8_t Force_Sampling_Frequency = 0;
        uint8_t appliedFs = 0;
        uint8_t audioChannels = 2;
        uint8_t Audio_CH_Status = 0;
        uint32_t N = 0, CTS = 0;
    };

    struct VidTiming {
        uint16_t HActive = 0, VActive = 0, HTotal = 0, VTotal = 0;
        uint32_t PCLK = 0, TMDSCLK = 0, FrameRate = 0;
        uint16_t HFrontPorch = 0, HSyncWidth = 0, HBackPorch = 0;
        uint16_t VFrontPorch = 0, VSyncWidth = 0, VBackPorch = 0;
        uint16_t ScanMode = 0, VSyncPol = 0, HSyncPol = 0, ColorDepth = 0;
    };

    Data iTE6805_DATA;
    VidTiming iTE6805_VidTiming;
    // The horizontal values of iTE6805_VidTiming already hold the full width
    // of a YUV 4:2:0 signal; cleared by every measurement.
    bool hDoubled = false;

    uint8_t identifyFailures = 0;
    uint8_t scdtLast = 0;
    uint8_t deskewErrors = 0;
    uint8_t deskewRestarts = 0;
    uint8_t symbolLockResets[3] = {0, 0, 0};
    uint8_t clockStableCount = 0;
    uint8_t Current_SCDTCheck_Count = 0;
    uint8_t audioWait = 0;
    uint8_t Current_AudioCheck_TryCount = 0;
    uint8_t audioOnPoll = 0;
    uint8_t Current_AudioSamplingFreq_ErrorCount = 0;
    uint8_t passCount50 = 0;
    uint8_t eccErrors = 0;
    uint8_t eccTimeouts = 0;
    uint8_t prevAVIDB = 0;
    uint8_t newAvi = 0;
    uint8_t audioSample[3] = {0, 0, 0};
    uint8_t audioFirstSample = 1;
    uint32_t colorSnapshot[5] = {0, 0, 0, 0, 0};
};
