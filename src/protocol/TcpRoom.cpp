#include "protocol/TcpRoom.h"

#include <algorithm>
#include <map>

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
    const Member* first = nullptr;
    size_t index = newcomer;
    for (size_t i = 0; i < members.size(); ++i) {
        const Member& m = members[i];
        const bool gives = anyPc ? givesToAnyPc(m) : ownGives ? m.pc == own : counts[m.pc] == most;
        if (i != newcomer && gives && (!first || before(m, *first, anyPc))) {
            first = &m;
            index = i;
        }
    }
    return Choice{index, first ? classOf(*first, anyPc) : Why::Refused};
}

// A flooder stands with the idle only against other PCs: a batch tool
// floods too until its first answer, and its own PC's closers must not
// close it.
TcpRoom::Why TcpRoom::classOf(const Member& m, bool acrossPcs)
{
    if ((acrossPcs && m.floods) || (!m.spoke && m.age >= kFirstSecond))
        return Why::Idle;
    if (!m.spoke)
        return Why::FirstSecond;
    if (m.owed)
        return m.ended ? Why::Ended : Why::Sending;
    return Why::OwedNothing;
}

// A connection in its first second stands with the clients that ended,
// the oldest first: it goes only after every one of its PC that ended
// before it came.
int TcpRoom::rank(Why why)
{
    switch (why) {
    case Why::Idle: return 0;
    case Why::Ended:
    case Why::FirstSecond: return 1;
    case Why::OwedNothing: return 2;
    default: return 3;
    }
}

// Every PC holds one: nobody's conversation is cut for another PC, but a
// connection that stopped sending, or one that spoke in its first second
// and was taken after the others (the newcomer before this one: last in,
// first out), may go.
bool TcpRoom::givesToAnyPc(const Member& m)
{
    const Why why = classOf(m, true);
    return why == Why::Idle || why == Why::Ended || (why == Why::Sending && m.age < kFirstSecond);
}

bool TcpRoom::before(const Member& a, const Member& b, bool acrossPcs)
{
    const int ra = rank(classOf(a, acrossPcs)), rb = rank(classOf(b, acrossPcs));
    if (ra != rb)
        return ra < rb;
    if (ra < 2)
        return a.accepted < b.accepted;
    if (ra == 2 && a.quiet != b.quiet)
        return a.quiet > b.quiet;
    return a.accepted > b.accepted;
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
