#pragma once
#include "params/SyncReason.h"
#include "protocol/UsbEventSource.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

// Gate of the watcher: events are ignored while it is 0. The 10 ms tick
// sets it to 1 once 1000 ticks have passed since g_delay_usbserver_ticks.
extern std::atomic<uint32_t> g_delay_usbserver;
extern std::atomic<uint32_t> g_delay_usbserver_ticks;

namespace kel::protocol {

// The USB-disk watcher: tells the front panel when a stick is inserted
// (100), removed (101) and, 300 ticks after a partition appeared, being
// read (102). It mounts nothing.
class UsbServer : public QObject {
    Q_OBJECT
public:
    static constexpr int kInserted = SYNC_USB_ADD;
    static constexpr int kRemoved = SYNC_USB_REMOVE;
    static constexpr int kReading = SYNC_USB_READING;
    static constexpr uint32_t kReadingDelayTicks = 300;

    static UsbServer* p_UsbServer;
    // Creates the watcher on the board's event source and starts its thread.
    static UsbServer* pInstance();

    explicit UsbServer(std::unique_ptr<UsbEventSource> source, QObject* parent = nullptr);
    ~UsbServer() override;

    void start();
    void stop();
    // One pass of the thread: wait for an event (at most timeoutMs), handle
    // it, then emit 102 when a partition's delay has run out.
    void pass(int timeoutMs);
    void handleEvent(const UsbEvent& event);
    void checkReading();

signals:
    void sig_usb_update(int reason);

private:
    void acceptThread();

    std::unique_ptr<UsbEventSource> source_;
    std::mutex lock_;
    bool readingPending_ = false;
    uint32_t partitionTick_ = 0;
    std::atomic<bool> running_{false};
    std::thread thread_;
};

} // namespace kel::protocol
