#include "platform/AtomicFile.h"

#include "platform/LogLine.h"
#include "platform/PathMap.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kel::platform {
namespace {
std::atomic<int> g_crashes{0};

bool takeCrash()
{
    int n = g_crashes.load();
    while (n > 0 && !g_crashes.compare_exchange_weak(n, n - 1)) {
    }
    return n > 0;
}

bool namedAsTemporary(const char* name)
{
    const size_t n = std::strlen(name), k = std::strlen(AtomicFile::kTempSuffix);
    return n > k && std::strcmp(name + n - k, AtomicFile::kTempSuffix) == 0;
}
} // namespace

void AtomicFile::crashBeforeWrite(int n) { g_crashes = n; }

bool AtomicFile::replace(const std::string& logicalPath, const void* data, size_t size)
{
    const std::string host = PathMap::hostForWrite(logicalPath);
    return !host.empty() && replaceHost(host, data, size);
}

bool AtomicFile::folderWritable(const std::string& hostPath)
{
    const size_t slash = hostPath.find_last_of('/');
    const std::string dir = slash == 0 ? "/" : hostPath.substr(0, slash);
    struct stat st;
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(dir.c_str(), W_OK) == 0;
}

bool AtomicFile::replaceHost(const std::string& hostPath, const void* data, size_t size)
{
    const std::string temp = tempPath(hostPath);
    // A leftover temporary file (or a link planted under its name) is
    // removed, never followed.
    ::unlink(temp.c_str());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    FILE* f = fd < 0 ? nullptr : ::fdopen(fd, "wb");
    if (!f) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    if (takeCrash()) {
        std::fclose(f);
        return false;
    }
    bool ok = std::fwrite(data, 1, size, f) == size && std::fflush(f) == 0 && ::fsync(fileno(f)) == 0;
    // fclose flushes too: its failure (a full disk) loses the content.
    ok = std::fclose(f) == 0 && ok;
    if (!ok || std::rename(temp.c_str(), hostPath.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

int AtomicFile::removeStaleTemporaries(const std::string& logicalFolder)
{
    const std::string host = PathMap::hostForWrite(logicalFolder);
    const int fd = host.empty() ? -1 : ::open(host.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
    if (!dir) {
        if (fd >= 0)
            ::close(fd);
        return 0;
    }
    int removed = 0;
    while (const dirent* e = ::readdir(dir)) {
        struct stat st;
        if (!namedAsTemporary(e->d_name) || ::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)))
            continue;
        if (::unlinkat(fd, e->d_name, 0) == 0) {
            LogLine::error("removed %s/%s left by a write cut short\n", logicalFolder.c_str(), e->d_name);
            ++removed;
        }
    }
    ::closedir(dir);
    return removed;
}

} // namespace kel::platform
