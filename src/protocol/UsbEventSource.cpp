#include "protocol/UsbEventSource.h"

#include "platform/Board.h"
#include "protocol/NetlinkUeventSource.h"
#include "protocol/SimUsbEventSource.h"

namespace kel::protocol {

std::unique_ptr<UsbEventSource> UsbEventSource::forBoard()
{
    if (kel::platform::Board::isSim())
        return std::make_unique<SimUsbEventSource>();
    return std::make_unique<NetlinkUeventSource>();
}

} // namespace kel::protocol
