#pragma once
#include <QJsonObject>

// The front panel's state as the simulated board reports it in state.json
// ("panel"): the language in use, g_page_focus and the page in front. Reads
// only plain globals and the page table's names, so any thread may ask.
class PanelState {
public:
    static QJsonObject json();
};
