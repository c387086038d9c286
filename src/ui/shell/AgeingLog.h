#pragma once
#include <QString>
#include <QStringList>

// The ageing log the 10 ms tick fills every 18000 ticks: entries
// "MM-dd hh:mm R42 R40 R43", oldest first, at most 3360 (seven days), and
// the counters of how far register 42 advanced between two samples.
class AgeingLog {
public:
    static constexpr int kMaxEntries = 3360;

    // Appends to factoryage_log, drops the oldest beyond the cap and counts
    // the register-42 step against the previous entry.
    static void append(const QString& entry);
    static QString entry(const QString& time, int reg42, int reg40, int reg43);

private:
    static int reg42Of(const QString& entry);
    static void countStep(int step);
};
