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

} // namespace

PcRequestSlot::Claim PcRequestSlot::claim(const Tool& tool, uint8_t port, uint32_t now)
{
    ++lineSeen_;
    forgetStale(now);
    settle(now);
    Request* r = request(port);
    if (!r) {
        // Goes nowhere: holds nothing, waits for nobody.
        leaveLine(tool.link, tool.sender);
        return Claim::Go;
    }
    if (tool.ended || tool.floods)
        yieldHeld(tool, now);
    if (tool.ended && unansweredOf(Requester{tool.link, tool.sender}, port) >= kUnansweredInARow) {
        leaveLine(tool.link, tool.sender);
        return Claim::Drop;
    }
    const size_t me = asker(tool, port, now);
    ++lineSeen_;
    if (!free(port, tool, now) || !turnOf(me, now))
        return Claim::Wait;
    recordSent(line_[me], now);
    line_.erase(line_.begin() + std::ptrdiff_t(me));
    replace(port);
    r->taken = true;
    r->since = now;
    r->who = Requester{tool.link, tool.sender};
    r->yields = tool.ended || tool.floods;
    return Claim::Go;
}

// A client that writes its requests and ends its sending at once may send
// the first before its end shows: its requests out yield from when it does.
void PcRequestSlot::yieldHeld(const Tool& tool, uint32_t now)
{
    const auto mine = [&](Request& r) {
        if (r.held(now) && r.who.link == tool.link && r.who.sender == tool.sender)
            r.yields = true;
    };
    mine(all_);
    std::for_each(ports_.begin(), ports_.end(), mine);
}

void PcRequestSlot::sent(uint8_t port, uint8_t tag, uint8_t cmd, uint32_t now, uint8_t fallbackLink)
{
    Request* r = request(port);
    if (!r)
        return;
    if (port == kAllPorts) {
        for (uint8_t p = 0; p < kPorts; ++p)
            replace(p);
    } else {
        replace(kAllPorts);
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

void PcRequestSlot::unmatched(uint8_t port, uint8_t tag, uint8_t cmd, uint32_t now)
{
    if (!request(port))
        return;
    Replaced& late = replaced_[turnIndex(port)];
    if (!late.open || tag != late.tag || cmd != late.cmd)
        return;
    late.open = false;
    noteAnswerTime(port, now - late.since);
}

PcRequestSlot::Requester PcRequestSlot::answered(uint8_t port, uint32_t now)
{
    Request* r = request(port);
    if (!r)
        return {};
    if (r->open)
        noteAnswerTime(port, now - r->since);
    Requester who = r->who;
    forget(port);
    setUnanswered(who, port, 0);
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

// A port is free for a tool when neither its own request nor one for all
// ports holds it; all ports are free when no port is held. A yielding
// request holds against its own tool only, once the port's cards had the
// time they take to answer.
bool PcRequestSlot::free(uint8_t port, const Tool& tool, uint32_t now) const
{
    const auto holdsBack = [&](const Request& r, uint8_t p) {
        return r.held(now) && (!r.yields || now - r.since < yieldAfter(p) ||
                               (r.who.link == tool.link && r.who.sender == tool.sender));
    };
    if (holdsBack(all_, kAllPorts))
        return false;
    if (port != kAllPorts)
        return !holdsBack(ports_[port], port);
    for (uint8_t p = 0; p < kPorts; ++p)
        if (holdsBack(ports_[p], p))
            return false;
    return true;
}

// Twice the slowest of the port's last answers: a live answer of a
// yielding request is still handed over, also on a loaded machine, while a
// silent card holds the others little longer than its port's live ones
// take. With none on record yet, a hold: its cards may be slow ones.
uint32_t PcRequestSlot::yieldAfter(uint8_t port) const
{
    const AnswerTimes& t = answerTimes_[turnIndex(port)];
    if (!t.any)
        return kAnswerWaitTicks;
    const uint32_t slowest = *std::max_element(t.ticks.begin(), t.ticks.end());
    return std::clamp<uint32_t>(2 * slowest, kYieldAfterTicks, kAnswerWaitTicks);
}

void PcRequestSlot::noteAnswerTime(uint8_t port, uint32_t ticks)
{
    AnswerTimes& t = answerTimes_[turnIndex(port)];
    t.ticks[t.next] = uint8_t(std::min<uint32_t>(ticks, kAnswerWaitTicks));
    t.next = uint8_t((t.next + 1) % t.ticks.size());
    t.any = true;
}

void PcRequestSlot::forget(uint8_t port)
{
    if (Request* r = request(port))
        *r = Request{};
}

// A yielding request replaced before its answer came went unanswered.
void PcRequestSlot::replace(uint8_t port)
{
    Request& r = *request(port);
    countSilence(r, port);
    if (r.open)
        replaced_[turnIndex(port)] = Replaced{true, r.tag, r.cmd, r.since};
    r = Request{};
}

// A tool whose link stopped asking without withdrawing it gives up its
// place, so no port waits for it longer than for a silent card. A link
// late by less than a hold keeps it.
void PcRequestSlot::forgetStale(uint32_t now)
{
    line_.erase(std::remove_if(line_.begin(), line_.end(),
                               [now](const Asker& a) { return now - a.askedAt > kAnswerWaitTicks; }),
                line_.end());
}

// A request whose wait ran out without an answer, or that was replaced
// while it yielded, counts once against its sender at its port when the
// sender had ended its sending or flooded; an answer there, also a late
// one, clears the count, and so does the tool's leaving. Other tools'
// silence is not counted: one-shot sockets asking silent cards never
// crowd out the count of a client that closed.
void PcRequestSlot::settle(uint32_t now)
{
    const auto settleOne = [this, now](Request& r, uint8_t port) {
        if (now - r.since > kAnswerWaitTicks)
            countSilence(r, port);
    };
    settleOne(all_, kAllPorts);
    for (uint8_t p = 0; p < kPorts; ++p)
        settleOne(ports_[p], p);
}

void PcRequestSlot::countSilence(Request& r, uint8_t port)
{
    if (!r.open || !r.yields || r.counted)
        return;
    r.counted = true;
    const uint8_t n = unansweredOf(r.who, port);
    setUnanswered(r.who, port, n == 255 ? n : uint8_t(n + 1));
}

uint8_t PcRequestSlot::unansweredOf(const Requester& who, uint8_t port) const
{
    for (const Unanswered& u : unanswered_)
        if (u.port == port && u.who.link == who.link && u.who.sender == who.sender)
            return u.count;
    return 0;
}

void PcRequestSlot::setUnanswered(const Requester& who, uint8_t port, uint8_t count)
{
    unanswered_.erase(std::remove_if(unanswered_.begin(), unanswered_.end(),
                                     [&](const Unanswered& u) {
                                         return u.port == port && u.who.link == who.link && u.who.sender == who.sender;
                                     }),
                      unanswered_.end());
    if (count == 0)
        return;
    if (unanswered_.size() >= kMaxWaiting) {
        // Counts of tools no longer asking go first, then counts short of
        // the limit.
        const auto asking = [this](const Unanswered& u) {
            return std::any_of(line_.begin(), line_.end(), [&u](const Asker& a) {
                return a.tool.link == u.who.link && a.tool.sender == u.who.sender;
            });
        };
        const auto rank = [&](const Unanswered& u) { return 2 * asking(u) + (u.count >= kUnansweredInARow); };
        auto victim = unanswered_.begin();
        for (auto it = unanswered_.begin(); it != unanswered_.end() && rank(*victim) > 0; ++it)
            if (rank(*it) < rank(*victim))
                victim = it;
        unanswered_.erase(victim);
    }
    unanswered_.push_back(Unanswered{who, port, count});
}

bool PcRequestSlot::standsAside(const Asker& a, uint32_t now) const
{
    const auto own = [&](const Request& r) {
        return r.held(now) && r.yields && r.who.link == a.tool.link && r.who.sender == a.tool.sender;
    };
    if (own(all_))
        return true;
    if (a.port == kAllPorts)
        return std::any_of(ports_.begin(), ports_.end(), own);
    return own(ports_[a.port]);
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
        // A one-shot tool that turns out to ask again takes a place of its
        // own where a tool new to the port would stand now; one seen to end
        // its sending while it waits stands with its origin's one-shots.
        const bool turnsAgain = a.standing == Standing::OneShot && tool.again && !tool.ended;
        const bool ends = tool.ended && !a.tool.ended;
        a.tool = tool;
        const bool moved = a.port != port;
        a.port = port;
        if (moved || turnsAgain || ends)
            place(a, moved);
        a.askedAt = now;
        return i;
    }
    if (line_.size() >= kMaxWaiting)
        line_.pop_back();
    line_.push_back(Asker{tool, port, now, ++asks_, Standing::OneShot, 0, 0, 0, 0});
    place(line_.back(), true);
    return line_.size() - 1;
}

// Where an asker stands, on its origin's account and on its own. New to
// the port, an origin stands behind every other origin waiting and behind
// the port's last turn (newOrigin; while another of its tools waits there,
// the origin keeps the place it had: newPlace); a tool behind its origin's
// tools waiting and behind its origin's last turn there. A new socket on the port number of one that
// sent there once stands so too, so the system's reuse of port numbers
// never lets it pass its origin's tools. What a tool's own record says
// does not change while it waits: a tool's turn comes only when it goes.
// A tool that turns out to ask again moves only among its origin's.
void PcRequestSlot::place(Asker& a, bool origin) const
{
    a.seen = UINT64_MAX;
    const Turn* own = lastTurn(a.tool.link, a.tool.sender, a.port);
    a.ownTurn = own ? own->turn : 0;
    // Until a tool has sent to the port (or one overlapping it) twice it
    // stands with its origin's one-shots, unless it is a client still
    // sending or has another request for the port queued: a new socket on
    // a port number given back looks like the tool that sent there once
    // before, and clients that connect, write and close ask no more than
    // they queued. So a PC's new sockets and closers share one place.
    const bool sentTwice = std::any_of(kept_.begin(), kept_.end(), [&a](const Turn& t) {
        return t.link == a.tool.link && overlap(t.port, a.port) && t.name == a.tool.sender;
    });
    a.standing = own && own->count > 1                          ? Standing::Kept
                 : sentTwice || (a.tool.again && !a.tool.ended) ? Standing::Own
                                                                : Standing::OneShot;
    a.innerNew = 2 * turnOf(kOriginLink, a.tool.origin, a.port) + 1;
    // The one-shots of an origin waiting for a port share one place: one
    // joining them, also one seen to end while it waits, takes theirs, so
    // that their order and their place against the origin's other tools
    // never disagree.
    const auto shared = std::find_if(line_.begin(), line_.end(), [&a](const Asker& o) {
        return &o != &a && a.standing == Standing::OneShot && o.standing == Standing::OneShot && o.port == a.port &&
               o.tool.origin == a.tool.origin;
    });
    if (shared != line_.end())
        a.innerNew = shared->innerNew;
    else
        for (const Asker& o : line_)
            if (&o != &a && overlap(o.port, a.port) && o.tool.origin == a.tool.origin)
                a.innerNew = std::max(a.innerNew, innerPlace(o, a.port == kAllPorts ? o.port : a.port));
    if (!origin)
        return;
    a.originNew = newOrigin(a);
    a.originSeq = a.seq;
}

uint64_t PcRequestSlot::newOrigin(const Asker& a) const
{
    uint64_t place = 2 * latestFor(lastTurn_, a.port) + 1;
    for (const Asker& o : line_)
        if (&o != &a && overlap(o.port, a.port) && o.tool.origin != a.tool.origin)
            place = std::max(place, originPlace(o, a.port == kAllPorts ? o.port : a.port).place);
    return place;
}

// An origin with no turn remembered at port stands where the first of its
// tools waiting for it (at it or at all ports) stood when it asked: one
// place for all of them, which holds only while one of them waits there,
// as its turns are remembered while it waits.
PcRequestSlot::Place PcRequestSlot::newPlace(const Asker& a, uint8_t port) const
{
    const bool cached = port == a.port;
    if (cached && a.newSeen == lineSeen_)
        return Place{a.newAt, a.newSeq};
    Place first{a.originNew, a.originSeq};
    for (const Asker& o : line_)
        if (o.tool.origin == a.tool.origin && overlap(o.port, port) &&
            (o.originNew < first.place || (o.originNew == first.place && o.originSeq < first.seq)))
            first = Place{o.originNew, o.originSeq};
    if (cached) {
        a.newAt = first.place;
        a.newSeq = first.seq;
        a.newSeen = lineSeen_;
    }
    return first;
}

// Places are compared at the port both want: a request for all ports
// stands at each port where its last turn there went.
PcRequestSlot::Place PcRequestSlot::originPlace(const Asker& a, uint8_t port) const
{
    const uint64_t turn = port == a.port ? fresh(a).originTurn : turnOf(kOriginLink, a.tool.origin, port);
    return turn ? Place{2 * turn, 0} : newPlace(a, port);
}

const PcRequestSlot::Asker& PcRequestSlot::fresh(const Asker& a) const
{
    if (a.seen != turns_) {
        a.originTurn = turnOf(kOriginLink, a.tool.origin, a.port);
        a.oneShotTurn = turnOf(kOneShotLink, a.tool.origin, a.port);
        a.seen = turns_;
    }
    return a;
}

// One-shot tools of an origin share the place of its last one-shot
// request to the port.
uint64_t PcRequestSlot::innerPlace(const Asker& a, uint8_t port) const
{
    uint64_t turn = 0;
    if (a.standing == Standing::Kept)
        turn = port == a.port ? a.ownTurn : turnOf(a.tool.link, a.tool.sender, port);
    else if (a.standing == Standing::OneShot)
        turn = fresh(a).oneShotTurn;
    return turn ? 2 * turn : a.innerNew;
}

// Whether a stands before b at port: between origins by the origins'
// places (of equal ones, the origin that began to wait first), inside one
// by the tools' places; at one place the one-shots first, those whose
// sender asked more often in a row (a UDP tool that keeps asking, among a
// script's new sockets) before the others, then the tool that asked first.
// One order of keys, so no two askers wait for each other.
bool PcRequestSlot::before(const Asker& a, const Asker& b, uint8_t port) const
{
    if (a.tool.origin != b.tool.origin) {
        const Place pa = originPlace(a, port), pb = originPlace(b, port);
        if (pa.place != pb.place)
            return pa.place < pb.place;
        if (pa.seq != pb.seq)
            return pa.seq < pb.seq;
    }
    const uint64_t ia = innerPlace(a, port), ib = innerPlace(b, port);
    if (ia != ib)
        return ia < ib;
    const bool oa = a.standing == Standing::OneShot, ob = b.standing == Standing::OneShot;
    if (oa != ob)
        return oa;
    if (oa && a.tool.tries != b.tool.tries)
        return a.tool.tries > b.tool.tries;
    return a.seq < b.seq;
}

// The asker goes when no other asker for a port it wants stands before it
// there. Requests for all ports take turns among themselves; the first of
// them stands at each port where its last turn there went, and holds back
// the requests there that stand behind it; the others wait for it. So at
// each port the order is one, and no two requests wait for each other. A
// flooder waiting for the hold of its own yielding request keeps back
// nobody.
bool PcRequestSlot::turnOf(size_t me, uint32_t now) const
{
    const Asker& m = line_[me];
    const Asker* firstAll = nullptr;
    for (const Asker& a : line_)
        if (a.port == kAllPorts && !standsAside(a, now) && (!firstAll || before(a, *firstAll, kAllPorts)))
            firstAll = &a;
    for (size_t i = 0; i < line_.size(); ++i) {
        const Asker& a = line_[i];
        if (i == me || !overlap(a.port, m.port) || standsAside(a, now))
            continue;
        if (a.port == kAllPorts && m.port != kAllPorts && &a != firstAll)
            continue;
        if (before(a, m, a.port == kAllPorts ? m.port : a.port))
            return false;
    }
    return true;
}

// The last turn of the tool or origin that reached port (one to all ports
// reached every port; for all ports, any of its requests).
const PcRequestSlot::Turn* PcRequestSlot::lastTurn(uint8_t link, const std::string& name, uint8_t port) const
{
    // An origin's one-shot tools at a port are one place; those asking for
    // all ports another.
    const bool exact = link == kOneShotLink;
    const Turn* last = nullptr;
    const auto scan = [&](const std::deque<Turn>& list) {
        for (const Turn& t : list)
            if (t.link == link && (exact ? t.port == port : overlap(t.port, port)) && t.name == name &&
                (!last || t.turn > last->turn))
                last = &t;
    };
    if (link == kOriginLink || link == kOneShotLink) {
        scan(origins_);
    } else {
        scan(kept_);
        scan(once_);
    }
    return last;
}

uint64_t PcRequestSlot::turnOf(uint8_t link, const std::string& name, uint8_t port) const
{
    const Turn* t = lastTurn(link, name, port);
    return t ? t->turn : 0;
}

void PcRequestSlot::recordSent(const Asker& a, uint32_t now)
{
    const uint64_t turn = ++turns_;
    remember(a.tool.link, a.tool.sender, a.port, turn, now);
    remember(kOriginLink, a.tool.origin, a.port, turn, now);
    if (a.standing == Standing::OneShot)
        remember(kOneShotLink, a.tool.origin, a.port, turn, now);
    lastTurn_[turnIndex(a.port)] = turn;
    // An origin's tools that stand as new again looked at the records
    // while they changed.
    for (const Asker& o : line_)
        o.seen = UINT64_MAX;
}

// Newest at the back; full, the oldest goes.
void PcRequestSlot::remember(uint8_t link, const std::string& name, uint8_t port, uint64_t turn, uint32_t now)
{
    const bool origin = link == kOriginLink || link == kOneShotLink;
    uint32_t count = 1;
    for (std::deque<Turn>* list : {&kept_, &once_, &origins_}) {
        auto it = std::find_if(list->begin(), list->end(), [&](const Turn& t) {
            return t.link == link && t.port == port && t.name == name;
        });
        if (it != list->end()) {
            count = it->count == UINT32_MAX ? it->count : it->count + 1;
            list->erase(it);
            break;
        }
    }
    std::deque<Turn>& list = origin ? origins_ : count > 1 ? kept_ : once_;
    if (list.size() >= (&list == &once_ ? kMaxOnce : kMaxRemembered))
        forgetOldest(list);
    list.push_back(Turn{link, name, port, turn, count, now});
}

// The oldest record goes, and with it the older records of the same tool
// or origin for ports it overlaps: a newer turn forgotten beside an older
// one kept would put its tool back at the older one. An origin's records
// stay while a tool of it waits (at any port, so that none of them goes
// with an older one forgotten at another port): else the origin would
// stand where it stood when it began to wait, ahead of all that asked
// since. Only when every origin record is kept so does the oldest go, and
// the origin's tools waiting stand as new.
void PcRequestSlot::forgetOldest(std::deque<Turn>& list)
{
    auto it = list.begin();
    if (&list == &origins_)
        while (it != list.end() && waits(it->name))
            ++it;
    const bool pinned = it == list.end();
    const Turn gone = pinned ? list.front() : *it;
    for (std::deque<Turn>* l : {&kept_, &once_, &origins_})
        l->erase(std::remove_if(l->begin(), l->end(),
                                [&gone](const Turn& t) {
                                    return t.link == gone.link && overlap(t.port, gone.port) &&
                                           t.turn <= gone.turn && t.name == gone.name;
                                }),
                 l->end());
    if (pinned) {
        for (Asker& a : line_)
            if (a.tool.origin == gone.name) {
                a.originNew = newOrigin(a);
                a.originSeq = a.seq;
            }
        ++lineSeen_;
    }
}

bool PcRequestSlot::waits(const std::string& origin) const
{
    return std::any_of(line_.begin(), line_.end(), [&](const Asker& a) { return a.tool.origin == origin; });
}

void PcRequestSlot::withdraw(uint8_t link, const std::string& sender)
{
    leaveLine(link, sender);
    unanswered_.erase(std::remove_if(unanswered_.begin(), unanswered_.end(),
                                     [&](const Unanswered& u) { return u.who.link == link && u.who.sender == sender; }),
                      unanswered_.end());
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
