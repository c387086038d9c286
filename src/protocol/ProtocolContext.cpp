#include "protocol/ProtocolContext.h"

#include <mutex>

namespace kel::protocol {
namespace {

std::mutex g_lock;
ControllerPort* g_port = nullptr;
message_deal* g_deal = nullptr;
LinkSettings g_settings;

} // namespace

void ProtocolContext::set(ControllerPort* port, message_deal* deal, const LinkSettings& settings)
{
    std::lock_guard<std::mutex> l(g_lock);
    g_port = port;
    g_deal = deal;
    g_settings = settings;
}

ControllerPort* ProtocolContext::port()
{
    std::lock_guard<std::mutex> l(g_lock);
    return g_port;
}

message_deal* ProtocolContext::deal()
{
    std::lock_guard<std::mutex> l(g_lock);
    return g_deal;
}

LinkSettings ProtocolContext::settings()
{
    std::lock_guard<std::mutex> l(g_lock);
    return g_settings;
}

} // namespace kel::protocol
