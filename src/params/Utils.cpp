#include "params/Utils.h"

#include "params/ConfigEngine.h"
#include "params/DebugPrint.h"
#include "params/global.h"
#include "platform/Board.h"
#include "platform/CommandRunner.h"
#include "platform/MtdService.h"
#include "platform/PathMap.h"
#include "platform/ShellWords.h"
#include "platform/Sleeper.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <arpa/inet.h>
#include <iconv.h>
#include <sys/stat.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <vector>

using kel::platform::Board;
using kel::platform::PathMap;

QMutex Utils::_spi_mutex;
QMutex Utils::_c331_bnk_mutex;
QMutex Utils::_fpga_multicast_mutex;
QMutex Utils::_bri_set_mutex;
QMutex Utils::_led_para_init_mutex;
QMutex Utils::_file_deal_mutex;
QMutex Utils::_source_init_mutex;
QMutex Utils::_source_hdminfo_mutex;
QMutex Utils::_check_nosig_mutex;
QMutex Utils::_test_signal_mutex;
QMutex Utils::_usleep_mutex;
QMutex Utils::_system_mutex;
std::mutex Utils::_config_mutex;

namespace {

// Byte-wise table of a reflected CRC-16 polynomial.
constexpr std::array<uint16_t, 256> reflectedTable16(uint16_t poly)
{
    std::array<uint16_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint16_t r = static_cast<uint16_t>(i);
        for (int b = 0; b < 8; ++b)
            r = (r & 1) ? static_cast<uint16_t>((r >> 1) ^ poly) : static_cast<uint16_t>(r >> 1);
        t[i] = r;
    }
    return t;
}

constexpr std::array<uint32_t, 256> reflectedTable32(uint32_t poly)
{
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t r = i;
        for (int b = 0; b < 8; ++b)
            r = (r & 1) ? (r >> 1) ^ poly : r >> 1;
        t[i] = r;
    }
    return t;
}

constexpr auto kArcTable = reflectedTable16(0xA001);
constexpr auto kMcrfTable = reflectedTable16(0x8408);
constexpr auto kCrc32Table = reflectedTable32(0xEDB88320u);

template <class T, size_t N>
T reflectedCrc(const std::array<T, N>& table, T init, const uint8_t* data, uint32_t length)
{
    T crc = init;
    for (uint32_t i = 0; i < length; ++i)
        crc = static_cast<T>(table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8));
    return crc;
}

// Converts text in place; on failure the text stays as it was.
int64_t convertInPlace(const char* from, const char* to, std::string& text)
{
    if (text.empty())
        return 0;
    size_t inLength = text.size();
    std::vector<char> out(text.size() * 3, 0);
    size_t outLeft = out.size();
    const int64_t rc = Utils::ChangeCode(from, to, text.data(), &inLength, out.data(), &outLeft);
    if (rc == -1)
        return -1;
    text.assign(out.data(), out.size() - outLeft);
    return rc;
}

int statPath(const std::string& logical, struct stat& st)
{
    return ::stat(PathMap::host(logical).c_str(), &st);
}

} // namespace

uint8_t Utils::BCC(const uint8_t* data, uint32_t length)
{
    uint8_t x = 0;
    for (uint32_t i = 0; i < length; ++i)
        x ^= data[i];
    return x;
}

uint16_t Utils::calcCRC16(const uint8_t* data, uint32_t length)
{
    return reflectedCrc<uint16_t>(kArcTable, 0, data, length);
}

uint16_t Utils::cardCalcCRC16(const uint8_t* data, uint32_t length)
{
    return reflectedCrc<uint16_t>(kMcrfTable, 0xFFFF, data, length);
}

uint16_t Utils::jtc1CRC16Code(const uint8_t* data, uint32_t length)
{
    uint16_t crc = 0;
    for (uint32_t i = 0; i < length; ++i) {
        crc ^= static_cast<uint16_t>(data[i] << 8);
        for (int b = 0; b < 8; ++b)
            crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021) : static_cast<uint16_t>(crc << 1);
    }
    return crc;
}

uint32_t Utils::calcCRC32(const uint8_t* data, uint32_t length)
{
    return reflectedCrc<uint32_t>(kCrc32Table, 0, data, length);
}

uint32_t Utils::stringToInt(const std::string& text)
{
    uint32_t value = 0;
    if (text.compare(0, 2, "0x") == 0) {
        if (text.size() < 3)
            return 0;
        for (size_t i = 2; i < text.size(); ++i) {
            const int c = std::toupper(static_cast<unsigned char>(text[i]));
            const uint8_t digit = static_cast<uint8_t>((c >= 'A' && c <= 'Z') ? c - 55 : c - 48);
            value = value * 16 + digit;
        }
        return value;
    }
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        const uint8_t digit = std::isalpha(c) ? 0 : static_cast<uint8_t>(c - 48);
        value = value * 10 + digit;
    }
    return value;
}

std::string Utils::upper(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string Utils::intToString(int value)
{
    return std::to_string(value);
}

int64_t Utils::ChangeCode(const char* from, const char* to, const char* in, size_t* inLength, char* out,
                          size_t* outLength)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        kelDebug("iconv_open ======failed ");
        return -1;
    }
    char* inPtr = const_cast<char*>(in);
    char* outPtr = out;
    const size_t rc = iconv(cd, &inPtr, inLength, &outPtr, outLength);
    iconv_close(cd);
    return rc == static_cast<size_t>(-1) ? -1 : static_cast<int64_t>(rc);
}

int64_t Utils::GB2312ToUTF8(std::string& text) { return convertInPlace("gb2312", "UTF-8", text); }
int64_t Utils::GB2312ToUnicode(std::string& text) { return convertInPlace("gb2312", "UCS-2LE", text); }
int64_t Utils::UTF8ToUnicode(std::string& text) { return convertInPlace("UTF-8", "UCS-2LE", text); }
int64_t Utils::UnicodeToUTF8(std::string& text) { return convertInPlace("UCS-2LE", "UTF-8", text); }
int64_t Utils::UTF8ToGB2312(std::string& text) { return convertInPlace("UTF-8", "GB2312", text); }
int64_t Utils::UnicodeToGB2312(std::string& text) { return convertInPlace("UCS-2LE", "GB2312", text); }

// The command runs with no lock held: a shell command (a sync, the clock,
// the network) can take seconds on the device, and _system_mutex is taken
// by the links, the GUI thread and the FPGA manager for their request flags
// and the clock read. A sequence that must not interleave is one command
// line ("date ...;hwclock -wu").
int Utils::system_mutex(const QString& command, int* status)
{
    const int rc = Board::commands().system(command.toLatin1().toStdString());
    if (status)
        *status = rc;
    return rc == 0 ? 0 : 255;
}

std::string Utils::shell_exec(const std::string& command, uint32_t line_size)
{
    // The output is collected whole, so no line size can stall the read.
    (void)line_size;
    std::string output;
    if (Board::commands().capture(command, output) == -1)
        return std::string();
    return output;
}

int Utils::usleep_mutex(uint32_t us)
{
    QMutexLocker locker(&_usleep_mutex);
    kel::platform::Sleeper::sleepUs(us);
    return 0;
}

int Utils::msleep_mutex(uint32_t ms)
{
    QMutexLocker locker(&_usleep_mutex);
    kel::platform::Sleeper::sleepUs(uint64_t(ms) * 1000u);
    return 0;
}

uint32_t Utils::getTimeSpace(uint32_t stamp)
{
    const uint32_t now = G_timeTicks.load(std::memory_order_relaxed);
    if (now >= stamp)
        return now - stamp;
    // After the counter wrapped the elapsed count is one short.
    return now - stamp - 1;
}

int Utils::isFileExists(const std::string& path, bool regular)
{
    struct stat st;
    if (statPath(path, st) != 0)
        return 0;
    if (!regular)
        return 1;
    return S_ISREG(st.st_mode) ? 1 : 0;
}

int Utils::isDirExists(const std::string& path)
{
    struct stat st;
    if (statPath(path, st) != 0)
        return 0;
    return S_ISDIR(st.st_mode) ? 1 : 0;
}

void Utils::get_file_list_smartpath(QStringList& list, const QString& folder, const QString& suffix)
{
    const QDir dir(PathMap::host(folder));
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Unsorted);
    for (const QFileInfo& info : entries) {
        if (info.suffix() != suffix)
            continue;
        const QString logical = PathMap::logical(info.absoluteFilePath());
        list.append(logical);
        if (g_debugSwitch == kDebugSwitchOn)
            qDebug() << logical;
    }
}

int Utils::change_file_formt(const std::string& path)
{
    if (!isFileExists(path, false))
        return -1;
    auto& commands = Board::commands();
    const std::string quoted = kel::platform::ShellWords::quote(path);
    commands.system("dos2unix " + quoted);
    commands.system("sync");
    commands.system("sed -i 's/\xEF\xBB\xBF//g' " + quoted);
    commands.system("sync");
    return 0;
}

int Utils::non_region_erase(int fd, int offset, int length, int unlock)
{
    auto& mtd = Board::mtd();
    kel::platform::MtdInfo info;
    if (mtd.getInfo(fd, info) != 0 || info.erasesize == 0)
        return 8;
    const uint32_t len = static_cast<uint32_t>(length);
    const uint32_t blocks = (len + info.erasesize - 1) / info.erasesize;
    kelDebug("\r\nPerforming Flash Erase of length %u at offset 0x%x\n", len, static_cast<unsigned>(offset));
    uint32_t start = static_cast<uint32_t>(offset);
    for (uint32_t b = 0; b < blocks; ++b, start += info.erasesize) {
        if (unlock && mtd.unlock(fd, start, info.erasesize) != 0)
            return 8;
        if (mtd.erase(fd, start, info.erasesize) != 0)
            return 8;
    }
    return 0;
}

int Utils::non_region_write(int fd, const uint8_t* data, uint32_t length, int offset)
{
    auto& mtd = Board::mtd();
    kel::platform::MtdInfo info;
    if (mtd.getInfo(fd, info) != 0 || info.writesize == 0)
        return 1;
    const uint32_t ws = info.writesize;
    const uint32_t pages = length / ws;
    for (uint32_t p = 0; p < pages; ++p) {
        const off_t at = static_cast<off_t>(offset) + off_t(p) * ws;
        if (mtd.pwrite(fd, data + size_t(p) * ws, ws, at) != static_cast<ssize_t>(ws)) {
            kelDebug("\n nand non_region_write error %#x ,writesize=%#x,offset=%#x,size=%#x\n", pages, ws,
                     static_cast<unsigned>(offset), length);
            return 1;
        }
    }
    const uint32_t rest = length % ws;
    if (rest) {
        const off_t at = static_cast<off_t>(offset) + off_t(pages) * ws;
        if (mtd.pwrite(fd, data + size_t(pages) * ws, rest, at) != static_cast<ssize_t>(rest)) {
            kelDebug("\n nand non_region_write error %#x,size=%#x \n", rest, length);
            return 1;
        }
    }
    return 0;
}

int Utils::getIPAddress()
{
    ConfigEngine* engine = ConfigEngine::p_config;
    if (!engine)
        return 0;
    auto item = [engine](ConfigItem::ConfigName n) { return engine->read_config_variant(n); };
    // Held over the reads of the items too: a change stored meanwhile on
    // another link (item and global under this lock) is never overwritten by
    // an older reading.
    std::lock_guard<std::mutex> l(_config_mutex);
    g_str_ip = item(ConfigItem::IPAddress).toString();
    g_str_gateway = item(ConfigItem::GateWay).toString();
    g_srt_mask = item(ConfigItem::SubNetMask).toString();
    g_port = item(ConfigItem::TcpPort).toInt();
    g_int_tcp_port = g_port;
    g_str_barcode = item(ConfigItem::Barcode).toString();
    g_str_wifi_ip = item(ConfigItem::WifiIPAddress).toString();
    g_check_edid = item(ConfigItem::EDIDCheck).toString();
    g_imagelayoutpassword = item(ConfigItem::ImageLayoutPassword).toString();
    g_check_source = item(ConfigItem::SourceCheck).toInt();
    g_uDar_cloudserverip = item(ConfigItem::uDarcloudserverip).toString();
    g_uDar_cloudserverport = item(ConfigItem::uDarcloudserverport).toInt();
    g_uDar_clouduserid = item(ConfigItem::uDarclouduserip).toString();
    g_uDar_controllername = item(ConfigItem::uDarcloudcontrollername).toString();
    // A blank or empty text both mean "not set".
    const auto set = [](const QString& s) { return !s.trimmed().isEmpty(); };
    g_uDar_cloud = (set(g_uDar_cloudserverip) || set(g_uDar_clouduserid) || set(g_uDar_controllername) ||
                    g_uDar_cloudserverport != 0)
                       ? 1
                       : 0;
    g_kel_max_pixel = item(ConfigItem::KelMaxPixel_UINT).toUInt();
    g_usb_grade_path = item(ConfigItem::usbupgradedir).toString();
    g_lcd_lang_valid = item(ConfigItem::KelLCDLang).toUInt();
    return 0;
}

bool Utils::isIPv4Address(const QString& address)
{
    in_addr a;
    const QByteArray text = address.toLatin1();
    if (text.contains('\0') || QString::fromLatin1(text) != address)
        return false;
    return inet_pton(AF_INET, text.constData(), &a) == 1;
}

int Utils::init_resteth(const QString& ip, const QString& gateway, const QString& mask)
{
    if (!isIPv4Address(ip) || !isIPv4Address(gateway) || !isIPv4Address(mask)) {
        kelDebug("\n init_resteth: refused an invalid address\n");
        return 255;
    }
    if (system_mutex(QStringLiteral("ifconfig eth0 &>/dev/null")) != 0)
        return 255;
    system_mutex(QStringLiteral("route del default wlan0"));
    system_mutex(QStringLiteral("ifconfig eth0 %1 netmask %2").arg(ip, mask));
    system_mutex(QStringLiteral("route add -host %1 dev eth0").arg(gateway));
    system_mutex(QStringLiteral("route add default gw %1 metric 100").arg(gateway));
    system_mutex(QStringLiteral("route add -host 255.255.255.255 eth0"));
    system_mutex(QStringLiteral("route del 255.255.255.255 wlan1"));
    return 0;
}

int Utils::initIPAddress()
{
    getIPAddress();
    QString ip, gateway, mask;
    {
        std::lock_guard<std::mutex> l(_config_mutex);
        ip = g_str_ip;
        gateway = g_str_gateway;
        mask = g_srt_mask;
    }
    return init_resteth(ip, gateway, mask);
}

void writeLogMsg(int type, const std::string& text)
{
    (void)type;
    (void)text;
}

void writeLogMsg(int type, const QString& text)
{
    (void)type;
    (void)text;
}
