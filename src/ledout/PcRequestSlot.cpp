#include "ledout/PcRequestSlot.h"

#include <algorithm>

bool PcRequestSlot::claim(uint8_t link, const std::string& sender, uint32_t now)
{
    forgetStale(now);
    const size_t me = asker(link, sender, now);
    if (held(now) || !turnOf(me))
        return false;
    recordSent(line_[me]);
    line_.erase(line_.begin() + std::ptrdiff_t(me));
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

// The asker's entry in the line, made at its end when it asks first. With
// the line full the newcomer gets a place of its own in the back row: it
// waits for the whole line.
size_t PcRequestSlot::asker(uint8_t link, const std::string& sender, uint32_t now)
{
    for (size_t i = 0; i < line_.size(); ++i) {
        if (line_[i].link == link && line_[i].sender == sender) {
            line_[i].askedAt = now;
            return i;
        }
    }
    if (line_.size() >= kMaxWaiting)
        line_.pop_back();
    line_.push_back(Asker{link, sender, now, lastSentBy(link, sender)});
    return line_.size() - 1;
}

// First goes the asker whose last request went longest ago; of those
// equal, the one that asked first.
bool PcRequestSlot::turnOf(size_t me) const
{
    for (size_t i = 0; i < line_.size(); ++i)
        if (i != me && (line_[i].lastSent < line_[me].lastSent || (i < me && line_[i].lastSent == line_[me].lastSent)))
            return false;
    return true;
}

uint64_t PcRequestSlot::lastSentBy(uint8_t link, const std::string& sender) const
{
    for (const Asker& a : sent_)
        if (a.link == link && a.sender == sender)
            return a.lastSent;
    return 0;
}

void PcRequestSlot::recordSent(const Asker& me)
{
    sent_.erase(std::remove_if(sent_.begin(), sent_.end(),
                               [&me](const Asker& a) { return a.link == me.link && a.sender == me.sender; }),
                sent_.end());
    if (sent_.size() >= kMaxWaiting)
        sent_.pop_front();
    Asker a = me;
    a.lastSent = ++turns_;
    sent_.push_back(a);
}
