#include "ledout/PcRequestSlot.h"

#include <algorithm>

bool PcRequestSlot::claim(uint8_t link, const std::string& sender, uint32_t now)
{
    forgetStale(now);
    const bool first = line_.empty() || (line_.front().link == link && line_.front().sender == sender);
    if (held(now) || !first) {
        wait(link, sender, now);
        return false;
    }
    if (!line_.empty())
        line_.pop_front();
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

// A tool whose link stopped asking (it went, or its request was dropped)
// gives up its place, so the path never waits for it.
void PcRequestSlot::forgetStale(uint32_t now)
{
    line_.erase(std::remove_if(line_.begin(), line_.end(),
                               [now](const Asker& a) { return now - a.askedAt > kAskKeptTicks; }),
                line_.end());
}

void PcRequestSlot::wait(uint8_t link, const std::string& sender, uint32_t now)
{
    for (Asker& a : line_) {
        if (a.link == link && a.sender == sender) {
            a.askedAt = now;
            return;
        }
    }
    if (line_.size() < kMaxWaiting)
        line_.push_back(Asker{link, sender, now});
}
