#include "platform/sim/SimInputBoard.h"

#include "platform/PathMap.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimEdidEeprom.h"
#include "platform/sim/SimGpioLines.h"
#include "platform/sim/SimI2cBus.h"
#include "platform/sim/SimI2cSwitch.h"
#include "platform/sim/SimInputPort.h"
#include "platform/sim/SimIt6805.h"
#include "platform/sim/SimIt6602.h"
#include "platform/sim/SimIt66121.h"
#include "platform/sim/SimLoggedDevice.h"
#include "platform/sim/SimRegisterChip.h"
#include "platform/sim/SimRegisterMemory.h"
#include "platform/sim/SimVideoSource.h"

#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace kel::platform::sim {
namespace {

// The boards of live simulated boards. Never destroyed: a simulated board
// held by another static may die after this file's statics at exit.
struct Registry {
    std::mutex lock;
    std::map<SimBoard*, SimInputBoard*> boards;
};

Registry& registry()
{
    static Registry* r = new Registry;
    return *r;
}

std::array<uint8_t, SimEdidEeprom::kSize> initialImage(const QString& kind)
{
    std::array<uint8_t, SimEdidEeprom::kSize> img;
    img.fill(0xFF);  // factory-new
    if (kind == "corrupt") {
        static const uint8_t header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
        for (int i = 0; i < SimEdidEeprom::kSize; ++i)
            img[i] = i < 8 ? header[i] : static_cast<uint8_t>(0x55 + i);
    } else if (kind.startsWith("file:")) {
        QFile f(kind.mid(5));
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray data = f.read(SimEdidEeprom::kSize);
            for (int i = 0; i < data.size(); ++i)
                img[i] = static_cast<uint8_t>(data[i]);
        }
    }
    return img;
}

// A list value as QSettings gives it: "a, b" or "a b".
QStringList listValue(const QVariant& value)
{
    QStringList out;
    for (const QString& part : value.toStringList())
        out += part.split(QRegularExpression("[\\s,]+"), Qt::SkipEmptyParts);
    return out;
}

QString hex2(unsigned v) { return QString("0x%1").arg(v, 2, 16, QChar('0')); }

} // namespace

constexpr uint8_t SimInputBoard::kEdidChannel[6];
constexpr uint8_t SimInputBoard::kIt6805Channel[2];

SimInputBoard::SimInputBoard(SimBoard& board)
    : board_(board),
      bus_(*board.i2cBus("/dev/i2c-0")),
      rxSwitch_(std::make_unique<SimI2cSwitch>()),
      edidSwitch_(std::make_unique<SimI2cSwitch>()),
      port_(std::make_unique<SimInputPort>()),
      s5p210_(std::make_unique<SimRegisterChip>()),
      cdce913_(std::make_unique<SimRegisterChip>()),
      sii9022_(std::make_unique<SimRegisterChip>()),
      it66121_(std::make_unique<SimIt66121>())
{
    gpio_ = std::make_unique<SimGpioLines>(
        board.registers(), std::vector<uint32_t>{kIt6602Reset, kIt6805Reset, kEdidWp, kGs2971Reset,
                                                 kFpga0Reset, kFpga1Reset, kSdiEnable});
    readScenario();
    for (int k = 0; k < 6; ++k) {
        eeproms_[k]->setGate([this] { return eepromWritable(); });
        edidSwitch_->attach(kEdidChannel[k], kEeprom, eeproms_[k].get());
    }
    edidSwitch_->attach(kS5p210Channel, kS5p210, s5p210_.get());
    attachIt6805s();
    for (int k = 0; k < 4; ++k)
        rxSwitch_->attach(kEdidChannel[k], it6602Addr_[k], it6602_[k].get());
    root_ = {{kReceiverSwitch, rxSwitch_.get()}, {kEdidSwitch, edidSwitch_.get()}, {kPort, port_.get()},
             {kCdce913, cdce913_.get()}, {kSii9022, sii9022_.get()}, {kIt66121, it66121_.get()}};
    for (auto& [addr, dev] : root_)
        bus_.attach(addr, dev);
    route();
    gpio_->setObserver([this](const SimGpioLines::Edge& e) { onGpio(e.offset, e.from, e.to); });
    it66121_->setObserver([this] { board_.writeState(); });
    board_.addStateWriter("input_board", [this] { return state(); });

    openKnob();

    std::lock_guard<std::mutex> l(registry().lock);
    registry().boards[&board_] = this;
}

SimInputBoard::~SimInputBoard()
{
    {
        std::lock_guard<std::mutex> l(registry().lock);
        registry().boards.erase(&board_);
    }
    board_.removeStateWriter("input_board");
    gpio_->setObserver({});
    it66121_->setObserver({});
    closeKnob();
    bus_.setRouter({});
    for (uint16_t a : {kReceiverSwitch, kEdidSwitch, kPort, kCdce913, kSii9022, kIt66121})
        bus_.detach(a);
}

void SimInputBoard::install(SimBoard& board)
{
    board.own<SimInputBoard>(board);
    board.writeState();
}

SimInputBoard* SimInputBoard::of(SimBoard& board)
{
    std::lock_guard<std::mutex> l(registry().lock);
    auto it = registry().boards.find(&board);
    return it == registry().boards.end() ? nullptr : it->second;
}

void SimInputBoard::readScenario()
{
    for (int k = 0; k < 6; ++k) {
        const QString kind = board_.scenario(QString("input_board/edid%1").arg(k), "blank",
                                            "first EDID image: blank, corrupt or file:<host path>").toString();
        eeproms_[k] = std::make_unique<SimEdidEeprom>(eepromFile(k), initialImage(kind));
    }
    for (const QString& s : listValue(board_.scenario("input_board/stuck", "", "inputs whose EEPROM ignores writes, e.g. 2, 5")))
        if (s.toInt() >= 0 && s.toInt() < 6)
            eeproms_[s.toInt()]->setStuck(true);
    s5p210_->setPresent(board_.scenarioFlag("input_board/d0_present", true, "the 0xD0 chip answers"));
    cdce913_->setPresent(board_.scenarioFlag("input_board/cdce913_present", true, "the CDCE913 clock chip answers"));
    sii9022_->setPresent(board_.scenarioFlag("input_board/sii9022_present", true, "the SiI9022A transmitter answers"));
    port_->setPresent(board_.scenarioFlag("input_board/port_present", true, "the input control port answers"));
    it66121_->setPresent(board_.scenarioFlag("input_board/it66121_present", true, "the SDI path's IT66121 answers"));
    const QString sink = board_.scenario("input_board/sdi_sink", "hdmi",
                                         "sink on the SDI transmitter: hdmi, dvi, none, corrupt or ddc_error").toString();
    SimIt66121::Sink kind = SimIt66121::Sink::Hdmi;
    if (!SimIt66121::parseSink(sink, &kind))
        std::fprintf(stderr, "%s: [input_board] sdi_sink=%s is not a sink kind; using hdmi\n",
                     board_.scenarioPath().c_str(), qPrintable(sink));
    it66121_->setSink(kind);
    logLimit_ = std::max<size_t>(2, board_.scenarioNumber("input_board/transfer_log", 50000,
                                                            "how many of the newest I2C transfers are kept"));
    for (int d = 0; d < 2; ++d) {
        it6805_[d] = std::make_unique<SimIt6805>();
        it6805_[d]->setPresent(board_.scenarioFlag(QString("input_board/it6805_present%1").arg(d), true,
                                                   d ? "the IT6805 of input 5 answers" : "the IT6805 of input 4 answers"));
        it6805_[d]->setChipId(static_cast<uint8_t>(board_.scenarioNumber(
            QString("input_board/it6805_chipid%1").arg(d), 0xA0, "IT6805 revision (register 0x04): 0x10, 0xE0 or other")));
    }
    for (int k = 0; k < 6; ++k) {
        // Window 0 shows input 2 by default: a fresh board has a source there.
        sources_[k] = std::make_unique<SimVideoSource>();
        sources_[k]->plug(SimVideoSource::fromScenario(board_, k, k == 2 ? "edid" : "none"));
        SimEdidEeprom* eeprom = eeproms_[k].get();
        sources_[k]->setEdidReader([eeprom] { return eeprom->contents(); });
    }
    for (int k = 0; k < 4; ++k) {
        it6602_[k] = std::make_unique<SimIt6602>(*sources_[k], [this] { return gpio_->level(kIt6602Reset) == 0; });
        it6602_[k]->setPresent(board_.scenarioFlag(QString("input_board/it6602_present%1").arg(k), true,
                                                   "the IT6602 receiver of this input answers"));
        const uint32_t addr8 = board_.scenarioNumber(QString("input_board/it6602_addr%1").arg(k), 0x90,
                                                     "the receiver's 8-bit address: 0x90 or 0x94");
        it6602Addr_[k] = addr8 == 0x94 ? 0x4A : 0x48;
        it6602_[k]->setHpdObserver([this] { board_.writeState(); });
    }
}

void SimInputBoard::attachIt6805s()
{
    for (int d = 0; d < 2; ++d) {
        SimIt6805& chip = *it6805_[d];
        chip.setResetHeld([this] { return gpio_->level(kIt6805Reset) == 0; });
        chip.setSource(sources_[static_cast<size_t>(4 + d)].get());
        chip.setHpdObserver([this] { board_.writeState(); });
        for (uint16_t page : {SimIt6805::kMainPage, SimIt6805::kEdidPage, SimIt6805::kRxPage, SimIt6805::kCecPage})
            rxSwitch_->attach(kIt6805Channel[d], page, chip.page(page));
    }
}

SimI2cDevice* SimInputBoard::find(uint16_t addr)
{
    // Devices behind a switch answer only while their channel is selected.
    if (SimI2cDevice* d = rxSwitch_->route(addr))
        return d;
    if (SimI2cDevice* d = edidSwitch_->route(addr))
        return d;
    auto it = root_.find(addr);
    return it == root_.end() ? nullptr : it->second;
}

void SimInputBoard::route()
{
    // Every device is reached through a logging stand-in; the router runs
    // under the bus lock, once per run of messages.
    bus_.setRouter([this](uint16_t addr) -> SimI2cDevice* {
        SimI2cDevice* d = find(addr);
        if (!d) {
            if (!bus_.at(addr))
                record(addr, nullptr, 0, false);
            return nullptr;
        }
        std::unique_ptr<SimLoggedDevice>& proxy = logged_[d];
        if (!proxy)
            proxy = std::make_unique<SimLoggedDevice>(
                addr, d, [this](uint16_t a, const I2cMsg* m, int n, bool ok) { record(a, m, n, ok); });
        return proxy.get();
    });
}

void SimInputBoard::record(uint16_t addr, const I2cMsg* msgs, int count, bool ok)
{
    Transfer t{addr, {}, 0, ok, rxSwitch_->control(), edidSwitch_->control()};
    for (int i = 0; i < count; ++i) {
        if (msgs[i].flags & I2cMsg::kRead)
            t.readLength += msgs[i].len;
        else
            t.written.insert(t.written.end(), msgs[i].buf, msgs[i].buf + msgs[i].len);
    }
    std::lock_guard<std::mutex> l(logLock_);
    // Keep the newest transfers of a long run: the source detection polls
    // several hundred times a second.
    if (log_.size() >= logLimit_)
        log_.erase(log_.begin(), log_.begin() + std::ptrdiff_t(logLimit_ / 2));
    log_.push_back(std::move(t));
}

std::vector<SimInputBoard::Transfer> SimInputBoard::transfers() const
{
    std::lock_guard<std::mutex> l(logLock_);
    return log_;
}

void SimInputBoard::clearTransfers()
{
    std::lock_guard<std::mutex> l(logLock_);
    log_.clear();
}

void SimInputBoard::onGpio(uint32_t offset, uint16_t from, uint16_t to)
{
    // The receivers see their reset line: held, they drop hot-plug and stop
    // answering; released, they come back with their power-on values.
    if (offset == kIt6602Reset && from != to)
        for (auto& chip : it6602_)
            to == 0 ? chip->holdReset() : chip->powerOn();
    if (offset == kIt6805Reset && from != to && to == 0)
        for (auto& chip : it6805_)
            chip->holdReset();
    // Lines change rarely (resets, write protection around EEPROM writes):
    // each change publishes the board, with the images rewritten so far.
    const bool dirty = stateDirty_.exchange(false);
    if (from != to || dirty)
        board_.writeState();
}

bool SimInputBoard::eepromWritable() const
{
    const bool writable = gpio_->level(kEdidWp) == 0 && (port_->value() & 0x01) == 0;
    if (writable)
        stateDirty_ = true;
    return writable;
}

std::string SimInputBoard::eepromFile(int input) const
{
    return PathMap::host("/sim/edid/input" + std::to_string(input) + ".bin");
}

void SimInputBoard::openKnob()
{
    // A pseudo-terminal in raw mode stands in for the knob's character
    // device: the controller opens it read-write and gets SIGIO per byte,
    // as from the kernel driver.
    knobMaster_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (knobMaster_ < 0)
        return;
    termios raw{};
    const char* slave = nullptr;
    if (::grantpt(knobMaster_) != 0 || ::unlockpt(knobMaster_) != 0 || !(slave = ::ptsname(knobMaster_)) ||
        ::tcgetattr(knobMaster_, &raw) != 0) {
        closeKnob();
        return;
    }
    ::cfmakeraw(&raw);
    ::tcsetattr(knobMaster_, TCSANOW, &raw);
    knobLink_ = PathMap::host(std::string("/dev/ec11"));
    ::unlink(knobLink_.c_str());
    if (::symlink(slave, knobLink_.c_str()) != 0)
        knobLink_.clear();
}

void SimInputBoard::closeKnob()
{
    if (!knobLink_.empty())
        ::unlink(knobLink_.c_str());
    knobLink_.clear();
    if (knobMaster_ >= 0)
        ::close(knobMaster_);
    knobMaster_ = -1;
}

bool SimInputBoard::knobEvent(uint8_t value)
{
    return knobMaster_ >= 0 && ::write(knobMaster_, &value, 1) == 1;
}

QJsonObject SimInputBoard::state() const
{
    QJsonObject s;
    s.insert("receiver_switch", hex2(rxSwitch_->control()));
    s.insert("edid_switch", hex2(edidSwitch_->control()));
    s.insert("port", hex2(port_->value()));
    QJsonObject chips;
    chips.insert("d0", s5p210_->present());
    chips.insert("cdce913", cdce913_->present());
    chips.insert("sii9022", sii9022_->present());
    s.insert("chips_present", chips);
    QJsonObject lines;
    const std::pair<const char*, uint32_t> names[] = {
        {"it6602_reset", kIt6602Reset}, {"it6805_reset", kIt6805Reset}, {"edid_wp", kEdidWp},
        {"gs2971_reset", kGs2971Reset}, {"fpga0_reset", kFpga0Reset}, {"fpga1_reset", kFpga1Reset},
        {"sdi_enable", kSdiEnable}};
    for (auto& [name, off] : names)
        lines.insert(name, gpio_->level(off));
    s.insert("gpio", lines);
    QJsonArray eeproms;
    for (int k = 0; k < 6; ++k) {
        QJsonObject e;
        e.insert("file", QString::fromStdString(PathMap::logical(eepromFile(k))));
        e.insert("rewritten", eeproms_[k]->rewritten());
        e.insert("page_writes", static_cast<int>(eeproms_[k]->pageWrites()));
        e.insert("stuck", eeproms_[k]->stuck());
        eeproms.append(e);
    }
    s.insert("eeproms", eeproms);
    s.insert("sdi", sdiState());
    QJsonArray sources;
    for (int k = 0; k < 6; ++k)
        sources.append(sources_[k]->state());
    s.insert("sources", sources);
    QJsonArray receivers;
    for (int k = 0; k < 4; ++k) {
        QJsonObject r = it6602_[k]->state();
        r.insert("addr", hex2(it6602Addr_[k] << 1));
        receivers.append(r);
    }
    for (const auto& chip : it6805_)
        receivers.append(chip->state());
    s.insert("receivers", receivers);
    return s;
}

QJsonObject SimInputBoard::sdiState() const
{
    QJsonObject sdi;
    sdi.insert("it66121_present", it66121_->present());
    sdi.insert("sink", SimIt66121::sinkName(it66121_->sink()));
    sdi.insert("hpd", (it66121_->reg(0, 0x0E) & 0x40) != 0);
    sdi.insert("register_writes", static_cast<int>(it66121_->writeLog().size()));
    sdi.insert("ddc_reads", static_cast<int>(it66121_->ddcReads()));
    sdi.insert("sdi_enable", gpio_->level(kSdiEnable));
    sdi.insert("gs2971_reset", gpio_->level(kGs2971Reset));
    int pulses = 0;
    for (const SimGpioLines::Edge& e : gpio_->edges(kGs2971Reset))
        pulses += e.to == 0 ? 1 : 0;
    sdi.insert("gs2971_pulses", pulses);
    return sdi;
}

} // namespace kel::platform::sim
