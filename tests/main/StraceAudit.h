#pragma once
#include <QFileInfo>
#include <QString>
#include <QStringList>

namespace kel::test {

// Reads an "strace -f" log and lists what a program on the simulated board
// must never do: start another program, create or change a file outside
// its root (temporary folders, /dev/null and pseudo-terminals aside; links
// still in the root when the log is read are followed), make a folder
// outside its root (temporary folders included), or
// reach a network address other than loopback.
class StraceAudit {
public:
    explicit StraceAudit(const QString& root) : root_(root) {}
    // The trace options that give the log this class reads.
    static QStringList straceArguments(const QString& logFile);

    // A folder never to be changed, even where temporary files are allowed.
    void forbid(const QString& folder) { forbidden_ << QFileInfo(folder).canonicalFilePath(); }
    void audit(const QString& logText);
    const QStringList& violations() const { return violations_; }
    int execCount() const { return execs_; }

private:
    // followed: the call follows a link at the end of the path; inTemp:
    // the temporary folders are allowed too.
    bool pathAllowed(const QString& path, bool followed, bool inTemp = true) const;
    void checkLine(const QString& line);

    QString root_;
    QStringList forbidden_;
    QStringList violations_;
    int execs_ = 0;
};

} // namespace kel::test
