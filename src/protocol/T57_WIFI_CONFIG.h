#pragma once
#include "protocol/WifiAtCommands.h"
#include "protocol/WifiSettings.h"

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <netinet/in.h>
#include <thread>

// 1 while a restart of the WiFi services is requested and not yet taken up.
extern std::atomic<uint8_t> g_wifi_reset_flag;

namespace kel::protocol {

// The WiFi module's link: its text commands on UDP 13769 (one thread
// receives and answers into a queue, one sends the queue), its four system
// files, and the supervision of the services that run the access point or
// the client (hostapd and udhcpd, or wpa_supplicant and udhcpc).
class T57_WIFI_CONFIG {
public:
    static constexpr uint16_t kPort = 13769;

    static T57_WIFI_CONFIG* p_wifi;
    // Creates the singleton, brings the access point up when WiFi is on
    // (wifi_enable 0) and starts the three threads; the command socket on
    // port (0: any free port).
    static T57_WIFI_CONFIG* pInstance(uint16_t port = kPort);

    T57_WIFI_CONFIG();
    ~T57_WIFI_CONFIG();
    T57_WIFI_CONFIG(const T57_WIFI_CONFIG&) = delete;
    T57_WIFI_CONFIG& operator=(const T57_WIFI_CONFIG&) = delete;

    // Starts the supervision thread, binds the command socket (port 0: any
    // free port) and starts its two threads; false when the socket cannot be
    // bound (the supervision runs all the same).
    bool start(uint16_t port = kPort);
    void stop();
    uint16_t boundPort() const { return port_; }

    // Asks the supervision thread to restart the services; nothing else.
    void set_wifi_reset_flag();
    // One pass of the supervision: at most one service command.
    void supervisePass();
    bool restartPending() const;
    // G_timeTicks of the last request.
    uint32_t requestTick() const;

    bool wifiOn() const;
    // The settings in use, with the configured address (g_str_wifi_ip),
    // which the next restart brings up.
    WifiSettings settings() const;
    // Stores checked settings in the files (and the address in the
    // configuration) and restarts the services; false changes nothing.
    bool applySettings(const WifiSettings& s);
    bool restoreDefaults();
    static QByteArray versionText();

    // The service commands, in the order one restart runs them.
    static QStringList stopCommands();
    static QStringList startCommands(const WifiSettings& s);

private:
    struct Outgoing {
        QByteArray text;
        sockaddr_in peer;
    };

    void WiFi_Start_Thread();
    void udp_13769_acceptThread();
    void udp_13769_sendThread();
    bool openSocket(uint16_t port);
    void receiveOne();
    void runStep(const QString& command);
    void beginRestart();
    void adoptConfiguredAddress();

    mutable QMutex settingsLock_;
    WifiSettings settings_;
    WifiAtCommands commands_;

    mutable std::mutex stepLock_;
    QStringList steps_;
    int stopStepCount_ = 0;
    uint32_t requestTick_ = 0;

    std::mutex queueLock_;
    std::condition_variable queueWake_;
    std::deque<Outgoing> outgoing_;

    std::mutex passLock_;
    std::condition_variable passWake_;

    std::atomic<bool> running_{false};
    int socket_ = -1;
    uint16_t port_ = 0;
    std::thread superviseThread_;
    std::thread acceptThread_;
    std::thread sendThread_;
};

} // namespace kel::protocol
