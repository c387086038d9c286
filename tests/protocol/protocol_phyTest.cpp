#include "TestFrames.h"
#include "protocol/FrameAssembler.h"
#include "protocol/protocol_phy.h"

#include <gtest/gtest.h>

#include <random>

namespace kel::test {
namespace {

using protocol::FrameAssembler;
using protocol::protocol_phy;

Bytes randomBody(std::mt19937& rng, size_t n)
{
    // Mostly the bytes the escapes are about.
    static const uint8_t special[] = {0xA5, 0x5A, 0xAA, 0x85, 0x7A, 0x8A, 0x00, 0xFF};
    Bytes b(n);
    for (auto& x : b)
        x = rng() % 2 ? special[rng() % 8] : uint8_t(rng());
    b.back() = protocol::PhyFrame::xorOf(b.data(), n - 1);
    return b;
}

TEST(protocol_phy, RoundTripsRandomBodiesWithSpecialBytes)
{
    std::mt19937 rng(7);
    for (int i = 0; i < 500; ++i) {
        const Bytes body = randomBody(rng, 12 + rng() % 600);
        const Bytes w = TestFrames::wire(body);
        ASSERT_LE(w.size(), protocol_phy::framedCapacity(body.size()));
        for (size_t k = 3; k + 1 < w.size(); ++k)
            ASSERT_TRUE(w[k] != 0xA5 && w[k] != 0x5A) << "raw special byte inside the body";
        EXPECT_EQ(TestFrames::unframe(w), body);
    }
}

TEST(protocol_phy, WorstCaseBodyFillsTheCapacityExactly)
{
    // The XOR of 99 bytes 0xA5 is 0xA5 again: every byte needs an escape.
    const Bytes body(100, 0xA5);
    ASSERT_EQ(protocol::PhyFrame::xorOf(body.data(), 99), 0xA5);
    EXPECT_EQ(TestFrames::wire(body).size(), protocol_phy::framedCapacity(body.size()));
}

TEST(protocol_phy, AcceptsOneOrManyPreambleBytes)
{
    const Bytes body = TestFrames::body(0xF100, 0xF020, 0x61, {1, 2, 3});
    Bytes w = TestFrames::wire(body);
    Bytes one(w.begin() + 2, w.end());
    Bytes many = TestFrames::cat({{0xA5, 0xA5, 0xA5}, w});
    EXPECT_EQ(TestFrames::unframe(one), body);
    EXPECT_EQ(TestFrames::unframe(many), body);
}

struct BadWire {
    const char* name;
    Bytes wire;
    int result;
};

TEST(protocol_phy, RefusesMalformedFrames)
{
    Bytes good = TestFrames::wire(TestFrames::body(0xF100, 0xF020, 0x61, {1, 2, 3}));
    Bytes badCheck = good;
    badCheck[good.size() - 2] ^= 0x01;
    Bytes dangling = good;
    dangling.insert(dangling.end() - 1, 0xAA);
    Bytes wrongEscape = good;
    wrongEscape.insert(wrongEscape.end() - 2, {0xAA, 0x11});
    Bytes rawEnd = good;
    rawEnd.insert(rawEnd.begin() + 5, 0x5A);
    const BadWire cases[] = {
        {"bad check byte", badCheck, protocol_phy::BadCheck},
        {"dangling escape", dangling, protocol_phy::BadEscape},
        {"escape of an ordinary byte", wrongEscape, protocol_phy::BadEscape},
        {"raw end byte inside", rawEnd, protocol_phy::RawSpecial},
        {"too short", {0xA5, 0x01, 0x02, 0x5A}, protocol_phy::TooShort},
        {"no preamble", Bytes(good.begin() + 3, good.end()), protocol_phy::NoFraming},
        {"no end", Bytes(good.begin(), good.end() - 1), protocol_phy::NoFraming},
    };
    protocol_phy phy;
    Bytes out(protocol_phy::kMaxBody);
    for (const BadWire& c : cases)
        EXPECT_EQ(phy.data_transf_meaning(c.wire.data(), c.wire.size(), out.data(), out.size()), c.result) << c.name;
}

TEST(protocol_phy, RefusesBodiesLargerThanTheOutput)
{
    const Bytes w = TestFrames::wire(TestFrames::body(0xF100, 0xF020, 0x60, Bytes(100, 1)));
    protocol_phy phy;
    Bytes out(50);
    EXPECT_EQ(phy.data_transf_meaning(w.data(), w.size(), out.data(), out.size()), protocol_phy::TooLong);
}

TEST(protocol_phy, AnswerSwapsTargetAndSourceAndKeepsTheHead)
{
    const Bytes req = TestFrames::body(0xF100, 0xF020, 0x60, {9, 9, 9}, 0x33);
    Bytes ans(64);
    const uint8_t data[] = {0xA5, 0x5A};
    ans.resize(protocol_phy::swap_phy_head(req.data(), 4, data, 2, ans.data()));
    EXPECT_EQ(protocol::PhyFrame::target(ans.data()), 0xF020);
    EXPECT_EQ(protocol::PhyFrame::source(ans.data()), 0xF100);
    EXPECT_TRUE(std::equal(req.begin() + 4, req.begin() + 10, ans.begin() + 4));
    EXPECT_EQ(TestFrames::status(ans), 4);
    EXPECT_EQ(TestFrames::answerData(ans), (Bytes{0xA5, 0x5A}));
    EXPECT_TRUE(protocol::PhyFrame::checkOk(ans.data(), ans.size()));
}

TEST(FrameAssembler, JoinsAFrameSplitIntoThreePieces)
{
    const Bytes w = TestFrames::wire(TestFrames::body(0xF100, 0xF020, 0x60, Bytes(40, 0xA5)));
    FrameAssembler a(protocol_phy::kMaxWire);
    std::vector<Bytes> got;
    auto sink = [&](const uint8_t* p, size_t n) { got.emplace_back(p, p + n); };
    const size_t third = w.size() / 3;
    a.feed(w.data(), third, sink);
    a.feed(w.data() + third, third, sink);
    EXPECT_TRUE(got.empty());
    a.feed(w.data() + 2 * third, w.size() - 2 * third, sink);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_FALSE(TestFrames::unframe(got[0]).empty());
}

TEST(FrameAssembler, EndlessGarbageKeepsMemoryBounded)
{
    FrameAssembler a(512);
    std::mt19937 rng(3);
    int frames = 0;
    Bytes junk(4096);
    for (int round = 0; round < 200; ++round) {
        for (auto& b : junk)
            b = uint8_t(rng() % 2 ? 0x11 : rng());
        junk[0] = 0xA5;  // keep starting frames that never end
        for (auto& b : junk)
            if (b == 0x5A)
                b = 0x5B;
        a.feed(junk.data(), junk.size(), [&](const uint8_t*, size_t) { ++frames; });
        ASSERT_LE(a.buffered(), 512u);
    }
    EXPECT_EQ(frames, 0);
    EXPECT_GT(a.dropped(), 0u);
}

TEST(FrameAssembler, NewPreambleStartsOverAndKeepsTheNextFrame)
{
    const Bytes w = TestFrames::wire(TestFrames::body(0xF100, 0xF020, 0x61, {1, 2}));
    Bytes stream = TestFrames::cat({{0xA5, 0x01, 0x02, 0x03}, w, {0x00, 0x01}, w});
    FrameAssembler a(protocol_phy::kMaxWire);
    int good = 0;
    a.feed(stream.data(), stream.size(), [&](const uint8_t* p, size_t n) {
        good += TestFrames::unframe(Bytes(p, p + n)).empty() ? 0 : 1;
    });
    EXPECT_EQ(good, 2);
}

} // namespace
} // namespace kel::test
