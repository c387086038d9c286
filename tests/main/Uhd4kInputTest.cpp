#include "ControllerFixture.h"

#include "params/ApplyGate.h"
#include "params/KelRamPara.h"
#include "params/RamLayout.h"
#include "platform/sim/SimBoard.h"
#include "ui/shell/LockWindow.h"
#include "ui/shell/PagePointers.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>

namespace kel::test {
namespace {

// The whole controller with a 3840x2160p60 source plugged into input 4 by
// board.ini and window 3 showing that input.
class Uhd4kInput : public ControllerFixture {
protected:
    void beforeBoard() override
    {
        const QString sim = QString::fromStdString(root()) + "/sim";
        ASSERT_TRUE(QDir().mkpath(sim));
        QFile ini(sim + "/board.ini");
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[input_board]\nsource4=vic:97\nsource4_audio=48000/2\n");
    }
    void SetUp() override
    {
        ControllerFixture::SetUp();
        showInput4InWindow3();
    }
    static void showInput4InWindow3()
    {
        ApplyGate& gate = ApplyGate::instance();
        pthread_mutex_lock(&gate.c331_para_mutex);
        uint8_t* block = KelRamPara::p_kelrampara_config->RamBlock;
        const size_t rec = RamLayout::imageRecord(3);
        block[rec + RamLayout::kImgEnable] |= 0x01;
        RamLayout::setU16(block, rec + RamLayout::kImgSelector, 4);
        gate.c331_apply_flag = 1;
        pthread_mutex_unlock(&gate.c331_para_mutex);
    }
    QJsonObject scalerInput4()
    {
        board().writeState();
        QFile f(QString::fromStdString(root()) + "/sim/state.json");
        if (!f.open(QIODevice::ReadOnly))
            return {};
        const QJsonObject o = QJsonDocument::fromJson(f.readAll()).object();
        return o.value("scaler").toObject().value("inputs").toArray().at(4).toObject();
    }
    static QString homeLabel()
    {
        auto* label = g_lockwindow ? g_lockwindow->findChild<QLabel*>("state4") : nullptr;
        return label ? label->text() : QString();
    }
};

TEST_F(Uhd4kInput, TimingReachesTheScalerAndTheHomeScreen)
{
    ASSERT_TRUE(tickUntil([this] { return scalerInput4().value("hact").toInt() == 3840; }))
        << QJsonDocument(scalerInput4()).toJson().toStdString();
    const QJsonObject in = scalerInput4();
    EXPECT_EQ(in.value("vact").toInt(), 2160);
    EXPECT_EQ(in.value("htotal").toInt(), 4400);
    EXPECT_EQ(in.value("vtotal").toInt(), 2250);
    // 8 lanes, DDR, V-by-One, active.
    EXPECT_EQ(in.value("flags").toInt(), 0x080D);
    EXPECT_NEAR(in.value("pclk_10khz").toInt(), 59400, 59400 / 200);
    EXPECT_TRUE(tickUntil([] { return homeLabel() == "3840x2160@60Hz"; })) << homeLabel().toStdString();
}

} // namespace
} // namespace kel::test
