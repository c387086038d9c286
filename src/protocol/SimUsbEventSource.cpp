#include "protocol/SimUsbEventSource.h"

#include "params/StoreFolders.h"

#include "platform/LogLine.h"
#include "platform/PathMap.h"
#include "platform/Sleeper.h"

#include <QDir>

#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kel::protocol {

using kel::platform::PathMap;

const char* const SimUsbEventSource::kMountPoint = StoreFolders::kUsbStickDir;
const char* const SimUsbEventSource::kControlPipe = "/sim/usb-events";
const char* const SimUsbEventSource::kPulledStick = "/sim/usb-stick";

namespace {
const char* const kStickDevpath = "/devices/platform/soc/usb1/1-1/1-1:1.0/host0/block/sda";

UsbEvent stickEvent(UsbEvent::Action action, bool partition)
{
    UsbEvent e;
    e.action = action;
    e.partition = partition;
    e.devpath = QString::fromLatin1(kStickDevpath) + (partition ? "/sda1" : "");
    return e;
}
} // namespace

SimUsbEventSource::SimUsbEventSource()
{
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
        wake_[0] = wake_[1] = -1;
    QDir().mkpath(QString::fromStdString(PathMap::host(std::string("/sim"))));
    pipe_ = openControlPipe(PathMap::host(std::string(kControlPipe)));
}

// A regular file (or a link) in place of the pipe would always poll as
// readable and spin the watcher: it is replaced by the pipe. Anything that
// cannot be replaced leaves the watcher with its wake-up pipe alone.
int SimUsbEventSource::openControlPipe(const std::string& fifo)
{
    struct stat st;
    if (::lstat(fifo.c_str(), &st) == 0 && !S_ISFIFO(st.st_mode)) {
        const bool removed = !S_ISDIR(st.st_mode) && ::unlink(fifo.c_str()) == 0;
        std::fprintf(stderr, "%s is not a pipe: %s\n", fifo.c_str(), removed ? "replaced by one" : "not watched");
    }
    ::mkfifo(fifo.c_str(), 0600);
    // Opened for writing too, so the pipe never reports a hang-up when a
    // user's writer closes it.
    const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISFIFO(st.st_mode))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

SimUsbEventSource::~SimUsbEventSource()
{
    for (int fd : {wake_[0], wake_[1], pipe_})
        if (fd >= 0)
            ::close(fd);
}

void SimUsbEventSource::insertStick()
{
    const std::string mount = PathMap::host(std::string(kMountPoint));
    const std::string pulled = PathMap::host(std::string(kPulledStick));
    struct stat st;
    // The stick pulled last comes back with its files. The empty mount
    // point the board makes at start is no stick and gives way to it.
    if (!PathMap::isIdentity() && ::lstat(pulled.c_str(), &st) == 0) {
        ::rmdir(mount.c_str());
        if (::lstat(mount.c_str(), &st) != 0)
            ::rename(pulled.c_str(), mount.c_str());
    }
    QDir().mkpath(QString::fromStdString(mount));
    push(stickEvent(UsbEvent::Action::Add, false));
    push(stickEvent(UsbEvent::Action::Add, true));
}

void SimUsbEventSource::removeStick()
{
    moveStickAside();
    push(stickEvent(UsbEvent::Action::Remove, true));
    push(stickEvent(UsbEvent::Action::Remove, false));
}

// Only ever folders under the simulated root. The program no longer sees
// the stick's folder, as on the device once the kernel has removed it; its
// files wait beside the board's own files for the next insert (one pulled
// stick is kept: the last).
void SimUsbEventSource::moveStickAside()
{
    if (PathMap::isIdentity())
        return;
    const std::string mount = PathMap::host(std::string(kMountPoint));
    const std::string pulled = PathMap::host(std::string(kPulledStick));
    struct stat st;
    if (::lstat(mount.c_str(), &st) != 0)
        return;
    if (::lstat(pulled.c_str(), &st) == 0) {
        // An empty mount folder (the one made at start) is no stick: the
        // kept one stays.
        if (::rmdir(mount.c_str()) == 0)
            return;
        kel::platform::LogLine::error("pulled stick: the stick kept in %s is replaced by the one pulled now\n",
                                      pulled.c_str());
        if (S_ISDIR(st.st_mode))
            QDir(QString::fromStdString(pulled)).removeRecursively();
        else
            ::unlink(pulled.c_str());
    }
    if (::rename(mount.c_str(), pulled.c_str()) != 0)
        kel::platform::LogLine::error("pulled stick: %s could not be moved to %s, left in place\n", mount.c_str(),
                                      pulled.c_str());
}

void SimUsbEventSource::push(const UsbEvent& event)
{
    {
        std::lock_guard<std::mutex> l(lock_);
        queue_.push_back(event);
    }
    const char byte = 1;
    if (wake_[1] >= 0 && ::write(wake_[1], &byte, 1) < 0) {
        // The pipe is full: the reader is awake already.
    }
}

bool SimUsbEventSource::takeQueued(UsbEvent& event)
{
    std::lock_guard<std::mutex> l(lock_);
    if (queue_.empty())
        return false;
    event = queue_.front();
    queue_.pop_front();
    return true;
}

bool SimUsbEventSource::wait(UsbEvent& event, int timeoutMs)
{
    if (takeQueued(event))
        return true;
    if (wake_[0] < 0) {
        kel::platform::Sleeper::sleepMs(static_cast<uint64_t>(timeoutMs));
        return takeQueued(event);
    }
    pollfd p[2] = {{wake_[0], POLLIN, 0}, {pipe_, POLLIN, 0}};
    if (::poll(p, pipe_ >= 0 ? 2 : 1, timeoutMs) > 0) {
        char drain[64];
        while (::read(wake_[0], drain, sizeof(drain)) > 0) {
        }
        if (p[1].revents & POLLIN)
            readControlPipe();
    }
    return takeQueued(event);
}

void SimUsbEventSource::readControlPipe()
{
    char buf[256];
    ssize_t n;
    while ((n = ::read(pipe_, buf, sizeof(buf))) > 0)
        pending_.append(buf, static_cast<int>(n));
    int nl;
    while ((nl = pending_.indexOf('\n')) >= 0) {
        runControlLine(pending_.left(nl).trimmed());
        pending_.remove(0, nl + 1);
    }
    // A writer that never ends its line cannot grow this without bound.
    if (pending_.size() > 256)
        pending_.clear();
}

void SimUsbEventSource::runControlLine(const QByteArray& line)
{
    if (line == "insert")
        insertStick();
    else if (line == "remove")
        removeStick();
}

} // namespace kel::protocol
