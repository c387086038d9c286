#pragma once
#include <cstdint>

// Page numbers held in g_page_focus: the page that receives the panel keys.
namespace PageFocus {
enum : uint8_t {
    LockWindow = 0,
    MainWindow = 1,
    MachineState = 2,
    InputChoose = 3,
    CustomMode = 4,
    Option = 5,
    OutputSet = 6,
    InputCut = 7,
    EDIDset = 8,
    ImageLayout = 9,
    LinkOption = 10,
    ImageQuality = 11,
    AdvancedOption = 12,
    ledset = 13,
    netset = 14,
    lcdshow = 15,
    test_chart = 16,
    othersetup = 17,
    factory = 18,
    quality = 19,
    temperature = 20,
    linkcom = 21,
    linkwlan = 22,
    factoryage = 23,
    SmartMapping = 24,
    rcv_recovery = 25,
    firmware_usbgrade = 26,
    Count = 27
};
} // namespace PageFocus
