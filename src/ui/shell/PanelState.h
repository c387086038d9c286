#pragma once
#include <QJsonObject>

// The front panel's state as the simulated board reports it in state.json
// ("panel"): the language in use, g_page_focus, the page in front and the
// video window picked (g_image_current). Reads only plain globals and the
// page table's names, so any thread may ask.
class PanelState {
public:
    static QJsonObject json();
};
