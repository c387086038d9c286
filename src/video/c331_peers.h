#pragma once
#include "inputs/SourceHdmiInfo.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <pthread.h>

// What the scaler manager reaches outside its own chip: the parameter block
// and the hand-off, the input board, the FPGA manager and the change
// broadcast. main connects them; a hook left empty is skipped.
struct c331_peers {
    // The hand-off (ApplyGate) and the block it guards.
    pthread_mutex_t* paraMutex = nullptr;
    std::atomic<uint8_t>* applyFlag = nullptr;
    const uint8_t* block = nullptr;       // RamBlock, 4096 bytes
    uint8_t* regBank = nullptr;           // LocalRegBank (register 43: fonts)

    // Input board: copies input k's timing record under
    // Utils::_source_hdminfo_mutex; false when there is no board.
    std::function<bool(int input, SourceHdmiInfo& info)> readInput;
    // Marks the input's EDID unwritten, then raises its restart request.
    std::function<void(int input)> restartInput;
    // True while a host EDID for the input waits to be written.
    std::function<bool(int input)> edidUploadPending;
    std::function<void()> requestAudioRoute;

    // FPGA manager: brightness request (under Utils::_bri_set_mutex), output
    // request, the LED-size hand-over word g_set_led_para and its store of 2
    // (under Utils::_led_para_init_mutex).
    std::function<void()> requestFpgaBrightness;
    std::function<void()> requestFpgaOutput;
    std::function<uint8_t()> ledParaState;
    std::function<void()> ledParaReprogrammed;
    // After every panel programming (c331_para_mutex held): records the
    // size programmed, so that a later apply of it hands nothing over.
    std::function<void()> panelProgrammed;
    // Drives both FPGA chip selects high before a scaler transfer.
    std::function<void()> fpgaDeselect;

    // KelRamPara::test_signal; called with no lock held.
    std::function<void(int reason)> testSignal;
    // get_json_omenu_para("/data/configs/omenu.json") and set_OSD_para.
    std::function<void()> reloadOsdMenu;
};
