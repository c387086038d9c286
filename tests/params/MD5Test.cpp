#include "params/MD5.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string md5Of(const std::string& s)
{
    MD5 m(s.data(), s.size());
    return m.toString();
}

struct Rfc1321Case {
    std::string input;
    const char* digest;
};

TEST(MD5Test, MatchesTheRfc1321Suite)
{
    std::string digits;
    for (int i = 0; i < 8; ++i)
        digits += "1234567890";
    const Rfc1321Case cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {digits, "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(md5Of(c.input), c.digest) << '"' << c.input << '"';
}

TEST(MD5Test, MillionLettersFedInUnevenPieces)
{
    const std::string chunk(997, 'a');
    MD5 m;
    size_t fed = 0;
    while (fed < 1000000) {
        const size_t n = std::min<size_t>(chunk.size(), 1000000 - fed);
        m.update(chunk.data(), n);
        fed += n;
    }
    EXPECT_EQ(m.toString(), "7707d6ae4e027c70eea2a935c2296f21");
}

TEST(MD5Test, DigestDoesNotEndTheMessage)
{
    MD5 m;
    m.update("ab", 2);
    const std::string first = MD5::bytesToHexString(m.digest(), 16);
    EXPECT_EQ(first, md5Of("ab"));
    EXPECT_EQ(MD5::bytesToHexString(m.digest(), 16), first);
    m.update("c", 1);
    EXPECT_EQ(m.toString(), md5Of("abc"));
    m.update("", 0);
    EXPECT_EQ(m.toString(), md5Of("abc"));
}

TEST(MD5Test, PiecesAroundTheBlockSizeEqualOneCall)
{
    std::string msg;
    for (int i = 0; i < 300; ++i)
        msg += static_cast<char>('0' + i % 75);
    for (size_t piece : {1u, 63u, 64u, 65u}) {
        MD5 m;
        for (size_t at = 0; at < msg.size(); at += piece)
            m.update(msg.data() + at, std::min(piece, msg.size() - at));
        EXPECT_EQ(m.toString(), md5Of(msg)) << piece;
    }
}

TEST(MD5Test, PaddingBoundaries)
{
    // Digests of 'x' repeated, from Python's hashlib.
    const std::pair<size_t, const char*> cases[] = {
        {55, "04364420e25c512fd958a70738aa8f72"},
        {56, "668a72d5ba17f08e62dabcafad6db14b"},
        {63, "7dc2ca208106a2f703567bdff99d8981"},
        {64, "c1bb4f81d892b2d57947682aeb252456"},
    };
    for (const auto& [n, digest] : cases)
        EXPECT_EQ(md5Of(std::string(n, 'x')), digest) << n;
}

TEST(MD5Test, ResetStartsAgainAndHexIsLowerCase)
{
    MD5 m("junk", 4);
    m.digest();
    m.reset();
    m.update("abc", 3);
    EXPECT_EQ(m.toString(), "900150983cd24fb0d6963f7d28e17f72");
    const unsigned char bytes[] = {0x0A, 0xFF};
    EXPECT_EQ(MD5::bytesToHexString(bytes, 2), "0aff");
}

} // namespace
