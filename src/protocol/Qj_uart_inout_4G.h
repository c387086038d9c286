#pragma once
#include "protocol/Qj_uart_inout.h"

namespace kel::protocol {

// The 4G modem's link: control frames on "/dev/ttyS1" with the serial
// link's settings, dispatched as link 4. The cloud's text commands (0xC4)
// are served on it; frames for the receiving cards are not passed through
// and are answered with a refusal status.
class Qj_uart_inout_4G final : public Qj_uart_inout {
public:
    Qj_uart_inout_4G(ControllerPort& port, message_deal& deal, const LinkSettings& settings);
    ~Qj_uart_inout_4G() override;

    static Qj_uart_inout_4G* pInstance();
    static Qj_uart_inout_4G* p_uart_inout_4G;
};

} // namespace kel::protocol
