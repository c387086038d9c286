#include "protocol/LineRecall.h"

#include <algorithm>
#include <map>

namespace kel::protocol {

uint32_t LineRecall::note(uint32_t address, uint16_t port, uint32_t now)
{
    forgetSilent(now);
    const uint64_t key = uint64_t(address) << 16 | port;
    const auto it = senders_.find(key);
    if (it == senders_.end()) {
        if (senders_.size() < kSenders) {
            senders_.emplace(key, Sender{now, 1});
            order_.emplace_back(key, now);
        }
        return 0;
    }
    Sender& s = it->second;
    // Silent too long (not yet forgotten, being queued behind a newer one).
    const uint32_t before = now - s.last > kForgetTicks ? 0 : s.tries;
    s.last = now;
    s.tries = before == UINT32_MAX ? before : before + 1;
    return before;
}

// A sender asking again stays where it was queued until it reaches the
// front, then goes to the back as of its last try: each sender is queued
// once, so the queue never outgrows the senders remembered.
void LineRecall::forgetSilent(uint32_t now)
{
    while (!order_.empty() && now - order_.front().second > kForgetTicks) {
        const uint64_t key = order_.front().first;
        order_.pop_front();
        const auto it = senders_.find(key);
        if (now - it->second.last > kForgetTicks)
            senders_.erase(it);
        else
            order_.emplace_back(key, it->second.last);
    }
}

int LineRecall::lineToTake(const std::vector<Held>& lines, uint32_t address, uint32_t standing)
{
    std::map<uint32_t, size_t> held;
    for (const Held& l : lines)
        ++held[l.address];
    const size_t mine = held[address];
    size_t most = 0;
    for (const auto& h : held)
        most = std::max(most, h.second);
    const bool fromRichest = mine + 1 < most;
    int best = -1;
    for (size_t i = 0; i < lines.size(); ++i) {
        const bool candidate = fromRichest ? held[lines[i].address] == most : lines[i].address == address;
        if (candidate && (best < 0 || lines[i].claim <= lines[size_t(best)].claim))
            best = int(i);
    }
    if (best >= 0 && !fromRichest && standing <= lines[size_t(best)].claim)
        return -1;
    return best;
}

} // namespace kel::protocol
