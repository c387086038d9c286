#include "platform/sim/SimCommandRunner.h"

#include "platform/PathMap.h"
#include "platform/ShellWords.h"
#include "platform/sim/SimClock.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

#include <arpa/inet.h>
#include <fcntl.h>
#include <glob.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <sstream>

namespace kel::platform::sim {
namespace {

using Words = std::vector<std::string>;

std::string realPath(const std::string& p)
{
    char buf[PATH_MAX];
    return ::realpath(p.c_str(), buf) ? std::string(buf) : std::string();
}

// Host path of a logical path when it lies inside the root, also after
// the symbolic links of its folder are followed; empty otherwise.
std::string insideHost(const std::string& logical)
{
    if (logical.empty() || logical.front() != '/')
        return std::string();
    const std::string host = PathMap::host(logical);
    const std::string root = realPath(PathMap::root());
    if (root.empty() || host == PathMap::root())
        return std::string();
    // The nearest folder that exists, with its links followed, must lie
    // inside the root.
    std::string folder = host.substr(0, host.find_last_of('/'));
    std::string parent = realPath(folder);
    while (parent.empty() && folder.size() > 1) {
        folder = folder.substr(0, folder.find_last_of('/'));
        parent = realPath(folder.empty() ? "/" : folder);
    }
    if (parent != root && parent.compare(0, root.size() + 1, root + "/") != 0)
        return std::string();
    return host;
}

// The file a host path names, links followed, lies inside the root.
bool resolvesInside(const std::string& host)
{
    const std::string root = realPath(PathMap::root());
    const std::string real = realPath(host);
    return !root.empty() && real.compare(0, root.size() + 1, root + "/") == 0;
}

// A file that a command edits in place: it must exist and, with the links
// on its way and the link it may itself be followed, lie inside the root.
std::string editableHost(const std::string& logical)
{
    const std::string host = insideHost(logical);
    return !host.empty() && resolvesInside(host) ? host : std::string();
}

// Expands a word with wildcards against the root; plain words map as they are.
std::vector<std::string> expand(const std::string& logical)
{
    if (logical.find_first_of("*?[") == std::string::npos)
        return {insideHost(logical)};
    std::vector<std::string> out;
    glob_t g{};
    if (::glob(PathMap::host(logical).c_str(), 0, nullptr, &g) == 0) {
        for (size_t i = 0; i < g.gl_pathc; ++i)
            out.push_back(insideHost(PathMap::logical(std::string(g.gl_pathv[i]))));
    }
    ::globfree(&g);
    return out;
}

bool exists(const std::string& host)
{
    struct stat st;
    return ::lstat(host.c_str(), &st) == 0;
}

// Splits leading "-xyz" options from the operands.
void options(const Words& w, std::string& opts, Words& operands)
{
    bool endOfOptions = false;
    for (size_t i = 1; i < w.size(); ++i) {
        if (!endOfOptions && w[i] == "--")
            endOfOptions = true;
        else if (!endOfOptions && w[i].size() > 1 && w[i][0] == '-')
            opts += w[i].substr(1);
        else
            operands.push_back(w[i]);
    }
}

bool copyTree(const QString& from, const QString& to)
{
    QFileInfo info(from);
    if (info.isDir() && !info.isSymLink()) {
        if (!QDir().mkpath(to))
            return false;
        QDir dir(from);
        for (const QFileInfo& e : dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
            if (!copyTree(e.absoluteFilePath(), to + "/" + e.fileName()))
                return false;
        return true;
    }
    QFile::remove(to);
    return QFile::copy(from, to);
}

bool rewrite(const std::string& host, const std::function<void(QByteArray&)>& edit)
{
    QFile f(QString::fromStdString(host));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QByteArray data = f.readAll();
    f.close();
    edit(data);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(data) == data.size();
}

// Sets a file's mode from an octal or a symbolic ([ugoa]*[+-=][rwx]*) mode
// text; false when the file or the mode text is not usable.
bool applyMode(const std::string& host, const std::string& mode)
{
    struct stat st;
    if (::stat(host.c_str(), &st) != 0 || mode.empty())
        return false;
    mode_t m = st.st_mode & 07777;
    char* end = nullptr;
    const long octal = std::strtol(mode.c_str(), &end, 8);
    if (end && *end == '\0') {
        m = static_cast<mode_t>(octal);
    } else {
        const size_t op = mode.find_first_of("+-=");
        if (op == std::string::npos)
            return false;
        std::string who = mode.substr(0, op);
        if (who.empty() || who.find('a') != std::string::npos)
            who = "ugo";
        mode_t bits = 0;
        for (char p : mode.substr(op + 1)) {
            const mode_t b = p == 'r' ? 4 : p == 'w' ? 2 : p == 'x' ? 1 : 0;
            if (who.find('u') != std::string::npos) bits |= b << 6;
            if (who.find('g') != std::string::npos) bits |= b << 3;
            if (who.find('o') != std::string::npos) bits |= b;
        }
        m = mode[op] == '+' ? (m | bits) : mode[op] == '-' ? (m & ~bits) : bits;
    }
    return ::chmod(host.c_str(), m) == 0;
}

// chmod -R below a folder. Links met on the way are passed over, as chmod
// does, so nothing outside the folder changes.
bool applyModeBelow(const std::string& host, const std::string& mode)
{
    if (!QFileInfo(QString::fromStdString(host)).isDir())
        return true;
    bool ok = true;
    QDirIterator it(QString::fromStdString(host), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (!it.fileInfo().isSymLink() && !applyMode(it.filePath().toStdString(), mode))
            ok = false;
    }
    return ok;
}

const char* const kServices[] = {"hostapd", "udhcpd", "udhcpc", "wpa_supplicant"};

std::string baseName(const std::string& program)
{
    const size_t slash = program.find_last_of('/');
    return slash == std::string::npos ? program : program.substr(slash + 1);
}

} // namespace

int SimCommandRunner::system(const std::string& command)
{
    std::string ignored;
    return run(command, ignored);
}

int SimCommandRunner::capture(const std::string& command, std::string& output)
{
    output.clear();
    return run(command, output);
}

int SimCommandRunner::run(const std::string& command, std::string& output)
{
    Responder responder;
    {
        std::lock_guard<std::mutex> l(lock_);
        log_.push_back(command);
        ++commandsRun_;
        if (log_.size() > kKeptCommands)
            log_.pop_front();
        responder = responder_;
    }
    int status = 0;
    if (responder && responder(command, status, output))
        return status;
    return simulate(command, output);
}

int SimCommandRunner::simulate(const std::string& command, std::string& output)
{
    std::vector<Words> list;
    if (!ShellWords::parse(command, list))
        return 2 << 8; // the shell's syntax error
    int status = 0;
    for (const Words& w : list)
        status = simulateOne(w, output);
    return status;
}

int SimCommandRunner::simulateOne(const Words& w, std::string& output)
{
    const std::string program = baseName(w.front());
    if (program == "rm")
        return rm(w);
    if (program == "cp" || program == "mv")
        return cp(w, program == "mv");
    if (program == "chmod")
        return chmod(w);
    if (program == "dos2unix")
        return dos2unix(w);
    if (program == "sed")
        return sed(w);
    if (program == "chattr")
        return chattr(w);
    if (program == "sync" || program == "true")
        return 0;
    if (program == "false")
        return kFailed;

    std::lock_guard<std::mutex> l(lock_);
    if (program == "ifconfig")
        return ifconfig(w, output);
    if (program == "route")
        return route(w);
    if (program == "date")
        return date(w, output);
    if (program == "hwclock") {
        for (const auto& a : w)
            if (a == "-w" || a == "-wu" || a == "--systohc")
                ++hwclockWrites_;
        return 0;
    }
    if (program == "reboot") {
        rebootRequested_ = true;
        return 0;
    }
    if (program == "kill" || program == "killall")
        return kill(w);
    if (program == "pidof")
        return pidof(w, output);
    for (const char* s : kServices)
        if (program == s)
            return startService(w);
    return 0;
}

int SimCommandRunner::rm(const Words& w)
{
    std::string opts;
    Words operands;
    options(w, opts, operands);
    const bool recursive = opts.find_first_of("rR") != std::string::npos;
    const bool force = opts.find('f') != std::string::npos;
    int status = 0;
    for (const auto& op : operands) {
        const auto targets = expand(op);
        if (targets.empty() && !force)
            status = kFailed;
        for (const auto& host : targets) {
            if (host.empty()) {
                status = kFailed; // outside the root: refused
                continue;
            }
            struct stat st;
            if (::lstat(host.c_str(), &st) != 0) {
                if (!force)
                    status = kFailed;
                continue;
            }
            bool ok;
            if (S_ISDIR(st.st_mode))
                ok = recursive && QDir(QString::fromStdString(host)).removeRecursively();
            else
                ok = ::unlink(host.c_str()) == 0;
            if (!ok)
                status = kFailed;
        }
    }
    return status;
}

int SimCommandRunner::cp(const Words& w, bool move)
{
    std::string opts;
    Words operands;
    options(w, opts, operands);
    if (operands.size() < 2)
        return kFailed;
    const std::string dest = insideHost(operands.back());
    if (dest.empty())
        return kFailed;
    const bool recursive = opts.find_first_of("rRa") != std::string::npos;
    const bool destIsDir = QFileInfo(QString::fromStdString(dest)).isDir();
    if (operands.size() > 2 && !destIsDir)
        return kFailed;
    int status = 0;
    for (size_t i = 0; i + 1 < operands.size(); ++i) {
        for (const auto& src : expand(operands[i])) {
            if (src.empty() || !exists(src)) {
                status = kFailed;
                continue;
            }
            const QString from = QString::fromStdString(src);
            QString to = QString::fromStdString(dest);
            if (destIsDir)
                to += "/" + QFileInfo(from).fileName();
            bool ok;
            if (move) {
                ok = ::rename(src.c_str(), to.toStdString().c_str()) == 0;
            } else if (QFileInfo(from).isDir() && !recursive) {
                ok = false;
            } else {
                ok = copyTree(from, to);
            }
            if (!ok)
                status = kFailed;
        }
    }
    return status;
}

int SimCommandRunner::chmod(const Words& w)
{
    std::string opts;
    Words operands;
    options(w, opts, operands);
    if (operands.size() < 2)
        return kFailed;
    const std::string& mode = operands.front();
    const bool recursive = opts.find('R') != std::string::npos;
    int status = 0;
    for (size_t i = 1; i < operands.size(); ++i) {
        for (const auto& host : expand(operands[i])) {
            // chmod follows a link it is given: its target must lie inside too.
            if (host.empty() || !resolvesInside(host) || !applyMode(host, mode)) {
                status = kFailed;
                continue;
            }
            if (recursive && !applyModeBelow(host, mode))
                status = kFailed;
        }
    }
    return status;
}

int SimCommandRunner::dos2unix(const Words& w)
{
    std::string opts;
    Words operands;
    options(w, opts, operands);
    int status = 0;
    for (const auto& op : operands) {
        const std::string host = editableHost(op);
        if (host.empty() || !rewrite(host, [](QByteArray& d) { d.replace("\r\n", "\n"); }))
            status = kFailed;
    }
    return status;
}

int SimCommandRunner::sed(const Words& w)
{
    // Only in-place literal substitutions: sed -i 's/FROM/TO/[g]' FILE...
    if (w.size() < 4 || w[1] != "-i")
        return 0;
    const std::string& expr = w[2];
    if (expr.size() < 4 || expr[0] != 's')
        return 0;
    const char sep = expr[1];
    const size_t mid = expr.find(sep, 2);
    const size_t end = mid == std::string::npos ? mid : expr.find(sep, mid + 1);
    if (end == std::string::npos)
        return kFailed;
    const QByteArray from = QByteArray::fromStdString(expr.substr(2, mid - 2));
    const QByteArray to = QByteArray::fromStdString(expr.substr(mid + 1, end - mid - 1));
    const bool global = expr.find('g', end + 1) != std::string::npos;
    if (from.isEmpty() || from.contains('\\') || from.contains('.') || from.contains('*') ||
        from.contains('^') || from.contains('$') || from.contains('['))
        return 0; // patterns beyond literal text are not simulated
    int status = 0;
    for (size_t i = 3; i < w.size(); ++i) {
        const std::string host = editableHost(w[i]);
        const bool ok = !host.empty() && rewrite(host, [&](QByteArray& d) {
            QList<QByteArray> lines = d.split('\n');
            for (QByteArray& line : lines) {
                if (global) {
                    line.replace(from, to);
                } else {
                    const int at = line.indexOf(from);
                    if (at >= 0)
                        line.replace(at, from.size(), to);
                }
            }
            d = lines.join('\n');
        });
        if (!ok)
            status = kFailed;
    }
    return status;
}

int SimCommandRunner::chattr(const Words& w)
{
    std::string flags;
    Words files;
    for (size_t i = 1; i < w.size(); ++i) {
        if (!w[i].empty() && (w[i][0] == '+' || w[i][0] == '-' || w[i][0] == '='))
            flags = w[i];
        else
            files.push_back(w[i]);
    }
    int status = files.empty() ? kFailed : 0;
    for (const auto& f : files) {
        const std::string host = editableHost(f);
        if (host.empty() || !exists(host)) {
            status = kFailed;
            continue;
        }
        // Synchronous writes where the host's file system offers them; the
        // attribute is a hint, so a refusal is not an error.
        if (flags.find('S') != std::string::npos) {
            const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
            if (fd >= 0) {
                int attr = 0;
                if (::ioctl(fd, FS_IOC_GETFLAGS, &attr) == 0) {
                    attr = flags[0] == '-' ? (attr & ~FS_SYNC_FL) : (attr | FS_SYNC_FL);
                    (void)::ioctl(fd, FS_IOC_SETFLAGS, &attr);
                }
                ::close(fd);
            }
        }
    }
    return status;
}

int SimCommandRunner::ifconfig(const Words& w, std::string& output)
{
    if (w.size() == 1) {
        for (const auto& [iface, addr] : addresses_)
            output += iface + " " + addr + "\n";
        return 0;
    }
    const std::string& iface = w[1];
    if (iface == "eth0" && !wiredPort_) {
        output += "ifconfig: eth0: error fetching interface information: Device not found\n";
        return kFailed;
    }
    if (w.size() == 2) {
        auto it = addresses_.find(iface);
        output += iface + "  Link encap:Ethernet\n";
        if (it != addresses_.end())
            output += "  " + it->second + "\n";
        return 0;
    }
    std::string addr;
    for (size_t i = 2; i < w.size(); ++i) {
        if (w[i] == "up" || w[i] == "down")
            continue;
        addr += (addr.empty() ? "" : " ") + w[i];
    }
    if (!addr.empty() && addresses_[iface] != addr) {
        // A new address takes the interface down and up in the kernel: every
        // route through it goes.
        addresses_[iface] = addr;
        routes_.erase(std::remove_if(routes_.begin(), routes_.end(), [&](const Route& r) { return r.dev == iface; }),
                      routes_.end());
    }
    return 0;
}

// "route add|del [-host|-net] TARGET [netmask M] [gw G] [metric N] [[dev] D]".
SimCommandRunner::Route SimCommandRunner::parseRoute(const Words& w)
{
    Route r;
    std::string netmask;
    for (size_t i = 2; i < w.size(); ++i) {
        r.text += (r.text.empty() ? "" : " ") + w[i];
        if (w[i] == "-host" || w[i] == "-net")
            continue;
        if (i + 1 < w.size() && (w[i] == "gw" || w[i] == "metric" || w[i] == "dev" || w[i] == "netmask")) {
            std::string& field = w[i] == "gw" ? r.gateway : w[i] == "metric" ? r.metric : w[i] == "dev" ? r.dev : netmask;
            field = w[++i];
            r.text += " " + field;
        } else if (r.target.empty()) {
            r.target = w[i];
        } else {
            r.dev = w[i];  // a bare last word names the device
        }
    }
    if (!netmask.empty())
        r.target += "/" + netmask;
    return r;
}

// The interface a gateway is reached through: a host route to it, else the
// interface whose address's subnet holds it.
std::string SimCommandRunner::deviceFor(const std::string& gateway) const
{
    for (const Route& r : routes_)
        if (r.target == gateway && !r.dev.empty())
            return r.dev;
    in_addr gw{};
    if (::inet_pton(AF_INET, gateway.c_str(), &gw) != 1)
        return {};
    for (const auto& [iface, text] : addresses_) {
        std::istringstream in(text);
        std::string ip, word, mask;
        in >> ip >> word >> mask;
        in_addr a{}, m{};
        if (::inet_pton(AF_INET, ip.c_str(), &a) == 1 && ::inet_pton(AF_INET, mask.c_str(), &m) == 1
            && (a.s_addr & m.s_addr) == (gw.s_addr & m.s_addr))
            return iface;
    }
    return {};
}

namespace {
std::string metricOf(const SimCommandRunner::Route& r) { return r.metric.empty() ? "0" : r.metric; }
} // namespace

// As the kernel keeps it: an identical route is refused, a delete removes
// the first route matching every field it names, and a route through a
// gateway belongs to the interface that reaches the gateway.
int SimCommandRunner::route(const Words& w)
{
    if (w.size() < 3)
        return 0;
    Route r = parseRoute(w);
    if (w[1] == "add") {
        if (r.dev.empty() && !r.gateway.empty())
            r.dev = deviceFor(r.gateway);
        for (const Route& e : routes_)
            if (e.target == r.target && e.gateway == r.gateway && metricOf(e) == metricOf(r) && e.dev == r.dev)
                return kFailed;  // "SIOCADDRT: File exists"
        routes_.push_back(r);
        return 0;
    }
    if (w[1] == "del") {
        for (auto it = routes_.begin(); it != routes_.end(); ++it)
            if (it->target == r.target && (r.gateway.empty() || it->gateway == r.gateway)
                && (r.metric.empty() || metricOf(*it) == r.metric) && (r.dev.empty() || it->dev == r.dev)) {
                routes_.erase(it);
                return 0;
            }
        return kFailed;  // "SIOCDELRT: No such process"
    }
    return 0;
}

// "date [-s|--set] TIME" sets the simulated clock, "date [+FORMAT]" prints
// it. As busybox does, a bare operand that is not a format is the time to
// set ("date \"2024-1-5 9:7:3\""). The host clock is never touched.
int SimCommandRunner::date(const Words& w, std::string& output)
{
    std::string setText;
    bool set = false;
    for (size_t i = 1; i < w.size(); ++i) {
        if ((w[i] == "-s" || w[i] == "--set") && i + 1 < w.size()) {
            setText = w[++i];
            set = true;
        } else if (!w[i].empty() && w[i][0] != '-' && w[i][0] != '+') {
            setText = w[i];
            set = true;
        }
    }
    if (set) {
        const QString text = QString::fromStdString(setText);
        static const char* const formats[] = {"yyyy-M-d h:m:s", "yyyy-M-d h:m", "yyyy.MM.dd-hh:mm:ss",
                                              "yyyy/MM/dd hh:mm:ss"};
        for (const char* f : formats) {
            const QDateTime t = QDateTime::fromString(text, QString::fromLatin1(f));
            if (t.isValid()) {
                clock_.set(t);
                output += t.toString(QStringLiteral("ddd MMM d hh:mm:ss yyyy")).toStdString() + "\n";
                return 0;
            }
        }
        output += "date: invalid date '" + setText + "'\n";
        return kFailed;
    }
    const time_t t = static_cast<time_t>(clock_.now().toSecsSinceEpoch());
    struct tm tmv;
    ::localtime_r(&t, &tmv);
    std::string format = "%a %b %e %H:%M:%S %Z %Y";
    for (size_t i = 1; i < w.size(); ++i)
        if (!w[i].empty() && w[i][0] == '+')
            format = w[i].substr(1);
    char buf[256];
    const size_t n = ::strftime(buf, sizeof buf, format.c_str(), &tmv);
    output += std::string(buf, n) + "\n";
    return 0;
}

int SimCommandRunner::kill(const Words& w)
{
    bool found = false;
    for (size_t i = 1; i < w.size(); ++i) {
        if (w[i].empty() || w[i][0] == '-')
            continue;
        for (auto it = services_.begin(); it != services_.end(); ++it) {
            if (it->first == w[i] || std::to_string(it->second) == w[i]) {
                services_.erase(it);
                found = true;
                break;
            }
        }
    }
    return found ? 0 : kFailed;
}

int SimCommandRunner::pidof(const Words& w, std::string& output)
{
    std::string pids;
    for (size_t i = 1; i < w.size(); ++i) {
        auto it = services_.find(baseName(w[i]));
        if (it != services_.end())
            pids += (pids.empty() ? "" : " ") + std::to_string(it->second);
    }
    if (pids.empty())
        return kFailed;
    output += pids + "\n";
    return 0;
}

int SimCommandRunner::startService(const Words& w)
{
    const std::string name = baseName(w.front());
    if (!services_.count(name))
        services_[name] = nextPid_++;
    return 0;
}

std::vector<std::string> SimCommandRunner::commands() const
{
    std::lock_guard<std::mutex> l(lock_);
    return std::vector<std::string>(log_.begin(), log_.end());
}

void SimCommandRunner::clear()
{
    std::lock_guard<std::mutex> l(lock_);
    log_.clear();
}

void SimCommandRunner::setResponder(Responder r)
{
    std::lock_guard<std::mutex> l(lock_);
    responder_ = std::move(r);
}

void SimCommandRunner::setWiredPortPresent(bool present)
{
    std::lock_guard<std::mutex> l(lock_);
    wiredPort_ = present;
}

bool SimCommandRunner::wiredPortPresent() const
{
    std::lock_guard<std::mutex> l(lock_);
    return wiredPort_;
}

bool SimCommandRunner::rebootRequested() const
{
    std::lock_guard<std::mutex> l(lock_);
    return rebootRequested_;
}

int64_t SimCommandRunner::clockOffsetSeconds() const
{
    std::lock_guard<std::mutex> l(lock_);
    return clock_.offsetSeconds();
}

bool SimCommandRunner::running(const std::string& program) const
{
    std::lock_guard<std::mutex> l(lock_);
    return services_.count(program) != 0;
}

std::string SimCommandRunner::interfaceAddress(const std::string& iface) const
{
    std::lock_guard<std::mutex> l(lock_);
    auto it = addresses_.find(iface);
    return it == addresses_.end() ? std::string() : it->second;
}

std::vector<std::string> SimCommandRunner::routes() const
{
    std::lock_guard<std::mutex> l(lock_);
    std::vector<std::string> out;
    for (const Route& r : routes_)
        out.push_back(r.text);
    return out;
}

QJsonObject SimCommandRunner::state() const
{
    std::lock_guard<std::mutex> l(lock_);
    QJsonObject o;
    o["wiredPort"] = wiredPort_;
    o["rebootRequested"] = rebootRequested_;
    o["clockOffsetSeconds"] = static_cast<double>(clock_.offsetSeconds());
    o["hwclockWrites"] = hwclockWrites_;
    QJsonObject addrs;
    for (const auto& [iface, a] : addresses_)
        addrs[QString::fromStdString(iface)] = QString::fromStdString(a);
    o["interfaces"] = addrs;
    QJsonArray routes;
    for (const auto& r : routes_)
        routes.append(QString::fromStdString(r.text));
    o["routes"] = routes;
    QJsonObject services;
    for (const auto& [name, pid] : services_)
        services[QString::fromStdString(name)] = pid;
    o["services"] = services;
    o["commandsRun"] = static_cast<double>(commandsRun_);
    QJsonArray texts;
    for (const auto& c : log_)
        texts.append(QString::fromStdString(c));
    o["commands"] = texts;
    return o;
}

} // namespace kel::platform::sim
