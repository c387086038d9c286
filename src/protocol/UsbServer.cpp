#include "protocol/UsbServer.h"

#include "params/Utils.h"
#include "params/global.h"
#include "protocol/PanelCalls.h"

std::atomic<uint32_t> g_delay_usbserver{0};
std::atomic<uint32_t> g_delay_usbserver_ticks{0};

namespace kel::protocol {

UsbServer* UsbServer::p_UsbServer = nullptr;

namespace {
constexpr int kWaitMs = 100;
} // namespace

UsbServer* UsbServer::pInstance()
{
    if (!p_UsbServer) {
        p_UsbServer = new UsbServer(UsbEventSource::forBoard());
        p_UsbServer->start();
    }
    return p_UsbServer;
}

UsbServer::UsbServer(std::unique_ptr<UsbEventSource> source, QObject* parent)
    : QObject(parent)
    , source_(std::move(source))
{
}

UsbServer::~UsbServer()
{
    stop();
    if (p_UsbServer == this)
        p_UsbServer = nullptr;
}

void UsbServer::start()
{
    if (running_.exchange(true))
        return;
    thread_ = std::thread([this] { acceptThread(); });
}

void UsbServer::stop()
{
    running_ = false;
    if (thread_.joinable())
        thread_.join();
}

void UsbServer::acceptThread()
{
    while (running_)
        pass(kWaitMs);
}

void UsbServer::pass(int timeoutMs)
{
    UsbEvent event;
    if (source_->wait(event, timeoutMs))
        handleEvent(event);
    checkReading();
}

void UsbServer::handleEvent(const UsbEvent& event)
{
    if (g_delay_usbserver.load() == 0)
        return;
    const bool add = event.action == UsbEvent::Action::Add;
    if (event.partition) {
        std::lock_guard<std::mutex> l(lock_);
        readingPending_ = add;
        partitionTick_ = G_timeTicks.load();
        return;
    }
    if (!add) {
        std::lock_guard<std::mutex> l(lock_);
        readingPending_ = false;
    }
    emit sig_usb_update(add ? kInserted : kRemoved);
}

void UsbServer::checkReading()
{
    {
        std::lock_guard<std::mutex> l(lock_);
        if (!readingPending_ || Utils::getTimeSpace(partitionTick_) < kReadingDelayTicks)
            return;
        readingPending_ = false;
    }
    emit sig_usb_update(kReading);
    // The settings menu closes while the stick is read; the call is queued
    // into the GUI thread, which checks the focus again there.
    if (g_page_focus == PanelCalls::kFocusOption)
        PanelCalls::post(PanelCalls::Event::UsbStickReading);
}

} // namespace kel::protocol
