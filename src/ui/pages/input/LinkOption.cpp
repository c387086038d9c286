#include "ui/pages/input/LinkOption.h"

#include "ui/shell/PageFocus.h"
#include "ui/shell/PagePointers.h"

namespace {
const char* const kTitle[5] = {"通讯设置", "Communication", "Подключение", "Cài đặt giao tiếp", "通訊設置"};
const char* const kCom[5] = {"串口连接", "Serial port", "COM-порт", "Cài đặt cổng\n nối tiếp", "串口連接"};
const char* const kWlan[5] = {"网口设置", "Net connect", "Сетевое по\nдключение", "Cài đặt\ncổng mạng", "網口設置"};
const char* const kUsb[5] = {"USB升级", "USB UPDATE", "Обновление\nчерез USB", "Sử dụng ổ USB\nđể cập nhập",
                             "USB昇級"};
} // namespace

LinkOption::LinkOption(QWidget* parent) : MenuPage(PageFocus::LinkOption, "LinkOption", parent)
{
    setTitle(QRect(50, 10, 220, 22), 11, kTitle);
    setEntries({{"Button_com", QRect(15, 47, 90, 80), PageFocus::linkcom, nullptr, {}, kCom, {}},
                {"Button_wlan", QRect(115, 47, 90, 80), PageFocus::linkwlan, nullptr, {}, kWlan, {}},
                {"Button_usb", QRect(215, 47, 90, 80), PageFocus::firmware_usbgrade, nullptr, {}, kUsb, {}}},
               textEntryStyles());
    setEntryPointSize(9);
}

LinkOption::~LinkOption()
{
    clearInstancePointer();
}

void LinkOption::clearInstancePointer()
{
    if (g_linkoption == this)
        g_linkoption = nullptr;
}
