#include "ledout/UpgradePackage.h"

#include "params/StoreFolders.h"

#include "platform/Board.h"
#include "platform/PathMap.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

uint16_t u16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t u32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }

bool refuse(std::string* why, const std::string& text)
{
    if (why)
        *why = text;
    return false;
}

} // namespace

bool UpgradePackage::load(uint64_t fileSize, const Reader& read, std::string* why)
{
    children.clear();
    uint8_t head[kHeadSize];
    if (fileSize < kHeadSize || !read(0, kHeadSize, head))
        return refuse(why, "package head cut short");
    PublishType = head[2];
    ControllerType = u16(head + 18);
    FileNum = u16(head + 47);
    if (uint64_t(kHeadSize) + uint64_t(kChildSize) * FileNum > fileSize)
        return refuse(why, "child heads beyond the end of the file");
    std::vector<uint8_t> heads(size_t(kChildSize) * FileNum);
    if (FileNum && !read(kHeadSize, uint32_t(heads.size()), heads.data()))
        return refuse(why, "child heads cut short");
    for (uint16_t i = 0; i < FileNum; ++i) {
        const uint8_t* c = heads.data() + size_t(kChildSize) * i;
        UpgradeChild child;
        child.file_type = c[0];
        child.file_len = u32(c + 1);
        child.file_offset = u32(c + 5);
        std::copy(c + 9, c + 15, child.version);
        std::string reason;
        if (!readChild(child, fileSize, read, &reason))
            return refuse(why, "child " + std::to_string(i) + ": " + reason);
        children.push_back(child);
    }
    return true;
}

bool UpgradePackage::readChild(UpgradeChild& child, uint64_t fileSize, const Reader& read, std::string* why)
{
    const uint64_t off = child.file_offset;
    switch (child.file_type) {
    case kProgram:
        if (off + child.file_len > fileSize)
            return refuse(why, "program beyond the end of the file");
        return true;
    case kImage1:
    case kImage2: {
        uint8_t image[kImageHeadSize];
        if (off + kImageHeadSize > fileSize || !read(off, kImageHeadSize, image))
            return refuse(why, "image head beyond the end of the file");
        child.image_len = u32(image + 31);
        if (off + kImageHeadSize + child.image_len > fileSize)
            return refuse(why, "image beyond the end of the file");
        return true;
    }
    case kFont: {
        // The font file begins with its head: a shorter child has none.
        uint8_t font[kFontHeadSize];
        if (child.file_len < kFontHeadSize)
            return refuse(why, "font shorter than its head");
        if (off + child.file_len > fileSize || !read(off, kFontHeadSize, font))
            return refuse(why, "font beyond the end of the file");
        child.en_coding = font[5];
        child.height = font[18];
        return true;
    }
    default:
        return true;   // other children are ignored
    }
}

bool UpgradePackage::fitsDestination(const UpgradeChild& child, std::string* why)
{
    switch (child.file_type) {
    case kProgram:
        if (child.file_len == 0 || child.file_len > kProgramMax)
            return refuse(why, "program length out of range");
        return true;
    case kImage1:
    case kImage2:
        if (child.image_len > kFlashSize)
            return refuse(why, "image larger than its flash");
        return true;
    case kFont: {
        const uint32_t base = fontBase(child.en_coding, child.height);
        if (base != kNoFontBase && uint64_t(base) + child.file_len > fontAreaEnd(base))
            return refuse(why, "font beyond its area");
        return true;
    }
    default:
        return true;
    }
}

uint32_t UpgradePackage::fontBase(uint8_t en_coding, uint8_t height)
{
    if (en_coding == 1)
        return height == 64 ? 0x410000 : 0x000000;
    if (en_coding == 0)
        return height == 32 ? 0x010000 : height == 64 ? 0x450000 : 0x000000;
    return kNoFontBase;
}

uint32_t UpgradePackage::fontAreaEnd(uint32_t base)
{
    // Each font has its area up to the next font's base.
    switch (base) {
    case 0x000000: return 0x010000;
    case 0x010000: return 0x410000;
    case 0x410000: return 0x450000;
    default: return kFlashSize;
    }
}

std::vector<UpgradePackage::EraseUnit> UpgradePackage::erasePlan(uint32_t base, uint32_t len)
{
    constexpr uint32_t kSector = 4096, kBlock = 32768;
    std::vector<EraseUnit> plan;
    for (uint64_t a = 0; a < len;) {
        const uint32_t s = uint32_t((base + a) / kSector) & 0xFFFF;
        if (s % 8 == 0 && a + kBlock <= len) {
            plan.push_back({s, 1});
            a += kBlock;
        } else {
            plan.push_back({s, 0});
            a += kSector;
        }
    }
    return plan;
}

QString UpgradePackage::folder(const QString& configured)
{
    const QString mount = QString::fromLatin1(StoreFolders::kUsbStickDir) + QLatin1Char('/');
    if (configured == QLatin1String(" "))
        return mount;
    const bool single = !configured.isEmpty() && !configured.contains(QLatin1Char('/')) &&
                        configured != QLatin1String(".") && configured != QLatin1String("..");
    return mount + (single ? configured : QString::fromLatin1(kDefaultFolder)) + QLatin1Char('/');
}

bool UpgradePackage::isPackageName(const QString& name)
{
    const QString suffix = QFileInfo(name).suffix();
    return suffix == QLatin1String("KEL") || suffix == QLatin1String("KELZK");
}

QStringList UpgradePackage::list(const QString& configured, int cap)
{
    // The device lists in directory order; the host's order is not
    // reproducible, so the simulated board lists by name.
    const QDir::SortFlags order = kel::platform::Board::isSim() ? QDir::Name : QDir::Unsorted;
    const QDir dir(kel::platform::PathMap::host(folder(configured)));
    QStringList found;
    for (const QFileInfo& info : dir.entryInfoList(QDir::Files | QDir::NoSymLinks, order)) {
        if (found.size() >= cap)
            break;
        if (isPackageName(info.fileName()))
            found.append(kel::platform::PathMap::logical(info.absoluteFilePath()));
    }
    return found;
}
