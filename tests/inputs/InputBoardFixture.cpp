#include "inputs/InputBoardFixture.h"

#include "inputs/tarvosource.h"
#include "params/ConfigEngine.h"
#include "params/KelRamPara.h"
#include "params/global.h"
#include "platform/sim/SimEdidEeprom.h"
#include "platform/Board.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimInputBoard.h"
#include "platform/sim/SimVideoSource.h"

#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

namespace kel::test {

void InputBoardFixture::SetUp()
{
    SimRootFixture::SetUp();
    // Nothing plugged in unless a test plugs it.
    for (int k = 0; k < 6; ++k)
        sim().source(k).unplug();
    G_timeTicks = 0;
    g_source_online = 0;
    g_c331_source_online = 0;
    g_fpga_lcd_on = 0;
    ConfigEngine::destroyInstance();
    ConfigEngine::pInstance();
    store_ = std::make_unique<KelRamPara>();
    KelRamPara::p_kelrampara_config = store_.get();
    store_->load();
    src_ = std::make_unique<tarvosource>();
    src_->prepare();
}

void InputBoardFixture::TearDown()
{
    src_.reset();
    KelRamPara::p_kelrampara_config = nullptr;
    store_.reset();
    ConfigEngine::destroyInstance();
    SimRootFixture::TearDown();
}

platform::sim::SimInputBoard& InputBoardFixture::sim()
{
    return *platform::sim::SimInputBoard::of(board());
}

void InputBoardFixture::restartManager()
{
    src_.reset();
    ConfigEngine::destroyInstance();
    ConfigEngine::pInstance();
    src_ = std::make_unique<tarvosource>();
    src_->prepare();
}

void InputBoardFixture::restartWithScenario(const std::vector<std::pair<std::string, std::string>>& keys)
{
    src_.reset();
    {
        QSettings ini(QString::fromStdString(board().scenarioPath()), QSettings::IniFormat);
        for (const auto& [key, value] : keys)
            ini.setValue(QString::fromStdString("input_board/" + key), QString::fromStdString(value));
    }
    platform::Board::initSim(root());
    restartManager();
}

bool InputBoardFixture::runUntilState(uint8_t state, int maxIterations)
{
    for (int i = 0; i < maxIterations; ++i) {
        if (src_->thread_state() == state)
            return true;
        src_->runOnce();
        ++G_timeTicks;
    }
    return src_->thread_state() == state;
}

void InputBoardFixture::run(int iterations)
{
    for (int i = 0; i < iterations; ++i) {
        src_->runOnce();
        ++G_timeTicks;
    }
}

void InputBoardFixture::plug(int input, const std::string& source)
{
    platform::sim::SimVideoSource::Output output;
    ASSERT_TRUE(platform::sim::SimVideoSource::parse(QString::fromStdString(source), &output)) << source;
    sim().source(input).plug(output);
}

unsigned InputBoardFixture::hpdDrops(int input)
{
    const uint8_t channel = tarvosource::i2c_switch_channel[input];
    uint8_t bank = 0, level = 0;
    unsigned drops = 0;
    for (const auto& t : sim().transfers()) {
        if ((t.addr != 0x48 && t.addr != 0x4A) || !t.ok || t.receiverChannels != channel || t.written.size() != 2)
            continue;
        if (t.written[0] == 0x0F)
            bank = t.written[1] & 3;
        else if (t.written[0] == 0xB0 && bank == 1) {
            const uint8_t now = t.written[1] & 3;
            drops += level == 3 && now != 3;
            level = now;
        }
    }
    return drops;
}

uint8_t InputBoardFixture::reg(int index) const { return store_->LocalRegBank[index]; }

void InputBoardFixture::setReg(int index, uint8_t value) { store_->LocalRegBank[index] = value; }

std::array<uint8_t, 256> InputBoardFixture::eeprom(int input) { return sim().eeprom(input).contents(); }

std::string InputBoardFixture::configValue(const std::string& key) const
{
    QSettings ini(QString::fromStdString(hostPath("/data/configs/tcpip.ini")), QSettings::IniFormat);
    return ini.value(QString::fromStdString(key)).toString().toStdString();
}

bool InputBoardFixture::haveEdidDecode()
{
    return !QStandardPaths::findExecutable("edid-decode").isEmpty();
}

bool InputBoardFixture::edidDecodePasses(const std::string& hostFile, std::string* report)
{
    QProcess p;
    p.start("edid-decode", {"--check", QString::fromStdString(hostFile)});
    if (!p.waitForFinished(20000))
        return false;
    const QString out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    if (report)
        *report = out.toStdString();
    return out.contains("EDID conformity: PASS");
}

std::string InputBoardFixture::writeTemp(const uint8_t* data, size_t size, const std::string& name)
{
    const std::string path = root() + "/" + name;
    QFile f(QString::fromStdString(path));
    if (f.open(QIODevice::WriteOnly))
        f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    return path;
}

} // namespace kel::test
