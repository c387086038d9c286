#include "ui/shell/AgeingLog.h"

#include "params/global.h"
#include "ui/shell/ShellGlobals.h"

QString AgeingLog::entry(const QString& time, int reg42, int reg40, int reg43)
{
    return QStringLiteral("%1 %2 %3 %4").arg(time).arg(reg42).arg(reg40).arg(reg43);
}

void AgeingLog::append(const QString& text)
{
    factoryage_log.append(text);
    if (factoryage_log.size() > kMaxEntries)
        factoryage_log.removeFirst();
    const int n = factoryage_log.size();
    if (n < 2)
        return;
    const int before = reg42Of(factoryage_log.at(n - 2));
    const int now = reg42Of(factoryage_log.at(n - 1));
    // Register 42 is an 8-bit counter: a smaller value wrapped past 255.
    countStep(now >= before ? now - before : now - before + 256);
}

int AgeingLog::reg42Of(const QString& entry)
{
    const QStringList parts = entry.split(QLatin1Char(' '), Qt::KeepEmptyParts);
    return parts.size() > 2 ? parts.at(2).toInt() : 0;
}

void AgeingLog::countStep(int step)
{
    if (step <= 0)
        return;
    if (step <= 2)
        ++factoryage_log_diff3;
    else if (step <= 4)
        ++factoryage_log_diff5;
    else if (step <= 9)
        ++factoryage_log_diff10;
    else if (step <= 19)
        ++factoryage_log_diff20;
    else
        ++factoryage_log_diffmore;
}
