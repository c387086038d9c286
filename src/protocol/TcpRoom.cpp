#include "protocol/TcpRoom.h"

#include <algorithm>
#include <map>
#include <set>

namespace kel::protocol {

TcpRoom::Choice TcpRoom::choose(const std::vector<Member>& members, size_t newcomer)
{
    std::map<uint32_t, size_t> counts;
    for (const Member& m : members)
        ++counts[m.pc];
    const uint32_t own = members[newcomer].pc;
    size_t most = 0;
    for (const auto& entry : counts)
        most = std::max(most, entry.second);
    const bool ownGives = counts[own] == most;
    const bool anyPc = ownGives && most == 1;
    const std::set<uint32_t> bursts = anyPc ? std::set<uint32_t>{} : silentBursts(members, newcomer);
    const bool reclaims = anyPc && !anySilentYoung(members, newcomer);
    const auto classOfIt = [&](const Member& m) { return classOf(m, anyPc, bursts.count(m.pc) > 0); };
    const Member* first = nullptr;
    size_t index = newcomer;
    for (size_t i = 0; i < members.size(); ++i) {
        const Member& m = members[i];
        const bool gives = anyPc ? givesToAnyPc(m, reclaims) : ownGives ? m.pc == own : counts[m.pc] == most;
        if (i != newcomer && gives && (!first || before(m, classOfIt(m), *first, classOfIt(*first)))) {
            first = &m;
            index = i;
        }
    }
    return Choice{index, first ? classOfIt(*first) : Why::Refused};
}

// The PCs whose connections silent in their first second outnumber their
// others, the newcomer left out.
std::set<uint32_t> TcpRoom::silentBursts(const std::vector<Member>& members, size_t newcomer)
{
    std::map<uint32_t, int> balance;
    for (size_t i = 0; i < members.size(); ++i)
        if (i != newcomer)
            balance[members[i].pc] += silentYoung(members[i]) ? 1 : -1;
    std::set<uint32_t> bursts;
    for (const auto& entry : balance)
        if (entry.second > 0)
            bursts.insert(entry.first);
    return bursts;
}

bool TcpRoom::refusesNewPc(const std::vector<Member>& members, size_t bound)
{
    if (members.size() < bound)
        return false;
    std::map<uint32_t, size_t> counts;
    for (const Member& m : members)
        if (++counts[m.pc] > 1)
            return false;
    const bool reclaims = !anySilentYoung(members, members.size());
    return std::none_of(members.begin(), members.end(), [reclaims](const Member& m) { return givesToAnyPc(m, reclaims); });
}

// Connections silent in their first second, the newcomer left out: one of
// them gives way sooner than an idle keep-alive is reclaimed.
bool TcpRoom::anySilentYoung(const std::vector<Member>& members, size_t newcomer)
{
    for (size_t i = 0; i < members.size(); ++i)
        if (i != newcomer && silentYoung(members[i]))
            return true;
    return false;
}

bool TcpRoom::silentYoung(const Member& m) { return !m.spoke && m.age < kFirstSecond; }

// A flooder stands with the idle only against other PCs: a batch tool
// floods too until its first answer, and its own PC's closers must not
// close it. A burst of silent connects stands with the idle too: a PC's
// silent connections cannot push out its own clients that spoke.
TcpRoom::Why TcpRoom::classOf(const Member& m, bool acrossPcs, bool silentBurst)
{
    if ((acrossPcs && m.floods) || (!m.spoke && (m.age >= kFirstSecond || silentBurst)))
        return Why::Idle;
    if (!m.spoke)
        return Why::FirstSecond;
    if (m.owed)
        return m.ended ? Why::Ended : Why::Sending;
    return Why::OwedNothing;
}

// Out of its conversation: every connection's first second is its own, and
// a client owed answers has them unless it ended its sending. A client owed
// nothing and unheard for kIdleQuiet is reclaimed only when reclaims.
bool TcpRoom::givesToAnyPc(const Member& m, bool reclaims)
{
    return m.age >= kFirstSecond &&
           (m.floods || !m.spoke || m.ended || (reclaims && !m.owed && m.quiet >= kIdleQuiet));
}

// The classes in the order of Why; inside one the oldest first, but of
// those owed nothing the one heard from longest ago, and of those and the
// clients still sending the newest.
bool TcpRoom::before(const Member& a, Why wa, const Member& b, Why wb)
{
    if (wa != wb)
        return wa < wb;
    if (wa == Why::OwedNothing && a.quiet != b.quiet)
        return a.quiet > b.quiet;
    if (wa == Why::OwedNothing || wa == Why::Sending)
        return a.accepted > b.accepted;
    return a.accepted < b.accepted;
}

const char* TcpRoom::text(Why why)
{
    switch (why) {
    case Why::Idle: return "sent nothing or floods, oldest";
    case Why::OwedNothing: return "owed nothing, heard from longest ago";
    case Why::Ended: return "ended its sending, oldest";
    case Why::Sending: return "still sending, newest";
    case Why::FirstSecond: return "in its first second, oldest";
    case Why::Refused: return "refused: every PC holds one";
    }
    return "";
}

} // namespace kel::protocol
