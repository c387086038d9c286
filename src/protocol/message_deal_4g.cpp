#include "protocol/message_deal_4g.h"

#include "params/ConfigEngine.h"
#include "params/Utils.h"
#include "params/global.h"
#include "protocol/LinkText.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/StoredFile.h"

#include <QMutexLocker>

#include <algorithm>

namespace kel::protocol {

const char* const message_deal_4g::kBarcodeFile = "/data/configs/cloud_barcode";
const char* const message_deal_4g::kCaFile = "/data/configs/cloud_cafile";

namespace {
constexpr int kMaxRequest = 16 * 1024;
constexpr int kMaxName = 16;
constexpr int kMaxText = 64;
constexpr int kMaxCaFile = 8 * 1024;

// Command names are upper-case letters, digits and '_'; anything else is
// not echoed back.
bool validName(const QByteArray& name)
{
    if (name.isEmpty() || name.size() > kMaxName)
        return false;
    for (char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    return true;
}

// A cloud text: printable, no comma (the argument separator).
bool validText(const QByteArray& text)
{
    return LinkText::isConfigValue(text, 1, kMaxText) && !text.contains(',');
}

// A certificate in PEM form: printable lines only.
bool validPem(const QByteArray& pem)
{
    if (pem.isEmpty() || pem.size() > kMaxCaFile)
        return false;
    for (char ch : pem) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if ((c < 0x20 && c != '\n' && c != '\r') || c >= 0x7F)
            return false;
    }
    return true;
}
} // namespace

message_deal_4g::Answer message_deal_4g::reply(const QByteArray& name, int status, const QByteArray& payload)
{
    Answer a;
    a.status = status;
    a.line = name + ' ' + QByteArray::number(status);
    if (!payload.isEmpty())
        a.line += ' ' + payload;
    a.line += "\r\n";
    return a;
}

message_deal_4g::Answer message_deal_4g::deal(const QByteArray& request)
{
    const QByteArray line = LinkText::chompLine(request.left(kMaxRequest + 1));
    const int colon = line.indexOf(':');
    const QByteArray name = colon < 0 ? line : line.left(colon);
    if (!validName(name))
        return reply("?", kUnknown);
    if (request.size() > kMaxRequest)
        return reply(name, kBadRequest);
    const QList<QByteArray> args = colon < 0 ? QList<QByteArray>() : line.mid(colon + 1).split(',');
    if (name == "GETCLOUD")
        return getCloud(name);
    if (name == "SETCLOUD")
        return setCloud(name, args);
    if (name == "GETBARCODE")
        return getBarcode(name);
    if (name == "SETBARCODE")
        return setBarcode(name, args);
    if (name == "SETCAFILE")
        return setCaFile(name, args);
    if (name == "GETID")
        return getId(name);
    return reply(name, kUnknown);
}

uint8_t message_deal_4g::frame_deal(const uint8_t* payload, size_t n, std::vector<uint8_t>& out)
{
    const QByteArray request(reinterpret_cast<const char*>(payload), int(std::min<size_t>(n, kMaxRequest + 1)));
    const Answer a = deal(request);
    out.insert(out.end(), a.line.begin(), a.line.end());
    switch (a.status) {
    case kOk: return ST_OK;
    case kBadRequest: return ST_BAD_VALUE;
    case kStoreFailed: return ST_FILE;
    default: return ST_UNKNOWN_CMD;
    }
}

message_deal_4g::Answer message_deal_4g::getCloud(const QByteArray& name)
{
    QByteArray payload;
    {
        std::lock_guard<std::mutex> l(Utils::_config_mutex);
        payload = g_uDar_cloudserverip.toLatin1() + ',' + QByteArray::number(g_uDar_cloudserverport) + ','
            + g_uDar_clouduserid.toLatin1() + ',' + g_uDar_controllername.toLatin1() + ','
            + QByteArray::number(g_uDar_cloud);
    }
    return reply(name, kOk, payload);
}

message_deal_4g::Answer message_deal_4g::setCloud(const QByteArray& name, const QList<QByteArray>& args)
{
    if (args.size() != 4)
        return reply(name, kBadRequest);
    const QString ip = QString::fromLatin1(args.at(0));
    bool portOk = false;
    const int port = args.at(1).toInt(&portOk);
    if (!Utils::isIPv4Address(ip) || !portOk || port < 1 || port > 65535 || !validText(args.at(2))
        || !validText(args.at(3)))
        return reply(name, kBadRequest);
    ConfigEngine* cfg = ConfigEngine::pInstance();
    cfg->write_config_variant(ConfigItem::uDarcloudserverip, ip);
    cfg->write_config_variant(ConfigItem::uDarcloudserverport, port);
    cfg->write_config_variant(ConfigItem::uDarclouduserip, QString::fromLatin1(args.at(2)));
    cfg->write_config_variant(ConfigItem::uDarcloudcontrollername, QString::fromLatin1(args.at(3)));
    Utils::getIPAddress();
    return reply(name, kOk);
}

message_deal_4g::Answer message_deal_4g::getBarcode(const QByteArray& name)
{
    QByteArray code;
    {
        QMutexLocker lock(&Utils::_file_deal_mutex);
        code = StoredFile::read(kBarcodeFile, kMaxText + 1);
    }
    code = LinkText::chompLine(code);
    return reply(name, kOk, validText(code) ? code : QByteArray());
}

message_deal_4g::Answer message_deal_4g::setBarcode(const QByteArray& name, const QList<QByteArray>& args)
{
    if (args.size() != 1 || !validText(args.at(0)))
        return reply(name, kBadRequest);
    return reply(name, storeFile(kBarcodeFile, args.at(0) + '\n') ? kOk : kStoreFailed);
}

message_deal_4g::Answer message_deal_4g::setCaFile(const QByteArray& name, const QList<QByteArray>& args)
{
    if (args.size() != 1)
        return reply(name, kBadRequest);
    const auto decoded = QByteArray::fromBase64Encoding(args.at(0), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || !validPem(*decoded))
        return reply(name, kBadRequest);
    return reply(name, storeFile(kCaFile, *decoded) ? kOk : kStoreFailed);
}

message_deal_4g::Answer message_deal_4g::getId(const QByteArray& name)
{
    return reply(name, kOk, g_pid.toLatin1());
}

bool message_deal_4g::storeFile(const char* logicalPath, const QByteArray& bytes)
{
    QMutexLocker lock(&Utils::_file_deal_mutex);
    return StoredFile::write(QString::fromLatin1(logicalPath), bytes);
}

} // namespace kel::protocol
