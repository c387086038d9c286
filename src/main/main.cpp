#include "platform/Board.h"

#include <QCoreApplication>

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
    QCoreApplication app(argc, argv);
    std::signal(SIGINT, stopOnSignal);
    std::signal(SIGTERM, stopOnSignal);
    const int rc = app.exec();
    kel::platform::Board::shutdown();
    return rc;
}
