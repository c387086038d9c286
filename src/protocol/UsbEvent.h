#pragma once
#include <QString>

namespace kel::protocol {

// One kernel event about USB storage, reduced to what the watcher needs.
struct UsbEvent {
    enum class Action { Add, Remove };
    Action action = Action::Add;
    bool partition = false;   // a partition of the disk, else the disk itself
    QString devpath;
};

} // namespace kel::protocol
