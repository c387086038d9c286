#include "protocol/FrameAssembler.h"

#include "protocol/protocol_phy.h"

namespace kel::protocol {

FrameAssembler::FrameAssembler(size_t cap)
    : cap_(cap < 4 ? 4 : cap)
{
    buf_.reserve(64);
}

void FrameAssembler::reset()
{
    buf_.clear();
    state_ = State::Hunt;
}

void FrameAssembler::feed(const uint8_t* data, size_t n, const Sink& sink)
{
    for (size_t i = 0; i < n; ++i)
        take(data[i], sink);
}

void FrameAssembler::take(uint8_t b, const Sink& sink)
{
    if (b == protocol_phy::kPreamble) {
        if (state_ == State::Body)
            ++dropped_;
        if (state_ != State::Preamble) {
            buf_.clear();
            buf_.push_back(b);
        }
        state_ = State::Preamble;
        return;
    }
    if (state_ == State::Hunt)
        return;
    if (buf_.size() + 1 > cap_) {
        ++dropped_;
        reset();
        return;
    }
    buf_.push_back(b);
    state_ = State::Body;
    if (b == protocol_phy::kEnd) {
        sink(buf_.data(), buf_.size());
        reset();
    }
}

} // namespace kel::protocol
