#pragma once
#include "platform/MtdService.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace kel::platform::sim {

// MTD devices backed by image files under the root ("/dev/mtd8" is the
// file <root>/dev/mtd8). Erase fills 0xFF. Operations are logged and each
// kind can be made to fail.
class SimMtd : public MtdService {
public:
    enum class Op { GetInfo, Unlock, Erase, Write };
    struct Call { Op op; uint32_t offset; uint32_t length; };

    // Declares a device's geometry; its image is created on first open.
    void define(const std::string& logicalPath, uint32_t size, uint32_t erasesize, uint32_t writesize);

    int open(const std::string& logicalPath, int flags) override;
    int close(int fd) override;
    int getInfo(int fd, MtdInfo& info) override;
    int unlock(int fd, uint32_t start, uint32_t length) override;
    int erase(int fd, uint32_t start, uint32_t length) override;
    ssize_t pwrite(int fd, const void* data, size_t len, off_t offset) override;
    ssize_t pread(int fd, void* data, size_t len, off_t offset) override;

    // Fault injection: the call number `nth` (0 = next) of this kind fails;
    // a short write writes only `shortBy` bytes less.
    void failAfter(Op op, int nth);
    void setShortWrite(size_t shortBy);
    std::vector<Call> calls() const;
    void clearCalls();

private:
    bool failing(Op op);
    const MtdInfo* infoFor(int fd) const;

    mutable std::mutex lock_;
    std::map<std::string, MtdInfo> geometry_;
    std::map<int, std::string> open_;
    std::map<Op, int> failAt_;
    size_t shortBy_ = 0;
    std::vector<Call> calls_;
};

} // namespace kel::platform::sim
