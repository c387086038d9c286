#include "protocol/WifiAtCommands.h"

#include "params/Utils.h"
#include "protocol/LinkText.h"
#include "protocol/T57_WIFI_CONFIG.h"

namespace kel::protocol {

const QByteArray WifiAtCommands::kOk = "OK\r\n";
const QByteArray WifiAtCommands::kError = "ERROR\r\n";

namespace {
constexpr int kMaxCommand = 256;

// Splits "a,b,c" into at most `count` fields; the last keeps any further
// commas (a passphrase may contain them, a name may not).
QList<QByteArray> fields(const QByteArray& args, int count)
{
    QList<QByteArray> out;
    int from = 0;
    while (out.size() < count - 1) {
        const int comma = args.indexOf(',', from);
        if (comma < 0)
            break;
        out.append(args.mid(from, comma - from));
        from = comma + 1;
    }
    out.append(args.mid(from));
    return out;
}
} // namespace

WifiAtCommands::WifiAtCommands(T57_WIFI_CONFIG& wifi)
    : wifi_(wifi)
{
}

QByteArray WifiAtCommands::answer(const QByteArray& datagram)
{
    if (datagram.size() > kMaxCommand)
        return kError;
    const QByteArray cmd = LinkText::chompLine(datagram);
    if (cmd == "AT+CHECKDATA")
        return checkData();
    if (cmd.startsWith("AT+SETDATA="))
        return setData(cmd.mid(11));
    if (cmd == "AT+RST")
        return reset();
    if (cmd == "AT+RESTORE")
        return restore();
    if (cmd == "AT+GETVER")
        return version();
    return kError;
}

QByteArray WifiAtCommands::checkData()
{
    const WifiSettings s = wifi_.settings();
    const bool client = s.mode == WifiSettings::Mode::Client;
    return "+CHECKDATA:" + QByteArray(wifi_.wifiOn() ? "ON" : "OFF") + ","
        + QByteArray(client ? "CLIENT" : "AP") + "," + s.address.toLatin1() + ","
        + s.apSsid + "," + s.clientSsid + "\r\n" + kOk;
}

QByteArray WifiAtCommands::setData(const QByteArray& args)
{
    const QList<QByteArray> f = fields(args, 3);
    if (f.value(0) == "1")
        return setNetwork(f, WifiSettings::Mode::AccessPoint);
    if (f.value(0) == "2")
        return setNetwork(f, WifiSettings::Mode::Client);
    if (f.value(0) == "3")
        return setAddress(fields(args, 2));
    return kError;
}

QByteArray WifiAtCommands::setNetwork(const QList<QByteArray>& f, WifiSettings::Mode mode)
{
    if (f.size() != 3)
        return kError;
    WifiSettings s = wifi_.settings();
    s.mode = mode;
    QByteArray& ssid = mode == WifiSettings::Mode::Client ? s.clientSsid : s.apSsid;
    QByteArray& pass = mode == WifiSettings::Mode::Client ? s.clientPass : s.apPass;
    ssid = f.at(1);
    pass = f.at(2);
    return wifi_.applySettings(s) ? kOk : kError;
}

QByteArray WifiAtCommands::setAddress(const QList<QByteArray>& f)
{
    if (f.size() != 2 || !Utils::isIPv4Address(QString::fromLatin1(f.at(1))))
        return kError;
    WifiSettings s = wifi_.settings();
    s.address = QString::fromLatin1(f.at(1));
    return wifi_.applySettings(s) ? kOk : kError;
}

QByteArray WifiAtCommands::reset()
{
    wifi_.set_wifi_reset_flag();
    return kOk;
}

QByteArray WifiAtCommands::restore()
{
    return wifi_.restoreDefaults() ? kOk : kError;
}

QByteArray WifiAtCommands::version()
{
    return "+GETVER:" + T57_WIFI_CONFIG::versionText() + "\r\n" + kOk;
}

} // namespace kel::protocol
