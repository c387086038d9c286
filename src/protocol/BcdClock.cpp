#include "protocol/BcdClock.h"

#include <QDate>

namespace kel::protocol {
namespace {

bool fromBcd(uint8_t b, int& v)
{
    if ((b >> 4) > 9 || (b & 0x0F) > 9)
        return false;
    v = (b >> 4) * 10 + (b & 0x0F);
    return true;
}

} // namespace

bool BcdClock::decode(const uint8_t* bcd, ClockValue& value)
{
    int d[kBytes];
    for (int i = 0; i < kBytes; ++i)
        if (!fromBcd(bcd[i], d[i]))
            return false;
    ClockValue v;
    v.year = d[1] * 100 + d[0];
    v.month = d[2];
    v.day = d[3];
    v.hour = d[4];
    v.minute = d[5];
    v.second = d[6];
    if (v.year < 2000 || v.year > 2099 || !QDate::isValid(v.year, v.month, v.day))
        return false;
    if (v.hour > 23 || v.minute > 59 || v.second > 59)
        return false;
    value = v;
    return true;
}

void BcdClock::encode(const QDateTime& time, uint8_t* out8)
{
    const QDate d = time.date();
    const QTime t = time.time();
    out8[0] = toBcd(d.year() % 100);
    out8[1] = toBcd(d.year() / 100 % 100);
    out8[2] = toBcd(d.month());
    out8[3] = toBcd(d.day());
    out8[4] = toBcd(t.hour());
    out8[5] = toBcd(t.minute());
    out8[6] = toBcd(t.second());
    out8[7] = toBcd(d.dayOfWeek());
}

} // namespace kel::protocol
