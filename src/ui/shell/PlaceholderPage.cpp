#include "ui/shell/PlaceholderPage.h"

#include "ui/shell/L10n.h"
#include "ui/shell/PageFocus.h"
#include "ui/shell/PageForm.h"
#include "ui/shell/PageOpener.h"

#include <QLabel>

namespace {
const char* const kNames[PageFocus::Count] = {
    "LockWindow", "MainWindow", "MachineState", "InputChoose", "CustomMode", "Option",
    "OutputSet", "InputCut", "EDIDset", "ImageLayout", "LinkOption", "ImageQuality",
    "AdvancedOption", "ledset", "netset", "lcdshow", "test_chart", "othersetup",
    "factory", "quality", "temperature", "linkcom", "linkwlan", "factoryage",
    "SmartMapping", "rcv_recovery", "firmware_usbgrade",
};

// Each page's title in the panel languages (zh, en, ru, vn, tw), as the page
// itself shows it; the ageing log and the recovery page have no title of
// their own and take the text of the entry that opens them.
const L10n::Texts kTitles[PageFocus::Count] = {
    {nullptr, nullptr, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
    {"设备信息", "Devices", "Устройство", "Thiết bị", "設備信息"},
    {"信源切换", "Source switch", "Переключение источника", "Chuyển đổi nguồn", "信源切換"},
    {"用户模式", "User mode", "Слот", "Chế độ người dùng", "用戶模式"},
    {"设置", "Setting", "Настройки", "Cài đặt", "設置"},
    {"输出设置", "Output Seeting", "Выход", "Thông số đầu ra", "輸出設置"},
    {"输入截取", "Input intercept", "Источник", "Chặn nguồn vào", "輸入截取"},
    {"设置EDID", "EDID Settings", "Настройка EDID", "Cài đặt EDID", "設置EDID"},
    {"画面布局", "Screen layout", "Расположение", "Bố cục màn hình", "畫麵佈局"},
    {"通讯设置", "Communication", "Подключение", "Cài đặt giao tiếp", "通訊設置"},
    {"图像效果", "Image quality", "Изображение", "Chất lượng hình ảnh", "圖像效果"},
    {"高级设置", "Advanced Settings", "Доп.опции", "Cài đặt nâng cao", "高級設置"},
    {"LED设置", "LED Setting", "Настройка LED", "Cài đặt LED", "LED設置"},
    {"网口输出", "Port output", "Настройка LAN", "Cài đặt cổng MẠNG", "網口輸出"},
    {"液晶显示", "LCD display", "ЖК дисплей", "Màn hình LCD", "液晶顯示"},
    {"测试图", "Test pattern", "Тестовый образец", "Biểu đồ kiểm tra", "測試圖"},
    {"其它设置", "Other Settings", "Другие настройки", "Cài đặt khác", "其它設置"},
    {"工厂设置", "Factory setup", "Системные настройки", "Khôi phục cài đăt gốc", "工廠設置"},
    {"图像效果", "Image quality", "Изображение", "Chất lượng hình ảnh", "圖像效果"},
    {"色温", "Temperature", "Температура Оттенок", "Độ màu", "色溫"},
    {"串口连接", "Serial port", "COM-порт", "Cài đặt cổng nối tiếp", "串口連接"},
    {"网口设置", "Net connect", "Сетевое подключение", "Cài đặt cổng mạng", "網口設置"},
    {"工厂老化", "Aging", "Сброс настроек", "Lão hóa nhà máy", "工廠老化"},
    {"智能调屏", "Smart debugging screen", "Smart debugging screen", "Smart debugging screen", "智能调屏"},
    {"接收卡自恢复", "Rcv self-recovery", "Самовосстановление", "Thẻ nhận tự phục hồi", "接收卡自恢複"},
    {"USB升级", "USB UPDATE", "Обновление через USB", "Sử dụng ổ USB  để cập nhập", "USB昇級"},
};
} // namespace

PlaceholderPage::PlaceholderPage(uint8_t focus, QWidget* parent)
    : QDialog(parent), PageBase(this, focus, pageName(focus))
{
    PageForm::setupPage(this, pageName(focus));
    title_ = PageForm::title(this, QRect(10, 90, 300, 60));
    PageForm::hintPictures(this);
    title_->setWordWrap(true);
    language_changed();
}

const char* PlaceholderPage::pageName(uint8_t focus)
{
    return focus < PageFocus::Count ? kNames[focus] : "Page";
}

void PlaceholderPage::language_changed()
{
    const uint8_t focus = pageFocus();
    if (focus < PageFocus::Count && kTitles[focus][0])
        title_->setText(L10n::pick(kTitles[focus]));
    else
        title_->setText(QString::fromLatin1(pageClass()));
}

void PlaceholderPage::onBack()
{
    if (pageFocus() == PageFocus::CustomMode) {
        PageOpener::leaveUserModePage(*this);
        return;
    }
    returnTo(PageOpener::parentOf(pageFocus()));
}
