#include "StraceAudit.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace kel::test {
namespace {

// System calls that create, change or remove a file, with the path in the
// first quoted argument (and the second for the two-path calls).
const char* const kFileChanges[] = {"mkdir", "mkdirat", "rename", "renameat", "renameat2", "unlink", "unlinkat",
                                    "rmdir", "symlink", "symlinkat", "link", "linkat", "chmod", "fchmodat",
                                    "fchmodat2", "truncate", "creat", "mknod", "mknodat", "utimensat", "futimesat",
                                    "chown", "fchownat"};

// Calls that follow a link at the end of their path: a link planted in the
// root must not carry them outside it.
bool followsLinks(const QString& call)
{
    return call.startsWith("open") || call == "creat" || call == "truncate" || call.startsWith("chmod") ||
           call.startsWith("fchmodat") || call == "chown" || call == "utimensat" || call == "futimesat";
}

QStringList quotedArguments(const QString& line)
{
    static const QRegularExpression re(QStringLiteral("\"((?:[^\"\\\\]|\\\\.)*)\""));
    QStringList out;
    auto it = re.globalMatch(line);
    while (it.hasNext())
        out << it.next().captured(1);
    return out;
}

QString syscallName(const QString& line)
{
    static const QRegularExpression re(QStringLiteral("^\\d+\\s+(?:<\\.\\.\\. )?([a-z0-9_]+)[( ]"));
    const auto m = re.match(line);
    return m.hasMatch() ? m.captured(1) : QString();
}

} // namespace

QStringList StraceAudit::straceArguments(const QString& logFile)
{
    return {"strace", "-f", "-qq", "-s", "512", "-o", logFile, "-e",
            "trace=execve,execveat,open,openat,openat2,creat,mkdir,mkdirat,rename,renameat,renameat2,unlink,"
            "unlinkat,rmdir,symlink,symlinkat,link,linkat,chmod,fchmodat,?fchmodat2,truncate,mknod,mknodat,"
            "utimensat,futimesat,chown,fchownat,connect,sendto,sendmsg,sendmmsg,bind"};
}

bool StraceAudit::pathAllowed(const QString& rawPath, bool followed, bool inTemp) const
{
    QString path = QDir::cleanPath(rawPath.startsWith('/') ? rawPath : root_ + "/" + rawPath);
    // Where a link left in place after the run leads: the folders always,
    // the last part only for calls that follow it. The root's own folders
    // are mapped back, so a root under a linked /tmp passes.
    const QFileInfo info(path);
    const QString target = followed && info.isSymLink() ? info.symLinkTarget() : path;
    const QString folder = QFileInfo(QFileInfo(target).path()).canonicalFilePath();
    const QString real = folder.isEmpty() ? QString() : folder + "/" + QFileInfo(target).fileName();
    const QString realRoot = QFileInfo(root_).canonicalFilePath();
    if (!real.isEmpty() && !realRoot.isEmpty() && (real + "/").startsWith(realRoot + "/"))
        path = root_ + real.mid(realRoot.size());
    else if (!real.isEmpty())
        path = real;
    for (const QString& f : forbidden_)
        if (path == f || path.startsWith(f + "/"))
            return false;
    if (path == root_ || path.startsWith(root_ + "/"))
        return true;
    if (!inTemp)
        return false;
    if (path == "/dev/null" || path == "/dev/ptmx" || path.startsWith("/dev/pts/"))
        return true;
    const QString temp = QDir::cleanPath(QDir::tempPath());
    return path.startsWith(temp + "/") || path.startsWith("/tmp/") || path.startsWith("/var/tmp/");
}

void StraceAudit::checkLine(const QString& line)
{
    const QString call = syscallName(line);
    if (call.isEmpty() || line.contains(QLatin1String("resumed>")))
        return;
    const QStringList args = quotedArguments(line);
    if (call == "execve" || call == "execveat") {
        if (++execs_ > 1)
            violations_ << "started a program: " + line;
        return;
    }
    if (call == "open" || call == "openat" || call == "openat2") {
        const bool writes = line.contains("O_WRONLY") || line.contains("O_RDWR") || line.contains("O_CREAT") ||
                            line.contains("O_TRUNC");
        if (writes && !args.isEmpty() && !pathAllowed(args.first(), !line.contains("O_NOFOLLOW")))
            violations_ << "opened for writing outside the root: " + line;
        return;
    }
    for (const char* c : kFileChanges) {
        if (call == QLatin1String(c)) {
            // A link's source ("/proc/self/fd/N" of a file being saved, or a
            // symbolic link's text) is not changed; its new name is.
            const bool onlyLast = call.startsWith("link") || call.startsWith("symlink");
            const QStringList changed = onlyLast && !args.isEmpty() ? QStringList{args.last()} : args;
            // A folder left behind in a temporary folder outlives the run.
            const bool madeFolder = call.startsWith("mkdir");
            for (const QString& a : changed)
                if (!pathAllowed(a, followsLinks(call), !madeFolder))
                    violations_ << (madeFolder ? "made a folder outside the root: " : "changed a file outside the root: ") + line;
            return;
        }
    }
    if (call == "connect" || call == "sendto" || call == "sendmsg" || call == "sendmmsg" || call == "bind") {
        static const QRegularExpression v4(QStringLiteral("inet_addr\\(\"([0-9.]+)\"\\)"));
        static const QRegularExpression v6(QStringLiteral("inet_pton\\(AF_INET6, \"([^\"]+)\""));
        auto m4 = v4.globalMatch(line);
        while (m4.hasNext()) {
            const QString a = m4.next().captured(1);
            const bool anyOnBind = call == "bind" && a == "0.0.0.0";
            if (!a.startsWith("127.") && !anyOnBind)
                violations_ << "network address " + a + ": " + line;
            if (anyOnBind)
                violations_ << "bound to every interface: " + line;
        }
        auto m6 = v6.globalMatch(line);
        while (m6.hasNext()) {
            const QString a = m6.next().captured(1);
            if (a != "::1")
                violations_ << "network address " + a + ": " + line;
        }
    }
}

void StraceAudit::audit(const QString& logText)
{
    for (const QString& line : logText.split('\n', Qt::SkipEmptyParts))
        checkLine(line);
}

} // namespace kel::test
