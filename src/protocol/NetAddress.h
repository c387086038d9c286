#pragma once
#include <QString>

namespace kel::protocol {

// Checks of network address texts before they are stored or reach a
// network command.
class NetAddress {
public:
    // Four decimal octets 0..255 separated by dots, nothing else.
    static bool isDottedQuad(const QString& text);
    // A dotted quad whose one bits are contiguous from the top.
    static bool isNetmask(const QString& text);
    // Decimal 1..65535.
    static bool isPort(const QString& text);
};

} // namespace kel::protocol
