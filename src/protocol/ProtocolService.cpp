#include "protocol/ProtocolService.h"

#include "params/global.h"
#include "params/Utils.h"
#include "platform/Board.h"
#include "protocol/ProtocolContext.h"
#include "protocol/Qj_uart_inout.h"
#include "protocol/Qj_uart_inout_4G.h"
#include "protocol/SystemControllerPort.h"
#include "protocol/message_deal.h"
#include "protocol/networkManage.h"
#include "protocol/udpnetManage.h"

namespace kel::protocol {
namespace {

SystemControllerPort* g_systemPort = nullptr;

// The receive loops wake at least this often to serve the card pass-through;
// a frame wakes them at once either way. On the simulated board, where
// nothing stands behind the cards, a longer wait keeps four idle links from
// waking the host 400 times a second.
constexpr int kSimPollMs = 50;

LinkSettings settingsFromGlobals()
{
    LinkSettings s;
    s.udpEnabled = g_udpnetmode != 0;
    s.tcpEnabled = g_networkMode != 0;
    const int port = Utils::configValue(g_port);
    s.tcpPort = port >= 1 && port <= 65535 ? uint16_t(port) : uint16_t(5005);
    s.serialBaud = g_BPS;
    s.serialReadSize = g_dataLen > 0 && g_dataLen <= 4096 ? g_dataLen : 32;
    if (platform::Board::isSim())
        s.pollMs = kSimPollMs;
    return s;
}

} // namespace

void ProtocolService::start(bool anyFreePorts)
{
    if (g_systemPort)
        return;
    LinkSettings settings = settingsFromGlobals();
    if (anyFreePorts) {
        settings.udpPort = 0;
        settings.tcpPort = 0;
    }
    // Live for the whole process, like the links that use them.
    g_systemPort = new SystemControllerPort();
    ProtocolContext::set(g_systemPort, new message_deal(*g_systemPort), settings);
    udpnetManage::pInstance();
    Qj_uart_inout::pInstance();
    networkManage::pInstance();
}

void ProtocolService::stop()
{
    delete Qj_uart_inout_4G::p_uart_inout_4G;
    Qj_uart_inout_4G::p_uart_inout_4G = nullptr;
    delete networkManage::p_networkManage;
    networkManage::p_networkManage = nullptr;
    delete Qj_uart_inout::p_uart_inout;
    Qj_uart_inout::p_uart_inout = nullptr;
    delete udpnetManage::p_udpnetManage;
    udpnetManage::p_udpnetManage = nullptr;
    if (!g_systemPort)
        return;
    message_deal* deal = ProtocolContext::deal();
    ProtocolContext::set(nullptr, nullptr, LinkSettings());
    delete deal;
    delete g_systemPort;
    g_systemPort = nullptr;
}

ControllerPort* ProtocolService::port() { return g_systemPort; }

} // namespace kel::protocol
