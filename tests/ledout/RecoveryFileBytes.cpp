#include "RecoveryFileBytes.h"

#include "platform/PathMap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kel::test {

void putLe(FileBytes& b, size_t at, uint32_t value, int size)
{
    if (b.size() < at + size)
        b.resize(at + size, 0);
    for (int i = 0; i < size; ++i)
        b[at + i] = uint8_t(value >> (8 * i));
}

namespace {

// One operation block (count, 2 reserved bytes, 18-byte records) with the
// data of its operations appended after it; offsets count from dataBase.
void appendBlock(FileBytes& out, const std::vector<OpSpec>& ops, size_t dataBase, FileBytes& data,
                 size_t dataStart)
{
    const size_t at = out.size();
    putLe(out, at, uint32_t(ops.size()), 2);
    putLe(out, at + 2, 0, 2);
    for (size_t k = 0; k < ops.size(); ++k) {
        const size_t r = at + 4 + 18 * k;
        putLe(out, r, uint32_t(dataStart + data.size() - dataBase), 4);
        putLe(out, r + 4, uint32_t(ops[k].data.size()), 4);
        putLe(out, r + 8, ops[k].targetAddr, 4);
        putLe(out, r + 12, ops[k].timeticks, 4);
        putLe(out, r + 16, ops[k].type, 1);
        putLe(out, r + 17, ops[k].target, 1);
        data.insert(data.end(), ops[k].data.begin(), ops[k].data.end());
    }
}

size_t blockSize(const std::vector<OpSpec>& ops) { return 4 + 18 * ops.size(); }

} // namespace

FileBytes recoveryFile(const std::vector<ScreenSpec>& screens)
{
    // Directory: screen, XY and smart-debugging sections, in that order.
    const size_t screenBase = 4 + 12 * 3;
    const size_t xyBase = screenBase + 32 + 52 * screens.size();
    FileBytes xy(16, 0);
    FileBytes smart(16, 0);
    std::vector<uint32_t> xyOffsets, smartOffsets;
    for (const ScreenSpec& s : screens) {
        const size_t screenAt = xy.size();
        xyOffsets.push_back(uint32_t(screenAt));
        putLe(xy, screenAt, uint32_t(s.ports.size()), 2);
        putLe(xy, screenAt + 2, 0, 2);
        size_t blocksAt = screenAt + 4 + 12 * s.ports.size();
        for (size_t n = 0; n < s.ports.size(); ++n) {
            const PortSpec& p = s.ports[n];
            const size_t rec = screenAt + 4 + 12 * n;
            putLe(xy, rec, p.net_ledx, 2);
            putLe(xy, rec + 2, uint32_t(p.cards.size()), 2);
            putLe(xy, rec + 4, uint32_t(blocksAt - screenAt), 4);
            size_t blocks = 0;
            for (const CardSpec& c : p.cards)
                blocks += blockSize(c.ops);
            FileBytes data;
            xy.resize(blocksAt);
            for (const CardSpec& c : p.cards)
                appendBlock(xy, c.ops, blocksAt, data, blocksAt + blocks);
            xy.insert(xy.end(), data.begin(), data.end());
            putLe(xy, rec + 8, uint32_t(xy.size() - blocksAt), 4);
            blocksAt = xy.size();
        }
        xy.resize(blocksAt);
        const size_t smartAt = smart.size();
        smartOffsets.push_back(s.smartOps.empty() ? 0 : uint32_t(smartAt));
        if (!s.smartOps.empty()) {
            FileBytes data;
            appendBlock(smart, s.smartOps, smartAt, data, smartAt + blockSize(s.smartOps));
            smart.insert(smart.end(), data.begin(), data.end());
        }
    }
    const size_t smartBase = xyBase + xy.size();
    FileBytes f;
    putLe(f, 3, 3, 1);
    const uint32_t bases[3] = {uint32_t(screenBase), uint32_t(xyBase), uint32_t(smartBase)};
    const uint32_t lengths[3] = {uint32_t(32 + 52 * screens.size()), uint32_t(xy.size()), uint32_t(smart.size())};
    for (int i = 0; i < 3; ++i) {
        putLe(f, 4 + 12 * i, uint32_t(10 + i), 1);
        putLe(f, 4 + 12 * i + 4, lengths[i], 4);
        putLe(f, 4 + 12 * i + 8, bases[i], 4);
    }
    putLe(f, screenBase + 20, uint32_t(screens.size()), 1);
    for (size_t s = 0; s < screens.size(); ++s) {
        const size_t at = screenBase + 32 + 52 * s;
        const bool hasSmart = !screens[s].smartOps.empty();
        putLe(f, at, screens[s].config_id, 4);
        putLe(f, at + 36, smartOffsets[s], 4);
        putLe(f, at + 40, hasSmart ? uint32_t(blockSize(screens[s].smartOps)) : 0, 4);
        putLe(f, at + 44, xyOffsets[s], 4);
        putLe(f, at + 48, screens[s].ports.empty() ? 0 : 1, 4);
    }
    f.resize(xyBase);
    f.insert(f.end(), xy.begin(), xy.end());
    f.insert(f.end(), smart.begin(), smart.end());
    return f;
}

FileBytes smartMappingFile(const std::vector<OpSpec>& ops)
{
    FileBytes f(16, 0);
    FileBytes data;
    appendBlock(f, ops, 16, data, 16 + blockSize(ops));
    f.insert(f.end(), data.begin(), data.end());
    return f;
}

void writeFile(const std::string& logical, const FileBytes& bytes)
{
    const QString host = QString::fromStdString(platform::PathMap::host(logical));
    QDir().mkpath(QFileInfo(host).absolutePath());
    QFile f(host);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
}

} // namespace kel::test
