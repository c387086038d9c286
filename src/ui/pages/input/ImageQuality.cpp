#include "ui/pages/input/ImageQuality.h"

#include "ui/shell/PageFocus.h"
#include "ui/shell/PagePointers.h"

namespace {
const char* const kTitle[5] = {"图像效果", "Image quality", "Изображение", "Chất lượng hình ảnh", "圖像效果"};
const char* const kQuality[5] = {"画质", "Quality", "Качество", "Chất lượng", "畫質"};
const char* const kTemperature[5] = {"色温", "Temperature", "Оттенок", "Độ màu", "色溫"};
} // namespace

ImageQuality::ImageQuality(QWidget* parent) : MenuPage(PageFocus::ImageQuality, "ImageQuality", parent)
{
    setTitle(QRect(50, 10, 220, 22), 12, kTitle);
    setEntries({{"Button_quality", QRect(15, 47, 90, 80), PageFocus::quality, nullptr, {}, kQuality, {}},
                {"Button_temperature", QRect(115, 47, 90, 80), PageFocus::temperature, nullptr, {}, kTemperature,
                 {}}},
               textEntryStyles());
    setEntryPointSize(9);
}

ImageQuality::~ImageQuality()
{
    clearInstancePointer();
}

void ImageQuality::clearInstancePointer()
{
    if (g_imagequality == this)
        g_imagequality = nullptr;
}
