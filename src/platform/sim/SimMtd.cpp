#include "platform/sim/SimMtd.h"

#include "platform/PathMap.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace kel::platform::sim {

void SimMtd::define(const std::string& logicalPath, uint32_t size, uint32_t erasesize, uint32_t writesize)
{
    std::lock_guard<std::mutex> l(lock_);
    MtdInfo info;
    info.type = 3; // MTD_NORFLASH
    info.flags = 0x400;
    info.size = size;
    info.erasesize = erasesize;
    info.writesize = writesize;
    geometry_[logicalPath] = info;
}

int SimMtd::open(const std::string& logicalPath, int flags)
{
    MtdInfo info;
    {
        std::lock_guard<std::mutex> l(lock_);
        auto it = geometry_.find(logicalPath);
        if (it == geometry_.end())
            return -1;
        info = it->second;
    }
    const std::string host = PathMap::host(logicalPath);
    struct stat st;
    if (::stat(host.c_str(), &st) != 0 || static_cast<uint32_t>(st.st_size) != info.size) {
        int c = ::open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (c < 0)
            return -1;
        std::vector<uint8_t> blank(64 * 1024, 0xFF);
        for (uint32_t done = 0; done < info.size;) {
            size_t n = std::min<size_t>(blank.size(), info.size - done);
            if (::write(c, blank.data(), n) != static_cast<ssize_t>(n)) {
                ::close(c);
                return -1;
            }
            done += n;
        }
        ::close(c);
    }
    int fd = ::open(host.c_str(), (flags & O_ACCMODE) | O_CLOEXEC);
    if (fd >= 0) {
        std::lock_guard<std::mutex> l(lock_);
        open_[fd] = logicalPath;
    }
    return fd;
}

int SimMtd::close(int fd)
{
    {
        std::lock_guard<std::mutex> l(lock_);
        open_.erase(fd);
    }
    return ::close(fd);
}

const MtdInfo* SimMtd::infoFor(int fd) const
{
    auto it = open_.find(fd);
    if (it == open_.end())
        return nullptr;
    auto g = geometry_.find(it->second);
    return g == geometry_.end() ? nullptr : &g->second;
}

bool SimMtd::failing(Op op)
{
    auto it = failAt_.find(op);
    if (it == failAt_.end())
        return false;
    if (it->second == 0) {
        failAt_.erase(it);
        return true;
    }
    --it->second;
    return false;
}

int SimMtd::getInfo(int fd, MtdInfo& info)
{
    std::lock_guard<std::mutex> l(lock_);
    calls_.push_back(Call{Op::GetInfo, 0, 0});
    const MtdInfo* g = infoFor(fd);
    if (!g || failing(Op::GetInfo))
        return -1;
    info = *g;
    return 0;
}

int SimMtd::unlock(int fd, uint32_t start, uint32_t length)
{
    std::lock_guard<std::mutex> l(lock_);
    calls_.push_back(Call{Op::Unlock, start, length});
    return (!infoFor(fd) || failing(Op::Unlock)) ? -1 : 0;
}

int SimMtd::erase(int fd, uint32_t start, uint32_t length)
{
    {
        std::lock_guard<std::mutex> l(lock_);
        calls_.push_back(Call{Op::Erase, start, length});
        const MtdInfo* g = infoFor(fd);
        if (!g || failing(Op::Erase))
            return -1;
        if (g->erasesize == 0 || start % g->erasesize || length % g->erasesize ||
            uint64_t(start) + length > g->size)
            return -1;
    }
    std::vector<uint8_t> blank(length, 0xFF);
    return ::pwrite(fd, blank.data(), length, start) == static_cast<ssize_t>(length) ? 0 : -1;
}

ssize_t SimMtd::pwrite(int fd, const void* data, size_t len, off_t offset)
{
    size_t n = len;
    {
        std::lock_guard<std::mutex> l(lock_);
        calls_.push_back(Call{Op::Write, static_cast<uint32_t>(offset), static_cast<uint32_t>(len)});
        const MtdInfo* g = infoFor(fd);
        if (!g || failing(Op::Write))
            return -1;
        if (uint64_t(offset) + len > g->size)
            return -1;
        if (shortBy_ && n > 0) {
            n = n > shortBy_ ? n - shortBy_ : 0;
            shortBy_ = 0;
        }
    }
    return ::pwrite(fd, data, n, offset);
}

ssize_t SimMtd::pread(int fd, void* data, size_t len, off_t offset)
{
    return ::pread(fd, data, len, offset);
}

void SimMtd::failAfter(Op op, int nth)
{
    std::lock_guard<std::mutex> l(lock_);
    failAt_[op] = nth;
}

void SimMtd::setShortWrite(size_t shortBy)
{
    std::lock_guard<std::mutex> l(lock_);
    shortBy_ = shortBy;
}

std::vector<SimMtd::Call> SimMtd::calls() const
{
    std::lock_guard<std::mutex> l(lock_);
    return calls_;
}

void SimMtd::clearCalls()
{
    std::lock_guard<std::mutex> l(lock_);
    calls_.clear();
}

} // namespace kel::platform::sim
