#include "ProgramRunner.h"

#include "platform/PrivateNetwork.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTest>

#include <csignal>
#include <thread>

// The test runner's list of the Qt platform plugin's own leaks
// (tests/support/test_main.cpp); the program gets the same list.
extern "C" const char* __lsan_default_suppressions();

namespace kel::test {
namespace {

// A sanitizer build's leak check at the program's exit leaves out the Qt
// platform plugin's screen objects, as in the test executables.
void suppressPlatformLeaks(QProcessEnvironment& env, const QString& folder)
{
    const QString path = folder + "/lsan-suppressions.txt";
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(__lsan_default_suppressions()) < 0)
        return;
    const QString lsan = env.value("LSAN_OPTIONS");
    env.insert("LSAN_OPTIONS", (lsan.isEmpty() ? QString() : lsan + ":") + "suppressions=" + path);
}

} // namespace

void IsolatedProcess::setupChildProcess()
{
    // Without the right to make a namespace the program shares the
    // machine's ports (the suite then keeps these tests apart itself).
    if (isolated)
        platform::PrivateNetwork::enter();
}

ProgramRunner::ProgramRunner()
{
    process_.setProcessChannelMode(QProcess::MergedChannels);
}

ProgramRunner::~ProgramRunner()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(10000);
    }
}

bool ProgramRunner::start(const QStringList& wrapper)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KEL_BOARD", "sim");
    env.insert("KEL_ROOT", root());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    suppressPlatformLeaks(env, root());
    for (const QString& name : unset)
        env.remove(name);
    if (!wrapper.isEmpty()) {
        // The leak checker of a sanitizer build cannot run under a tracer.
        const QString asan = env.value("ASAN_OPTIONS");
        env.insert("ASAN_OPTIONS", (asan.isEmpty() ? QString() : asan + ":") + "detect_leaks=0");
    }
    process_.setProcessEnvironment(env);
    process_.isolated = !shareNetwork;
    process_.setWorkingDirectory(root());
    QStringList args = wrapper;
    args << QStringLiteral(KEL_PROGRAM_PATH);
    wrapped_ = !wrapper.isEmpty();
    const QString program = args.takeFirst();
    process_.start(program, args);
    return process_.waitForStarted(20000);
}

bool ProgramRunner::waitForFile(const QString& logical, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!QFileInfo::exists(hostPath(logical))) {
        if (deadline.hasExpired() || process_.state() == QProcess::NotRunning)
            return false;
        QTest::qWait(20);
    }
    return true;
}

bool ProgramRunner::waitForSignalHandler(int sig, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        QFile status(QStringLiteral("/proc/%1/status").arg(programPid()));
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : status.readAll().split('\n')) {
                if (!line.startsWith("SigCgt:"))
                    continue;
                bool ok = false;
                const qulonglong caught = line.mid(7).trimmed().toULongLong(&ok, 16);
                if (ok && (caught & (1ull << (sig - 1))))
                    return true;
            }
        }
        if (deadline.hasExpired() || process_.state() == QProcess::NotRunning)
            return false;
        QTest::qWait(20);
    }
}

pid_t ProgramRunner::programPid() const
{
    const pid_t direct = static_cast<pid_t>(process_.processId());
    if (!wrapped_)
        return direct;
    // The tracer's first child is the program.
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(direct));
    if (!children.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> pids = children.readAll().trimmed().split(' ');
    return pids.isEmpty() || pids.first().isEmpty() ? -1 : static_cast<pid_t>(pids.first().toInt());
}

bool ProgramRunner::signal(int sig)
{
    const pid_t pid = programPid();
    return pid > 0 && ::kill(pid, sig) == 0;
}

bool ProgramRunner::waitForCleanExit(int timeoutMs)
{
    if (!process_.waitForFinished(timeoutMs))
        return false;
    return process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
}

QString ProgramRunner::output()
{
    seen_ += QString::fromLocal8Bit(process_.readAll());
    return seen_;
}

long long ProgramRunner::ownStopMs()
{
    static const QRegularExpression line("kelT57N: stopped (\\d+) ms after the stop signal");
    const QRegularExpressionMatch m = line.match(output());
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}

int ProgramRunner::stateDumpMs(int timeoutMs)
{
    const QString state = hostPath("/sim/state.json");
    QFile::remove(state);
    QElapsedTimer clock;
    clock.start();
    if (!signal(SIGUSR1))
        return -1;
    while (!QFileInfo::exists(state)) {
        if (clock.elapsed() > timeoutMs)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return int(clock.elapsed());
}

} // namespace kel::test
