#include "ledout/UpgradeServices.h"

UpgradeServices& UpgradeServices::instance()
{
    static UpgradeServices services;
    return services;
}
