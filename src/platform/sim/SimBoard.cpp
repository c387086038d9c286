#include "platform/sim/SimBoard.h"

#include "platform/PathMap.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimCommandRunner.h"
#include "platform/sim/SimHid.h"
#include "platform/sim/SimI2cBus.h"
#include "platform/sim/SimMtd.h"
#include "platform/sim/SimRegisterMemory.h"
#include "platform/sim/SimSerial.h"
#include "platform/sim/SimSpiBus.h"
#include "platform/sim/SimStateWriter.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSettings>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace kel::platform::sim {

SimBoard::SimBoard(const std::string& root)
    : root_(root),
      clock_(std::make_unique<SimClock>()),
      commands_(std::make_unique<SimCommandRunner>(*clock_)),
      registers_(std::make_unique<SimRegisterMemory>()),
      spi_(std::make_unique<SimSpiBus>()),
      mtd_(std::make_unique<SimMtd>()),
      serial_(std::make_unique<SimSerial>()),
      hid_(std::make_unique<SimHid>()),
      changeWriter_(std::make_unique<SimStateWriter>([this] { writeState(); }))
{
    i2c_["/dev/i2c-0"] = std::make_unique<SimI2cBus>();
    applyScenario();
}

void SimBoard::applyScenario()
{
    commands_->setWiredPortPresent(scenarioFlag("system/wired_port", true, "the wired network port eth0 exists"));
    hid_->setPresent(scenarioFlag("keypad/present", true, "the USB keypad is plugged in"));
    registers_->setOpenFails(!scenarioFlag("soc/register_window", true, "the SoC register window opens"));
    // The chip's unique-id words, read once at start for the device id.
    registers_->poke(0x4058, static_cast<uint16_t>(scenarioNumber("soc/unique_id_x", 0x1234, "unique-id word at 0x4058")));
    registers_->poke(0x405C, static_cast<uint16_t>(scenarioNumber("soc/unique_id_y", 0x5678, "unique-id word at 0x405C")));
    registers_->poke(0x4060, static_cast<uint16_t>(scenarioNumber("soc/unique_id_z", 0x9ABC, "unique-id word at 0x4060")));
    // Boot and kernel image flash: NAND geometry.
    for (const char* dev : {"mtd8", "mtd10"}) {
        const QString g = QStringLiteral("flash_%1/").arg(QLatin1String(dev));
        const uint32_t size =
            scenarioNumber(g + "size", std::string(dev) == "mtd8" ? 0x100000 : 0x400000, "NAND size in bytes");
        mtd_->define(std::string("/dev/") + dev, size, scenarioNumber(g + "erasesize", 0x20000, "erase block in bytes"),
                     scenarioNumber(g + "writesize", 0x800, "page in bytes"));
    }
    addStateWriter("system", [this] { return commands_->state(); });
    addStateWriter("keypad", [this] {
        QJsonObject o;
        o["present"] = hid_->present(0x28E9, 0x0380);
        QJsonArray reports;
        const auto all = hid_->reports();
        if (!all.empty()) {
            QJsonArray last;
            for (uint8_t b : all.back())
                last.append(b);
            o["lastReport"] = last;
        }
        o["reports"] = static_cast<int>(all.size());
        return o;
    });
}

std::string SimBoard::scenarioPath() const
{
    return root_ + "/sim/board.ini";
}

std::string SimBoard::statePath() const
{
    return root_ + "/sim/state.json";
}

namespace {

// Adds "name=value" under [group] of an ini text, with its comment on the
// line above, keeping every other line (and so the comments) as it was.
QByteArray withKey(const QByteArray& text, const QString& key, const QString& value, const char* comment)
{
    const int slash = key.indexOf('/');
    const QByteArray group = "[" + key.left(slash).toUtf8() + "]";
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    QList<QByteArray> entry;
    if (comment && *comment)
        entry << QByteArray("; ") + comment;
    entry << key.mid(slash + 1).toUtf8() + "=" + value.toUtf8();
    int at = lines.indexOf(group);
    if (at < 0) {
        if (!lines.isEmpty())
            lines << QByteArray();
        lines << group << entry;
    } else {
        int end = at + 1;
        while (end < lines.size() && !lines[end].trimmed().startsWith('['))
            ++end;
        while (end > at + 1 && lines[end - 1].trimmed().isEmpty())
            --end;
        for (int i = 0; i < entry.size(); ++i)
            lines.insert(end + i, entry[i]);
    }
    return lines.join('\n') + '\n';
}

} // namespace

QVariant SimBoard::scenario(const QString& key, const QVariant& defaultValue, const char* comment)
{
    std::lock_guard<std::mutex> l(scenarioLock_);
    const QString path = QString::fromStdString(scenarioPath());
    {
        QSettings ini(path, QSettings::IniFormat);
        if (ini.contains(key))
            return ini.value(key);
    }
    // A scenario file linked outside the root is read, never written.
    if (!PathMap::writesInsideRoot(scenarioPath()))
        return defaultValue;
    // QSettings would drop the file's comments on rewriting it, so the key
    // is added to the text itself.
    QFile in(path);
    const QByteArray text = in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(withKey(text, key, defaultValue.toString(), comment));
        out.commit();
    }
    return defaultValue;
}

uint32_t SimBoard::scenarioNumber(const QString& key, uint32_t defaultValue, const char* comment)
{
    const QVariant v = scenario(key, QStringLiteral("0x%1").arg(defaultValue, 0, 16), comment);
    bool ok = false;
    const uint32_t n = v.toString().trimmed().toUInt(&ok, 0);
    return ok ? n : defaultValue;
}

bool SimBoard::scenarioFlag(const QString& key, bool defaultValue, const char* comment)
{
    const QString raw = scenario(key, defaultValue ? "yes" : "no", comment).toString();
    const QString v = raw.trimmed().toLower();
    if (v == "yes" || v == "true" || v == "1" || v == "on")
        return true;
    if (v == "no" || v == "false" || v == "0" || v == "off")
        return false;
    const int slash = key.indexOf('/');
    std::fprintf(stderr, "%s: [%s] %s=%s is not yes/no, true/false, on/off or 1/0; using %s\n",
                 scenarioPath().c_str(), qPrintable(key.left(slash)), qPrintable(key.mid(slash + 1)),
                 qPrintable(raw), defaultValue ? "yes" : "no");
    return defaultValue;
}

SimBoard::~SimBoard()
{
    // Its thread asks the chips for their state: it ends before they go.
    changeWriter_.reset();
}

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
    if (!PathMap::writesInsideRoot(statePath()))
        return false;
    // The chips are asked before the file's lock is taken: a caller may
    // hold a lock of its own that a chip's state needs.
    const uint64_t taken = ++statesTaken_;
    const QByteArray json = QJsonDocument(state()).toJson();
    std::lock_guard<std::mutex> l(writeLock_);
    if (taken < lastWritten_)
        return true;
    lastWritten_ = taken;
    const std::string temp = statePath() + ".tmp";
    // A link planted at the temporary name is not followed.
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, json.constData(), size_t(json.size())) == json.size();
    ::close(fd);
    if (written && std::rename(temp.c_str(), statePath().c_str()) == 0)
        return true;
    ::unlink(temp.c_str());
    return false;
}

void SimBoard::stateChanged()
{
    changeWriter_->changed();
}

} // namespace kel::platform::sim
