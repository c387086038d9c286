#pragma once
#include <QString>

#include <cstdint>

// The version of this program: the six bytes an upgrade package's program
// child carries (plain numbers, not BCD) and that the upgrade compares to
// skip a program it already runs, and the line the device state page shows.
struct ProgramVersion {
    static constexpr uint8_t kYear = 25;   // of the century
    static constexpr uint8_t kMonth = 9;
    static constexpr uint8_t kDate = 26;
    static constexpr uint8_t kHard = 11;
    static constexpr uint8_t kSoft = 2;
    static constexpr uint8_t kFunction = 1;

    // True when the six bytes (year, month, date, hard, soft, function) are
    // this program's version.
    static bool matches(const uint8_t bytes[6])
    {
        return bytes[0] == kYear && bytes[1] == kMonth && bytes[2] == kDate && bytes[3] == kHard &&
               bytes[4] == kSoft && bytes[5] == kFunction;
    }

    // "V11.02.01 2025-09-26".
    static QString text()
    {
        return QString::asprintf("V%02u.%02u.%02u 20%02u-%02u-%02u", unsigned(kHard), unsigned(kSoft),
                                 unsigned(kFunction), unsigned(kYear), unsigned(kMonth), unsigned(kDate));
    }
};
