#include "params/ConfigEngine.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimCommandRunner.h"
#include "platform/sim/SimRegisterMemory.h"
#include "support/SimRootFixture.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <thread>

namespace kel::test {
namespace {

const char* const kAllKeys[] = {
    "TcpPort", "UdpPort", "IPAddress", "SubNetMask", "GateWay", "MAC", "Barcode", "WifiIPAddress",
    "EDIDCheck", "SourceCheck", "ImageLayoutPassword", "uDarcloudserverip", "uDarcloudserverport",
    "uDarclouduserip", "uDarcloudcontrollername", "KelMaxPixel_UINT", "usbupgradedir", "KelLCDLang"};

class ConfigEngineTest : public SimRootFixture {
protected:
    void TearDown() override
    {
        ConfigEngine::destroyInstance();
        SimRootFixture::TearDown();
    }
    QString iniPath() { return QString::fromStdString(hostPath("/data/configs/tcpip.ini")); }
    void writeText(const std::string& logical, const QByteArray& text)
    {
        QFile f(QString::fromStdString(hostPath(logical)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    void setIdWords(uint16_t x, uint16_t y, uint16_t z)
    {
        board().registers().poke(0x4058, x);
        board().registers().poke(0x405C, y);
        board().registers().poke(0x4060, z);
    }
};

TEST_F(ConfigEngineTest, GlobalsHoldTheirInitialValuesBeforeStartUp)
{
    // Each test runs in its own process, so nothing has loaded them yet.
    ASSERT_EQ(ConfigEngine::p_config, nullptr);
    EXPECT_EQ(g_debugSwitch, 254);
    EXPECT_EQ(g_passby_trans_port, 255);
    EXPECT_EQ(g_port, 5005);
    EXPECT_EQ(g_int_tcp_port, 5005);
    EXPECT_EQ(g_networkMode, 1);
    EXPECT_EQ(g_udpnetmode, 1);
    EXPECT_EQ(g_test_wifi_state, 1);
    EXPECT_EQ(g_BPS, 115200);
    EXPECT_EQ(g_dataLen, 32);
    EXPECT_EQ(g_auto_lock_time, 30000);
    EXPECT_EQ(g_back_to_mainwindow_time, 3000);
    EXPECT_EQ(ScreenState, 1);
    for (int i = 0; i < 400; ++i)
        EXPECT_EQ(prnEn[i], (i <= 5 || (i >= 7 && i <= 11)) ? 0x80 : 0) << i;
    EXPECT_EQ(g_str_wifi_ip, "192.168.22.101");
    EXPECT_EQ(g_str_ip, "192.168.1.199");
    EXPECT_EQ(g_srt_mask, "255.255.255.0");
    EXPECT_EQ(g_str_gateway, "192.168.1.1");
    EXPECT_EQ(g_str_mac, "FF:FF:FF:FF:FF:FF");
    EXPECT_EQ(g_str_barcode, " ");
    EXPECT_TRUE(g_pid.isEmpty());
    EXPECT_TRUE(g_check_edid.isEmpty());
    EXPECT_TRUE(g_usb_grade_path.isEmpty());
    EXPECT_EQ(g_lcd_lang_valid, 0u);
    EXPECT_EQ(G_timeTicks.load(), 0u);
    EXPECT_EQ(g_page_focus, 0);
    EXPECT_TRUE(g_kel_file_deal_para.file_name.isEmpty());
}

TEST_F(ConfigEngineTest, FreshStartWritesAllKeysWithDefaults)
{
    ConfigEngine::pInstance();
    QSettings ini(iniPath(), QSettings::IniFormat);
    ini.beginGroup("config");
    EXPECT_EQ(ini.childKeys().size(), 18);
    for (const char* k : kAllKeys)
        EXPECT_TRUE(ini.contains(k)) << k;
    EXPECT_EQ(ini.value("TcpPort").toInt(), 5005);
    EXPECT_EQ(ini.value("UdpPort").toInt(), 5008);
    EXPECT_EQ(ini.value("Barcode").toString(), " ");
    EXPECT_EQ(ini.value("KelMaxPixel_UINT").toInt(), 10485760);
    EXPECT_EQ(ini.value("KelLCDLang").toInt(), 65567);
    EXPECT_EQ(ini.value("usbupgradedir").toString(), "KEL-T46 Rev.c");

    EXPECT_EQ(g_port, 5005);
    EXPECT_EQ(g_check_edid, "Once");
    EXPECT_EQ(g_check_source, 255);
    EXPECT_EQ(g_imagelayoutpassword, "Zq");
    EXPECT_EQ(g_kel_max_pixel, 0xA00000u);
    EXPECT_EQ(g_usb_grade_path, "KEL-T46 Rev.c");
    EXPECT_EQ(g_lcd_lang_valid, 0x1001Fu);
    EXPECT_EQ(g_uDar_cloudserverport, 0);
    EXPECT_EQ(g_uDar_cloud, 0);
    const auto cmds = board().commands().commands();
    ASSERT_FALSE(cmds.empty());
    EXPECT_EQ(cmds.front(), "chattr +S /data/configs/tcpip.ini");
}

TEST_F(ConfigEngineTest, FreshFileReadsBackWithPythonConfigparser)
{
    const QString python = QStandardPaths::findExecutable("python3");
    if (python.isEmpty())
        GTEST_SKIP() << "python3 is not installed";
    ConfigEngine::pInstance();
    QProcess p;
    p.start(python, {"-c",
                     "import configparser,sys\n"
                     "c=configparser.ConfigParser(interpolation=None); c.optionxform=str\n"
                     "c.read(sys.argv[1])\n"
                     "s=c['config']\n"
                     "print(len(s), s['TcpPort'], s['IPAddress'], s['usbupgradedir'])",
                     iniPath()});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_EQ(p.readAllStandardOutput().trimmed(), "18 5005 192.168.1.199 KEL-T46 Rev.c");
}

TEST_F(ConfigEngineTest, PartialFileKeepsItsValuesAndGainsTheRest)
{
    writeText("/data/configs/tcpip.ini", "[config]\nIPAddress=10.0.0.5\nSubNetMask=\n");
    ConfigEngine::pInstance();
    EXPECT_EQ(g_str_ip, "10.0.0.5");
    EXPECT_EQ(g_srt_mask, "255.255.255.0"); // empty value: default written back
    QSettings ini(iniPath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("config/IPAddress").toString(), "10.0.0.5");
    EXPECT_EQ(ini.value("config/SubNetMask").toString(), "255.255.255.0");
    ini.beginGroup("config");
    EXPECT_EQ(ini.childKeys().size(), 18);
}

TEST_F(ConfigEngineTest, DeviceIdFromTheUniqueIdWords)
{
    EXPECT_EQ(ConfigEngine::deviceIdFromWords(0x1234, 0x5678, 0x9ABC), "1597bca0886b31023001305032627494");
    EXPECT_EQ(ConfigEngine::deviceIdFromWords(0, 0, 0), QString(32, '0'));
    const QString all = ConfigEngine::deviceIdFromWords(0xFFFF, 0xFFFF, 0xFFFF);
    EXPECT_EQ(all.size(), 32);

    setIdWords(0x1234, 0x5678, 0x9ABC);
    board().registers().poke(0x400C, 0xFFFF);
    ConfigEngine::pInstance();
    EXPECT_EQ(g_pid, "1597bca0886b31023001305032627494");
    EXPECT_EQ(board().registers().peek(0x400C), 0xFEFF);
}

TEST_F(ConfigEngineTest, FailingRegisterWindowLosesOnlyTheDeviceId)
{
    writeText("/data/configs/tcpip.ini", "[config]\nTcpPort=6000\nKelLCDLang=3\n");
    writeText("/data/configs/led_load_config.ini", "[app-1]\napp_path=/data/app/kelT57N -platform linuxfb\n");
    factoryage_log << "06-01 10:00 1 2 3";
    factoryage_log_num = 1;
    board().registers().setOpenFails(true);
    ConfigEngine::pInstance();
    EXPECT_TRUE(g_pid.isEmpty());
    EXPECT_EQ(g_port, 6000);
    EXPECT_EQ(g_lcd_lang_valid, 3u);
    EXPECT_EQ(g_update_status, 1);
    EXPECT_TRUE(factoryage_log.isEmpty());
    EXPECT_EQ(factoryage_log_num, 0u);
}

TEST_F(ConfigEngineTest, LaterCallsKeepTheAgeingLog)
{
    ConfigEngine* first = ConfigEngine::pInstance();
    factoryage_log << "06-01 10:00 1 2 3";
    factoryage_log_num = 1;
    EXPECT_EQ(ConfigEngine::pInstance(), first);
    EXPECT_EQ(factoryage_log.size(), 1);
    EXPECT_EQ(factoryage_log_num, 1u);
}

struct StartEntryCase {
    const char* file;  // null: no file
    uint8_t status;
};

TEST_F(ConfigEngineTest, StartEntryCheck)
{
    const StartEntryCase cases[] = {
        {"[app-1]\napp_path=/data/app/kelT57N -platform linuxfb\n", 1},
        {"[app-1]\napp_path=\"/data/app/kelT57N -platform linuxfb\"\n", 1},
        {"[app-1]\napp_path=\"/data/app/kelT57N -platform linuxfb \"\n", 0},
        {"[app-1]\napp_path=/data/app/kelT57N2 -platform linuxfb\n", 0},
        {"[app-1]\nother=1\n", 0},
        {nullptr, 0},
    };
    for (const auto& c : cases) {
        QFile::remove(QString::fromStdString(hostPath("/data/configs/led_load_config.ini")));
        if (c.file)
            writeText("/data/configs/led_load_config.ini", c.file);
        g_update_status = 7;
        ConfigEngine::pInstance();
        EXPECT_EQ(g_update_status, c.status) << (c.file ? c.file : "no file");
        ConfigEngine::destroyInstance();
    }
}

struct CloudCase {
    const char* lines;
    uint8_t cloud;
};

TEST_F(ConfigEngineTest, CloudFlagIsSetByAnyCloudSetting)
{
    const CloudCase cases[] = {
        {"", 0},
        {"uDarcloudserverip=10.1.1.1\n", 1},
        {"uDarclouduserip=user\n", 1},
        {"uDarcloudcontrollername=wall\n", 1},
        {"uDarcloudserverport=8080\n", 1},
        {"uDarcloudserverport=abc\n", 0},
        {"uDarcloudserverip=\"  \"\n", 0},
    };
    for (const auto& c : cases) {
        writeText("/data/configs/tcpip.ini", QByteArray("[config]\n") + c.lines);
        ConfigEngine::pInstance();
        EXPECT_EQ(g_uDar_cloud, c.cloud) << c.lines;
        ConfigEngine::destroyInstance();
    }
}

TEST_F(ConfigEngineTest, KeyLookups)
{
    ConfigEngine* e = ConfigEngine::pInstance();
    EXPECT_EQ(ConfigEngine::strToItem("TcpPort"), ConfigItem::TcpPort);
    EXPECT_EQ(ConfigEngine::strToItem("config/TcpPort"), ConfigItem::TcpPort);
    EXPECT_EQ(ConfigEngine::strToItem("UdpPort"), ConfigItem::UdpPort);
    EXPECT_EQ(ConfigEngine::strToItem("config/KelLCDLang"), ConfigItem::KelLCDLang);
    EXPECT_EQ(ConfigEngine::strToItem("NoSuchKey"), ConfigItem::TcpPort);
    EXPECT_TRUE(ConfigEngine::containsItemStr("config/uDarclouduserip"));
    EXPECT_FALSE(ConfigEngine::containsItemStr("TcpPort"));
    EXPECT_EQ(e->getConfigItem("TcpPort"), nullptr);
    ASSERT_NE(e->getConfigItem("config/GateWay"), nullptr);
    EXPECT_EQ(e->getConfigItem("config/GateWay")->name, ConfigItem::GateWay);
    EXPECT_EQ(e->getConfigItem("config/GateWay")->kind, 0);
    EXPECT_EQ(e->getConfigItem("config/SourceCheck")->kind, 1);
}

TEST_F(ConfigEngineTest, WritesReachTheFileAtOnceAndBadNamesAreIgnored)
{
    ConfigEngine* e = ConfigEngine::pInstance();
    e->write_config_variant(ConfigItem::IPAddress, "10.9.8.7");
    EXPECT_EQ(e->read_config_variant(ConfigItem::IPAddress).toString(), "10.9.8.7");
    {
        QSettings ini(iniPath(), QSettings::IniFormat);
        EXPECT_EQ(ini.value("config/IPAddress").toString(), "10.9.8.7");
    }
    const QByteArray before = [&] {
        QFile f(iniPath());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    e->write_config_variant(18, "x");
    e->write_config_variant(-1, "x");
    EXPECT_FALSE(e->read_config_variant(18).isValid());
    EXPECT_FALSE(e->read_config_variant(-1).isValid());
    QFile f(iniPath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

TEST_F(ConfigEngineTest, ConcurrentReadsAndWritesStayConsistent)
{
    ConfigEngine* e = ConfigEngine::pInstance();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([e, t] {
            for (int i = 0; i < 40; ++i) {
                e->write_config_variant(ConfigItem::Barcode, QStringLiteral("code-%1-%2").arg(t).arg(i));
                const QString v = e->read_config_variant(ConfigItem::Barcode).toString();
                EXPECT_TRUE(v.startsWith("code-")) << v.toStdString();
            }
        });
    }
    for (auto& th : threads)
        th.join();
    QSettings ini(iniPath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("config/Barcode").toString(), e->read_config_variant(ConfigItem::Barcode).toString());
}

} // namespace
} // namespace kel::test
