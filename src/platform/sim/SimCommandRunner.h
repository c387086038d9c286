#pragma once
#include "platform/CommandRunner.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace kel::platform::sim {

// Never executes anything. Records every command text in order and answers
// it from a small simulated state; file commands act inside the root only.
class SimCommandRunner : public CommandRunner {
public:
    // A responder may claim a command (return true) and set its status and
    // output; tests use it to script answers.
    using Responder = std::function<bool(const std::string& cmd, int& status, std::string& output)>;

    int system(const std::string& command) override;
    int capture(const std::string& command, std::string& output) override;

    std::vector<std::string> commands() const;
    void clear();
    void setResponder(Responder r);

    // Simulated machine state.
    void setWiredPortPresent(bool present);
    bool wiredPortPresent() const;
    bool rebootRequested() const;

private:
    int run(const std::string& command, std::string& output);
    int simulate(const std::string& command, std::string& output);

    mutable std::mutex lock_;
    std::vector<std::string> log_;
    Responder responder_;
    bool wiredPort_ = true;
    bool rebootRequested_ = false;
};

} // namespace kel::platform::sim
