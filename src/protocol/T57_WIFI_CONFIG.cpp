#include "protocol/T57_WIFI_CONFIG.h"

#include "params/ConfigEngine.h"
#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/NetPolicy.h"
#include "protocol/LinkSocket.h"
#include "protocol/WifiConfigFiles.h"

#include <QMutexLocker>

#include <arpa/inet.h>
#include <chrono>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

std::atomic<uint8_t> g_wifi_reset_flag{0};

namespace kel::protocol {

using kel::platform::NetPolicy;

T57_WIFI_CONFIG* T57_WIFI_CONFIG::p_wifi = nullptr;

namespace {
constexpr int kPollMs = 100;             // idle wait of the socket threads
constexpr int kPassMs = 50;              // pause between supervision passes
constexpr int kDatagramMax = 1024;
const char* const kVersion = "kelT57N 1.0";
} // namespace

T57_WIFI_CONFIG* T57_WIFI_CONFIG::pInstance(uint16_t port)
{
    if (p_wifi)
        return p_wifi;
    p_wifi = new T57_WIFI_CONFIG();
    if (p_wifi->wifiOn())
        p_wifi->set_wifi_reset_flag();
    p_wifi->start(port);
    return p_wifi;
}

T57_WIFI_CONFIG::T57_WIFI_CONFIG()
    : commands_(*this)
{
    const QString configured = Utils::configValue(g_str_wifi_ip);
    settings_ = WifiConfigFiles::load(Utils::isIPv4Address(configured) ? configured : WifiSettings().address);
    // The files follow the configured address (the control protocol may have
    // changed it) and exist from the first start on.
    WifiConfigFiles::writeAll(settings_);
}

T57_WIFI_CONFIG::~T57_WIFI_CONFIG()
{
    stop();
    if (p_wifi == this)
        p_wifi = nullptr;
}

bool T57_WIFI_CONFIG::start(uint16_t port)
{
    if (running_.exchange(true))
        return socket_ >= 0;
    // The services are supervised even when the command port is taken.
    superviseThread_ = std::thread([this] { WiFi_Start_Thread(); });
    if (!openSocket(port))
        return false;
    acceptThread_ = std::thread([this] { udp_13769_acceptThread(); });
    sendThread_ = std::thread([this] { udp_13769_sendThread(); });
    return true;
}

bool T57_WIFI_CONFIG::openSocket(uint16_t port)
{
    // Answers go back to the sender only, so the port is never shared; a
    // taken port is logged and reported with the other links.
    socket_ = LinkSocket::openUdp(port, "wifi", false);
    if (socket_ < 0)
        return false;
    port_ = LinkSocket::localPort(socket_);
    return true;
}

void T57_WIFI_CONFIG::stop()
{
    if (!running_.exchange(false))
        return;
    queueWake_.notify_all();
    passWake_.notify_all();
    for (std::thread* t : {&superviseThread_, &acceptThread_, &sendThread_})
        if (t->joinable())
            t->join();
    if (socket_ >= 0)
        ::close(socket_);
    socket_ = -1;
}

// ---- supervision -------------------------------------------------------------

void T57_WIFI_CONFIG::set_wifi_reset_flag()
{
    {
        std::lock_guard<std::mutex> l(stepLock_);
        requestTick_ = G_timeTicks.load();
    }
    g_wifi_reset_flag = 1;
    passWake_.notify_all();
}

QStringList T57_WIFI_CONFIG::stopCommands()
{
    return {QStringLiteral("kill -9 `pidof /usr/bin/hostapd /etc/rtl_hostapd_2G.conf`"),
            QStringLiteral("kill -9 `pidof /usr/sbin/udhcpd  /etc/udhcpd.conf`"),
            QStringLiteral("kill -9 `pidof wpa_supplicant`"),
            QStringLiteral("kill -9 `pidof udhcpc`")};
}

QStringList T57_WIFI_CONFIG::startCommands(const WifiSettings& s)
{
    if (s.mode == WifiSettings::Mode::Client)
        return {QStringLiteral("ifconfig wlan0 up"),
                QStringLiteral("wpa_supplicant -B -i wlan0 -c /etc/wpa_supplicant.conf"),
                QStringLiteral("udhcpc -i wlan0 -b")};
    return {QStringLiteral("ifconfig wlan0 %1").arg(s.address),
            QStringLiteral("udhcpd -fS /etc/udhcpd.conf &"),
            QStringLiteral("/usr/bin/hostapd /etc/rtl_hostapd_2G.conf -B")};
}

void T57_WIFI_CONFIG::adoptConfiguredAddress()
{
    const QString configured = Utils::configValue(g_str_wifi_ip);
    WifiSettings s;
    {
        QMutexLocker l(&settingsLock_);
        s = settings_;
    }
    if (configured == s.address || !Utils::isIPv4Address(configured))
        return;
    s.address = configured;
    if (!WifiConfigFiles::writeAll(s))
        return;
    QMutexLocker l(&settingsLock_);
    settings_ = s;
}

void T57_WIFI_CONFIG::beginRestart()
{
    // The control protocol writes the address into the configuration only.
    adoptConfiguredAddress();
    const QStringList stops = stopCommands();
    std::lock_guard<std::mutex> l(stepLock_);
    steps_ = stops + startCommands(settings());
    stopStepCount_ = stops.size();
}

void T57_WIFI_CONFIG::supervisePass()
{
    // A new request starts the sequence over, so the services end up
    // matching the latest settings.
    if (g_wifi_reset_flag.exchange(0))
        beginRestart();
    QString step;
    {
        std::lock_guard<std::mutex> l(stepLock_);
        if (steps_.isEmpty())
            return;
        const bool startPhase = stopStepCount_ == 0;
        if (startPhase && !wifiOn()) {
            steps_.clear();
            return;
        }
        step = steps_.takeFirst();
        if (stopStepCount_ > 0)
            --stopStepCount_;
    }
    runStep(step);
}

bool T57_WIFI_CONFIG::restartPending() const
{
    std::lock_guard<std::mutex> l(stepLock_);
    return g_wifi_reset_flag.load() != 0 || !steps_.isEmpty();
}

uint32_t T57_WIFI_CONFIG::requestTick() const
{
    std::lock_guard<std::mutex> l(stepLock_);
    return requestTick_;
}

void T57_WIFI_CONFIG::runStep(const QString& command)
{
    Utils::system_mutex(command);
}

void T57_WIFI_CONFIG::WiFi_Start_Thread()
{
    while (running_) {
        supervisePass();
        std::unique_lock<std::mutex> l(passLock_);
        passWake_.wait_for(l, std::chrono::milliseconds(kPassMs),
                           [this] { return !running_ || g_wifi_reset_flag.load() != 0; });
    }
}

// ---- settings ------------------------------------------------------------------

bool T57_WIFI_CONFIG::wifiOn() const
{
    KelRamPara* para = KelRamPara::p_kelrampara_config;
    return para && para->RamBlock[RamLayout::kWifiEnable] == 0;
}

WifiSettings T57_WIFI_CONFIG::settings() const
{
    WifiSettings s;
    {
        QMutexLocker l(&settingsLock_);
        s = settings_;
    }
    // The control protocol changes the address in the configuration only;
    // that address is the one the next restart brings up.
    const QString configured = Utils::configValue(g_str_wifi_ip);
    if (Utils::isIPv4Address(configured))
        s.address = configured;
    return s;
}

bool T57_WIFI_CONFIG::applySettings(const WifiSettings& s)
{
    if (!WifiConfigFiles::writeAll(s))
        return false;
    // Compared with the configured address, which a restart would adopt.
    const bool addressChanged = Utils::configValue(g_str_wifi_ip) != s.address;
    {
        QMutexLocker l(&settingsLock_);
        settings_ = s;
    }
    if (addressChanged) {
        // pInstance reloads the globals from the items, so it runs first.
        ConfigEngine* config = ConfigEngine::pInstance();
        std::lock_guard<std::mutex> l(Utils::_config_mutex);
        config->write_config_variant(ConfigItem::WifiIPAddress, s.address);
        g_str_wifi_ip = s.address;
    }
    set_wifi_reset_flag();
    return true;
}

bool T57_WIFI_CONFIG::restoreDefaults()
{
    return applySettings(WifiSettings());
}

QByteArray T57_WIFI_CONFIG::versionText()
{
    return kVersion;
}

// ---- command socket --------------------------------------------------------------

void T57_WIFI_CONFIG::udp_13769_acceptThread()
{
    while (running_) {
        pollfd p{socket_, POLLIN, 0};
        if (::poll(&p, 1, kPollMs) > 0 && (p.revents & POLLIN))
            receiveOne();
    }
}

void T57_WIFI_CONFIG::receiveOne()
{
    char buf[kDatagramMax];
    sockaddr_in peer{};
    socklen_t len = sizeof(peer);
    const ssize_t n = ::recvfrom(socket_, buf, sizeof(buf), MSG_TRUNC, reinterpret_cast<sockaddr*>(&peer), &len);
    if (n < 0 || len != sizeof(peer))
        return;
    // A datagram longer than the buffer is answered as a bad command.
    const QByteArray text = n > kDatagramMax ? QByteArray(kDatagramMax + 1, 'x') : QByteArray(buf, static_cast<int>(n));
    Outgoing out{commands_.answer(text), peer};
    {
        std::lock_guard<std::mutex> l(queueLock_);
        outgoing_.push_back(std::move(out));
    }
    queueWake_.notify_one();
}

void T57_WIFI_CONFIG::udp_13769_sendThread()
{
    std::unique_lock<std::mutex> l(queueLock_);
    while (running_) {
        queueWake_.wait_for(l, std::chrono::milliseconds(kPollMs), [this] { return !running_ || !outgoing_.empty(); });
        while (!outgoing_.empty()) {
            Outgoing out = std::move(outgoing_.front());
            outgoing_.pop_front();
            l.unlock();
            const sockaddr_in to = NetPolicy::destination(out.peer);
            ::sendto(socket_, out.text.constData(), static_cast<size_t>(out.text.size()), 0,
                     reinterpret_cast<const sockaddr*>(&to), sizeof(to));
            l.lock();
        }
    }
}

} // namespace kel::protocol
