#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace kel::platform {

struct MtdInfo {
    uint8_t type = 0;
    uint32_t flags = 0;
    uint32_t size = 0;
    uint32_t erasesize = 0;
    uint32_t writesize = 0;
};

// MTD character devices reached through a caller-owned descriptor:
// MEMGETINFO, MEMUNLOCK, MEMERASE and pwrite.
class MtdService {
public:
    virtual ~MtdService() = default;
    // Opens a logical device path ("/dev/mtd8"); -1 on failure.
    virtual int open(const std::string& logicalPath, int flags) = 0;
    virtual int close(int fd) = 0;
    // Each returns 0 on success and -1 on failure, like the ioctl.
    virtual int getInfo(int fd, MtdInfo& info) = 0;
    virtual int unlock(int fd, uint32_t start, uint32_t length) = 0;
    virtual int erase(int fd, uint32_t start, uint32_t length) = 0;
    virtual ssize_t pwrite(int fd, const void* data, size_t len, off_t offset) = 0;
    virtual ssize_t pread(int fd, void* data, size_t len, off_t offset) = 0;
};

} // namespace kel::platform
