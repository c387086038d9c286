#include "inputs/SourceGpio.h"

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
    if (!window_) {
        window_ = kel::platform::Board::newRegisterWindow();
        if (window_ && !window_->open())
            window_.reset();
    }
    if (window_)
        window_->write16(offset, value);
}

void SourceGpio::setWriter(Writer writer) { writer_ = std::move(writer); }
