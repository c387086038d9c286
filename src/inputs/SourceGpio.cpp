#include "inputs/SourceGpio.h"

#include "ledout/fpga_manage.h"

#include "platform/Board.h"
#include "platform/RegisterWindow.h"

SourceGpio::SourceGpio() = default;
SourceGpio::~SourceGpio() = default;

void SourceGpio::write(uint32_t offset, uint16_t value)
{
    if (writer_) {
        writer_(offset, value);
        return;
    }
    if (GpioWord* word = managerWord(offset)) {
        word->store(value);
        return;
    }
    if (!window_) {
        window_ = kel::platform::Board::newRegisterWindow();
        if (window_ && !window_->open())
            window_.reset();
    }
    if (window_)
        window_->write16(offset, value);
}

GpioWord* SourceGpio::managerWord(uint32_t offset)
{
    fpga_manage* m = fpga_manage::p_fpga_manage;
    if (!m)
        return nullptr;
    GpioWord* const words[] = {&m->gpio.gpio_it6602_reset, &m->gpio.gpio_it6805_reset, &m->gpio.gpio_edid_wp,
                               &m->gpio.gpio_gs2971_reset, &m->gpio.gpio_fpga0_reset, &m->gpio.gpio_fpga1_reset,
                               &m->gpio.gpio_sdi_enable};
    for (GpioWord* w : words)
        if (w->bound() && w->offset() == offset)
            return w;
    return nullptr;
}

void SourceGpio::setWriter(Writer writer) { writer_ = std::move(writer); }
