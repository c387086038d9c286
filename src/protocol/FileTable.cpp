#include "protocol/FileTable.h"

#include "params/StoreFolders.h"

#include <cstring>

namespace kel::protocol {

const char* const FileTable::kSmartDir = StoreFolders::kSmartMappingDir;
const char* const FileTable::kRecoveryDir = StoreFolders::kRecoveryDir;
const char* const FileTable::kEdidDir = "/data/edidramtable";
const char* const FileTable::kProgramFile = "/data/app/kelT57N";
const char* const FileTable::kProgramNew = "/data/app/kelT57N2";

namespace {

const FileTable::Entry kEntries[] = {
    {9, "QJFX", "/data/rcvrecovery/QJFX", FileTable::Kind::Recovery, true},
    {13, "QJFR", "/data/smartmapping/QJFR", FileTable::Kind::Smart, true},
    {1, "APPL", "/data/app/kelT57N2", FileTable::Kind::Program, false},
    {FileTable::kAnyType, "OSDS", "/data/configs/omenu.json", FileTable::Kind::Config, true},
    {FileTable::kAnyType, "ALIS", "/data/configs/alias.json", FileTable::Kind::Config, true},
};

} // namespace

const FileTable::Entry* FileTable::find(uint8_t type, const uint8_t* tag, bool defined)
{
    for (const Entry& e : kEntries) {
        if (std::memcmp(e.tag, tag, 4) != 0)
            continue;
        if (defined || e.type == kAnyType || e.type == type)
            return &e;
    }
    return nullptr;
}

} // namespace kel::protocol
