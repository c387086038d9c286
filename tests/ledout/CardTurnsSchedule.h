#pragma once
// PC tools of every kind asking for the card ports at random, driven through
// PcRequestSlot over simulated ticks the way the links drive it (the flags
// set as the links set them), each wait held against the rule of turns as
// docs/protocol.md 4.4 states it. Shared by CardTurnsScheduleTest (a few
// seeds) and bench/card_turns_bench (many). The figures it expects are the
// documented ones, never the slot's own constants.
#include "ledout/PcRequestSlot.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace kel::turns {

using Slot = PcRequestSlot;
constexpr uint8_t kAll = Slot::kAllPorts, kNowhere = Slot::kNowhere, kPorts = Slot::kPorts;
// As documented: a request holds its port 50 ticks; a tool that stops
// asking keeps its place as long; a request of a tool that ended or floods yields: once the
// port's cards had the time they take (twice the slowest of its last 8 answers, those of
// requests replaced included, 5 ticks at least, a hold at most and while none is on record) it holds the port against its own tool only, and another's
// replaces it (unanswered); two unanswered in a row and an ended tool's requests there are
// dropped.
constexpr uint32_t kHold = 50, kRow = 2, kYieldAfter = 5, kAnswerTimes = 8;
enum Kind { Kept, OneShot, Again, Batch, Scan, Ended, AllPorts, kKinds };
inline const char* kindName(int k)
{
    static const char* const names[] = {"kept socket", "one-shot", "asks again", "batch", "scan", "ended", "all ports"};
    return names[k];
}
inline size_t idx(uint8_t port) { return port == kAll ? kPorts : port; }
inline bool overlap(uint8_t a, uint8_t b) { return a == b || a == kAll || b == kAll; }

struct Figures {
    uint64_t requests[kKinds] = {}, worstWait[kKinds] = {}, tools = 0, dropped = 0, late = 0, yielded = 0,
             replaced = 0, reused = 0;
    double worstShare[kKinds] = {};   // of its bound
    std::vector<std::string> faults;
};

class Schedule {
public:
    Schedule(uint32_t seed, uint32_t ticks, bool trace = false, double silentOnce = 0.05)
        : rnd_(seed), ticks_(ticks), trace_(trace), silentOnce_(silentOnce)
    {
        oneShotRate_ = pick(10, 25) / 100.0;   // how busy, drawn once
        keptWanted_ = pick(4, 10);
        burstEvery_ = pick(300, 800);
        add(Kept, 1, "ttyS2", "serial").more = true;
    }

    Figures run()
    {
        for (now_ = 1; now_ <= ticks_ + 40000; ++now_) {
            // Any claim counts the requests whose wait ran out; then the answers come.
            slot_.claim(Slot::Tool{0, "clock", "", false, false, false}, kNowhere, now_);
            settleAndAnswer();
            alive_.erase(std::remove_if(alive_.begin(), alive_.end(), [](Tool* t) { return t->gone; }), alive_.end());
            if (now_ <= ticks_)
                spawn();
            if (alive_.empty() && now_ > ticks_)
                break;
            std::shuffle(alive_.begin(), alive_.end(), rnd_);
            for (Tool* t : alive_)
                act(*t);
            for (Tool* t : alive_)
                wideWhenAllWaits(*t);
        }
        for (const Tool& t : tools_)
            if (!t.gone)
                fault(t, "still holds %zu requests long after the others stopped", t.queue.size());
        return figures_;
    }

private:
    struct Req { uint8_t port; bool silent; uint32_t answerIn; bool card; uint32_t datagram; };
    struct Tool {
        Slot::Tool id;
        Kind kind = Kept;
        std::deque<Req> queue;
        uint8_t home = 0;
        double silent = 0;
        bool more = false, gone = false, waiting = false, paused = false, wide = false, batchFlood = false;
        bool answeredOnce = false, oneShotNow = false, maybeOneShot = false, askedEnded = false;
        uint32_t idleUntil = 0, endAt = UINT32_MAX, closeAt = UINT32_MAX, firstAsk = 0, lastAsk = 0;
        uint32_t againAt = UINT32_MAX;   // a one-shot socket that sends a second request then
        uint8_t port = 0;
        int backlog = 0, pauses = 0, gos = 0, yieldGos = 0 /* ticks */, stuck = 0, streak[kPorts + 1] = {};
        uint64_t sendsSeen = 0;   // the sends counted at its last refused ask
        uint64_t askedAs = 0;     // when its wait began, in the order the tools asked (also within a tick)
        // Of the waiting request: how often each place of its origin, and each other origin
        // since its origin last went, went to a port it wants.
        std::map<std::string, int> inner, outer;
    };
    struct Out {   // a request sent; seq is also its tag and command, answerAt 0 if its card is silent
        Tool* tool;
        uint8_t port;
        uint32_t sentAt, answerAt;
        uint64_t seq;
        bool counts;   // its tool had ended or flooded: only then does its silence count
        bool yields;   // its tool had ended or flooded: past kYieldAfter holds against itself only
        bool answered = false, counted = false;
    };

    uint32_t pick(uint32_t lo, uint32_t hi) { return std::uniform_int_distribution<uint32_t>(lo, hi)(rnd_); }
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rnd_) < p; }
    template <typename... A>
    void fault(const Tool& t, const char* fmt, A... a)
    {
        char b[360];
        const int n = std::snprintf(b, sizeof b, "tick %u, %s %u %s (%s): ", now_, kindName(t.kind), t.id.link,
                                    t.id.sender.c_str(), t.id.origin.c_str());
        std::snprintf(b + n, sizeof b - size_t(n), fmt, a...);
        if (figures_.faults.size() < 20)
            figures_.faults.push_back(b);
    }
    void say(const Tool& t, const char* what, uint8_t port)
    {
        if (trace_)
            std::fprintf(stderr, "%6u %-11s %u %-16s %-8s %s%s %s %d\n", now_, kindName(t.kind), t.id.link,
                         t.id.sender.c_str(), t.id.origin.c_str(), t.id.ended ? "ended " : "",
                         t.id.floods ? "floods" : "", what, port == kAll ? -1 : port);
    }

    Tool& add(Kind kind, uint8_t link, std::string sender, std::string origin)
    {
        tools_.emplace_back();
        tools_.back().id = Slot::Tool{link, std::move(sender), std::move(origin), false, false, false};
        tools_.back().kind = kind;
        alive_.push_back(&tools_.back());
        ++figures_.tools;
        return tools_.back();
    }
    // A new TCP connection, or a new UDP socket: on a port number of its own, or now and then on
    // one a closed socket of its address gave back.
    Tool& newcomer(Kind kind, bool tcp, const std::string& from)
    {
        if (tcp)
            return add(kind, 2, "tcp#" + std::to_string(++serial_), from);
        std::vector<std::string>& freed = freed_[from];
        if (!freed.empty() && chance(0.1)) {
            const size_t i = pick(0, uint32_t(freed.size() - 1));
            const std::string key = freed[i];
            freed.erase(freed.begin() + std::ptrdiff_t(i));
            ++figures_.reused;
            return add(kind, 3, key, from);
        }
        return add(kind, 3, from + ":" + std::to_string(++serial_), from);
    }
    std::string origin() { return "10.0.0." + std::to_string(pick(1, 4)); }
    Req request(uint8_t port, double silent)   // a few slow cards answer after the hold
    {
        return Req{port, chance(silent), chance(0.05) ? pick(30, 80) : pick(1, 3), true, datagram_};
    }
    Req frame() const { return Req{kNowhere, false, 0, false, datagram_}; }   // a 0xDF: the controller answers it

    void spawn()
    {
        if (alive_.size() > 48)   // fewer than the slot lets wait
            return;
        if (std::count_if(alive_.begin(), alive_.end(), [](Tool* t) { return t->kind == Kept; }) < keptWanted_ &&
            chance(0.01)) {
            Tool& t = newcomer(Kept, chance(0.5), origin());
            t.more = true;
            t.home = uint8_t(pick(0, 2));
            t.silent = pick(0, 50) / 100.0;
            t.endAt = t.id.link == 2 && chance(0.2) ? now_ + pick(100, 3000) : UINT32_MAX;   // half-closes
            t.closeAt = chance(0.2) ? now_ + pick(100, 3000) : UINT32_MAX;
        }
        if (chance(oneShotRate_))
            oneShot(origin(), uint8_t(chance(0.01) ? kAll : pick(3, 11)), silentOnce_);
        if (pick(1, burstEvery_) == 1)
            burst();
    }
    // A socket for one card request, mostly to a quiet port; some send a 0xDF behind it, some
    // read another port first, some send a second request while the first waits.
    void oneShot(const std::string& from, uint8_t port, double silent)
    {
        const uint32_t r = pick(0, 9);
        Tool& t = newcomer(r < 6 ? OneShot : Again, chance(0.3), from);
        ++datagram_;
        t.id.ended = t.id.link == 2;   // a TCP client that sent and closed
        if (r == 6)
            t.queue.push_back(request(uint8_t(port == 3 ? 4 : 3), 0.5));
        t.queue.push_back(request(port, silent));
        if (r == 7 || r == 8)
            t.queue.push_back(frame());
        if (r == 9 && t.id.link == 3)
            t.againAt = now_ + pick(1, 60);
        t.kind = r == 9 ? Again : OneShot;
    }
    // Many at once from one address for one busy port.
    void burst()
    {
        const uint8_t port = uint8_t(pick(0, 2));
        const std::string from = origin();
        const double silent = chance(0.5) ? 0.9 : 0.3;
        switch (pick(0, 4)) {
        case 0:   // new sockets, one request each, some two
            for (uint32_t n = pick(3, 8); n > 0; --n) {
                Tool& t = newcomer(OneShot, false, from);
                ++datagram_;
                t.queue.push_back(request(port, silent));
                if (chance(0.4)) {
                    t.queue.push_back(request(port, silent));
                    t.kind = Again;
                }
            }
            break;
        case 1:   // TCP clients with a few requests queued, some of which closed
            for (uint32_t n = pick(2, 5); n > 0; --n) {
                Tool& t = newcomer(Batch, true, from);
                t.id.ended = chance(0.3);
                for (uint32_t k = pick(3, 6); k > 0; --k)
                    t.queue.push_back(request(port, t.id.ended ? 0.9 : silent));
                t.closeAt = chance(0.1) ? now_ + pick(100, 600) : UINT32_MAX;
            }
            break;
        case 2: {   // one write that opens with reads of absent cards: a flood until answered
            Tool& t = newcomer(Batch, true, from);
            t.batchFlood = true;
            t.queue.push_back(request(port, 1));
            t.queue.push_back(request(port, 1));
            for (uint32_t k = pick(12, 30); k > 0; --k)
                t.queue.push_back(request(port, 0));
            t.closeAt = chance(0.2) ? now_ + pick(100, 600) : UINT32_MAX;
            break;
        }
        case 3: {   // a half-closed scan of two ports: cards 0-7 of one (three there), 0-1 of the next
            Tool& t = newcomer(Scan, true, from);
            t.id.ended = true;
            for (int card = 0; card < 8; ++card)
                t.queue.push_back(request(port, card < 3 ? 0 : 1));
            t.queue.push_back(request(uint8_t(port + 1), 0));
            t.queue.push_back(request(uint8_t(port + 1), 0));
            t.queue.push_back(frame());
            break;
        }
        default:   // a script's new sockets for the port, every few ticks
            for (uint32_t n = pick(5, 15); n > 0; --n)
                oneShot(from, port, silent);
            break;
        }
    }

    void leave(Tool& t)
    {
        slot_.withdraw(t.id.link, t.id.sender);
        say(t, "leaves", kNowhere);
        t.gone = true;
        t.waiting = false;
        if (t.id.link == 3)
            freed_[t.id.origin].push_back(t.id.sender);
    }
    // The flags as the links set them: ended by the client; again: a TCP client that has not
    // ended, else another card request of its own for the port behind in the same datagram; floods: a large
    // backlog and no answer taken since it began.
    Slot::Tool flags(const Tool& t) const
    {
        Slot::Tool id = t.id;
        id.again = t.id.link == 2 ? !t.id.ended : std::any_of(t.queue.begin() + 1, t.queue.end(), [&t](const Req& r) {
            return r.card && overlap(r.port, t.queue.front().port) && r.datagram == t.queue.front().datagram;
        });
        id.floods = t.batchFlood && !t.answeredOnce && t.queue.size() >= 10;
        return id;
    }
    // Until it sent to the port twice a tool stands with its address's one-shots, unless it is
    // a TCP client still sending or has another request for the port queued. As the slot
    // remembers only the last turns, one whose sends there are not recent may stand so too.
    bool oneShot(const Slot::Tool& id, uint8_t port, bool surely) const
    {
        return (!id.again || id.ended) && !sentTwice(id.sender, port, !surely);
    }
    // Whether the tool sent to port (or one overlapping it) twice or more (lately: remembered
    // for sure).
    bool sentTwice(const std::string& key, uint8_t port, bool lately = false) const
    {
        for (uint8_t p = 0; p <= kPorts; ++p) {
            const auto it = sentTo_.find(key + "@" + std::to_string(p));
            if (it != sentTo_.end() && it->second.count > 1 && overlap(p == kPorts ? kAll : p, port) &&
                (!lately || sends_ - it->second.before < 200))
                return true;
        }
        return false;
    }

    void startWait(Tool& t, const Slot::Tool& id)
    {
        t.waiting = true;
        t.paused = t.wide = false;
        t.firstAsk = now_;
        t.askedAs = ++asks_;
        t.port = t.queue.front().port;
        t.inner.clear();
        t.outer.clear();
        t.backlog = t.pauses = t.gos = t.yieldGos = t.stuck = 0;
        t.maybeOneShot = oneShot(id, t.port, false);
        t.oneShotNow = oneShot(id, t.port, true);
        t.askedEnded = id.ended;
        say(t, id.again ? "asks" : "asks once", t.port);
        for (const Tool* o : alive_) {
            if (o == &t || !o->waiting)
                continue;
            // The one-shot sockets of its address go in the order they asked.
            t.backlog += t.maybeOneShot && o->maybeOneShot && o->id.origin == t.id.origin && o->port == t.port;
            // One that stopped asking keeps its place a while.
            t.pauses += o->paused && now_ - o->lastAsk <= kHold && overlap(o->port, t.port);
        }
    }

    void act(Tool& t)
    {
        if (t.queue.empty() && now_ > ticks_)
            return leave(t);
        if (now_ < t.idleUntil)
            return;
        if (now_ >= t.closeAt)   // closes: what it had queued vanishes
            return leave(t);
        if (now_ >= t.endAt && !t.id.ended)
            t.id.ended = !(t.more = false);
        if (now_ >= t.againAt) {   // a second request, in a datagram of its own, while the first waits
            ++datagram_;
            t.queue.push_back(request(t.queue.empty() ? 3 : t.queue.front().port, 0.5));
            t.againAt = UINT32_MAX;
        }
        if (t.queue.empty()) {
            ++datagram_;
            if (!t.more)
                return leave(t);
            if (chance(0.03)) {   // pauses a long while
                t.idleUntil = now_ + pick(1200, 2500);
                return;
            }
            const uint32_t r = pick(0, 99);
            const uint8_t port = r < 84 ? t.home : r < 96 ? uint8_t(pick(0, 15)) : r < 98 ? kAll : kNowhere;
            t.queue.push_back(request(port, t.silent));
            if (chance(0.2))
                t.queue.push_back(chance(0.5) ? request(port, 0.5) : frame());
        }
        if (!t.queue.front().card) {   // the link answers it at once
            t.queue.pop_front();
            return;
        }
        if (t.waiting && t.kind == Kept && chance(0.0005)) {   // stops asking a while: gives up its place
            t.waiting = false;
            t.paused = true;
            t.idleUntil = now_ + pick(kHold + 1, kHold + 20);
            for (Tool* r : alive_)
                r->pauses += r->waiting && overlap(t.port, r->port);
            return;
        }
        const Req q = t.queue.front();
        const Slot::Tool id = flags(t);
        if (!t.waiting)
            startWait(t, id);
        if ((t.oneShotNow || t.maybeOneShot) && id.again && !id.ended) {   // a one-shot that asks again: a place of its own now
            t.oneShotNow = t.maybeOneShot = false;
            t.inner.clear();
        }
        if (id.ended && !t.askedEnded) {   // seen to end while it waits: with its address's one-shots now
            t.askedEnded = true;
            t.oneShotNow = oneShot(id, t.port, true);
            t.maybeOneShot = t.maybeOneShot || oneShot(id, t.port, false);
            t.inner.clear();
            // It keeps the order it asked in: one-shots that asked after it wait for it too. Tools
            // that asked in the same tick stand in the order they asked, not as if after it.
            for (Tool* o : alive_) {
                if (o == &t || !o->waiting || !o->maybeOneShot || o->id.origin != t.id.origin || o->port != t.port)
                    continue;
                if (o->askedAs > t.askedAs)
                    ++o->backlog;
                else
                    ++t.backlog;
            }
        }
        if (id.ended || id.floods)   // its requests out yield from now on
            for (Out& o : outs_)
                if (o.tool == &t && !o.answered && now_ - o.sentAt <= kHold)
                    o.yields = o.counts = true;
        t.lastAsk = now_;
        const Slot::Claim c = slot_.claim(id, q.port, now_);
        if (c == Slot::Claim::Wait)
            return heldBack(t);
        t.waiting = false;
        t.queue.pop_front();
        const int streak = q.port == kNowhere ? 0 : t.streak[idx(q.port)];
        if (c == Slot::Claim::Drop) {
            say(t, "dropped", q.port);
            ++figures_.dropped;
            if (!t.id.ended || streak < int(kRow))
                fault(t, "request to port %d dropped, %s, %d unanswered there in a row", q.port,
                      t.id.ended ? "ended" : "not ended", streak);
            return;
        }
        went(t, q, id);
        if (t.kind == OneShot && t.queue.empty())   // done
            leave(t);
        else if (chance(0.02))   // reset right after sending
            leave(t);
        else if (t.more && t.queue.empty())   // the next once the answer came or the hold ran out
            t.idleUntil = now_ + (q.silent ? kHold + 1 : q.answerIn) + pick(0, 10);
    }

    // A request for all ports waiting beside a tool makes it wait for whatever holds any port.
    void wideWhenAllWaits(Tool& t)
    {
        if (t.waiting && !t.wide)
            for (const Tool* o : alive_)
                if (o != &t && o->waiting && o->port == kAll)
                    t.wide = true;
    }

    // The request is the last that went to its port: no later one replaced it.
    bool current(const Out& o) const
    {
        for (uint8_t p = 0; p <= kPorts; ++p)
            if (overlap(p == kPorts ? kAll : p, o.port) && lastSend_[p] > o.seq)
                return false;
        return true;
    }
    // Whether a request out holds port against t: unanswered, within its hold, not replaced;
    // a yielding one only against its own tool.
    bool holdsAgainst(const Out& o, uint8_t port, const Tool& t) const
    {
        return !o.answered && now_ - o.sentAt <= kHold && overlap(o.port, port) && current(o) &&
               (!o.yields || now_ - o.sentAt < yieldAfter(o.port) || o.tool == &t);
    }
    uint32_t yieldAfter(uint8_t port) const
    {
        const std::vector<uint32_t>& times = answerTimes_[idx(port)];
        if (times.empty())
            return kHold;
        return std::clamp(2 * *std::max_element(times.begin(), times.end()), kYieldAfter, kHold);
    }
    // A flooder waiting for the hold of its own yielding request keeps back nobody.
    bool asideNow(const Tool& t) const
    {
        return std::any_of(outs_.begin(), outs_.end(), [this, &t](const Out& o) {
            return o.tool == &t && o.yields && holdsAgainst(o, t.port, t);
        });
    }

    // A tool told to wait three times in a row while nothing went, no request but a yielding
    // one of another tool held a port it waits for (any, once a request for all ports waited
    // beside it) and no tool that stopped asking kept a place there: a yielding flooder held it
    // back. (Twice may be fair: the tool ahead of it was held back by one that was then
    // dropped or left, and goes on its next ask.)
    void heldBack(Tool& t)
    {
        const bool clear =
            sends_ == t.sendsSeen &&
            std::none_of(outs_.begin(), outs_.end(),
                         [&](const Out& o) { return holdsAgainst(o, t.wide ? kAll : t.port, t); }) &&
            std::none_of(alive_.begin(), alive_.end(), [&](const Tool* o) {
                return o->paused && now_ - o->lastAsk <= kHold && (t.wide || overlap(o->port, t.port));
            });
        t.stuck = clear ? t.stuck + 1 : 0;
        t.sendsSeen = sends_;
        if (t.stuck == 3)
            fault(t, "waits for port %d, held by no request but a flooder's yielding one", t.port);
    }

    void checkFlood(const Tool& t, const Req& q, bool yields)
    {
        if (q.port == kNowhere)   // holds no port, counts nothing
            return;
        const int streak = t.streak[idx(q.port)];
        if (t.id.ended && streak >= int(kRow))
            fault(t, "ended, sent to port %d with %d unanswered there in a row", q.port, streak);
        figures_.yielded += yields;
    }

    void went(Tool& t, const Req& q, const Slot::Tool& id)
    {
        const Kind kind = q.port == kAll                              ? AllPorts
                          : t.id.ended && t.kind != OneShot && t.kind != Scan ? Ended
                                                                               : t.kind;
        const uint32_t wait = now_ - t.firstAsk;
        // A hold for each request that went to a port it waits for meanwhile (to any, once a
        // request for all ports waited beside it), the one out when it asked and one to spare;
        // a tool that stopped asking keeps its place a hold. Another tool's yielding request
        // costs it the yield of that port at most; a flooder's own holds it as any request does.
        const bool yields = (id.ended || id.floods) && q.port != kNowhere;
        const uint64_t bound = uint64_t(t.gos + 2 + t.pauses) * (kHold + 2) + uint64_t(t.yieldGos);
        ++figures_.requests[kind];
        figures_.worstWait[kind] = std::max<uint64_t>(figures_.worstWait[kind], wait);
        figures_.worstShare[kind] = std::max(figures_.worstShare[kind], double(wait) / double(bound));
        if (wait > bound)
            fault(t, "waited %u ticks for port %d while %d went, bound %llu", wait, q.port, t.gos,
                  (unsigned long long)bound);
        checkFlood(t, q, yields);
        say(t, "goes", q.port);
        if (q.port == kNowhere)
            return;
        // The place it went from: its own, or its address's one-shot sockets' for the port; none
        // when the slot may have forgotten that it sent there twice (it then stands as new).
        const std::string place = t.oneShotNow != t.maybeOneShot ? ""
                                  : t.oneShotNow ? "one-shots of " + t.id.origin + " for " + std::to_string(idx(q.port))
                                                 : t.id.sender;
        for (Tool* r : alive_)
            if (r != &t && r->waiting)
                count(*r, t, q.port, place, yields);
        // One request out per port: it holds until answered or its hold ran out; a yielding
        // one holds against its own tool only, and another's replaces it.
        for (Out& o : outs_) {
            if (holdsAgainst(o, q.port, t)) {
                fault(t, "went to port %d while %u %s held port %d since %u", q.port, o.tool->id.link,
                      o.tool->id.sender.c_str(), o.port, o.sentAt);
            } else if (o.yields && o.tool != &t && !o.answered && now_ - o.sentAt <= kHold && current(o) &&
                       overlap(o.port, q.port)) {
                ++figures_.replaced;
                if (!o.counted) {   // replaced before its answer came: unanswered
                    o.tool->streak[idx(o.port)] += o.counted = true;
                    say(*o.tool, "unanswered", o.port);
                }
            }
        }
        noteReplaced(q.port);
        const uint64_t seq = ++sends_;
        slot_.sent(q.port, uint8_t(seq), uint8_t(seq >> 8), now_, t.id.link);
        outs_.push_back(Out{&t, q.port, now_, q.silent ? 0 : now_ + q.answerIn, seq, id.ended || id.floods, yields});
        lastSend_[idx(q.port)] = seq;
        Sends& s = sentTo_[t.id.sender + "@" + std::to_string(idx(q.port))];
        s.before = s.last;
        s.last = seq;
        ++s.count;
    }

    // What a request that went costs r, waiting: inside r's address each other place goes once
    // per wait (one round more for each one-shot socket of its address ahead of it); each other
    // address once between two turns of r's address. A request for all ports counts per port.
    void count(Tool& r, const Tool& t, uint8_t port, const std::string& place, bool yields)
    {
        if (r.wide || overlap(port, r.port))
            yields ? r.yieldGos += int(yieldAfter(port)) : ++r.gos;
        if (!overlap(port, r.port) || asideNow(r)) {
            if (asideNow(r))
                r.inner.clear(), r.outer.clear();
            return;
        }
        const std::string perPort = r.port == kAll ? " @" + std::to_string(idx(port)) : "";
        if (r.port == kAll && (port == kAll || otherAllWaits(r))) {
            // Requests for all ports go in turn; until its turn among them comes, they hold back
            // no port: only the first of them is held to a round at each port.
            const auto one = [](std::map<std::string, int>& m) {
                for (auto it = m.begin(); it != m.end();)
                    it = it->first.size() > 4 && it->first.compare(it->first.size() - 4, 4, " @16") ? m.erase(it)
                                                                                                      : std::next(it);
            };
            one(r.inner);
            one(r.outer);
        }
        if (t.id.origin == r.id.origin) {
            r.outer.clear();
            if (t.id.sender == r.id.sender || place.empty())
                return;
            const int n = ++r.inner[place + perPort];
            if (n > 1 + (r.maybeOneShot ? r.backlog : 0))
                fault(r, "%s of its own address went to port %d %d times in one wait of %u ticks", place.c_str(),
                      port, n, now_ - r.firstAsk);
        } else if (++r.outer[t.id.origin + perPort] > 1) {
            fault(r, "address %s went to port %d twice while its own waited (%u %s, %u ticks)",
                  t.id.origin.c_str(), port, t.id.link, t.id.sender.c_str(), now_ - r.firstAsk);
        }
    }

    // A request to port replaces the one out at each place it overlaps (a port, all ports)
    // whose answer is still expected: the last replaced there is timed when its answer comes.
    void noteReplaced(uint8_t port)
    {
        for (const Out& o : outs_)
            if (!o.answered && overlap(o.port, port) && o.seq == lastSend_[idx(o.port)] && current(o))
                replaced_[idx(o.port)] = o.seq;
    }
    void noteAnswerTime(uint8_t port, uint32_t ticks)
    {
        std::vector<uint32_t>& times = answerTimes_[idx(port)];
        times.push_back(std::min(ticks, kHold));
        if (times.size() > kAnswerTimes)
            times.erase(times.begin());
    }

    // Another request for all ports waits, or keeps the place of one that stopped asking.
    bool otherAllWaits(const Tool& r) const
    {
        return std::any_of(alive_.begin(), alive_.end(), [this, &r](const Tool* o) {
            return o != &r && o->port == kAll && (o->waiting || (o->paused && now_ - o->lastAsk <= kHold));
        });
    }

    // An answer is taken by the request out now on its port, and handed to the tool that sent it;
    // a request of a tool that had ended or flooded whose hold ran out unanswered counts against
    // its tool at its port.
    void settleAndAnswer()
    {
        for (Out& o : outs_) {
            Tool& t = *o.tool;
            if (!o.answered && o.counts && !o.counted && now_ - o.sentAt > kHold) {
                t.streak[idx(o.port)] += o.counted = true;
                say(t, "unanswered", o.port);
            }
            if (o.answerAt != now_)
                continue;
            uint64_t current = 0;
            for (uint8_t p = 0; p <= kPorts; ++p)
                if (overlap(p == kPorts ? kAll : p, o.port))
                    current = std::max(current, lastSend_[p]);
            const bool mine = current == o.seq;
            if (slot_.matches(o.port, uint8_t(o.seq), uint8_t(o.seq >> 8)) != mine)
                fault(t, "answer from port %d sent at %u %s", o.port, o.sentAt,
                      mine ? "not taken" : "taken after a newer request went");
            if (!mine) {
                if (replaced_[idx(o.port)] == o.seq) {
                    replaced_[idx(o.port)] = 0;
                    noteAnswerTime(o.port, now_ - o.sentAt);
                }
                slot_.unmatched(o.port, uint8_t(o.seq), uint8_t(o.seq >> 8), now_);
                continue;
            }
            const Slot::Requester who = slot_.answered(o.port, now_);
            if (who.link != t.id.link || who.sender != t.id.sender)
                fault(t, "its answer went to %u %s", who.link, who.sender.c_str());
            o.answered = t.answeredOnce = true;
            noteAnswerTime(o.port, now_ - o.sentAt);
            t.streak[idx(o.port)] = 0;
            figures_.late += now_ - o.sentAt > kHold;
        }
        outs_.erase(std::remove_if(outs_.begin(), outs_.end(),
                                   [this](const Out& o) { return o.answered || now_ - o.sentAt > 100; }),
                    outs_.end());
    }

    std::mt19937 rnd_;
    uint32_t ticks_, now_ = 0, keptWanted_, burstEvery_, serial_ = 0;
    bool trace_;
    double silentOnce_, oneShotRate_;
    Slot slot_;
    std::deque<Tool> tools_;   // stays put: the answers and the lists point into it
    std::vector<Tool*> alive_;
    std::map<std::string, std::vector<std::string>> freed_;   // UDP port numbers closed sockets gave back
    struct Sends {
        int count = 0;
        uint64_t last = 0, before = 0;   // the last two
    };
    std::map<std::string, Sends> sentTo_;   // per key and port
    std::vector<Out> outs_;
    uint64_t sends_ = 0, lastSend_[kPorts + 1] = {};
    uint64_t asks_ = 0;   // waits begun
    uint32_t datagram_ = 0;   // what a tool sends at once (again counts only in its own)
    std::vector<uint32_t> answerTimes_[kPorts + 1];   // per port: ticks of its last answers
    uint64_t replaced_[kPorts + 1] = {};               // per port: the request replaced last, unanswered
    Figures figures_;
};

} // namespace kel::turns
