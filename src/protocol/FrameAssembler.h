#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace kel::protocol {

// Cuts a byte stream (TCP, serial, or the datagrams of one UDP sender)
// into wire frames. Bytes before a preamble are ignored; a new preamble
// inside a frame starts over (0xA5 never appears raw in a body); a frame
// that grows past the cap is dropped. Memory never exceeds the cap.
class FrameAssembler {
public:
    using Sink = std::function<void(const uint8_t* wire, size_t len)>;

    explicit FrameAssembler(size_t cap);

    // Feeds received bytes; sink gets each complete frame (one 0xA5, the
    // escaped body, 0x5A).
    void feed(const uint8_t* data, size_t n, const Sink& sink);
    void reset();
    size_t buffered() const { return buf_.size(); }
    size_t dropped() const { return dropped_; }

private:
    enum class State { Hunt, Preamble, Body };
    void take(uint8_t b, const Sink& sink);

    size_t cap_;
    State state_ = State::Hunt;
    std::vector<uint8_t> buf_;
    size_t dropped_ = 0;
};

} // namespace kel::protocol
