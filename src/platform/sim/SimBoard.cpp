#include "platform/sim/SimBoard.h"

#include "platform/PathMap.h"
#include "platform/sim/SimCommandRunner.h"
#include "platform/sim/SimHid.h"
#include "platform/sim/SimI2cBus.h"
#include "platform/sim/SimMtd.h"
#include "platform/sim/SimRegisterMemory.h"
#include "platform/sim/SimSerial.h"
#include "platform/sim/SimSpiBus.h"

#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>

namespace kel::platform::sim {

SimBoard::SimBoard(const std::string& root)
    : root_(root),
      commands_(std::make_unique<SimCommandRunner>()),
      registers_(std::make_unique<SimRegisterMemory>()),
      spi_(std::make_unique<SimSpiBus>()),
      mtd_(std::make_unique<SimMtd>()),
      serial_(std::make_unique<SimSerial>()),
      hid_(std::make_unique<SimHid>())
{
    i2c_["/dev/i2c-0"] = std::make_unique<SimI2cBus>();
}

SimBoard::~SimBoard() = default;

SimI2cBus* SimBoard::i2cBus(const std::string& devPath)
{
    std::lock_guard<std::mutex> l(lock_);
    auto it = i2c_.find(devPath);
    return it == i2c_.end() ? nullptr : it->second.get();
}

void SimBoard::addStateWriter(const std::string& name, StateWriter writer)
{
    std::lock_guard<std::mutex> l(lock_);
    stateWriters_[name] = std::move(writer);
}

void SimBoard::removeStateWriter(const std::string& name)
{
    std::lock_guard<std::mutex> l(lock_);
    stateWriters_.erase(name);
}

QJsonObject SimBoard::state() const
{
    std::map<std::string, StateWriter> writers;
    {
        std::lock_guard<std::mutex> l(lock_);
        writers = stateWriters_;
    }
    QJsonObject all;
    for (auto& [name, fn] : writers)
        all.insert(QString::fromStdString(name), fn());
    return all;
}

bool SimBoard::writeState() const
{
    QSaveFile f(QString::fromStdString(PathMap::host(std::string("/sim/state.json"))));
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(QJsonDocument(state()).toJson());
    return f.commit();
}

} // namespace kel::platform::sim
