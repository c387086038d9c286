#pragma once
// The open page of each kind, null when closed. A page sets its pointer
// before it takes the focus and clears it when it closes; a destructor
// clears it only while it still points at that page.
class LockWindow;
class MainWindow;
class MachineState;
class InputChoose;
class CustomMode;
class Option;
class OutputSet;
class InputCut;
class EDIDset;
class ImageLayout;
class LinkOption;
class ImageQuality;
class AdvancedOption;
class ledset;
class netset;
class lcdshow;
class test_chart;
class othersetup;
class factory;
class quality;
class temperature;
class linkcom;
class linkwlan;
class factoryage;
class SmartMapping;
class rcv_recovery;
class firmware_usbgrade;
class TIP;
class NumberKeyboard;

extern LockWindow* g_lockwindow;
extern MainWindow* g_mainwindow;
extern MachineState* g_machinestate;
extern InputChoose* g_inputchoose;
extern CustomMode* g_custommode;
extern Option* g_option;
extern OutputSet* g_outputset;
extern InputCut* g_inputcut;
extern EDIDset* g_edidset;
extern ImageLayout* g_imagelayout;
extern LinkOption* g_linkoption;
extern ImageQuality* g_imagequality;
extern AdvancedOption* g_advancedoption;
extern ledset* g_ledset;
extern netset* g_netset;
extern lcdshow* g_lcdshow;
extern test_chart* g_test_chart;
extern othersetup* g_othersetup;
extern factory* g_factory;
extern quality* g_quality;
extern temperature* g_temperature;
extern linkcom* g_linkcom;
extern linkwlan* g_linkwlan;
extern factoryage* g_factoryage;
extern SmartMapping* g_smartmapping;
extern rcv_recovery* g_rcv_recovery;
extern firmware_usbgrade* g_firmware_usbgrade;

extern TIP* g_tip;
extern NumberKeyboard* g_numberkeyboard;
