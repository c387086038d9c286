#pragma once
#include <QObject>

class QSocketNotifier;

namespace kel::platform {

// Turns SIGINT, SIGTERM and SIGUSR1 into Qt signals delivered in the thread
// that owns the relay (a signal handler may only write to a pipe).
class SignalRelay : public QObject {
    Q_OBJECT
public:
    explicit SignalRelay(QObject* parent = nullptr);
    ~SignalRelay() override;

signals:
    void stopRequested(int signalNumber);   // SIGINT or SIGTERM
    void stateRequested();                  // SIGUSR1

private:
    void drain();
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace kel::platform
