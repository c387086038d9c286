#pragma once
#include <QByteArray>

namespace kel::protocol {

// Checks for text that arrives on a link (WiFi module, cloud service) before
// it is stored in a configuration file. Nothing that
// passes these checks can break a line-oriented or quoted configuration file.
class LinkText {
public:
    // A value for one line of a configuration file: byte length within
    // [minLen, maxLen], no control characters (newline included), no DEL,
    // no double quote and no backslash (the files quote some values).
    static bool isConfigValue(const QByteArray& value, int minLen, int maxLen);
    // The text with a trailing CR/LF run removed.
    static QByteArray chompLine(const QByteArray& text);
};

} // namespace kel::protocol
