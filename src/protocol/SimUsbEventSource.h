#pragma once
#include "protocol/UsbEventSource.h"

#include <QByteArray>
#include <QString>

#include <deque>
#include <string>
#include <mutex>

namespace kel::protocol {

// The simulated board's USB port. A stick is the folder /mnt/usb1 under the
// root plus the events the kernel would send. Tests call insertStick and
// removeStick; a user writes "insert" or "remove" lines into the pipe
// <root>/sim/usb-events. A pulled stick keeps its files: its folder moves
// to /sim/usb-stick and back at the next insert.
class SimUsbEventSource : public UsbEventSource {
public:
    static const char* const kMountPoint;
    static const char* const kControlPipe;
    static const char* const kPulledStick;

    SimUsbEventSource();
    ~SimUsbEventSource() override;

    // Brings back the folder of the stick pulled last (in place of an empty
    // mount folder), or creates an empty one, then queues the disk and
    // partition adds.
    void insertStick();
    // Moves the folder aside, then queues the partition and disk removals.
    void removeStick();
    void push(const UsbEvent& event);
    bool wait(UsbEvent& event, int timeoutMs) override;

private:
    bool takeQueued(UsbEvent& event);
    static void moveStickAside();
    void readControlPipe();
    static int openControlPipe(const std::string& fifo);
    void runControlLine(const QByteArray& line);

    std::mutex lock_;
    std::deque<UsbEvent> queue_;
    int wake_[2] = {-1, -1};
    int pipe_ = -1;
    QByteArray pending_;
};

} // namespace kel::protocol
