#include "protocol/UeventParser.h"

#include <QByteArray>
#include <QList>

namespace kel::protocol {

bool UeventParser::parse(const char* data, size_t length, UsbEvent& out)
{
    const QList<QByteArray> fields = QByteArray(data, static_cast<int>(length)).split('\0');
    // Kernel messages start with "action@devpath"; udev's own do not.
    if (fields.isEmpty() || !fields.first().contains('@'))
        return false;
    QByteArray action, devpath, subsystem, devtype;
    for (const QByteArray& f : fields) {
        if (f.startsWith("ACTION="))
            action = f.mid(7);
        else if (f.startsWith("DEVPATH="))
            devpath = f.mid(8);
        else if (f.startsWith("SUBSYSTEM="))
            subsystem = f.mid(10);
        else if (f.startsWith("DEVTYPE="))
            devtype = f.mid(8);
    }
    if (subsystem != "block" || !devpath.contains("/usb"))
        return false;
    if (devtype != "disk" && devtype != "partition")
        return false;
    if (action == "add")
        out.action = UsbEvent::Action::Add;
    else if (action == "remove")
        out.action = UsbEvent::Action::Remove;
    else
        return false;
    out.partition = devtype == "partition";
    out.devpath = QString::fromLatin1(devpath);
    return true;
}

} // namespace kel::protocol
