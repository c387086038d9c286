#include "support/UpgradePackageBuilder.h"

#include <algorithm>
#include <fstream>

namespace kel::test {
namespace {
void putU16(std::vector<uint8_t>& b, size_t at, uint16_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
void putU32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = uint8_t(v >> (8 * i));
}
bool isImage(uint8_t type) { return type == 7 || type == 8; }
} // namespace

UpgradePackageBuilder::Child& UpgradePackageBuilder::add(uint8_t type, std::vector<uint8_t> data,
                                                         std::vector<uint8_t> version)
{
    Child c;
    c.type = type;
    c.data = std::move(data);
    std::copy_n(version.begin(), std::min<size_t>(6, version.size()), c.version);
    children.push_back(std::move(c));
    return children.back();
}

std::vector<uint8_t> UpgradePackageBuilder::build() const
{
    const size_t heads = 49 + 21 * children.size();
    std::vector<uint8_t> out(heads, 0);
    out[0] = 1;
    out[2] = publish;
    putU16(out, 18, controller);
    putU16(out, 47, fileNum.value_or(uint16_t(children.size())));
    for (size_t i = 0; i < children.size(); ++i) {
        const Child& c = children[i];
        const size_t h = 49 + 21 * i;
        const uint32_t at = uint32_t(out.size());
        out[h] = c.type;
        putU32(out, h + 1, c.len.value_or(uint32_t(c.data.size())));
        putU32(out, h + 5, c.offset.value_or(at));
        std::copy(c.version, c.version + 6, out.begin() + long(h) + 9);
        if (isImage(c.type)) {
            std::vector<uint8_t> head(64, 0);
            head[16] = 1;
            putU32(head, 31, c.imageLen.value_or(uint32_t(c.data.size())));
            out.insert(out.end(), head.begin(), head.end());
        }
        out.insert(out.end(), c.data.begin(), c.data.end());
    }
    out.resize(out.size() - std::min(cut, out.size()));
    return out;
}

std::vector<uint8_t> UpgradePackageBuilder::pattern(uint32_t n, uint8_t seed)
{
    std::vector<uint8_t> b(n);
    for (uint32_t i = 0; i < n; ++i)
        b[i] = uint8_t((i * 7 + (i >> 8) + seed) & 0xFF);
    return b;
}

std::vector<uint8_t> UpgradePackageBuilder::font(uint8_t en_coding, uint8_t height, uint32_t len, uint8_t seed)
{
    std::vector<uint8_t> f = pattern(len, seed);
    if (len >= 35) {
        f[0] = 'P';
        f[5] = en_coding;
        f[17] = height;
        f[18] = height;
    }
    return f;
}

void UpgradePackageBuilder::write(const std::string& hostPath, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

} // namespace kel::test
