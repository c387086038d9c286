#include "protocol/Qj_uart_inout.h"

#include "protocol/LinkSocket.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/ProtocolContext.h"
#include "platform/Board.h"
#include "platform/SerialService.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <vector>

namespace kel::protocol {
namespace {

speed_t speedOf(int baud)
{
    switch (baud) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    default: return B115200;
    }
}

} // namespace

Qj_uart_inout* Qj_uart_inout::p_uart_inout = nullptr;

Qj_uart_inout::Qj_uart_inout(ControllerPort& port, message_deal& deal, const LinkSettings& settings)
    : Qj_uart_inout(LINK_UART, settings.serialDevice, port, deal, settings)
{
    startIfOpen();
}

Qj_uart_inout::Qj_uart_inout(uint8_t linkId, const std::string& device, ControllerPort& port, message_deal& deal,
                             const LinkSettings& settings)
    : ControlLink(linkId, port, deal)
    , settings_(settings)
    , device_(device)
{
    fd_ = platform::Board::serial().open(device_, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ >= 0 && !configure()) {
        ::close(fd_);
        fd_ = -1;
    }
}

void Qj_uart_inout::startIfOpen()
{
    if (fd_ >= 0)
        startThread();
}

Qj_uart_inout::~Qj_uart_inout()
{
    stopThread();
    if (fd_ >= 0)
        ::close(fd_);
}

Qj_uart_inout* Qj_uart_inout::pInstance()
{
    if (!p_uart_inout && ProtocolContext::port())
        p_uart_inout = new Qj_uart_inout(*ProtocolContext::port(), *ProtocolContext::deal(), ProtocolContext::settings());
    return p_uart_inout;
}

bool Qj_uart_inout::configure()
{
    termios t{};
    if (::tcgetattr(fd_, &t) != 0)
        return false;
    ::cfmakeraw(&t);
    t.c_cflag &= ~(PARENB | CSTOPB | CSIZE | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, speedOf(settings_.serialBaud));
    ::cfsetospeed(&t, speedOf(settings_.serialBaud));
    if (::tcsetattr(fd_, TCSANOW, &t) != 0)
        return false;
    // A pseudo-terminal has no modem lines; the request then simply fails.
    int rts = TIOCM_RTS;
    ::ioctl(fd_, TIOCMBIS, &rts);
    return true;
}

void Qj_uart_inout::receive_thread()
{
    LinkPeer peer;
    peer.fd = fd_;
    peer.key = device_;
    std::vector<uint8_t> buf(size_t(settings_.serialReadSize > 0 ? settings_.serialReadSize : 32));
    while (!stopping()) {
        // A card request waiting for the card path: the port keeps what
        // comes meanwhile.
        if (!serveKept()) {
            LinkSocket::waitReadable(wakeFd(), kKeptRetryMs);
        } else if (LinkSocket::waitReadable(fd_, settings_.pollMs, wakeFd())) {
            const ssize_t got = ::read(fd_, buf.data(), buf.size());
            std::vector<std::vector<uint8_t>> frames;
            if (got > 0)
                assembler_.feed(buf.data(), size_t(got),
                                [&frames](const uint8_t* w, size_t n) { frames.emplace_back(w, w + n); });
            else if (got < 0 && errno != EAGAIN && errno != EINTR)
                ::poll(nullptr, 0, settings_.pollMs); // port in error: do not spin
            takeAll(frames, peer);
        }
        servicePass();
    }
}

bool Qj_uart_inout::sendTo(const LinkPeer&, const uint8_t* data, size_t n)
{
    size_t sent = 0;
    int waits = 0;
    while (sent < n) {
        const ssize_t w = ::write(fd_, data + sent, n - sent);
        if (w > 0) {
            sent += size_t(w);
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd p{fd_, POLLOUT, 0};
        if (++waits > 100 || ::poll(&p, 1, 10) < 0)
            return false;
    }
    return true;
}

} // namespace kel::protocol
