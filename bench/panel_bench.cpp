// The whole program on the simulated board, measured from outside:
//   - time from start to the first answered UDP control frame (a parameter
//     read on port 5008; the start-up's own 4 s pause included),
//   - resident memory once it answers,
//   - CPU share of one core over an idle period (default 30 s),
// and, in this process under the offscreen platform, the time from a key
// press on the home screen to the main menu's next paint.
//
// Run as root, the bench and the program it starts share a network of their
// own (loopback only), so another controller on the machine cannot answer
// in the program's place; otherwise the start time is taken once the
// measured program holds the port itself.
//
// Usage: panel_bench [idle-seconds] [path-to-kelT57N]
// Targets: start <= 4.5 s, memory < 60 MB, idle CPU < 2 %.
#include "params/KelRamPara.h"
#include "params/SyncUpdate.h"
#include "params/global.h"
#include "platform/Board.h"
#include "platform/PrivateNetwork.h"
#include "protocol/PhyFrame.h"
#include "protocol/protocol_phy.h"
#include "resources/KelResources.h"
#include "ui/shell/KeyRouter.h"
#include "ui/shell/LockWindow.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/PagePointers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QKeyEvent>
#include <QProcess>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using kel::protocol::PhyFrame;
using kel::protocol::protocol_phy;

// A parameter read of 4 bytes at address 0, framed as a PC tool sends it.
Bytes readRequest()
{
    Bytes body = {0x00, 0xF1, 0x20, 0xF0, 0x10, 0x21, 0, 0, 0, 0x61, 0, 0, 0, 0, 4, 0, 0, 0};
    body.push_back(PhyFrame::xorOf(body.data(), body.size()));
    protocol_phy phy;
    Bytes wire(protocol_phy::framedCapacity(body.size()));
    wire.resize(phy.data_re_transf_meaning(wire.data(), body.data(), uint32_t(body.size())));
    return wire;
}

// Sends the request every 50 ms until an answer arrives; seconds waited,
// or -1 after the deadline.
double waitForAnswer(double deadlineSeconds)
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&self), sizeof self);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(5008);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const Bytes request = readRequest();
    QElapsedTimer clock;
    clock.start();
    double result = -1;
    while (clock.elapsed() < deadlineSeconds * 1000) {
        sendto(fd, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) > 0) {
            uint8_t buf[2048];
            if (recv(fd, buf, sizeof buf, 0) > 0) {
                result = clock.elapsed() / 1000.0;
                break;
            }
        }
    }
    close(fd);
    return result;
}

// True once the process holds a UDP socket on the port: on a shared machine
// another controller may already answer on it, and its answers must not be
// taken for the measured program's.
bool holdsUdpPort(qint64 pid, uint16_t port)
{
    QFile table("/proc/net/udp");
    if (!table.open(QIODevice::ReadOnly))
        return false;
    QSet<QByteArray> inodes;
    const QByteArray local = ":" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() > 9 && f[1].endsWith(local))
            inodes.insert(f[9]);
    }
    const QDir fds(QString("/proc/%1/fd").arg(pid));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::System)) {
        const QByteArray target = fd.symLinkTarget().toLatin1();
        const int open = target.lastIndexOf('['), close = target.lastIndexOf(']');
        if (open >= 0 && close > open && inodes.contains(target.mid(open + 1, close - open - 1)))
            return true;
    }
    return false;
}

long procField(qint64 pid, const char* file, const char* key)
{
    QFile f(QString("/proc/%1/%2").arg(pid).arg(file));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').first().toLong();
    }
    return -1;
}

double cpuTicks(qint64 pid)
{
    QFile f(QString("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray s = f.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    return fields.value(11).toDouble() + fields.value(12).toDouble(); // utime + stime
}

void measureProgram(const QString& program, int idleSeconds)
{
    QTemporaryDir root;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KEL_BOARD", "sim");
    env.insert("KEL_ROOT", root.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, QStringList());
    if (!p.waitForStarted(5000)) {
        std::printf("cannot start %s\n", qPrintable(program));
        return;
    }
    QElapsedTimer sinceStart;
    sinceStart.start();
    while (!holdsUdpPort(p.processId(), 5008) && sinceStart.elapsed() < 20000)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const double answered = sinceStart.elapsed() / 1000.0 + waitForAnswer(20);
    std::printf("start to first answered UDP frame: %.2f s (target 4.5 s)\n", answered);
    std::printf("resident memory after start-up:    %.1f MB (target 60 MB)\n",
                procField(p.processId(), "status", "VmRSS:") / 1024.0);
    const double ticksPerSecond = double(sysconf(_SC_CLK_TCK));
    const double before = cpuTicks(p.processId());
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const double used = (cpuTicks(p.processId()) - before) / ticksPerSecond;
    std::printf("idle CPU over %d s:                 %.2f %% of one core (target 2 %%)\n", idleSeconds,
                100.0 * used / idleSeconds);
    p.terminate();
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

class PaintProbe : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

void measureKeyToPaint()
{
    QTemporaryDir root;
    kel::platform::Board::initSim(root.path().toStdString());
    KelResources::init();
    KeyRouter::install();
    KelRamPara::pInstance();
    SyncUpdate::pInstance();
    g_mainwindow = new MainWindow(nullptr);
    g_mainwindow->show();
    LockWindow::openNew();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    PaintProbe probe;
    g_mainwindow->installEventFilter(&probe);
    QElapsedTimer clock;
    clock.start();
    QKeyEvent press(QEvent::KeyPress, 81, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, 81, Qt::NoModifier);
    QApplication::instance()->notify(g_mainwindow, &press);
    QApplication::instance()->notify(g_mainwindow, &release);
    while (!probe.painted && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::printf("key press to main menu painted:    %.2f ms (offscreen)\n", clock.nsecsElapsed() / 1e6);
    std::fflush(stdout);
    delete g_lockwindow;
    delete g_mainwindow;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    kel::platform::Board::shutdown();
}

} // namespace

int main(int argc, char** argv)
{
    // Before any thread: the namespace is the calling thread's and the
    // children's.
    if (!kel::platform::PrivateNetwork::enter())
        std::printf("no private network (needs root or a user namespace): sharing the machine's ports\n");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int idle = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const QString program = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                     : QCoreApplication::applicationDirPath() + "/../bin/kelT57N";
    measureProgram(program, idle);
    measureKeyToPaint();
    return 0;
}
