#include "protocol/Qj_uart_inout_4G.h"

#include "protocol/ProtocolCodes.h"
#include "protocol/ProtocolContext.h"

namespace kel::protocol {

Qj_uart_inout_4G* Qj_uart_inout_4G::p_uart_inout_4G = nullptr;

Qj_uart_inout_4G::Qj_uart_inout_4G(ControllerPort& port, message_deal& deal, const LinkSettings& settings)
    : Qj_uart_inout(LINK_4G, settings.modemDevice, port, deal, settings)
{
    startIfOpen();
}

Qj_uart_inout_4G::~Qj_uart_inout_4G()
{
    stopThread();
}

Qj_uart_inout_4G* Qj_uart_inout_4G::pInstance()
{
    if (!p_uart_inout_4G && ProtocolContext::port())
        p_uart_inout_4G = new Qj_uart_inout_4G(*ProtocolContext::port(), *ProtocolContext::deal(), ProtocolContext::settings());
    return p_uart_inout_4G;
}

} // namespace kel::protocol
