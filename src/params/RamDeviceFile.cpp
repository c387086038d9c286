#include "params/RamDeviceFile.h"

#include "params/DefaultParaTable.h"
#include "params/RamLayout.h"
#include "platform/AtomicFile.h"
#include "platform/PathMap.h"

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>
#include <vector>

using kel::platform::AtomicFile;
using kel::platform::PathMap;

namespace {

std::string hostPath() { return PathMap::host(std::string(RamDeviceFile::kPath)); }

bool writeAll(FILE* f, const uint8_t* data, size_t size)
{
    return std::fwrite(data, 1, size, f) == size;
}

// fclose flushes: its failure (a full disk) loses what was written.
bool closeChecked(FILE* f, bool ok)
{
    return std::fclose(f) == 0 && ok;
}

} // namespace

bool RamDeviceFile::exists()
{
    struct stat st;
    return ::stat(hostPath().c_str(), &st) == 0;
}

RamDeviceFile::Load RamDeviceFile::read(uint8_t* block, uint8_t marker[2])
{
    marker[0] = marker[1] = 0;
    FILE* f = std::fopen(hostPath().c_str(), "rb");
    if (!f)
        return Load::Unopenable;
    if (std::fread(marker, 1, 2, f) != 2 || marker[0] != RamLayout::kMarkerSaved ||
        marker[1] != RamLayout::kMarkerSaved) {
        std::fclose(f);
        return Load::BadMarker;
    }
    const size_t got = std::fread(block + RamLayout::kSavedBegin, 1, RamLayout::kSavedSize, f);
    std::fclose(f);
    DefaultParaTable::copySavedTailInto(block, RamLayout::kSavedBegin + got);
    return Load::Loaded;
}

bool RamDeviceFile::remove() { return std::remove(hostPath().c_str()) == 0; }

bool RamDeviceFile::writeDefaults()
{
    return AtomicFile::replace(kPath, default_para_ramlist.data(), default_para_ramlist.size());
}

// The update in place only overwrites bytes 2..3329, so the file never gets
// shorter; a file too short to hold the marker and the area is replaced
// whole instead.
bool RamDeviceFile::writeSaved(const uint8_t* block)
{
    const std::string host = PathMap::hostForWrite(std::string(kPath));
    if (host.empty())
        return false;
    struct stat st;
    if (::stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        st.st_size < off_t(RamLayout::kFileMarkerSize + RamLayout::kSavedSize))
        return create(block);
    FILE* f = std::fopen(host.c_str(), "rb+");
    if (!f)
        return create(block);
    bool ok = std::fseek(f, RamLayout::kFileMarkerSize, SEEK_SET) == 0;
    ok = ok && writeAll(f, block + RamLayout::kSavedBegin, RamLayout::kSavedSize);
    return closeChecked(f, ok);
}

bool RamDeviceFile::create(const uint8_t* block)
{
    std::vector<uint8_t> image(RamLayout::kFileSize, 0);
    image[0] = image[1] = RamLayout::kMarkerSaved;
    std::copy(block + RamLayout::kSavedBegin, block + RamLayout::kBlockSize,
              image.begin() + RamLayout::kFileMarkerSize);
    return AtomicFile::replace(kPath, image.data(), image.size());
}
