#pragma once
// kelT57N on the simulated board in a temporary root, for the benches that
// drive the whole program: started with the given board.ini, stopped with
// SIGTERM. KEL_PROGRAM names another build of the program to run (to
// measure an older one with today's bench).
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <csignal>

namespace bench {

class SimProgram {
public:
    explicit SimProgram(const QByteArray& boardIni)
    {
        QDir().mkpath(root_.path() + "/sim");
        QFile ini(root_.path() + "/sim/board.ini");
        if (!ini.open(QIODevice::WriteOnly) || ini.write(boardIni) < 0)
            return;
        ini.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("KEL_BOARD", "sim");
        env.insert("KEL_ROOT", root_.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        program_.setProcessEnvironment(env);
        program_.setWorkingDirectory(root_.path());
        // Both appended: each write lands at the end, so neither stream
        // writes over the other's lines.
        program_.setStandardOutputFile(root_.path() + "/program.log", QIODevice::Append);
        program_.setStandardErrorFile(root_.path() + "/program.log", QIODevice::Append);
        const QString path = qEnvironmentVariableIsSet("KEL_PROGRAM") ? qEnvironmentVariable("KEL_PROGRAM")
                                                                       : QStringLiteral(KEL_PROGRAM_PATH);
        program_.start(path, QStringList());
        started_ = program_.waitForStarted(20000);
    }
    ~SimProgram() { stop(); }
    SimProgram(const SimProgram&) = delete;
    SimProgram& operator=(const SimProgram&) = delete;

    bool started() const { return started_; }
    pid_t pid() const { return pid_t(program_.processId()); }
    QString root() const { return root_.path(); }
    // What the program wrote so far, standard output and error in one.
    QByteArray output() const
    {
        QFile log(root_.path() + "/program.log");
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    }
    void stop()
    {
        if (!started_)
            return;
        started_ = false;
        ::kill(pid(), SIGTERM);
        if (!program_.waitForFinished(20000))
            program_.kill();
    }

private:
    QTemporaryDir root_;
    QProcess program_;
    bool started_ = false;
};

} // namespace bench
