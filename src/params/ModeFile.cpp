#include "params/ModeFile.h"

#include "params/RamLayout.h"
#include "platform/PathMap.h"

#include <cstdio>

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

bool ModeFile::write(unsigned slot, const uint8_t* slotData)
{
    FILE* f = std::fopen(PathMap::host(path(slot)).c_str(), "wb+");
    if (!f)
        return false;
    const bool written = std::fwrite(slotData, 1, RamLayout::kSlotFileSize, f) == RamLayout::kSlotFileSize;
    // fclose flushes: its failure (a full disk) loses the mode.
    return std::fclose(f) == 0 && written;
}

bool ModeFile::read(unsigned slot, uint8_t* slotData)
{
    FILE* f = std::fopen(PathMap::host(path(slot)).c_str(), "rb");
    if (!f)
        return false;
    (void)std::fread(slotData, 1, RamLayout::kSlotFileSize, f);
    std::fclose(f);
    return true;
}
