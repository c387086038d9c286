#include "protocol/LineRecall.h"

#include <algorithm>

namespace kel::protocol {

bool LineRecall::Rank::outranks(const Rank& other) const
{
    return refused > other.refused || (refused == other.refused && refused > 0 && first < other.first);
}

LineRecall::Rank LineRecall::rankOf(const std::string& origin, uint16_t port) const
{
    const auto a = addresses_.find(origin);
    if (a == addresses_.end())
        return {};
    const auto s = a->second.senders.find(port);
    return s == a->second.senders.end() ? Rank{} : s->second.rank;
}

void LineRecall::refused(const std::string& origin, uint16_t port)
{
    const uint64_t now = ++order_;
    if (addresses_.find(origin) == addresses_.end() && addresses_.size() >= kAddresses)
        forgetOldestAddress();
    Address& a = addresses_[origin];
    a.last = now;
    auto s = a.senders.find(port);
    if (s == a.senders.end()) {
        if (a.senders.size() >= kPerAddress)
            forgetOldest(a);
        s = a.senders.emplace(port, Entry{Rank{0, now}, now}).first;
    }
    Entry& e = s->second;
    if (e.rank.refused < UINT32_MAX)
        ++e.rank.refused;
    e.last = now;
}

void LineRecall::tookLine(const std::string& origin, uint16_t port)
{
    const auto a = addresses_.find(origin);
    if (a == addresses_.end())
        return;
    const auto s = a->second.senders.find(port);
    if (s != a->second.senders.end())
        s->second.last = a->second.last = ++order_;
}

size_t LineRecall::recalled() const
{
    size_t n = 0;
    for (const auto& a : addresses_)
        n += a.second.senders.size();
    return n;
}

// The sender refused longest ago goes: a tool that keeps asking is refused
// again before the flood of its address pushes it out.
void LineRecall::forgetOldest(Address& a)
{
    const auto oldest = std::min_element(a.senders.begin(), a.senders.end(),
                                         [](const auto& x, const auto& y) { return x.second.last < y.second.last; });
    a.senders.erase(oldest);
}

void LineRecall::forgetOldestAddress()
{
    const auto oldest = std::min_element(addresses_.begin(), addresses_.end(),
                                         [](const auto& x, const auto& y) { return x.second.last < y.second.last; });
    addresses_.erase(oldest);
}

} // namespace kel::protocol
