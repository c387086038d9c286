#include "ui/shell/PagePointers.h"

LockWindow* g_lockwindow = nullptr;
MainWindow* g_mainwindow = nullptr;
MachineState* g_machinestate = nullptr;
InputChoose* g_inputchoose = nullptr;
CustomMode* g_custommode = nullptr;
Option* g_option = nullptr;
OutputSet* g_outputset = nullptr;
InputCut* g_inputcut = nullptr;
EDIDset* g_edidset = nullptr;
ImageLayout* g_imagelayout = nullptr;
LinkOption* g_linkoption = nullptr;
ImageQuality* g_imagequality = nullptr;
AdvancedOption* g_advancedoption = nullptr;
ledset* g_ledset = nullptr;
netset* g_netset = nullptr;
lcdshow* g_lcdshow = nullptr;
test_chart* g_test_chart = nullptr;
othersetup* g_othersetup = nullptr;
factory* g_factory = nullptr;
quality* g_quality = nullptr;
temperature* g_temperature = nullptr;
linkcom* g_linkcom = nullptr;
linkwlan* g_linkwlan = nullptr;
factoryage* g_factoryage = nullptr;
SmartMapping* g_smartmapping = nullptr;
rcv_recovery* g_rcv_recovery = nullptr;
firmware_usbgrade* g_firmware_usbgrade = nullptr;

TIP* g_tip = nullptr;
NumberKeyboard* g_numberkeyboard = nullptr;
