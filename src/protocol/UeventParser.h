#pragma once
#include "protocol/UsbEvent.h"

#include <cstddef>

namespace kel::protocol {

// Reads one kernel uevent message ("ACTION@DEVPATH" then NUL-separated
// KEY=VALUE pairs) and keeps it only when it is the add or removal of a
// USB block device (a disk or one of its partitions).
class UeventParser {
public:
    static bool parse(const char* data, size_t length, UsbEvent& out);
};

} // namespace kel::protocol
