#include "TestFrames.h"

namespace kel::test {

using protocol::PhyFrame;
using protocol::protocol_phy;

Bytes TestFrames::body(uint16_t target, uint16_t source, uint8_t cmd, const Bytes& payload, uint8_t tag)
{
    Bytes b = {uint8_t(target), uint8_t(target >> 8), uint8_t(source), uint8_t(source >> 8), 0x10, tag, 0, 0, 0, cmd};
    if (payload.empty())
        b.push_back(0);
    b.insert(b.end(), payload.begin(), payload.end());
    b.push_back(PhyFrame::xorOf(b.data(), b.size()));
    return b;
}

Bytes TestFrames::wire(const Bytes& body)
{
    protocol_phy phy;
    Bytes w(protocol_phy::framedCapacity(body.size()));
    w.resize(phy.data_re_transf_meaning(w.data(), body.data(), uint32_t(body.size())));
    return w;
}

Bytes TestFrames::request(uint8_t cmd, const Bytes& payload, uint16_t target)
{
    return wire(body(target, 0xF020, cmd, payload));
}

Bytes TestFrames::unframe(const Bytes& wire)
{
    protocol_phy phy;
    Bytes b(protocol_phy::kMaxBody);
    const int n = phy.data_transf_meaning(wire.data(), wire.size(), b.data(), b.size());
    if (n < 0)
        return {};
    b.resize(size_t(n));
    return b;
}

Bytes TestFrames::cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes TestFrames::ramWrite(uint32_t address, const Bytes& data, int declared)
{
    return cat({u32(address), u16(uint16_t(declared < 0 ? int(data.size()) : declared)), {0, 0}, data});
}

Bytes TestFrames::ramRead(uint32_t address, uint16_t n) { return cat({u32(address), u16(n), {0, 0}}); }

Bytes TestFrames::answerData(const Bytes& answerBody)
{
    if (answerBody.size() < PhyFrame::kMinLength)
        return {};
    return Bytes(answerBody.begin() + PhyFrame::kData, answerBody.end() - 1);
}

} // namespace kel::test
