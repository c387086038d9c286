#include "params/MD5.h"

#include <cstring>

MD5 g_md5;

const unsigned char MD5::PADDING[64] = {0x80};
const char MD5::HEX[16] = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};

namespace {

inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }
inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return (x & y) | (~x & z); }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return (x & z) | (y & ~z); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }

// Shift amounts per round, and the sine-derived constants T[1..64].
constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};
constexpr uint32_t kT[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

} // namespace

MD5::MD5() { reset(); }

MD5::MD5(const void* input, size_t length)
{
    reset();
    update(input, length);
}

void MD5::reset()
{
    finished = false;
    count[0] = count[1] = 0;
    state[0] = 0x67452301;
    state[1] = 0xefcdab89;
    state[2] = 0x98badcfe;
    state[3] = 0x10325476;
    std::memset(buffer, 0, sizeof buffer);
    std::memset(result, 0, sizeof result);
}

void MD5::update(const void* input, size_t length)
{
    update(static_cast<const unsigned char*>(input), length);
}

void MD5::update(const unsigned char* input, size_t length)
{
    finished = false;
    size_t index = (count[0] >> 3) & 0x3F;
    const uint64_t bits = uint64_t(length) << 3;
    const uint32_t low = static_cast<uint32_t>(bits);
    count[0] += low;
    if (count[0] < low)
        ++count[1];
    count[1] += static_cast<uint32_t>(bits >> 32);

    const size_t partLen = 64 - index;
    size_t i = 0;
    if (length >= partLen) {
        std::memcpy(&buffer[index], input, partLen);
        transform(buffer);
        for (i = partLen; i + 63 < length; i += 64)
            transform(&input[i]);
        index = 0;
    }
    if (length > i)
        std::memcpy(&buffer[index], &input[i], length - i);
}

const unsigned char* MD5::digest()
{
    if (!finished) {
        final();
        finished = true;
    }
    return result;
}

std::string MD5::toString()
{
    return bytesToHexString(digest(), 16);
}

std::string MD5::bytesToHexString(const unsigned char* bytes, size_t length)
{
    std::string out;
    out.reserve(length * 2);
    for (size_t i = 0; i < length; ++i) {
        out += HEX[bytes[i] >> 4];
        out += HEX[bytes[i] & 0x0F];
    }
    return out;
}

void MD5::final()
{
    uint32_t savedState[4];
    uint32_t savedCount[2];
    std::memcpy(savedState, state, sizeof state);
    std::memcpy(savedCount, count, sizeof count);

    unsigned char bits[8];
    encode(count, bits, 8);
    const size_t index = (count[0] >> 3) & 0x3F;
    const size_t padLen = index < 56 ? 56 - index : 120 - index;
    update(PADDING, padLen);
    update(bits, 8);
    encode(state, result, 16);

    std::memcpy(state, savedState, sizeof state);
    std::memcpy(count, savedCount, sizeof count);
}

void MD5::transform(const unsigned char block[64])
{
    uint32_t x[16];
    decode(block, x, 64);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        const int round = i / 16;
        uint32_t f;
        int k;
        switch (round) {
        case 0: f = F(b, c, d); k = i; break;
        case 1: f = G(b, c, d); k = (5 * i + 1) % 16; break;
        case 2: f = H(b, c, d); k = (3 * i + 5) % 16; break;
        default: f = I(b, c, d); k = (7 * i) % 16; break;
        }
        const uint32_t next = b + rotl(a + f + x[k] + kT[i], kShift[round][i % 4]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

void MD5::encode(const uint32_t* input, unsigned char* output, size_t length)
{
    for (size_t i = 0, j = 0; j < length; ++i, j += 4) {
        output[j] = static_cast<unsigned char>(input[i] & 0xFF);
        output[j + 1] = static_cast<unsigned char>((input[i] >> 8) & 0xFF);
        output[j + 2] = static_cast<unsigned char>((input[i] >> 16) & 0xFF);
        output[j + 3] = static_cast<unsigned char>((input[i] >> 24) & 0xFF);
    }
}

void MD5::decode(const unsigned char* input, uint32_t* output, size_t length)
{
    for (size_t i = 0, j = 0; j < length; ++i, j += 4)
        output[i] = uint32_t(input[j]) | (uint32_t(input[j + 1]) << 8) | (uint32_t(input[j + 2]) << 16) |
                    (uint32_t(input[j + 3]) << 24);
}
