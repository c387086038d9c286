#include "platform/PathMap.h"

#include "platform/LogLine.h"

#include <QDir>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kel::platform {
namespace {
std::mutex g_lock;
std::string g_root = "/";

// Lexical clean-up of an absolute path: "." and empty parts vanish and ".."
// never climbs above "/".
std::string normalise(const std::string& p)
{
    std::vector<std::string> parts;
    size_t i = 0;
    while (i <= p.size()) {
        size_t j = p.find('/', i);
        if (j == std::string::npos)
            j = p.size();
        std::string part = p.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        i = j + 1;
    }
    std::string out;
    for (auto& part : parts)
        out += "/" + part;
    return out.empty() ? "/" : out;
}

std::string realPath(const std::string& p)
{
    char buf[PATH_MAX];
    return ::realpath(p.c_str(), buf) ? std::string(buf) : std::string();
}

bool under(const std::string& path, const std::string& top)
{
    return top == "/" || path == top || path.compare(0, top.size() + 1, top + "/") == 0;
}

// Where a write to p lands: the real folder of the deepest existing
// ancestor, and a link at the end followed (a few hops, then given up).
std::string landing(std::string p)
{
    for (int hops = 0; hops < 8; ++hops) {
        const size_t slash = p.find_last_of('/');
        std::string dir = slash == 0 ? "/" : p.substr(0, slash);
        const std::string name = p.substr(slash + 1);
        std::string rest;
        std::string real = realPath(dir);
        while (real.empty() && dir != "/") {
            const size_t up = dir.find_last_of('/');
            rest = dir.substr(up) + rest;
            dir = up == 0 ? "/" : dir.substr(0, up);
            real = realPath(dir);
        }
        const std::string folder = normalise(real + rest);
        const std::string full = normalise(folder + "/" + name);
        struct stat st;
        if (!rest.empty() || ::lstat(full.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return full;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(full.c_str(), target, sizeof target - 1);
        if (n <= 0)
            return {};
        target[n] = '\0';
        p = normalise(target[0] == '/' ? std::string(target) : folder + "/" + target);
    }
    return {};
}

} // namespace

void PathMap::setRoot(const std::string& root)
{
    std::lock_guard<std::mutex> l(g_lock);
    if (root.empty()) {
        g_root = "/";
        return;
    }
    std::string abs = root;
    if (abs.front() != '/')
        abs = QDir::currentPath().toStdString() + "/" + abs;
    g_root = normalise(abs);
}

std::string PathMap::root()
{
    std::lock_guard<std::mutex> l(g_lock);
    return g_root;
}

bool PathMap::isIdentity() { return root() == "/"; }

std::string PathMap::host(const std::string& logical)
{
    const std::string r = root();
    if (r == "/" || logical.empty())
        return logical;
    std::string clean = normalise(logical.front() == '/' ? logical : "/" + logical);
    // ".." can never climb above the root: cleanPath of an absolute path
    // stops at "/".
    if (clean == "/")
        return r;
    return r + clean;
}

QString PathMap::host(const QString& logical)
{
    return QString::fromStdString(host(logical.toStdString()));
}

std::string PathMap::logical(const std::string& hostPath)
{
    const std::string r = root();
    if (r == "/")
        return hostPath;
    std::string clean = normalise(hostPath);
    if (clean == r)
        return "/";
    if (clean.compare(0, r.size() + 1, r + "/") == 0)
        return clean.substr(r.size());
    return hostPath;
}

QString PathMap::logical(const QString& hostPath)
{
    return QString::fromStdString(logical(hostPath.toStdString()));
}

bool PathMap::insideRoot(const std::string& hostPath)
{
    return under(normalise(hostPath), root());
}

bool PathMap::writesInsideRoot(const std::string& hostPath)
{
    const std::string r = root();
    if (r == "/")
        return true;
    const std::string realRoot = realPath(r);
    const std::string lands = landing(normalise(hostPath));
    if (!lands.empty() && (under(lands, r) || (!realRoot.empty() && under(lands, realRoot))))
        return true;
    LogLine::error("refused to write %s: it resolves outside the root (%s)\n", hostPath.c_str(),
                 lands.empty() ? "too many links" : lands.c_str());
    return false;
}

std::string PathMap::hostForWrite(const std::string& logical)
{
    const std::string h = host(logical);
    return writesInsideRoot(h) ? h : std::string();
}

QString PathMap::hostForWrite(const QString& logical)
{
    return QString::fromStdString(hostForWrite(logical.toStdString()));
}

bool PathMap::prepareRoot()
{
    static const char* const folders[] = {
        "/data", "/data/configs", "/data/modes", "/data/app", "/data/edidramtable",
        "/data/rcvrecovery", "/data/smartmapping", "/mnt/usb1", "/etc", "/etc/network",
        "/dev", "/proc/scsi/usb-storage", "/tmp", "/sim"};
    bool ok = true;
    for (const char* f : folders)
        ok = QDir().mkpath(QString::fromStdString(host(std::string(f)))) && ok;
    return ok;
}

} // namespace kel::platform
