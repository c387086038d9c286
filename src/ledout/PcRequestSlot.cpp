#include "ledout/PcRequestSlot.h"

#include <algorithm>
#include <utility>

namespace {

bool overlap(uint8_t a, uint8_t b)
{
    return a == b || a == PcRequestSlot::kAllPorts || b == PcRequestSlot::kAllPorts;
}

} // namespace

bool PcRequestSlot::claim(uint8_t link, const std::string& sender, uint8_t port, uint32_t now)
{
    forgetStale(now);
    Request* r = request(port);
    if (!r) {
        // Goes nowhere: holds nothing, waits for nobody.
        line_.erase(std::remove_if(line_.begin(), line_.end(),
                                   [&](const Asker& a) { return a.link == link && a.sender == sender; }),
                    line_.end());
        return true;
    }
    const size_t me = asker(link, sender, port, now);
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
size_t PcRequestSlot::asker(uint8_t link, const std::string& sender, uint8_t port, uint32_t now)
{
    for (size_t i = 0; i < line_.size(); ++i) {
        if (line_[i].link == link && line_[i].sender == sender) {
            line_[i].port = port;
            line_[i].askedAt = now;
            return i;
        }
    }
    if (line_.size() >= kMaxWaiting)
        line_.pop_back();
    line_.push_back(Asker{link, sender, port, now, lastSentBy(link, sender)});
    return line_.size() - 1;
}

// Of the askers for the same port (a request for all ports wants every
// port), first goes the one whose last request went longest ago; of those
// equal, the one that asked first.
bool PcRequestSlot::turnOf(size_t me) const
{
    const Asker& m = line_[me];
    for (size_t i = 0; i < line_.size(); ++i) {
        const Asker& a = line_[i];
        if (i != me && overlap(a.port, m.port) && (a.lastSent < m.lastSent || (i < me && a.lastSent == m.lastSent)))
            return false;
    }
    return true;
}

uint64_t PcRequestSlot::lastSentBy(uint8_t link, const std::string& sender) const
{
    for (const Asker& a : sent_)
        if (a.link == link && a.sender == sender)
            return a.lastSent;
    return 0;
}

void PcRequestSlot::recordSent(const Asker& me)
{
    sent_.erase(std::remove_if(sent_.begin(), sent_.end(),
                               [&me](const Asker& a) { return a.link == me.link && a.sender == me.sender; }),
                sent_.end());
    if (sent_.size() >= kMaxWaiting)
        sent_.pop_front();
    Asker a = me;
    a.lastSent = ++turns_;
    sent_.push_back(a);
}
