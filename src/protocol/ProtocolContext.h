#pragma once
#include "protocol/LinkSettings.h"

namespace kel::protocol {

class ControllerPort;
class message_deal;

// What the link singletons are created with: the bound controller port,
// the one dispatcher and the link settings. main fills it before it calls
// the links' pInstance().
class ProtocolContext {
public:
    static void set(ControllerPort* port, message_deal* deal, const LinkSettings& settings);
    static ControllerPort* port();
    static message_deal* deal();
    static LinkSettings settings();
};

} // namespace kel::protocol
