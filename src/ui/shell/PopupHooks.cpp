#include "ui/shell/PopupHooks.h"

#include "ui/shell/FirmwareUpdate.h"
#include "ui/shell/MainWindow.h"

void installPopupHooks()
{
    MainWindow::Hooks& h = MainWindow::hooks();
    h.upgradeStart = &firmware_update_start;
    h.upgradeOver = &firmware_update_over;
    h.upgradeTick = []() {
        if (g_move_update)
            g_move_update->update_time_deal();
    };
}
