#pragma once
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/types.h>

namespace kel::test {

// QProcess whose child enters a network of its own before exec (when the
// tests may create one), so the program's fixed ports never meet another
// controller or suite on this machine.
class IsolatedProcess : public QProcess {
public:
    bool isolated = true;

protected:
    void setupChildProcess() override;
};

// Starts kelT57N on a simulated board in a fresh root, optionally under a
// tracer, and drives it with signals. Every wait is bounded.
class ProgramRunner {
public:
    ProgramRunner();
    ~ProgramRunner();

    // The program joins the calling thread's network instead of one of its
    // own (a test that talks to its fixed ports from there).
    bool shareNetwork = false;
    // Variables taken out of the program's environment.
    QStringList unset;

    QString root() const { return dir_.path(); }
    QString hostPath(const QString& logical) const { return root() + logical; }

    // wrapper: e.g. {"strace", "-f", ...}; the program follows it.
    bool start(const QStringList& wrapper = {});
    // Waits (bounded) until the file under the root exists.
    bool waitForFile(const QString& logical, int timeoutMs = 20000);
    // Waits (bounded) until the program catches this signal.
    bool waitForSignalHandler(int sig, int timeoutMs = 20000);
    // The program's own pid (the tracer's child when wrapped).
    pid_t programPid() const;
    bool signal(int sig);
    // Waits for the end; true when it ended by itself with exit code 0.
    bool waitForCleanExit(int timeoutMs = 20000);
    // All the program has written so far (standard output and error).
    QString output();
    // The program's own account of its stop, from its last log line:
    // milliseconds from the stop signal to the end of its main (-1: no such
    // line). A sanitizer build's leak scan comes after it, as does the
    // machine's delay in reaping the process.
    long long ownStopMs();
    // Milliseconds the program takes to write its state after SIGUSR1
    // (-1 when not within timeoutMs).
    int stateDumpMs(int timeoutMs);

private:
    QTemporaryDir dir_;
    IsolatedProcess process_;
    bool wrapped_ = false;
    QString seen_;
};

} // namespace kel::test
