#pragma once
// PC tools of every kind asking for the card ports at random, driven through
// PcRequestSlot over simulated ticks the way the links drive it, each
// request's wait held against the turns the slot keeps. Shared by
// CardTurnsScheduleTest (a few seeds) and bench/card_turns_bench (many).
#include "ledout/PcRequestSlot.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace kel::turns {

using Slot = PcRequestSlot;
constexpr uint8_t kAll = Slot::kAllPorts, kNowhere = Slot::kNowhere;
enum Kind { Kept, Batch, OneShot, Ended, AllPorts, kKinds };
inline const char* kindName(int k)
{
    static const char* const names[] = {"kept socket", "batch", "one-shot", "ended", "all ports"};
    return names[k];
}
inline size_t idx(uint8_t port) { return port == kAll ? Slot::kPorts : port; }
inline bool overlap(uint8_t a, uint8_t b) { return a == b || a == kAll || b == kAll; }

struct Figures {
    uint64_t requests[kKinds] = {}, worstWait[kKinds] = {}, tools = 0, dropped = 0, late = 0;
    double worstShare[kKinds] = {};   // of its bound
    std::vector<std::string> faults;
};

class Schedule {
public:
    // silentOnce: how often the card a one-shot socket asks stays silent (a tool asking a card
    // that is not there from a new socket each time).
    Schedule(uint32_t seed, uint32_t ticks, bool trace = false, double silentOnce = 0.05)
        : rnd_(seed), ticks_(ticks), trace_(trace), silentOnce_(silentOnce)
    {
        oneShotRate_ = pick(15, 30) / 100.0;   // how busy, drawn once
        keptWanted_ = pick(4, 10);
        burstEvery_ = pick(500, 1000);
        add(Kept, 1, "ttyS2", "serial", false).more = true;
    }

    Figures run()
    {
        for (now_ = 1; now_ <= ticks_ + 40000; ++now_) {
            // Any claim counts the requests whose wait ran out; then the answers come.
            slot_.claim(Slot::Tool{0, "clock", "", false, false}, kNowhere, now_);
            settleAndAnswer();
            alive_.erase(std::remove_if(alive_.begin(), alive_.end(), [](Tool* t) { return t->gone; }), alive_.end());
            if (now_ <= ticks_)
                spawn();
            if (alive_.empty() && now_ > ticks_)
                break;
            std::shuffle(alive_.begin(), alive_.end(), rnd_);
            for (Tool* t : alive_)
                act(*t);
            watchTheLine();
        }
        for (const Tool& t : tools_)
            if (!t.gone)
                fault(t, "still holds %zu requests long after the others stopped", t.queue.size());
        return figures_;
    }

private:
    struct Req { uint8_t port; bool silent; uint32_t answerIn; };
    struct Tool {
        Slot::Tool id;
        Kind kind = Kept;
        std::deque<Req> queue;
        uint8_t home = 0;     // the port it mostly asks
        double silent = 0;    // how often the card it asks stays silent
        bool more = false, gone = false, waiting = false, paused = false, wide = false, widened = false;
        uint8_t port = 0;     // of the request waiting
        uint32_t idleUntil = 0, endAt = UINT32_MAX, closeAt = UINT32_MAX, firstAsk = 0, lastAsk = 0;
        int asked = 0, streak = 0, key = 0, backlog = 0, pauses = 0, goCount[Slot::kPorts + 1] = {};
        bool kept[Slot::kPorts + 1] = {};   // remembered for sure with two requests or more there
        uint64_t askSeq = 0, lastGo[Slot::kPorts + 1] = {};
        // Of its waiting request: the places that may go before it, how often each went, and the
        // requests waiting when it asked that it stands behind (new to the port; their askSeq).
        std::set<int> ahead;
        std::map<int, int> went;
        std::map<const Tool*, uint64_t> after;
        const Tool* lastSender = nullptr;   // sent last of all when it first asked: may go once more
    };
    struct Out {   // a request sent; seq is also its tag and command, answerAt 0 if its card is silent
        Tool* tool;
        uint8_t port;
        uint32_t sentAt, answerAt;
        uint64_t seq;
        bool ended;   // its tool had ended its sending: only then does its silence count
        bool answered = false, counted = false;
    };

    uint32_t pick(uint32_t lo, uint32_t hi) { return std::uniform_int_distribution<uint32_t>(lo, hi)(rnd_); }
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rnd_) < p; }
    template <typename... A>
    void fault(const Tool& t, const char* fmt, A... a)
    {
        char b[320];
        const int n = std::snprintf(b, sizeof b, "tick %u, %s %u %s: ", now_, kindName(t.kind), t.id.link,
                                    t.id.sender.c_str());
        std::snprintf(b + n, sizeof b - size_t(n), fmt, a...);
        if (figures_.faults.size() < 20)
            figures_.faults.push_back(b);
    }
    void say(const Tool& t, const char* what, uint8_t port)
    {
        if (trace_)
            std::fprintf(stderr, "%6u %-11s %u %-16s %s %s %d\n", now_, kindName(t.kind), t.id.link, t.id.sender.c_str(),
                         t.id.ended ? "ended" : "     ", what, port == kAll ? -1 : port);
    }

    Tool& add(Kind kind, uint8_t link, std::string sender, std::string origin, bool ended)
    {
        tools_.emplace_back();
        tools_.back().id = Slot::Tool{link, std::move(sender), std::move(origin), ended, false};
        tools_.back().kind = kind;
        alive_.push_back(&tools_.back());
        ++figures_.tools;
        return tools_.back();
    }
    Tool& newcomer(Kind kind, bool tcp, const std::string& from)
    {
        return add(kind, tcp ? 2 : 3, (tcp ? "tcp#" : from + ":") + std::to_string(++serial_), from, false);
    }
    std::string origin() { return "10.0.0." + std::to_string(pick(1, 4)); }
    Req request(uint8_t port, double silent)   // a few slow cards answer after the hold
    {
        return Req{port, chance(silent), chance(0.05) ? pick(30, 80) : pick(1, 3)};
    }

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
            t.endAt = chance(0.2) ? now_ + pick(100, 3000) : UINT32_MAX;   // half-closes
            t.closeAt = chance(0.2) ? now_ + pick(100, 3000) : UINT32_MAX;
        }
        if (chance(oneShotRate_)) {   // a socket for one request, mostly to a quiet port
            Tool& t = newcomer(OneShot, chance(0.3), origin());
            t.id.ended = t.id.link == 2;   // a TCP client that sent and closed
            t.queue.push_back(request(uint8_t(chance(0.01) ? kAll : pick(3, 11)), silentOnce_));
        }
        if (pick(1, burstEvery_) == 1) {   // many at once from one address for one busy port
            const uint8_t port = uint8_t(pick(0, 2));
            const std::string from = origin();
            const bool batch = chance(0.5);
            const double silent = chance(0.5) ? 0.9 : 0.3;
            for (uint32_t n = pick(3, 6); n > 0; --n) {
                Tool& t = newcomer(batch ? Batch : OneShot, batch, from);
                t.id.ended = batch && chance(0.3);
                for (uint32_t k = batch ? pick(3, 6) : 1; k > 0; --k)   // one that closed asked cards not there
                    t.queue.push_back(request(port, t.id.ended ? 0.9 : silent));
                t.closeAt = batch && chance(0.1) ? now_ + pick(100, 600) : UINT32_MAX;
            }
        }
    }

    void leave(Tool& t)
    {
        slot_.withdraw(t.id.link, t.id.sender);
        say(t, "leaves", kNowhere);
        t.gone = true;
        t.waiting = false;
    }
    // The place a request takes: one per tool, one per origin and port for the sockets that ask once.
    int placeKey(const Tool& t, bool once, uint8_t port)
    {
        const std::string k = once ? t.id.origin + " " + std::to_string(port) : std::to_string(t.id.link) + " " + t.id.sender;
        return keys_.emplace(k, int(keys_.size())).first->second;
    }
    // A tool's place as r sees it: one for r's port, one per port when r waits for every port
    // (what a tool sends to one port does not count against it at another).
    static int placeFor(const Tool& q, uint8_t qPort, const Tool& r)
    {
        return q.key * 32 + (r.wide || r.port == kAll ? int(idx(qPort)) : 31);
    }
    // The last of the requests (by port) that went to port or one overlapping it.
    static uint64_t lastTo(const uint64_t* lastByPort, uint8_t port)
    {
        uint64_t last = 0;
        for (uint8_t p = 0; p <= Slot::kPorts; ++p)
            if (overlap(p == Slot::kPorts ? kAll : p, port))
                last = std::max(last, lastByPort[p]);
        return last;
    }
    // Whether q stands behind r for certain: q was new to its port (or, asking once, its origin)
    // when it asked after r; or both are remembered for sure at the port they wait for, q having
    // sent there more lately.
    bool behind(uint8_t qPort, const Tool& q, const Tool& r) const
    {
        const uint8_t p = r.port;
        const auto a = q.after.find(&r);
        return (a != q.after.end() && a->second == r.askSeq) ||
               (p != kAll && qPort == p && r.kept[p] && q.kept[p] && q.lastGo[p] > lastTo(r.lastGo, p) &&
                twice_ < Slot::kMaxRemembered);
    }
    // Whether q may keep r back: it wants a port r wants, or any once a request for all ports waited.
    static bool meets(uint8_t qPort, const Tool& r) { return r.wide || overlap(qPort, r.port); }

    void startWait(Tool& t, const Req& q, bool again)
    {
        t.waiting = true;
        t.paused = t.wide = false;
        t.firstAsk = now_;
        t.port = q.port;
        t.askSeq = ++asks_;
        t.ahead.clear();
        t.went.clear();
        t.after.clear();
        t.backlog = t.pauses = 0;
        t.key = placeKey(t, !again, q.port);
        say(t, again ? "asks" : "asks once", q.port);
        // New to the port, it stands behind those waiting and behind the one that sent last.
        const bool fresh = again ? lastTo(t.lastGo, q.port) == 0 : !originGo_.count(placeKey(t, true, q.port));
        t.lastSender = nullptr;
        for (const Tool* o : alive_) {
            if (o == &t || o->gone)
                continue;
            if (sends_ && *std::max_element(o->lastGo, o->lastGo + Slot::kPorts + 1) == sends_)
                t.lastSender = o;
            const bool oAgain = o->asked + o->queue.size() > 1;
            if (fresh && o->waiting && oAgain && overlap(o->port, q.port))
                t.after.emplace(o, o->askSeq);
            // The one-shot sockets of an origin go in the order they asked.
            t.backlog += !again && o->waiting && !oAgain && o->id.origin == t.id.origin && o->port == q.port;
            // One that stopped asking keeps its place a few ticks.
            t.pauses += o->paused && now_ - o->lastAsk <= Slot::kAskKeptTicks && meets(o->port, t);
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
        if (t.queue.empty()) {
            if (!t.more)
                return leave(t);
            if (chance(0.03)) {   // pauses a long while
                t.idleUntil = now_ + pick(1200, 2500);
                return;
            }
            const uint32_t r = pick(0, 99);
            const uint8_t port = r < 84 ? t.home : r < 96 ? uint8_t(pick(0, 15)) : r < 97 ? kAll : kNowhere;
            t.queue.push_back(request(port, t.silent));
            if (chance(0.2))
                t.queue.push_back(request(port, 0.5));
        }
        if (t.waiting && t.kind == Kept && chance(0.0005)) {   // stops asking a while: gives up its place
            t.waiting = false;
            t.paused = true;
            t.idleUntil = now_ + pick(Slot::kAskKeptTicks + 1, 20);
            for (Tool* r : alive_)
                r->pauses += r->waiting && meets(t.port, *r);
            return;
        }
        const Req q = t.queue.front();
        Slot::Tool id = t.id;
        id.again = t.asked > 0 || t.queue.size() > 1;
        if (!t.waiting)
            startWait(t, q, id.again);
        t.lastAsk = now_;
        const Slot::Claim c = slot_.claim(id, q.port, now_);
        if (c == Slot::Claim::Wait)
            return;
        t.waiting = false;
        t.queue.pop_front();
        ++t.asked;
        if (c == Slot::Claim::Drop) {
            say(t, "dropped", q.port);
            ++figures_.dropped;
            if (!t.id.ended || t.streak < Slot::kEndedUnanswered)
                fault(t, "request dropped with %d unanswered in a row", t.streak);
            return;
        }
        went(t, q, id.again);
        if (t.kind == OneShot || chance(0.03))   // done, or reset right after sending
            leave(t);
        else if (t.more && t.queue.empty())      // the next once the answer came or the hold ran out
            t.idleUntil = now_ + (q.silent ? Slot::kAnswerWaitTicks + 1 : q.answerIn) + pick(0, 10);
    }

    void went(Tool& t, const Req& q, bool again)
    {
        const Kind kind = q.port == kAll ? AllPorts : t.id.ended && t.kind != OneShot ? Ended : t.kind;
        const uint32_t wait = now_ - t.firstAsk;
        // A hold (51 ticks at most, the next request goes the tick it ends) for each place ahead in
        // each round, one round more per one-shot socket of its origin ahead of it, the hold out
        // when it asked and one to spare; a tool that stopped asking kept its place a few ticks.
        const uint64_t holds = uint64_t(t.backlog + 1) * (t.ahead.size() + 1) + 1;
        const uint64_t bound = holds * (Slot::kAnswerWaitTicks + 2) + uint64_t(t.pauses) * (Slot::kAskKeptTicks + 1);
        ++figures_.requests[kind];
        figures_.worstWait[kind] = std::max<uint64_t>(figures_.worstWait[kind], wait);
        figures_.worstShare[kind] = std::max(figures_.worstShare[kind], double(wait) / double(bound));
        if (wait > bound)
            fault(t, "waited %u ticks for port %d, bound %llu (%zu places ahead, %d of its origin, %d paused)", wait,
                  q.port, (unsigned long long)bound, t.ahead.size(), t.backlog, t.pauses);
        if (t.id.ended && t.streak >= Slot::kEndedUnanswered)
            fault(t, "ended, sent with %d unanswered in a row", t.streak);
        say(t, "goes", q.port);
        if (q.port == kNowhere)
            return;
        for (Tool* r : alive_) {
            if (!r->waiting || r == &t || r->key == t.key)
                continue;
            const int place = placeFor(t, q.port, *r);
            const bool mine = overlap(q.port, r->port);
            if (mine && ++r->went[place] > r->backlog + 1 + (&t == r->lastSender))
                fault(*r, "%u %s went to port %d %d times in one wait of %u ticks", t.id.link, t.id.sender.c_str(),
                      q.port, r->went[place], now_ - r->firstAsk);
            if (mine && behind(q.port, t, *r))
                fault(*r, "%u %s went to port %d ahead of it from a later place", t.id.link, t.id.sender.c_str(), q.port);
            else if (meets(q.port, *r))
                r->ahead.insert(place);
        }
        for (const Out& o : outs_)   // one request out per port: it holds until answered or its hold ran out
            if (!o.answered && now_ - o.sentAt <= Slot::kAnswerWaitTicks && overlap(o.port, q.port))
                fault(t, "went to port %d while %u %s held port %d since %u", q.port, o.tool->id.link,
                      o.tool->id.sender.c_str(), o.port, o.sentAt);
        const uint64_t seq = ++sends_;
        slot_.sent(q.port, uint8_t(seq), uint8_t(seq >> 8), now_, t.id.link);
        outs_.push_back(Out{&t, q.port, now_, q.silent ? 0 : now_ + q.answerIn, seq, t.id.ended});
        lastSend_[idx(q.port)] = seq;
        if (!again)
            originGo_[placeKey(t, true, q.port)] = seq;
        // Those that sent one request to a port are forgotten first, so a tool's second one there
        // counts twice for sure when fewer requests went in between than could push out the first
        // while fewer than kMaxRemembered sent twice or more anywhere.
        const size_t i = idx(q.port);
        twice_ += ++t.goCount[i] == 2;
        t.kept[i] = t.kept[i] || (t.lastGo[i] && seq - t.lastGo[i] - 1 + twice_ < Slot::kMaxRemembered - 1);
        t.lastGo[i] = seq;
    }

    // Which places wait beside whom: a pair is looked at when either began to wait.
    void watchTheLine()
    {
        std::vector<Tool*> line, fresh;
        size_t all = 0;
        for (Tool* t : alive_)
            if (t->waiting && t->lastAsk == now_) {
                line.push_back(t);
                all += t->port == kAll;
            }
        for (Tool* r : line) {
            if (all > (r->port == kAll) && !r->wide) {
                r->wide = r->widened = true;   // a request for every port waits, so r for what holds any
                r->ahead.insert(-1);
            }
            if (r->firstAsk == now_ || r->widened)
                fresh.push_back(r);
        }
        const auto pair = [this](Tool* r, const Tool* q) {
            if (q != r && q->key != r->key && meets(q->port, *r) && !behind(q->port, *q, *r))
                r->ahead.insert(placeFor(*q, q->port, *r));
        };
        for (Tool* f : fresh)
            for (Tool* o : line) {
                pair(f, o);
                if (!(o->firstAsk == now_ || o->widened))   // a pair of two fresh ones comes twice anyway
                    pair(o, f);
            }
        for (Tool* r : fresh)
            r->widened = false;
    }

    // An answer is taken by the request out now on its port, and handed to the tool that sent it;
    // a request of a tool that had ended whose hold ran out unanswered counts against its tool.
    void settleAndAnswer()
    {
        for (Out& o : outs_) {
            Tool& t = *o.tool;
            if (!o.answered && o.ended && !o.counted && now_ - o.sentAt > Slot::kAnswerWaitTicks) {
                t.streak += o.counted = true;
                say(t, "unanswered", o.port);
            }
            if (o.answerAt != now_)
                continue;
            const bool current = lastTo(lastSend_, o.port) == o.seq;
            if (slot_.matches(o.port, uint8_t(o.seq), uint8_t(o.seq >> 8)) != current)
                fault(t, "answer from port %d sent at %u %s", o.port, o.sentAt,
                      current ? "not taken" : "taken after a newer request went");
            if (!current)
                continue;
            const Slot::Requester who = slot_.answered(o.port);
            if (who.link != t.id.link || who.sender != t.id.sender)
                fault(t, "its answer went to %u %s", who.link, who.sender.c_str());
            o.answered = true;
            t.streak = 0;
            figures_.late += now_ - o.sentAt > Slot::kAnswerWaitTicks;
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
    std::map<std::string, int> keys_;
    std::map<int, uint64_t> originGo_;   // the last one-shot request of each origin to each port
    std::vector<Out> outs_;
    uint64_t asks_ = 0, sends_ = 0, lastSend_[Slot::kPorts + 1] = {};
    size_t twice_ = 0;   // tools and ports with two requests or more
    Figures figures_;
};

} // namespace kel::turns
