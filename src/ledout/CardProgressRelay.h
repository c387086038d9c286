#pragma once
#include <QObject>

// Carries the progress (0..100) of a card procedure out of the FPGA manager
// thread. It lives as long as the manager, so a page that posted a command
// may close while the procedure still reports; pages connect their popup to
// it for the command they post.
class CardProgressRelay : public QObject {
    Q_OBJECT
signals:
    void smartMappingProgress(int value);   // commands 1-4 (wizard)
    void recoveryProgress(int value);       // card check and recovery (page 25)
};
