#include "protocol/LineRecall.h"

#include <algorithm>
#include <map>

namespace kel::protocol {

LineRecall::Twice* LineRecall::twiceOf(uint32_t address, uint16_t port)
{
    const auto a = twice_.find(address);
    if (a == twice_.end())
        return nullptr;
    const auto s = a->second.senders.find(port);
    return s == a->second.senders.end() ? nullptr : &s->second;
}

uint32_t LineRecall::note(uint32_t address, uint16_t port, uint32_t now)
{
    const uint64_t seen = ++order_;
    if (Twice* t = twiceOf(address, port)) {
        t->seen = twice_[address].seen = seen;
        return t->since;
    }
    const uint64_t key = keyOf(address, port);
    const auto o = once_.find(key);
    if (o != once_.end()) {
        const uint32_t since = o->second.since;
        once_.erase(o);   // its place in onceOrder_ goes stale
        keepTwice(address, port, since);
        return since;
    }
    // The oldest go, and stale places with them; the places never pile up
    // past twice the store.
    while (!onceOrder_.empty() && (once_.size() >= kOnce || onceOrder_.size() >= 2 * kOnce)) {
        const auto front = onceOrder_.front();
        onceOrder_.pop_front();
        const auto f = once_.find(front.first);
        if (f != once_.end() && f->second.order == front.second)
            once_.erase(f);
    }
    once_.emplace(key, Once{now, seen});
    onceOrder_.emplace_back(key, seen);
    return now;
}

void LineRecall::keepTwice(uint32_t address, uint16_t port, uint32_t since)
{
    const uint64_t seen = order_;
    if (twice_.find(address) == twice_.end() && twice_.size() >= kAddresses)
        twice_.erase(std::min_element(twice_.begin(), twice_.end(), [](const auto& x, const auto& y) {
                         return x.second.seen < y.second.seen;
                     }));
    Address& a = twice_[address];
    if (a.senders.size() >= kPerAddress)
        a.senders.erase(std::min_element(a.senders.begin(), a.senders.end(), [](const auto& x, const auto& y) {
            return x.second.seen < y.second.seen;
        }));
    a.senders[port] = Twice{since, seen};
    a.seen = seen;
}

void LineRecall::had(uint32_t address, uint16_t port, uint32_t now)
{
    if (Twice* t = twiceOf(address, port)) {
        t->since = now;
        return;
    }
    const auto o = once_.find(keyOf(address, port));
    if (o != once_.end())
        o->second.since = now;
}

size_t LineRecall::recalled() const
{
    size_t n = once_.size();
    for (const auto& a : twice_)
        n += a.second.senders.size();
    return n;
}

int LineRecall::lineToTake(const std::vector<Held>& lines, uint32_t address, uint32_t gone)
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
    if (best >= 0 && !fromRichest && gone <= lines[size_t(best)].claim)
        return -1;
    return best;
}

} // namespace kel::protocol
