#include "params/ProgramInstall.h"

#include "params/ConfigEngine.h"
#include "params/Utils.h"
#include "platform/PathMap.h"
#include "platform/Sleeper.h"

#include <QSettings>
#include <QString>

bool ProgramInstall::run(bool writeStartEntry, uint32_t pauseMs)
{
    Utils::system_mutex(QStringLiteral("chmod 777 -R /data/app"));
    if (pauseMs)
        kel::platform::Sleeper::sleepMs(pauseMs);
    // The two blanks are the device's own command text.
    const bool moved =
        Utils::system_mutex(QStringLiteral("mv %1  %2").arg(QLatin1String(kNewProgram), QLatin1String(kProgram))) == 0;
    const QString startFile = kel::platform::PathMap::hostForWrite(QString(ConfigEngine::kLoadConfigFile));
    if (writeStartEntry && !startFile.isEmpty()) {
        QSettings ini(startFile, QSettings::IniFormat);
        ini.beginGroup("app-1");
        ini.setValue("app_path", QString(ConfigEngine::kAppStartLine));
        ini.setValue("app_name", "kelT57N");
        ini.endGroup();
        ini.sync();
    }
    return moved;
}
