#include "platform/PathMap.h"

#include <QDir>
#include <mutex>
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
    const std::string r = root();
    if (r == "/")
        return true;
    std::string clean = normalise(hostPath);
    return clean == r || clean.compare(0, r.size() + 1, r + "/") == 0;
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
