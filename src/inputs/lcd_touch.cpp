#include "inputs/lcd_touch.h"

#include "platform/PathMap.h"
#include "platform/Sleeper.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The handler may only touch lock-free atomics and call async-signal-safe
// functions (read, write).
std::atomic<int> g_fd{-1};
std::atomic<int> g_lastValue{-1};
std::atomic<unsigned> g_readCount{0};

constexpr uint32_t kUntouchedLimit = 100000;

// "signumkey_val: 0x..\n\n" built without printf.
void printValue(uint8_t value)
{
    static const char kHex[] = "0123456789abcdef";
    char text[32] = "signumkey_val: ";
    int n = 15;
    if (value == 0) {
        text[n++] = '0';
    } else {
        text[n++] = '0';
        text[n++] = 'x';
        if (value >> 4)
            text[n++] = kHex[value >> 4];
        text[n++] = kHex[value & 0x0F];
    }
    text[n++] = '\n';
    text[n++] = '\n';
    ssize_t ignored = ::write(STDOUT_FILENO, text, static_cast<size_t>(n));
    (void)ignored;
}

} // namespace

lcd_touch* lcd_touch::p_lcd_touch = nullptr;

lcd_touch* lcd_touch::pInstance()
{
    if (!p_lcd_touch)
        p_lcd_touch = new lcd_touch();
    return p_lcd_touch;
}

lcd_touch::lcd_touch() { lcd_touch_init(); }

lcd_touch::~lcd_touch()
{
    if (ecll_fd >= 0) {
        if (g_fd.load() == ecll_fd) {
            std::signal(kSignal, SIG_DFL);
            g_fd = -1;
        }
        ::close(ecll_fd);
    }
    if (p_lcd_touch == this)
        p_lcd_touch = nullptr;
}

void lcd_touch::lcd_touch_init()
{
    const std::string path = kel::platform::PathMap::host(std::string("/dev/ec11"));
    // Never the controlling terminal, should the device be a terminal.
    ecll_fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY);
    // Without the device there is nothing to be notified about.
    if (ecll_fd < 0)
        return;
    g_fd = ecll_fd;
    struct sigaction sa = {};
    sa.sa_handler = &lcd_touch::fifth_testsignal;
    sigemptyset(&sa.sa_mask);
    sigaction(kSignal, &sa, nullptr);
    ::fcntl(ecll_fd, F_SETOWN, ::getpid());
    ::fcntl(ecll_fd, F_SETFL, ::fcntl(ecll_fd, F_GETFL) | O_ASYNC);
}

int lcd_touch::initialize() { return 0; }

void* lcd_touch::lcdmanageThread(void* arg)
{
    if (!arg)
        return nullptr;
    for (;;)
        kel::platform::Sleeper::sleepMs(1);
}

int lcd_touch::lcd_touch_detect() { return -1; }

void lcd_touch::auto_timeout_back()
{
    if (lcd_touch_detect() == 0)
        g_untouched_time = 0;
    else if (g_untouched_time <= kUntouchedLimit)
        ++g_untouched_time;
}

int lcd_touch::last_value() { return g_lastValue.load(); }
unsigned lcd_touch::read_count() { return g_readCount.load(); }

void lcd_touch::fifth_testsignal(int signum)
{
    (void)signum;
    const int savedErrno = errno;
    const int fd = g_fd.load();
    uint8_t value = 0;
    if (fd >= 0 && ::read(fd, &value, 1) == 1) {
        g_lastValue = value;
        ++g_readCount;
        printValue(value);
    }
    errno = savedErrno;
}
