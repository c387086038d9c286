#include "ui/shell/PanelKeys.h"

namespace {
struct KeyCodes {
    PanelKey key;
    int first;
    int second;
};
constexpr KeyCodes kTable[] = {
    {PanelKey::Left, PanelKeys::kLeft, PanelKeys::kLeft2},
    {PanelKey::Right, PanelKeys::kRight, PanelKeys::kRight2},
    {PanelKey::Ok, PanelKeys::kOk, PanelKeys::kOk2},
    {PanelKey::Back, PanelKeys::kBack, PanelKeys::kBack2},
    {PanelKey::Mode, PanelKeys::kMode, PanelKeys::kMode2},
};
} // namespace

PanelKey PanelKeys::decode(int code)
{
    for (const KeyCodes& k : kTable) {
        if (code == k.first || code == k.second)
            return k.key;
    }
    return PanelKey::Other;
}

int PanelKeys::twin(int code)
{
    for (const KeyCodes& k : kTable) {
        if (code == k.first)
            return k.second;
        if (code == k.second)
            return k.first;
    }
    return code;
}
