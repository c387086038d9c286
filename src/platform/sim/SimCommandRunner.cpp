#include "platform/sim/SimCommandRunner.h"

namespace kel::platform::sim {

int SimCommandRunner::system(const std::string& command)
{
    std::string ignored;
    return run(command, ignored);
}

int SimCommandRunner::capture(const std::string& command, std::string& output)
{
    output.clear();
    return run(command, output);
}

int SimCommandRunner::run(const std::string& command, std::string& output)
{
    Responder responder;
    {
        std::lock_guard<std::mutex> l(lock_);
        log_.push_back(command);
        responder = responder_;
    }
    int status = 0;
    if (responder && responder(command, status, output))
        return status;
    return simulate(command, output);
}

int SimCommandRunner::simulate(const std::string& command, std::string& output)
{
    (void)output;
    std::lock_guard<std::mutex> l(lock_);
    if (command.rfind("reboot", 0) == 0) {
        rebootRequested_ = true;
        return 0;
    }
    if (command.rfind("ifconfig eth0", 0) == 0 && command.find(">/dev/null") != std::string::npos)
        return wiredPort_ ? 0 : 256;
    return 0;
}

std::vector<std::string> SimCommandRunner::commands() const
{
    std::lock_guard<std::mutex> l(lock_);
    return log_;
}

void SimCommandRunner::clear()
{
    std::lock_guard<std::mutex> l(lock_);
    log_.clear();
}

void SimCommandRunner::setResponder(Responder r)
{
    std::lock_guard<std::mutex> l(lock_);
    responder_ = std::move(r);
}

void SimCommandRunner::setWiredPortPresent(bool present)
{
    std::lock_guard<std::mutex> l(lock_);
    wiredPort_ = present;
}

bool SimCommandRunner::wiredPortPresent() const
{
    std::lock_guard<std::mutex> l(lock_);
    return wiredPort_;
}

bool SimCommandRunner::rebootRequested() const
{
    std::lock_guard<std::mutex> l(lock_);
    return rebootRequested_;
}

} // namespace kel::platform::sim
