#include "TypedDefaults.h"

#include <algorithm>
#include <cstddef>

namespace kel::test {
namespace {

void put(std::vector<uint8_t>& b, size_t at, uint16_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

} // namespace

std::vector<uint8_t> typedDefaultBlock()
{
    std::vector<uint8_t> b(4096, 0);
    put(b, 770, 100);
    for (size_t s = 0; s < 6; ++s) {
        put(b, 896 + 6 * s, s < 4 ? 1920 : 3840);
        put(b, 898 + 6 * s, s < 4 ? 1080 : 2160);
        put(b, 900 + 6 * s, 60);
    }
    for (size_t at : {size_t(1378), size_t(1390), size_t(1412), size_t(1420)}) {
        put(b, at, 1920);
        put(b, at + 2, 1080);
    }
    put(b, 1386, 1);
    put(b, 1388, 1);
    for (size_t r = 0; r < 64; ++r) {
        const size_t row = 1472 + 10 * r;
        put(b, row, 2);
        put(b, row + 6, r == 62 ? 0 : 1920);
        put(b, row + 8, 1080);
    }
    put(b, 2176, 100);
    put(b, 2178, 50);
    put(b, 2180, 10);
    put(b, 2182, 50);
    put(b, 2184, 2);
    put(b, 2186, 64);
    put(b, 2188, 64);
    put(b, 2190, 64);
    for (uint16_t j = 0; j < 15; ++j)
        put(b, 2210 + 2 * j, uint16_t(j + 1));
    put(b, 2270, 1);
    const uint16_t selectors[6] = {2, 5, 3, 4, 1, 0};
    for (size_t w = 0; w < 6; ++w) {
        const size_t rec = 2272 + 26 * w;
        put(b, rec, w == 0 ? 1 : 0);
        put(b, rec + 8, selectors[w]);
        put(b, rec + 14, 1920);
        put(b, rec + 16, 1080);
    }
    return b;
}

std::vector<uint8_t> typedDefaultFile()
{
    const std::vector<uint8_t> block = typedDefaultBlock();
    std::vector<uint8_t> f(4096, 0);
    f[0] = 0xAA;
    f[1] = 0xAA;
    std::copy(block.begin() + 768, block.end(), f.begin() + 2);
    return f;
}

} // namespace kel::test
