#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace kel::platform::sim {

class SimSpiChip;

// Routes each spidev transfer to the chip registered at the device path,
// logs the traffic and injects faults.
class SimSpiBus {
public:
    struct Transfer {
        std::string path;
        std::vector<uint8_t> tx;
        std::vector<uint8_t> rx;
    };

    void attach(const std::string& devPath, SimSpiChip* chip);
    void detach(const std::string& devPath);
    bool exists(const std::string& devPath) const;

    // False when the transfer fails (no chip, or an injected failure).
    bool transfer(const std::string& devPath, const uint8_t* tx, uint8_t* rx, size_t len);

    void failNext(const std::string& devPath, int count);
    void setOpenFails(const std::string& devPath, bool fails);
    bool openFails(const std::string& devPath) const;

    void setLogging(bool on);
    std::vector<Transfer> log() const;
    void clearLog();

private:
    mutable std::mutex lock_;
    std::map<std::string, SimSpiChip*> chips_;
    std::map<std::string, int> failures_;
    std::map<std::string, bool> openFails_;
    std::vector<Transfer> log_;
    bool logging_ = false;
};

} // namespace kel::platform::sim
