#pragma once
#include "platform/MtdService.h"

namespace kel::platform::linuxdev {

class LinuxMtd : public MtdService {
public:
    int open(const std::string& logicalPath, int flags) override;
    int close(int fd) override;
    int getInfo(int fd, MtdInfo& info) override;
    int unlock(int fd, uint32_t start, uint32_t length) override;
    int erase(int fd, uint32_t start, uint32_t length) override;
    ssize_t pwrite(int fd, const void* data, size_t len, off_t offset) override;
    ssize_t pread(int fd, void* data, size_t len, off_t offset) override;
};

} // namespace kel::platform::linuxdev
