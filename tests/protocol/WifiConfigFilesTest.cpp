#include "WifiTestBase.h"

#include "protocol/WifiConfigFiles.h"

using kel::protocol::WifiConfigFiles;
using kel::protocol::WifiSettings;

namespace {

class WifiConfigFilesTest : public WifiTestBase {};

const char* const kFiles[] = {WifiConfigFiles::kInterfaces, WifiConfigFiles::kHostapd, WifiConfigFiles::kUdhcpd,
                              WifiConfigFiles::kWpaSupplicant};

TEST_F(WifiConfigFilesTest, AllFourFilesLandUnderTheRootsEtc)
{
    WifiSettings s;
    s.apSsid = "Stage Left";
    s.apPass = "pass,word!";
    s.clientSsid = "office";
    s.clientPass = "office-pass";
    ASSERT_TRUE(WifiConfigFiles::writeAll(s));
    for (const char* f : kFiles)
        EXPECT_TRUE(QFile::exists(QString::fromStdString(root()) + f)) << f;
    EXPECT_TRUE(fileText(WifiConfigFiles::kHostapd).contains("\nssid=Stage Left\n"));
    EXPECT_TRUE(fileText(WifiConfigFiles::kHostapd).contains("\nwpa_passphrase=pass,word!\n"));
    EXPECT_TRUE(fileText(WifiConfigFiles::kUdhcpd).contains("option router 192.168.22.101\n"));
    EXPECT_TRUE(fileText(WifiConfigFiles::kWpaSupplicant).contains("\tssid=\"office\"\n"));
    EXPECT_TRUE(fileText(WifiConfigFiles::kInterfaces).contains("\taddress 192.168.22.101\n"));
}

TEST_F(WifiConfigFilesTest, UnsafeValuesAreRefusedAndNothingIsWritten)
{
    struct Case {
        const char* what;
        void (*change)(WifiSettings&);
    };
    const Case cases[] = {
        {"newline in the AP name", [](WifiSettings& s) { s.apSsid = "net\nwpa=0"; }},
        {"carriage return in the passphrase", [](WifiSettings& s) { s.apPass = "12345678\r"; }},
        {"quote in the client name", [](WifiSettings& s) { s.clientSsid = "a\"b"; s.clientPass = "12345678"; }},
        {"backslash in the client passphrase", [](WifiSettings& s) { s.clientSsid = "ab"; s.clientPass = "1234567\\8"; }},
        {"name too long", [](WifiSettings& s) { s.apSsid = QByteArray(33, 'a'); }},
        {"passphrase too short", [](WifiSettings& s) { s.apPass = "1234567"; }},
        {"passphrase too long", [](WifiSettings& s) { s.apPass = QByteArray(64, 'a'); }},
        {"empty AP name", [](WifiSettings& s) { s.apSsid.clear(); }},
        {"shell text in the address", [](WifiSettings& s) { s.address = "1.2.3.4;reboot"; }},
        {"octet above 255", [](WifiSettings& s) { s.address = "192.168.22.256"; }},
        {"three octets", [](WifiSettings& s) { s.address = "192.168.22"; }},
        {"client mode without a network", [](WifiSettings& s) { s.mode = WifiSettings::Mode::Client; }},
    };
    for (const Case& c : cases) {
        WifiSettings s;
        c.change(s);
        EXPECT_FALSE(WifiConfigFiles::writeAll(s)) << c.what;
        for (const char* f : kFiles)
            EXPECT_FALSE(fileExists(f)) << c.what << " " << f;
    }
}

TEST_F(WifiConfigFilesTest, SettingsReadBackFromTheFilesSpacesIncluded)
{
    WifiSettings s;
    s.mode = WifiSettings::Mode::Client;
    s.apSsid = " ap name ";
    s.apPass = "ap-passphrase ";
    s.clientSsid = " client net ";
    s.clientPass = "client-pass";
    ASSERT_TRUE(WifiConfigFiles::writeAll(s));
    const WifiSettings back = WifiConfigFiles::load("10.0.0.1");
    EXPECT_EQ(back.mode, WifiSettings::Mode::Client);
    EXPECT_EQ(back.apSsid, s.apSsid);
    EXPECT_EQ(back.apPass, s.apPass);
    EXPECT_EQ(back.clientSsid, s.clientSsid);
    EXPECT_EQ(back.clientPass, s.clientPass);
    EXPECT_EQ(back.address, "10.0.0.1");
}

TEST_F(WifiConfigFilesTest, MissingFilesGiveTheDefaults)
{
    const WifiSettings back = WifiConfigFiles::load("192.168.22.101");
    const WifiSettings def;
    EXPECT_EQ(back.mode, WifiSettings::Mode::AccessPoint);
    EXPECT_EQ(back.apSsid, def.apSsid);
    EXPECT_EQ(back.apPass, def.apPass);
    EXPECT_TRUE(back.clientSsid.isEmpty());
}

TEST_F(WifiConfigFilesTest, DhcpPoolAvoidsTheAccessPointsAddress)
{
    for (const char* ip : {"192.168.22.101", "192.168.22.50", "10.0.0.1"}) {
        WifiSettings s;
        s.address = ip;
        const QByteArray t = WifiConfigFiles::udhcpdText(s);
        const QList<QByteArray> lines = t.split('\n');
        const int host = QByteArray(ip).split('.').last().toInt();
        const int first = lines.at(0).split('.').last().toInt();
        const int last = lines.at(1).split('.').last().toInt();
        EXPECT_TRUE(host < first || host > last) << ip;
        EXPECT_TRUE(lines.at(0).startsWith("start " + QByteArray(ip).left(QByteArray(ip).lastIndexOf('.')))) << ip;
    }
}

} // namespace
