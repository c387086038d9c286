#include "ledout/PcRequestSlot.h"

#include <algorithm>
#include <utility>

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

// A tool's place in line beside another: whether it ended its sending,
// then the place of its last turn.
using Rank = std::pair<bool, uint64_t>;

} // namespace

bool PcRequestSlot::claim(uint8_t link, const std::string& sender, uint8_t port, uint32_t now, bool ended)
{
    forgetStale(now);
    Request* r = request(port);
    if (!r) {
        // Goes nowhere: holds nothing, waits for nobody.
        withdraw(link, sender);
        return true;
    }
    const size_t me = asker(link, sender, port, now, ended);
    if (!free(port, now) || !turnOf(me))
        return false;
    recordSent(line_[me]);
    line_.erase(line_.begin() + std::ptrdiff_t(me));
    *r = Request{};
    r->taken = true;
    r->since = now;
    r->who = Requester{link, sender};
    return true;
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

// The asker's entry in the line, made at its end when it asks first. With
// the line full the newcomer takes the last place: it waits for the whole
// line.
size_t PcRequestSlot::asker(uint8_t link, const std::string& sender, uint8_t port, uint32_t now, bool ended)
{
    for (size_t i = 0; i < line_.size(); ++i) {
        Asker& a = line_[i];
        if (a.link == link && a.sender == sender) {
            if (a.port != port) {
                a.port = port;
                placeAsker(a);
            }
            a.askedAt = now;
            a.ended = ended;
            return i;
        }
    }
    if (line_.size() >= kMaxWaiting)
        line_.pop_back();
    line_.push_back(Asker{link, sender, port, now, 0, false, ended});
    placeAsker(line_.back());
    return line_.size() - 1;
}

// A tool that sent to the port before stands where its last request there
// went. A tool new to the port stands behind every tool already waiting
// for it (and behind the port's last turn), but ahead of the tool that
// sent last.
void PcRequestSlot::placeAsker(Asker& a) const
{
    const uint64_t last = lastSentBy(a.link, a.sender, a.port);
    a.known = last != 0;
    if (a.known) {
        a.place = 2 * last;
        return;
    }
    const uint64_t portLast = latestFor(lastTurn_, a.port);
    a.place = portLast ? 2 * portLast - 1 : 0;
    for (const Asker& other : line_)
        if (&other != &a && overlap(other.port, a.port))
            a.place = std::max(a.place, placeOf(other));
    if (turns_)
        a.place = std::min(a.place, 2 * turns_ - 1);
}

// The tools new to a port share one turn: once one of them has gone, the
// others stand just ahead of where its request went, behind every tool
// whose last request went before it.
uint64_t PcRequestSlot::placeOf(const Asker& a) const
{
    const uint64_t newLast = latestFor(newTurn_, a.port);
    return a.known || !newLast ? a.place : std::max(a.place, 2 * newLast - 1);
}

// Of the askers for the same port (a request for all ports wants every
// port), first goes one that has not ended its sending, then the one that
// stands first; of those equal, the one that asked first.
bool PcRequestSlot::turnOf(size_t me) const
{
    const Asker& m = line_[me];
    const Rank mine{m.ended, placeOf(m)};
    for (size_t i = 0; i < line_.size(); ++i) {
        const Asker& a = line_[i];
        if (i == me || !overlap(a.port, m.port))
            continue;
        const Rank theirs{a.ended, placeOf(a)};
        if (theirs < mine || (theirs == mine && i < me))
            return false;
    }
    return true;
}

// The turn number of the tool's last request that reached port (one to
// all ports reached every port; for all ports, any of its requests), 0:
// none remembered.
uint64_t PcRequestSlot::lastSentBy(uint8_t link, const std::string& sender, uint8_t port) const
{
    uint64_t last = 0;
    for (const Sent& s : sent_)
        if (s.link == link && s.sender == sender && overlap(s.port, port))
            last = std::max(last, s.turn);
    return last;
}

void PcRequestSlot::recordSent(const Asker& me)
{
    const uint64_t turn = ++turns_;
    sent_.erase(std::remove_if(sent_.begin(), sent_.end(),
                               [&me](const Sent& s) {
                                   return s.link == me.link && s.sender == me.sender && s.port == me.port;
                               }),
                sent_.end());
    if (sent_.size() >= kMaxRemembered)
        sent_.pop_front();
    sent_.push_back(Sent{me.link, me.sender, me.port, turn});
    lastTurn_[turnIndex(me.port)] = turn;
    if (!me.known)
        newTurn_[turnIndex(me.port)] = turn;
}

void PcRequestSlot::withdraw(uint8_t link, const std::string& sender)
{
    line_.erase(std::remove_if(line_.begin(), line_.end(),
                               [&](const Asker& a) { return a.link == link && a.sender == sender; }),
                line_.end());
}

bool PcRequestSlot::holds(uint8_t link, const std::string& sender, uint32_t now) const
{
    const auto mine = [&](const Request& r) { return r.held(now) && r.who.link == link && r.who.sender == sender; };
    return mine(all_) || std::any_of(ports_.begin(), ports_.end(), mine);
}
