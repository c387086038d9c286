#pragma once
#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kel::protocol {

// The cloud service's text commands, carried in control command 0xC4 on the
// 4G link. A request is one line "NAME" or "NAME:arg1,arg2,..."; the answer
// is one line "NAME STATUS" or "NAME STATUS payload", ended by CR LF.
// Status: 200 done, 400 bad arguments, 404 unknown command, 500 the value
// could not be stored. Nothing received reaches a shell.
class message_deal_4g {
public:
    static constexpr int kOk = 200;
    static constexpr int kBadRequest = 400;
    static constexpr int kUnknown = 404;
    static constexpr int kStoreFailed = 500;

    static const char* const kBarcodeFile;
    static const char* const kCaFile;

    struct Answer {
        int status = kUnknown;
        QByteArray line;
    };

    static Answer deal(const QByteArray& request);
    // Command 0xC4: the request text is the payload (from byte 10 on); the
    // answer line is appended to out; returns the answer's status byte.
    static uint8_t frame_deal(const uint8_t* payload, size_t n, std::vector<uint8_t>& out);

private:
    static Answer reply(const QByteArray& name, int status, const QByteArray& payload = {});
    static Answer getCloud(const QByteArray& name);
    static Answer setCloud(const QByteArray& name, const QList<QByteArray>& args);
    static Answer getBarcode(const QByteArray& name);
    static Answer setBarcode(const QByteArray& name, const QList<QByteArray>& args);
    static Answer setCaFile(const QByteArray& name, const QList<QByteArray>& args);
    static Answer getId(const QByteArray& name);
    static bool storeFile(const char* logicalPath, const QByteArray& bytes);
};

} // namespace kel::protocol
