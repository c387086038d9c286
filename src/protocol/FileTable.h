#pragma once
#include <cstddef>
#include <cstdint>

namespace kel::protocol {

// The only places the file commands may store, read or delete. A request
// names a file by (file type, four-character tag); received text never
// becomes part of a path.
class FileTable {
public:
    enum class Kind { Recovery, Smart, Config, Program };

    struct Entry {
        uint8_t type;       // file type; kAnyType for the "defined" files
        char tag[5];
        const char* path;   // logical path
        Kind kind;
        bool readable;
    };

    static constexpr uint8_t kAnyType = 0xFF;
    // Largest file accepted (the size of the upgrade buffer).
    static constexpr uint32_t kMaxFileSize = 5u * 1024u * 1024u;

    // A plain transfer names (type, tag) (the configuration files match
    // any type); a "defined" transfer names a file by its tag alone. Null
    // when the tag is not in the table.
    static const Entry* find(uint8_t type, const uint8_t* tag, bool defined);

    // The two folders the delete command empties.
    static const char* const kSmartDir;
    static const char* const kRecoveryDir;
    static const char* const kEdidDir;
    // Program upgrade route.
    static const char* const kProgramFile;
    static const char* const kProgramNew;
};

} // namespace kel::protocol
