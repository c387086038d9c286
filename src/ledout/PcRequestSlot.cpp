#include "ledout/PcRequestSlot.h"

bool PcRequestSlot::claim(uint8_t link, uint32_t now)
{
    const size_t l = link % kLinks;
    if (held(now) || otherTurnFirst(link, now)) {
        asked_[l] = true;
        askedAt_[l] = now;
        return false;
    }
    asked_[l] = false;
    last_ = link;
    taken_ = true;
    open_ = false;
    since_ = now;
    return true;
}

void PcRequestSlot::sent(uint8_t tag, uint8_t cmd, uint8_t port, uint32_t now)
{
    taken_ = open_ = true;
    tag_ = tag;
    cmd_ = cmd;
    port_ = port;
    since_ = now;
}

void PcRequestSlot::dropped() { taken_ = open_ = false; }

bool PcRequestSlot::matches(uint8_t tag, uint8_t cmd, uint8_t port) const
{
    return open_ && tag == tag_ && cmd == cmd_ && port == port_;
}

void PcRequestSlot::answered() { taken_ = open_ = false; }

bool PcRequestSlot::held(uint32_t now) const { return taken_ && now - since_ <= kAnswerWaitTicks; }

// The links take turns in the order of their numbers, starting after the
// one that sent last.
bool PcRequestSlot::otherTurnFirst(uint8_t link, uint32_t now) const
{
    for (size_t i = 1; i <= kLinks; ++i) {
        const size_t l = (last_ + i) % kLinks;
        if (l == link % kLinks)
            return false;
        if (asked_[l] && now - askedAt_[l] <= kAskKeptTicks)
            return true;
    }
    return false;
}
