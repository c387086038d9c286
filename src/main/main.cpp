#include "main/AppStartup.h"
#include "platform/Board.h"

#include <QApplication>

#include <csignal>
#include <cstdio>
#include <string>

namespace {
void stopOnSignal(int)
{
    QCoreApplication::quit();
}
} // namespace

int main(int argc, char** argv)
{
    std::string error;
    if (!kel::platform::Board::initFromEnvironment(&error)) {
        std::fprintf(stderr, "kelT57N: %s\n", error.c_str());
        return 2;
    }
    AppStartup::beforeApplication();
    QApplication app(argc, argv);
    AppStartup::afterApplication(AppStartup::Options());
    std::signal(SIGINT, stopOnSignal);
    std::signal(SIGTERM, stopOnSignal);
    const int rc = app.exec();
    kel::platform::Board::shutdown();
    return rc;
}
