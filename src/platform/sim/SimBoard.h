#pragma once
#include <QJsonObject>
#include <QVariant>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace kel::platform::sim {

class SimClock;
class SimCommandRunner;
class SimRegisterMemory;
class SimSpiBus;
class SimI2cBus;
class SimMtd;
class SimSerial;
class SimHid;
class SimStateWriter;

// The simulated board: the buses, the register window and the simulated
// chips on them, all living under one root folder. Files of its own are kept
// under <root>/sim/ (board.ini, state.json, serial port links).
class SimBoard {
public:
    explicit SimBoard(const std::string& root);
    ~SimBoard();
    SimBoard(const SimBoard&) = delete;
    SimBoard& operator=(const SimBoard&) = delete;

    const std::string& root() const { return root_; }

    SimClock& clock() { return *clock_; }
    SimCommandRunner& commands() { return *commands_; }
    SimRegisterMemory& registers() { return *registers_; }
    SimSpiBus& spi() { return *spi_; }
    SimMtd& mtd() { return *mtd_; }
    SimSerial& serial() { return *serial_; }
    SimHid& hid() { return *hid_; }
    // The adapter at a device path ("/dev/i2c-0"); null when absent.
    SimI2cBus* i2cBus(const std::string& devPath);

    // The scenario file <root>/sim/board.ini: what is plugged in and present.
    // A key that is missing is added with its default, so the file always
    // lists every setting the board knows. Numbers may be written in hex
    // ("0x1234"); flags read yes/no, true/false, on/off or 1/0 in any case,
    // anything else is logged and gives the default. A key added to the file
    // gets `comment` on the line above it.
    QVariant scenario(const QString& key, const QVariant& defaultValue, const char* comment = nullptr);
    uint32_t scenarioNumber(const QString& key, uint32_t defaultValue, const char* comment = nullptr);
    bool scenarioFlag(const QString& key, bool defaultValue, const char* comment = nullptr);
    std::string scenarioPath() const;

    // Simulated chips report their state into state.json under their name.
    using StateWriter = std::function<QJsonObject()>;
    void addStateWriter(const std::string& name, StateWriter writer);
    void removeStateWriter(const std::string& name);
    QJsonObject state() const;
    // Writes state.json now: complete, through a temporary file renamed
    // over it (not flushed to the disk: it is a view, not the device's data).
    bool writeState() const;
    // A change the file should show soon: written by the board's writer
    // thread a little later, many changes in one write (SimStateWriter).
    void stateChanged();

    // Owns a simulated chip for the board's lifetime.
    template <class T, class... Args>
    T& own(Args&&... args)
    {
        auto p = std::make_shared<T>(std::forward<Args>(args)...);
        T& ref = *p;
        std::lock_guard<std::mutex> l(lock_);
        owned_.push_back(std::move(p));
        return ref;
    }

    std::string statePath() const;

private:
    void applyScenario();

    std::string root_;
    std::mutex scenarioLock_;
    std::unique_ptr<SimClock> clock_;
    std::unique_ptr<SimCommandRunner> commands_;
    std::unique_ptr<SimRegisterMemory> registers_;
    std::unique_ptr<SimSpiBus> spi_;
    std::unique_ptr<SimMtd> mtd_;
    std::unique_ptr<SimSerial> serial_;
    std::unique_ptr<SimHid> hid_;
    std::map<std::string, std::unique_ptr<SimI2cBus>> i2c_;
    mutable std::mutex lock_;
    std::map<std::string, StateWriter> stateWriters_;
    // Guards the file and lastWritten_: one write at a time, and a state
    // taken before the one written last is dropped, never written over it.
    mutable std::mutex writeLock_;
    mutable std::atomic<uint64_t> statesTaken_{0};
    mutable uint64_t lastWritten_ = 0;
    std::unique_ptr<SimStateWriter> changeWriter_;
    std::vector<std::shared_ptr<void>> owned_;
};

} // namespace kel::platform::sim
