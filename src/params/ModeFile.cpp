#include "params/ModeFile.h"

#include "params/RamLayout.h"
#include "platform/AtomicFile.h"
#include "platform/PathMap.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

using kel::platform::AtomicFile;
using kel::platform::PathMap;

std::string ModeFile::path(unsigned slot)
{
    return "/data/modes/custom_mode" + std::to_string(slot + 1);
}

std::string ModeFile::osdCopyPath(unsigned slot)
{
    char name[32];
    std::snprintf(name, sizeof name, "/data/modes/MO%02x.json", slot + 1);
    return name;
}

std::string ModeFile::copyOsdCommand(unsigned slot)
{
    return "cp  /data/configs/omenu.json " + osdCopyPath(slot);
}

std::string ModeFile::removeCommand(unsigned slot)
{
    return "rm  -rf  " + path(slot);
}

std::string ModeFile::removeOsdCopyCommand(unsigned slot)
{
    return "rm  -rf  " + osdCopyPath(slot);
}

ModeFile::Write ModeFile::write(unsigned slot, uint8_t* slotData, const std::function<void()>& prepare)
{
    const std::string host = PathMap::hostForWrite(path(slot));
    if (host.empty() || !AtomicFile::folderWritable(host))
        return Write::NotCreated;
    if (prepare)
        prepare();
    // Replaced whole: a crash while writing leaves the previous mode.
    return AtomicFile::replaceHost(host, slotData, RamLayout::kSlotFileSize) ? Write::Written : Write::Failed;
}

ModeFile::Read ModeFile::read(unsigned slot, uint8_t* slotData)
{
    const std::string host = PathMap::host(path(slot));
    FILE* f = std::fopen(host.c_str(), "rb");
    if (!f) {
        struct stat st;
        return ::lstat(host.c_str(), &st) == 0 ? Read::Unreadable : Read::Missing;
    }
    // Read aside first: a short or unreadable file leaves the slot as it was.
    uint8_t image[RamLayout::kSlotFileSize];
    const size_t got = std::fread(image, 1, sizeof image, f);
    std::fclose(f);
    if (got != sizeof image)
        return Read::Unreadable;
    std::memcpy(slotData, image, sizeof image);
    return Read::Loaded;
}
