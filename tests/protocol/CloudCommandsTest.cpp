#include "params/ConfigEngine.h"
#include "params/global.h"
#include "protocol/message_deal_4g.h"
#include "support/SimRootFixture.h"

#include <QFile>

using kel::protocol::message_deal_4g;

namespace {

class CloudCommandsTest : public kel::test::SimRootFixture {
protected:
    void SetUp() override
    {
        SimRootFixture::SetUp();
        ConfigEngine::pInstance();
    }
    void TearDown() override
    {
        ConfigEngine::destroyInstance();
        SimRootFixture::TearDown();
    }
    QByteArray fileText(const char* logical) const
    {
        QFile f(QString::fromStdString(hostPath(logical)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool fileExists(const char* logical) const { return QFile::exists(QString::fromStdString(hostPath(logical))); }
};

TEST_F(CloudCommandsTest, AnswersCarryTheNameAndAStatus)
{
    const struct {
        QByteArray request;
        int status;
        QByteArray line;
    } cases[] = {
        {"SETCLOUD:10.1.1.1,8883,user-7,Hall A", 200, "SETCLOUD 200\r\n"},
        {"GETCLOUD", 200, "GETCLOUD 200 10.1.1.1,8883,user-7,Hall A,1\r\n"},
        {"SETBARCODE:SN12345\r\n", 200, "SETBARCODE 200\r\n"},
        {"GETBARCODE", 200, "GETBARCODE 200 SN12345\r\n"},
        {"REBOOT", 404, "REBOOT 404\r\n"},
        {"rm -rf /", 404, "? 404\r\n"},
        {"", 404, "? 404\r\n"},
        {"SETCLOUD:1.2.3.4;reboot,80,u,n", 400, "SETCLOUD 400\r\n"},
        {"SETCLOUD:1.2.3.4,0,u,n", 400, "SETCLOUD 400\r\n"},
        {"SETCLOUD:1.2.3.4,65536,u,n", 400, "SETCLOUD 400\r\n"},
        {"SETCLOUD:1.2.3.4,80,u", 400, "SETCLOUD 400\r\n"},
        {"SETCLOUD:1.2.3.4,80,u\tx,n", 400, "SETCLOUD 400\r\n"},
        {"SETBARCODE:", 400, "SETBARCODE 400\r\n"},
        {"SETCAFILE:not base64!", 400, "SETCAFILE 400\r\n"},
    };
    for (const auto& c : cases) {
        const message_deal_4g::Answer a = message_deal_4g::deal(c.request);
        EXPECT_EQ(a.status, c.status) << c.request.constData();
        EXPECT_EQ(a.line, c.line) << c.request.constData();
    }
    EXPECT_EQ(ConfigEngine::pInstance()->read_config_variant(ConfigItem::uDarcloudserverip).toString(), "10.1.1.1");
    EXPECT_EQ(g_uDar_cloudserverport, 8883);
    EXPECT_EQ(g_uDar_controllername, "Hall A");
    EXPECT_EQ(g_uDar_cloud, 1);
}

TEST_F(CloudCommandsTest, ValueWithANewlineIsRefusedAndNothingIsWritten)
{
    EXPECT_EQ(message_deal_4g::deal("SETBARCODE:SN1\nSN2").status, message_deal_4g::kBadRequest);
    EXPECT_FALSE(fileExists(message_deal_4g::kBarcodeFile));
    EXPECT_EQ(message_deal_4g::deal("SETCLOUD:10.1.1.1,80,user\n[other],n").status, message_deal_4g::kBadRequest);
    EXPECT_EQ(g_uDar_clouduserid, " ");
}

TEST_F(CloudCommandsTest, CertificateIsStoredFromBase64)
{
    const QByteArray pem = "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n";
    EXPECT_EQ(message_deal_4g::deal("SETCAFILE:" + pem.toBase64()).line, "SETCAFILE 200\r\n");
    EXPECT_EQ(fileText(message_deal_4g::kCaFile), pem);
    const QByteArray binary("\x01\x02\x00\x7f", 4);
    EXPECT_EQ(message_deal_4g::deal("SETCAFILE:" + binary.toBase64()).status, message_deal_4g::kBadRequest);
    EXPECT_EQ(message_deal_4g::deal("SETCAFILE:" + QByteArray(9000, 'a').toBase64()).status,
              message_deal_4g::kBadRequest);
    EXPECT_EQ(fileText(message_deal_4g::kCaFile), pem);
}

} // namespace
