#include "ledout/PcRequestSlot.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

bool overlap(uint8_t a, uint8_t b)
{
    return a == b || a == PcRequestSlot::kAllPorts || b == PcRequestSlot::kAllPorts;
}

// Where a port's turn numbers stand: ports 0-15, then all ports.
size_t turnIndex(uint8_t port) { return port == PcRequestSlot::kAllPorts ? PcRequestSlot::kPorts : port; }

// The last turn that reached port: its own or one for all ports; for all
// ports, any port's.
template <typename Turns>
uint64_t latestFor(const Turns& turns, uint8_t port)
{
    if (port == PcRequestSlot::kAllPorts)
        return *std::max_element(turns.begin(), turns.end());
    return std::max(turns[port], turns[PcRequestSlot::kPorts]);
}

} // namespace

PcRequestSlot::Claim PcRequestSlot::claim(const Tool& tool, uint8_t port, uint32_t now)
{
    forgetStale(now);
    settle(now);
    if (tool.ended && unansweredOf(tool.link, tool.sender) >= kEndedUnanswered) {
        leaveLine(tool.link, tool.sender);
        return Claim::Drop;
    }
    Request* r = request(port);
    if (!r) {
        // Goes nowhere: holds nothing, waits for nobody.
        leaveLine(tool.link, tool.sender);
        return Claim::Go;
    }
    const size_t me = asker(tool, port, now);
    if (!free(port, now) || !turnOf(me))
        return Claim::Wait;
    recordSent(line_[me], now);
    line_.erase(line_.begin() + std::ptrdiff_t(me));
    *r = Request{};
    r->taken = true;
    r->since = now;
    r->who = Requester{tool.link, tool.sender};
    r->ended = tool.ended;
    return Claim::Go;
}

void PcRequestSlot::sent(uint8_t port, uint8_t tag, uint8_t cmd, uint32_t now, uint8_t fallbackLink)
{
    Request* r = request(port);
    if (!r)
        return;
    if (port == kAllPorts) {
        for (Request& p : ports_)
            p = Request{};
    } else {
        all_ = Request{};
    }
    if (!r->taken)
        r->who = Requester{fallbackLink, {}};
    r->taken = r->open = true;
    r->counted = false;
    r->tag = tag;
    r->cmd = cmd;
    r->since = now;
}

void PcRequestSlot::dropped(uint8_t port) { forget(port); }

bool PcRequestSlot::matches(uint8_t port, uint8_t tag, uint8_t cmd) const
{
    const Request* r = request(port);
    return r && r->open && tag == r->tag && cmd == r->cmd;
}

PcRequestSlot::Requester PcRequestSlot::answered(uint8_t port)
{
    Request* r = request(port);
    if (!r)
        return {};
    Requester who = r->who;
    forget(port);
    setUnanswered(who, 0);
    return who;
}

const PcRequestSlot::Request* PcRequestSlot::request(uint8_t port) const
{
    return port == kAllPorts ? &all_ : port < kPorts ? &ports_[port] : nullptr;
}

PcRequestSlot::Request* PcRequestSlot::request(uint8_t port)
{
    return const_cast<Request*>(std::as_const(*this).request(port));
}

// A port is free when neither its own request nor one for all ports holds
// it; all ports are free when no port is held.
bool PcRequestSlot::free(uint8_t port, uint32_t now) const
{
    if (all_.held(now))
        return false;
    if (port != kAllPorts)
        return !ports_[port].held(now);
    return std::none_of(ports_.begin(), ports_.end(), [now](const Request& r) { return r.held(now); });
}

void PcRequestSlot::forget(uint8_t port)
{
    if (Request* r = request(port))
        *r = Request{};
}

// A tool whose link stopped asking (it went, or its request was dropped)
// gives up its place, so no port waits for it.
void PcRequestSlot::forgetStale(uint32_t now)
{
    line_.erase(std::remove_if(line_.begin(), line_.end(),
                               [now](const Asker& a) { return now - a.askedAt > kAskKeptTicks; }),
                line_.end());
}

// A request of a tool that had ended its sending whose wait ran out
// without an answer counts against it once; an answer, also a late one,
// clears the count, and so does the tool's leaving. Only tools that ended
// are counted: one-shot sockets asking silent cards never crowd out the
// count of a client that closed behind its requests.
void PcRequestSlot::settle(uint32_t now)
{
    const auto settleOne = [this, now](Request& r) {
        if (!r.open || !r.ended || r.counted || now - r.since <= kAnswerWaitTicks)
            return;
        r.counted = true;
        const uint8_t n = unansweredOf(r.who.link, r.who.sender);
        setUnanswered(r.who, n == 255 ? n : uint8_t(n + 1));
    };
    settleOne(all_);
    for (Request& r : ports_)
        settleOne(r);
}

uint8_t PcRequestSlot::unansweredOf(uint8_t link, const std::string& sender) const
{
    for (const Unanswered& u : unanswered_)
        if (u.who.link == link && u.who.sender == sender)
            return u.count;
    return 0;
}

void PcRequestSlot::setUnanswered(const Requester& who, uint8_t count)
{
    unanswered_.erase(std::remove_if(unanswered_.begin(), unanswered_.end(),
                                     [&who](const Unanswered& u) {
                                         return u.who.link == who.link && u.who.sender == who.sender;
                                     }),
                      unanswered_.end());
    if (count == 0)
        return;
    if (unanswered_.size() >= kMaxWaiting) {
        // Counts of tools no longer asking go first.
        const auto asking = [this](const Unanswered& u) {
            return std::any_of(line_.begin(), line_.end(), [&u](const Asker& a) {
                return a.tool.link == u.who.link && a.tool.sender == u.who.sender;
            });
        };
        const auto rank = [&](const Unanswered& u) { return 2 * asking(u) + (u.count >= kEndedUnanswered); };
        auto victim = unanswered_.begin();
        for (auto it = unanswered_.begin(); it != unanswered_.end() && rank(*victim) > 0; ++it)
            if (rank(*it) < rank(*victim))
                victim = it;
        unanswered_.erase(victim);
    }
    unanswered_.push_back(Unanswered{who, count});
}

// The asker's entry in the line, made at its end when it asks first. With
// the line full the newcomer takes the last place: it waits for the whole
// line.
size_t PcRequestSlot::asker(const Tool& tool, uint8_t port, uint32_t now)
{
    for (size_t i = 0; i < line_.size(); ++i) {
        Asker& a = line_[i];
        if (a.tool.link != tool.link || a.tool.sender != tool.sender)
            continue;
        // A one-shot tool that shows it asks again takes a place of its own
        // where a tool new to the port would stand now: the port of a closed
        // socket coming back with a request of its own looks the same, and
        // must not pass those who went since the first one asked.
        const bool turnsAgain = a.oneShot && tool.again;
        a.tool = tool;
        if (a.port != port || turnsAgain) {
            a.port = port;
            placeAsker(a, now);
        }
        a.askedAt = now;
        return i;
    }
    if (line_.size() >= kMaxWaiting)
        line_.pop_back();
    line_.push_back(Asker{tool, port, now, 0, false, false});
    placeAsker(line_.back(), now);
    return line_.size() - 1;
}

// A tool that sent to the port before stands where its last request there
// went. A tool new to it stands behind every place already waiting for the
// port and behind the port's last turn: the tools that keep asking each go
// once before it, and it goes before their next; a one-shot tool stands
// there only while its origin has no turn remembered at the port.
void PcRequestSlot::placeAsker(Asker& a, uint32_t now) const
{
    const uint64_t last = lastSentBy(a.tool.link, a.tool.sender, a.port, now);
    a.known = last != 0;
    a.oneShot = !a.known && !a.tool.again && lastSentBy(a.tool.link, a.tool.sender, kAllPorts, now) == 0;
    if (a.known) {
        a.place = 4 * last;
        return;
    }
    a.place = 4 * latestFor(lastTurn_, a.port) + 2;
    for (const Asker& other : line_)
        if (&other != &a && overlap(other.port, a.port))
            a.place = std::max(a.place, placeOf(other));
}

// The one-shot tools of an origin share the place of its last one-shot
// request to the port, just ahead of the tool that sent it: that tool's
// turn was theirs.
uint64_t PcRequestSlot::placeOf(const Asker& a) const
{
    if (!a.oneShot)
        return a.place;
    const Standing* origin = originStanding(a.tool.origin, a.port);
    return origin ? 4 * origin->turn - 1 : a.place;
}

// Of the places asking for the same port (a request for all ports wants
// every port), the one that stands first goes; of those equal, the one
// that asked first. An origin's one-shot tools go in the order they asked:
// the first of them stands for them all.
bool PcRequestSlot::turnOf(size_t me) const
{
    const Asker& m = line_[me];
    std::vector<std::pair<const std::string*, uint8_t>> origins;
    const auto firstOfOrigin = [&origins](const Asker& a) {
        if (!a.oneShot)
            return true;
        for (const auto& o : origins)
            if (o.second == a.port && *o.first == a.tool.origin)
                return false;
        origins.emplace_back(&a.tool.origin, a.port);
        return true;
    };
    const uint64_t mine = placeOf(m);
    for (size_t i = 0; i < line_.size(); ++i) {
        const Asker& a = line_[i];
        const bool first = firstOfOrigin(a);
        if (i == me) {
            if (!first)
                return false;
            continue;
        }
        if (!first || !overlap(a.port, m.port))
            continue;
        const uint64_t theirs = placeOf(a);
        if (theirs < mine || (theirs == mine && i < me))
            return false;
    }
    return true;
}

// The turn number of the last request of the tool (or origin) that reached
// port (one to all ports reached every port; for all ports, any of its
// requests), 0: none remembered, or a single one gone kOnceKnownTicks ago.
uint64_t PcRequestSlot::lastSentBy(uint8_t link, const std::string& name, uint8_t port, uint32_t now) const
{
    uint64_t last = 0;
    for (const Standing& s : standings_)
        if (s.link == link && s.name == name && overlap(s.port, port) &&
            (s.count > 1 || now - s.tick <= kOnceKnownTicks))
            last = std::max(last, s.turn);
    return last;
}

const PcRequestSlot::Standing* PcRequestSlot::originStanding(const std::string& origin, uint8_t port) const
{
    for (const Standing& s : origins_)
        if (s.port == port && s.name == origin)
            return &s;
    return nullptr;
}

void PcRequestSlot::recordSent(const Asker& a, uint32_t now)
{
    const uint64_t turn = ++turns_;
    remember(standings_, kMaxRemembered, a.tool.link, a.tool.sender, a.port, turn, now);
    if (a.oneShot)
        remember(origins_, kMaxOrigins, kOriginLink, a.tool.origin, a.port, turn, now);
    lastTurn_[turnIndex(a.port)] = turn;
}

// Newest at the back. Full, the oldest entry that counts one request goes
// first, else the oldest.
void PcRequestSlot::remember(std::deque<Standing>& list, size_t max, uint8_t link, const std::string& name,
                             uint8_t port, uint64_t turn, uint32_t now)
{
    uint32_t count = 1;
    auto it = std::find_if(list.begin(), list.end(), [&](const Standing& s) {
        return s.link == link && s.port == port && s.name == name;
    });
    if (it != list.end()) {
        count = it->count == UINT32_MAX ? it->count : it->count + 1;
        list.erase(it);
    }
    if (list.size() >= max) {
        auto once = std::find_if(list.begin(), list.end(), [](const Standing& s) { return s.count == 1; });
        list.erase(once != list.end() ? once : list.begin());
    }
    list.push_back(Standing{link, name, port, turn, count, now});
}

void PcRequestSlot::withdraw(uint8_t link, const std::string& sender)
{
    leaveLine(link, sender);
    setUnanswered(Requester{link, sender}, 0);
}

void PcRequestSlot::leaveLine(uint8_t link, const std::string& sender)
{
    line_.erase(std::remove_if(line_.begin(), line_.end(),
                               [&](const Asker& a) { return a.tool.link == link && a.tool.sender == sender; }),
                line_.end());
}

bool PcRequestSlot::holds(uint8_t link, const std::string& sender, uint32_t now) const
{
    const auto mine = [&](const Request& r) { return r.held(now) && r.who.link == link && r.who.sender == sender; };
    return mine(all_) || std::any_of(ports_.begin(), ports_.end(), mine);
}
