#pragma once
#include "params/ConfigEngine.h"
#include "params/KelRamPara.h"
#include "params/global.h"
#include "platform/Board.h"
#include "platform/sim/SimBoard.h"
#include "protocol/T57_WIFI_CONFIG.h"
#include "platform/sim/SimCommandRunner.h"
#include "support/SimRootFixture.h"

#include <QFile>
#include <QStringList>

#include <memory>

// A fresh root with the configuration store and a parameter store whose
// wifi_enable byte the test sets.
class WifiTestBase : public kel::test::SimRootFixture {
protected:
    static constexpr int kWifiEnable = 774;

    void SetUp() override
    {
        SimRootFixture::SetUp();
        ConfigEngine::pInstance();
        para = std::make_unique<KelRamPara>();
        KelRamPara::p_kelrampara_config = para.get();
        setWifiEnable(0);
        g_wifi_reset_flag = 0;
    }
    void TearDown() override
    {
        wifi.reset();
        KelRamPara::p_kelrampara_config = nullptr;
        para.reset();
        ConfigEngine::destroyInstance();
        g_wifi_reset_flag = 0;
        SimRootFixture::TearDown();
    }
    void setWifiEnable(uint8_t v) { para->RamBlock[kWifiEnable] = v; }
    QStringList recorded() const
    {
        QStringList out;
        for (const std::string& c : platform().commands().commands())
            out.append(QString::fromStdString(c));
        return out;
    }
    kel::platform::sim::SimBoard& platform() const { return *kel::platform::Board::sim(); }
    QByteArray fileText(const char* logical) const
    {
        QFile f(QString::fromStdString(hostPath(logical)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool fileExists(const char* logical) const { return QFile::exists(QString::fromStdString(hostPath(logical))); }

    // The link under test, threads not started; the commands its creation
    // ran are forgotten.
    void makeWifi()
    {
        wifi = std::make_unique<kel::protocol::T57_WIFI_CONFIG>();
        platform().commands().clear();
    }
    void runPasses(int n = 20)
    {
        for (int i = 0; i < n; ++i)
            wifi->supervisePass();
    }

    std::unique_ptr<KelRamPara> para;
    std::unique_ptr<kel::protocol::T57_WIFI_CONFIG> wifi;
};
