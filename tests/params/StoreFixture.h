#pragma once
#include "support/SimRootFixture.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "params/KelRamPara.h"

namespace kel::test {

// A simulated root with a fresh parameter store (not yet loaded), the
// shared globals at their start values and no pages.
class StoreFixture : public SimRootFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the store and runs the start-up load.
    KelRamPara& start();
    KelRamPara& store() { return *store_; }

    // Host file helpers on logical paths.
    std::vector<uint8_t> readFile(const std::string& logical) const;
    void writeFile(const std::string& logical, const std::vector<uint8_t>& bytes) const;
    void writeText(const std::string& logical, const std::string& text) const;
    bool fileExists(const std::string& logical) const;
    std::vector<std::string> commands() const;
    void clearCommands();

    std::unique_ptr<KelRamPara> store_;
};

} // namespace kel::test
