#pragma once
#include <QObject>

class QSocketNotifier;

namespace kel::platform {

// Turns SIGINT, SIGTERM and SIGUSR1 into Qt signals delivered in the thread
// that owns the relay (a signal handler may only write to a pipe and store
// a flag). SIGINT and SIGTERM also request the program's stop at once
// (Sleeper::requestStop).
class SignalRelay : public QObject {
    Q_OBJECT
public:
    explicit SignalRelay(QObject* parent = nullptr);
    // Catches the signals at once; those that arrive before a relay exists
    // wait in the pipe. Call it first thing in main.
    static void install();
    // Milliseconds since the first SIGINT or SIGTERM (-1: none came): the
    // program's own account of how long its stop took, whatever runs after
    // its end (a sanitizer's leak scan) or beside it.
    static long long msSinceStopSignal();
    ~SignalRelay() override;

signals:
    void stopRequested(int signalNumber);   // SIGINT or SIGTERM
    void stateRequested();                  // SIGUSR1

private:
    void drain();
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace kel::platform
