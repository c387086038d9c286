#include "protocol/WifiConfigFiles.h"

#include "params/Utils.h"
#include "protocol/LinkText.h"
#include "protocol/StoredFile.h"

#include <QList>
#include <QMutexLocker>
#include <QStringList>

namespace kel::protocol {

const char* const WifiConfigFiles::kInterfaces = "/etc/network/interfaces";
const char* const WifiConfigFiles::kHostapd = "/etc/rtl_hostapd_2G.conf";
const char* const WifiConfigFiles::kUdhcpd = "/etc/udhcpd.conf";
const char* const WifiConfigFiles::kWpaSupplicant = "/etc/wpa_supplicant.conf";

namespace {
constexpr qint64 kMaxFile = 64 * 1024;

// The DHCP pool lies in the access point's /24 and avoids its own address.
void poolFor(const QString& address, QString& first, QString& last)
{
    const QStringList o = address.split('.');
    const QString net = o.mid(0, 3).join('.') + '.';
    const int host = o.value(3).toInt();
    const bool low = host >= 20 && host <= 99;
    first = net + (low ? "150" : "20");
    last = net + (low ? "249" : "99");
}
} // namespace

bool WifiConfigFiles::valid(const WifiSettings& s)
{
    if (!Utils::isIPv4Address(s.address))
        return false;
    if (!WifiSettings::validSsid(s.apSsid) || !WifiSettings::validPass(s.apPass))
        return false;
    // The client network may be unset until the module sends one.
    if (s.clientSsid.isEmpty() && s.clientPass.isEmpty())
        return s.mode == WifiSettings::Mode::AccessPoint;
    return WifiSettings::validSsid(s.clientSsid) && WifiSettings::validPass(s.clientPass);
}

QByteArray WifiConfigFiles::interfacesText(const WifiSettings& s)
{
    QByteArray t = "auto lo\niface lo inet loopback\n\nauto wlan0\n";
    if (s.mode == WifiSettings::Mode::Client)
        return t + "iface wlan0 inet dhcp\n";
    return t + "iface wlan0 inet static\n\taddress " + s.address.toLatin1()
        + "\n\tnetmask 255.255.255.0\n";
}

QByteArray WifiConfigFiles::hostapdText(const WifiSettings& s)
{
    return "interface=wlan0\n"
           "driver=nl80211\n"
           "ctrl_interface=/var/run/hostapd\n"
           "ssid=" + s.apSsid + "\n"
           "hw_mode=g\n"
           "channel=6\n"
           "auth_algs=1\n"
           "wpa=2\n"
           "wpa_passphrase=" + s.apPass + "\n"
           "wpa_key_mgmt=WPA-PSK\n"
           "rsn_pairwise=CCMP\n";
}

QByteArray WifiConfigFiles::udhcpdText(const WifiSettings& s)
{
    QString first, last;
    poolFor(s.address, first, last);
    return "start " + first.toLatin1() + "\n"
           "end " + last.toLatin1() + "\n"
           "interface wlan0\n"
           "max_leases 80\n"
           "option subnet 255.255.255.0\n"
           "option router " + s.address.toLatin1() + "\n";
}

QByteArray WifiConfigFiles::wpaText(const WifiSettings& s)
{
    QByteArray t = "ctrl_interface=/var/run/wpa_supplicant\nupdate_config=1\n";
    if (s.clientSsid.isEmpty())
        return t;
    return t + "network={\n"
               "\tssid=\"" + s.clientSsid + "\"\n"
               "\tpsk=\"" + s.clientPass + "\"\n"
               "\tkey_mgmt=WPA-PSK\n"
               "}\n";
}

bool WifiConfigFiles::writeAll(const WifiSettings& s)
{
    if (!valid(s))
        return false;
    QMutexLocker lock(&Utils::_file_deal_mutex);
    bool ok = StoredFile::write(kInterfaces, interfacesText(s));
    ok = StoredFile::write(kHostapd, hostapdText(s)) && ok;
    ok = StoredFile::write(kUdhcpd, udhcpdText(s)) && ok;
    return StoredFile::write(kWpaSupplicant, wpaText(s)) && ok;
}

QByteArray WifiConfigFiles::keyValue(const QByteArray& text, const QByteArray& prefix)
{
    for (const QByteArray& raw : text.split('\n')) {
        // Only the indentation and the line end go: spaces at either end of a
        // name or passphrase belong to it.
        int from = 0;
        while (from < raw.size() && (raw.at(from) == ' ' || raw.at(from) == '\t'))
            ++from;
        const QByteArray line = LinkText::chompLine(raw.mid(from));
        if (!line.startsWith(prefix))
            continue;
        QByteArray v = line.mid(prefix.size());
        if (v.size() >= 2 && v.startsWith('"') && v.endsWith('"'))
            v = v.mid(1, v.size() - 2);
        return v;
    }
    return {};
}

WifiSettings WifiConfigFiles::load(const QString& address)
{
    WifiSettings s;
    s.address = address;
    QByteArray hostapd, wpa, interfaces;
    {
        QMutexLocker lock(&Utils::_file_deal_mutex);
        hostapd = StoredFile::read(kHostapd, kMaxFile);
        wpa = StoredFile::read(kWpaSupplicant, kMaxFile);
        interfaces = StoredFile::read(kInterfaces, kMaxFile);
    }
    const QByteArray apSsid = keyValue(hostapd, "ssid=");
    const QByteArray apPass = keyValue(hostapd, "wpa_passphrase=");
    if (WifiSettings::validSsid(apSsid) && WifiSettings::validPass(apPass)) {
        s.apSsid = apSsid;
        s.apPass = apPass;
    }
    const QByteArray clSsid = keyValue(wpa, "ssid=");
    const QByteArray clPass = keyValue(wpa, "psk=");
    if (WifiSettings::validSsid(clSsid) && WifiSettings::validPass(clPass)) {
        s.clientSsid = clSsid;
        s.clientPass = clPass;
        if (interfaces.contains("iface wlan0 inet dhcp"))
            s.mode = WifiSettings::Mode::Client;
    }
    return s;
}

} // namespace kel::protocol
