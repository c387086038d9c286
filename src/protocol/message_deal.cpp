#include "protocol/message_deal.h"
#include "protocol/message_deal_4g.h"

#include "protocol/BcdClock.h"
#include "protocol/ControllerPort.h"
#include "protocol/EdidTiming.h"
#include "protocol/FileTable.h"
#include "protocol/FpgaAddressMap.h"
#include "protocol/NetAddress.h"
#include "protocol/PhyFrame.h"
#include "protocol/PortLock.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/protocol_phy.h"
#include "params/RamLayout.h"
#include "platform/PathMap.h"
#include "platform/Board.h"
#include "platform/Clock.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

namespace kel::protocol {

using platform::PathMap;

namespace {

constexpr uint32_t kExtendClock = 16;
constexpr uint32_t kExtendRunTime = 76;
constexpr uint32_t kExtendRunTimeSize = 24;
constexpr size_t kMaxText = 64;
constexpr size_t kMaxBarcode = 32;
constexpr uint32_t kLcdLangMask = 0x1FFFF;

QString edidPath(int input)
{
    return QString("%1/edid_%2.bin").arg(FileTable::kEdidDir).arg(input);
}

// A length-prefixed text at p[at]; advances at. False when it runs past n,
// is too long or holds a control character.
bool takeText(const uint8_t* p, size_t n, size_t& at, QString& text)
{
    if (at >= n)
        return false;
    const size_t len = p[at];
    if (len == 0 || len > kMaxText || len > n - at - 1)
        return false;
    QByteArray raw(reinterpret_cast<const char*>(p + at + 1), int(len));
    for (char c : raw)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
            return false;
    text = QString::fromLatin1(raw);
    at += 1 + len;
    return true;
}

} // namespace

message_deal::message_deal(ControllerPort& port)
    : port_(port)
    , files_(port)
{
}

void message_deal::message_group_deal(uint8_t, const Requester& who, const uint8_t* body, size_t len, Bytes& answer)
{
    answer.clear();
    // Too short to hold a command: nothing to answer.
    if (!body || len < PhyFrame::kMinLength)
        return;
    const Request rq{body, body + PhyFrame::kSub, len - 1 - PhyFrame::kSub, who};
    Bytes data;
    const uint8_t status = dispatch(rq, data);
    // One rule for every command: an answer with a status other than 0
    // carries no data. The cloud text command is the exception: its answer
    // line is where the textual status travels.
    if (status != ST_OK && body[PhyFrame::kCmd] != CMD_CLOUD_TEXT)
        data.clear();
    answer.resize(PhyFrame::kData + data.size() + 1);
    answer.resize(protocol_phy::swap_phy_head(body, status, data.data(), data.size(), answer.data()));
}

uint8_t message_deal::dispatch(const Request& rq, Bytes& out)
{
    const uint16_t target = PhyFrame::target(rq.body);
    const uint8_t cmd = rq.body[PhyFrame::kCmd];
    const bool fpga = FpgaAddressMap::isFpgaTarget(target);
    if (cmd == CMD_WRITE_RAM && (fpga || PhyFrame::isLocalTarget(target)))
        return write_ram(rq, out);
    if (cmd == CMD_READ_RAM && (fpga || PhyFrame::isLocalTarget(target)))
        return read_ram(rq, out);
    if (!PhyFrame::isLocalTarget(target))
        return ST_BAD_TARGET;
    switch (cmd) {
    case CMD_WRITE_REGISTER: return write_register(rq, out);
    case CMD_READ_REGISTER: return read_register(rq, out);
    case CMD_WRITE_FILE_START: return file_start(rq, true, false, out);
    case CMD_WRITE_DEFINED_FILE_START: return file_start(rq, true, true, out);
    case CMD_WRITE_FILE_BLOCK: return write_file_block(rq, out);
    case CMD_WRITE_FILE_END: return write_file_end(rq, out);
    case CMD_READ_FILE_START: return file_start(rq, false, false, out);
    case CMD_READ_DEFINED_FILE_START: return file_start(rq, false, true, out);
    case CMD_READ_FILE_BLOCK: return read_file_block(rq, out);
    case CMD_READ_FILE_END: return files_.readEnd(rq.who, out);
    case CMD_DELETE_FILES: return files_.deleteAll(out);
    case CMD_WRITE_EDID: return write_edid_table(rq, out);
    case CMD_READ_EDID: return read_edid_table(rq, out);
    case CMD_WRITE_RTC: return write_rtc_time(rq, out);
    case CMD_SET_NETWORK: return set_network(rq, out);
    case CMD_WRITE_CONFIG: return write_config(rq, out);
    case CMD_DEVICE_INFO: return device_info(out);
    case CMD_FLASH_WRITE: return flash_write(rq, out);
    case CMD_FLASH_READ: return flash_read(rq, out);
    case CMD_FPGA_CTRL_FLAGS: return fpga_ctrl_flags(rq);
    case CMD_CLOUD_TEXT: return rq.who.link == LINK_4G ? message_deal_4g::frame_deal(rq.p, rq.n, out) : uint8_t(ST_UNKNOWN_CMD);
    default: return ST_UNKNOWN_CMD;
    }
}

// Request: u32 address (bytes 10-13), u16 length (14-15), two zero bytes,
// data. Answer: u32 address, u16 length.
uint8_t message_deal::write_ram(const Request& rq, Bytes& out)
{
    if (rq.n < 8)
        return ST_BAD_RANGE;
    const uint32_t address = PhyFrame::u32At(rq.p, 0);
    const uint32_t n = PhyFrame::u16At(rq.p, 4);
    const uint8_t* data = rq.p + 8;
    if (n == 0 || n > rq.n - 8)
        return ST_BAD_RANGE;
    PhyFrame::appendU32(out, address);
    PhyFrame::appendU16(out, uint16_t(n));
    const uint16_t target = PhyFrame::target(rq.body);
    if (FpgaAddressMap::isFpgaTarget(target)) {
        FpgaAddressMap::Place at{};
        if (!FpgaAddressMap::locate(target, address, n, at))
            return ST_BAD_RANGE;
        if (!port_.fpgaImageWrite(at.fpga, at.image, at.offset, data, n))
            return ST_REFUSED;
        port_.fpgaHostCommand();
        return ST_OK;
    }
    if (address < kUserModeBase)
        return port_.writeRamBlock(address, data, n) == 0 ? ST_OK : ST_REFUSED;
    if (address < kUserModeEnd)
        return port_.writeUserMode(address >> 12, address & 0xFFF, data, n) == 0 ? ST_OK : ST_REFUSED;
    return ST_BAD_RANGE;
}

// Request: u32 address, u16 length (at most kMaxRead), two zero bytes.
// Answer: u32 address, u16 length, data.
uint8_t message_deal::read_ram(const Request& rq, Bytes& out)
{
    if (rq.n < 6)
        return ST_BAD_RANGE;
    const uint32_t address = PhyFrame::u32At(rq.p, 0);
    const uint32_t n = PhyFrame::u16At(rq.p, 4);
    if (n == 0 || n > kMaxRead)
        return ST_BAD_RANGE;
    const uint16_t target = PhyFrame::target(rq.body);
    Bytes data(n);
    if (FpgaAddressMap::isFpgaTarget(target)) {
        FpgaAddressMap::Place at{};
        if (!FpgaAddressMap::locate(target, address, n, at))
            return ST_BAD_RANGE;
        if (at.image == FpgaImage::Extend)
            Time_to_RAM();
        if (!port_.fpgaImageRead(at.fpga, at.image, at.offset, data.data(), n))
            return ST_REFUSED;
    } else {
        const uint8_t st = read_local_ram(address, n, data);
        if (st != ST_OK)
            return st;
    }
    PhyFrame::appendU32(out, address);
    PhyFrame::appendU16(out, uint16_t(n));
    out.insert(out.end(), data.begin(), data.end());
    return ST_OK;
}

uint8_t message_deal::read_local_ram(uint32_t address, uint32_t n, Bytes& data)
{
    if (address < kUserModeBase) {
        if (n > kRamBlockSize - address)
            return ST_BAD_RANGE;
        return port_.readRamBlock(address, data.data(), n) ? ST_OK : ST_REFUSED;
    }
    if (address < kUserModeEnd) {
        const uint32_t mode = address >> 12;
        const uint32_t offset = address & 0xFFF;
        if (n > kUserModeSlotSize - offset)
            return ST_BAD_RANGE;
        return port_.readUserMode(mode, offset, data.data(), n) ? ST_OK : ST_REFUSED;
    }
    if (address >= kStatusBase && address - kStatusBase < kStatusSize && n <= kStatusBase + kStatusSize - address) {
        uint8_t status[kStatusSize];
        PhyFrame::putU16(status, 0, port_.cardTotal());
        status[2] = port_.pendingApply();
        std::copy(status + (address - kStatusBase), status + (address - kStatusBase) + n, data.begin());
        return ST_OK;
    }
    return ST_BAD_RANGE;
}

void message_deal::Time_to_RAM()
{
    uint8_t clock[8];
    BcdClock::encode(kel::platform::Board::clock().now(), clock);
    port_.fpgaImageWrite(0, FpgaImage::Extend, kExtendClock, clock, sizeof clock);
    const ClockRecordView rec = port_.clockRecord();
    uint8_t run[kExtendRunTimeSize] = {};
    PhyFrame::putU32(run, 0, rec.sequence);
    PhyFrame::putU32(run, 4, rec.minutesBoot);
    PhyFrame::putU32(run, 8, rec.minutesRun);
    PhyFrame::putU32(run, 12, rec.total);
    port_.fpgaImageWrite(0, FpgaImage::Extend, kExtendRunTime, run, sizeof run);
}

// Request: u16 first register, mask, count, count values. Each register
// takes (old & ~mask) | (value & mask). Answer: u16 first, count.
uint8_t message_deal::write_register(const Request& rq, Bytes& out)
{
    if (rq.n < 4)
        return ST_BAD_RANGE;
    const uint32_t first = PhyFrame::u16At(rq.p, 0);
    const uint8_t mask = rq.p[2];
    const uint32_t count = rq.p[3];
    const uint32_t bank = port_.registerCount();
    if (count == 0 || count > rq.n - 4 || first >= bank || count > bank - first)
        return ST_BAD_RANGE;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t reg = first + i;
        const uint8_t bits = rq.p[4 + i] & mask;
        port_.writeRegister(reg, uint8_t((port_.readRegister(reg) & ~mask) | bits));
        if (reg == kRegMcuFlag)
            REG_mcu_flag(bits);
        else if (reg == kRegUpdate11)
            RegUpdate11();
    }
    PhyFrame::appendU16(out, uint16_t(first));
    out.push_back(uint8_t(count));
    return ST_OK;
}

void message_deal::REG_mcu_flag(uint8_t bits)
{
    if (bits & kApplyUserModeBit)
        port_.requestApply(2);
    else if (bits & kApplyBit)
        port_.requestApply(1);
    if ((bits & kOsdBit) && port_.osdEnabled())
        port_.requestOsdReload();
}

void message_deal::RegUpdate11() { port_.requestSdiPulse(); }

// Request: u16 first register, count. Answer: u16 first, count, values.
uint8_t message_deal::read_register(const Request& rq, Bytes& out)
{
    if (rq.n < 3)
        return ST_BAD_RANGE;
    const uint32_t first = PhyFrame::u16At(rq.p, 0);
    const uint32_t count = rq.p[2];
    const uint32_t bank = port_.registerCount();
    if (count == 0 || first >= bank || count > bank - first)
        return ST_BAD_RANGE;
    PhyFrame::appendU16(out, uint16_t(first));
    out.push_back(uint8_t(count));
    for (uint32_t i = 0; i < count; ++i)
        out.push_back(port_.readRegister(first + i));
    return ST_OK;
}

// Request: file type, four tag characters, and for an upload u32 size.
uint8_t message_deal::file_start(const Request& rq, bool upload, bool defined, Bytes& out)
{
    if (rq.n < (upload ? 9u : 5u))
        return ST_BAD_RANGE;
    if (!upload)
        return files_.readStart(rq.who, rq.p[0], rq.p + 1, defined, out);
    return files_.writeStart(rq.who, rq.p[0], rq.p + 1, PhyFrame::u32At(rq.p, 5), defined, out);
}

// Request: u32 offset, u16 length, data.
uint8_t message_deal::write_file_block(const Request& rq, Bytes& out)
{
    if (rq.n < 6)
        return ST_BAD_RANGE;
    const uint32_t n = PhyFrame::u16At(rq.p, 4);
    if (n > rq.n - 6)
        return ST_BAD_RANGE;
    return files_.writeBlock(rq.who, PhyFrame::u32At(rq.p, 0), rq.p + 6, n, out);
}

// Request: the 16 MD5 bytes of the whole file.
uint8_t message_deal::write_file_end(const Request& rq, Bytes& out)
{
    if (rq.n < 16)
        return ST_BAD_RANGE;
    return files_.writeEnd(rq.who, rq.p, out);
}

// Request: u32 offset, u16 length.
uint8_t message_deal::read_file_block(const Request& rq, Bytes& out)
{
    if (rq.n < 6)
        return ST_BAD_RANGE;
    return files_.readBlock(rq.who, PhyFrame::u32At(rq.p, 0), PhyFrame::u16At(rq.p, 4), out);
}

// Request: input k, u16 length (256), the EDID. Answer: k.
uint8_t message_deal::write_edid_table(const Request& rq, Bytes& out)
{
    if (rq.n < 3)
        return ST_BAD_RANGE;
    const int input = rq.p[0];
    const uint32_t n = PhyFrame::u16At(rq.p, 1);
    if (input >= kEdidInputs || n != EdidTiming::kEdidSize || n > rq.n - 3)
        return ST_BAD_RANGE;
    const uint8_t* edid = rq.p + 3;
    EdidTiming timing;
    if (!EdidTiming::parse(edid, timing))
        return ST_BAD_VALUE;
    out.push_back(uint8_t(input));
    {
        FileLock files(port_);
        QDir().mkpath(PathMap::host(QString(FileTable::kEdidDir)));
        QFile f(PathMap::host(edidPath(input)));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || f.write(reinterpret_cast<const char*>(edid), n) != qint64(n) || !f.flush())
            return ST_FILE;
    }
    port_.setEdidTable(input, edid);
    uint8_t record[RamLayout::kEdidRecordSize];
    PhyFrame::putU16(record, 0, timing.width);
    PhyFrame::putU16(record, 2, timing.height);
    PhyFrame::putU16(record, 4, timing.refresh);
    port_.writeRamBlock(uint32_t(RamLayout::edidRecord(input)), record, RamLayout::kEdidRecordSize);
    port_.requestApply(1);
    return ST_OK;
}

// Request: input k. Answer: k, u16 length, the stored EDID.
uint8_t message_deal::read_edid_table(const Request& rq, Bytes& out)
{
    if (rq.n < 1 || rq.p[0] >= kEdidInputs)
        return ST_BAD_RANGE;
    const int input = rq.p[0];
    QByteArray edid;
    {
        FileLock files(port_);
        QFile f(PathMap::host(edidPath(input)));
        if (!f.open(QIODevice::ReadOnly))
            return ST_FILE;
        edid = f.read(EdidTiming::kEdidSize);
    }
    if (edid.size() != EdidTiming::kEdidSize)
        return ST_FILE;
    out.push_back(uint8_t(input));
    PhyFrame::appendU16(out, uint16_t(edid.size()));
    out.insert(out.end(), edid.constData(), edid.constData() + edid.size());
    return ST_OK;
}

// Request: seven BCD bytes (see BcdClock).
uint8_t message_deal::write_rtc_time(const Request& rq, Bytes&)
{
    ClockValue value;
    if (rq.n < size_t(BcdClock::kBytes) || !BcdClock::decode(rq.p, value))
        return ST_BAD_VALUE;
    port_.setSystemClock(value);
    port_.clockChanged();
    return ST_OK;
}

// Request: three length-prefixed texts: address, mask, gateway.
uint8_t message_deal::set_network(const Request& rq, Bytes&)
{
    size_t at = 0;
    QString ip, mask, gateway;
    if (!takeText(rq.p, rq.n, at, ip) || !takeText(rq.p, rq.n, at, mask) || !takeText(rq.p, rq.n, at, gateway))
        return ST_BAD_VALUE;
    if (!NetAddress::isDottedQuad(ip) || !NetAddress::isNetmask(mask) || !NetAddress::isDottedQuad(gateway))
        return ST_BAD_VALUE;
    port_.storeNetwork(ip, mask, gateway);
    return ST_OK;
}

// Request: configuration key, length-prefixed text. Keys: 0 TCP port,
// 6 barcode, 7 WiFi address, 17 LCD language mask.
uint8_t message_deal::write_config(const Request& rq, Bytes& out)
{
    if (rq.n < 1)
        return ST_BAD_RANGE;
    const int key = rq.p[0];
    size_t at = 1;
    QString text;
    if (!takeText(rq.p, rq.n, at, text))
        return ST_BAD_VALUE;
    bool ok = false;
    switch (key) {
    case 0: ok = NetAddress::isPort(text); break;
    case 6: ok = size_t(text.size()) <= kMaxBarcode; break;
    case 7: ok = NetAddress::isDottedQuad(text); break;
    case 17: {
        // Decimal or 0x hex; stored as decimal so a leading 0 never reads
        // as octal later.
        const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
        const uint32_t v = (hex ? text.mid(2) : text).toUInt(&ok, hex ? 16 : 10);
        ok = ok && (v & ~kLcdLangMask) == 0;
        text = QString::number(v);
        break;
    }
    default: break;
    }
    if (!ok)
        return ST_BAD_VALUE;
    port_.storeConfig(key, text);
    out.push_back(uint8_t(key));
    return ST_OK;
}

// Answer: the 32 characters of the device id, zero padded.
uint8_t message_deal::device_info(Bytes& out)
{
    std::string pid = port_.deviceId();
    pid.resize(kPidLength, '\0');
    out.insert(out.end(), pid.begin(), pid.end());
    return ST_OK;
}

// Request: u32 address, u16 length, data. Answer: u32 address, u16 length.
uint8_t message_deal::flash_write(const Request& rq, Bytes& out)
{
    if (rq.n < 6)
        return ST_BAD_RANGE;
    const uint32_t address = PhyFrame::u32At(rq.p, 0);
    const uint32_t n = PhyFrame::u16At(rq.p, 4);
    if (n == 0 || n > rq.n - 6 || address >= kFlashSize || n > kFlashSize - address)
        return ST_BAD_RANGE;
    PhyFrame::appendU32(out, address);
    PhyFrame::appendU16(out, uint16_t(n));
    return port_.flashWrite(address, rq.p + 6, n) ? ST_OK : ST_REFUSED;
}

// Request: u32 address, u16 length. Answer: u32 address, u16 length, data.
uint8_t message_deal::flash_read(const Request& rq, Bytes& out)
{
    if (rq.n < 6)
        return ST_BAD_RANGE;
    const uint32_t address = PhyFrame::u32At(rq.p, 0);
    const uint32_t n = PhyFrame::u16At(rq.p, 4);
    if (n == 0 || n > kMaxRead || address >= kFlashSize || n > kFlashSize - address)
        return ST_BAD_RANGE;
    Bytes data(n);
    if (!port_.flashRead(address, data.data(), n))
        return ST_REFUSED;
    PhyFrame::appendU32(out, address);
    PhyFrame::appendU16(out, uint16_t(n));
    out.insert(out.end(), data.begin(), data.end());
    return ST_OK;
}

// Request: the flags byte (bit 1 keeps the LED screen off).
uint8_t message_deal::fpga_ctrl_flags(const Request& rq)
{
    if (rq.n < 1)
        return ST_BAD_RANGE;
    port_.setFpgaCtrlFlags(rq.p[0]);
    return ST_OK;
}

} // namespace kel::protocol
