#pragma once
#include "platform/CommandRunner.h"

#include <QJsonObject>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace kel::platform::sim {

class SimClock;

// Never executes anything. Records every command text in order and answers
// it from a small simulated state:
// - file commands (rm, cp, mv, chmod, sync, dos2unix, the byte-order-mark
//   strip with sed, chattr) act natively on logical paths inside the root
//   and refuse anything that would land outside it;
// - ifconfig, route, date, hwclock, reboot, kill/killall/pidof and the
//   WiFi services (hostapd, udhcpd, udhcpc, wpa_supplicant) change or
//   report the simulated machine state only.
// Unknown programs succeed without effect.
class SimCommandRunner : public CommandRunner {
public:
    // `date` reads and sets this clock.
    explicit SimCommandRunner(SimClock& clock) : clock_(clock) {}

    // A responder may claim a command (return true) and set its status and
    // output; tests use it to script answers.
    using Responder = std::function<bool(const std::string& cmd, int& status, std::string& output)>;

    static constexpr int kFailed = 256;      // wait status of "exit 1"
    static constexpr int kNotFound = 127 << 8;

    int system(const std::string& command) override;
    int capture(const std::string& command, std::string& output) override;

    // The last kKeptCommands command texts, oldest first.
    static constexpr size_t kKeptCommands = 256;
    std::vector<std::string> commands() const;
    void clear();
    void setResponder(Responder r);

    // Simulated machine state.
    void setWiredPortPresent(bool present);
    bool wiredPortPresent() const;
    bool rebootRequested() const;
    int64_t clockOffsetSeconds() const;
    bool running(const std::string& program) const;
    std::string interfaceAddress(const std::string& iface) const;
    // The route table as the commands that made it ("default gw 10.0.0.1 metric 100").
    std::vector<std::string> routes() const;
    QJsonObject state() const;

    // One route(8) entry; dev is the interface the kernel would pick.
    struct Route {
        std::string text;
        std::string target;
        std::string gateway;
        std::string metric;  // empty: 0
        std::string dev;
    };

private:
    using Words = std::vector<std::string>;
    int run(const std::string& command, std::string& output);
    int simulate(const std::string& command, std::string& output);
    int simulateOne(const Words& w, std::string& output);

    // File commands (no lock held: they only touch files).
    int rm(const Words& w);
    int cp(const Words& w, bool move);
    int chmod(const Words& w);
    int dos2unix(const Words& w);
    int sed(const Words& w);
    int chattr(const Words& w);
    // Machine state (lock held).
    int ifconfig(const Words& w, std::string& output);
    int route(const Words& w);
    int date(const Words& w, std::string& output);
    int kill(const Words& w);
    int pidof(const Words& w, std::string& output);
    int startService(const Words& w);

    static Route parseRoute(const Words& w);
    std::string deviceFor(const std::string& gateway) const;

    mutable std::mutex lock_;
    std::deque<std::string> log_;
    uint64_t commandsRun_ = 0;
    Responder responder_;
    bool wiredPort_ = true;
    bool rebootRequested_ = false;
    SimClock& clock_;
    int hwclockWrites_ = 0;
    std::map<std::string, std::string> addresses_;  // interface -> "ip netmask mask"
    std::vector<Route> routes_;
    std::map<std::string, int> services_;           // program -> simulated pid
    int nextPid_ = 1000;
};

} // namespace kel::platform::sim
