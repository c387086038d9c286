#pragma once
#include "protocol/ControlLink.h"
#include "protocol/FrameAssembler.h"
#include "protocol/LinkSettings.h"
#include "protocol/TcpRoom.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kel::protocol {

// The TCP control link (port g_port, 5005 by default), listening only
// while the TCP link is switched on. Many clients at once, each with its
// own capped receive buffer; an answer goes to the client that asked, a
// card answer to the client whose card request it answers. No client can
// hold the link thread: clients are served in turn, one whole frame each
// per loop pass, each pass starting one client further (a client's socket
// is read again only when the frames of its last read are served; a card
// request waiting for the card path stays first in its client's line);
// sockets are non-blocking, and what a client does not take at once waits
// in its own bounded queue (a client whose queue passes the bound is
// closed).
// A card request is flagged for the card path with what its client did:
// ended (it shut its side or closed: read to its end), again (it has not
// ended: a connected client may ask again) and floods (kFloodingBytes or
// more unread and no answer taken since its backlog began). A client that ended still has its frames served
// and gets its answers, and is closed once it is owed nothing: no frame of
// it waits, no answer of it is queued and no card request of it is out.
// A client whose connection is reset (it closed and an answer reached it)
// is closed at once, its waiting frames with it.
// Clients: at most kMaxClients at once, all read and served alike. Only a
// connection that arrives with the set full closes one, chosen by TcpRoom:
// between PCs by counts alone, inside the PC by what each owes.
class networkManage final : public ControlLink {
public:
    networkManage(ControllerPort& port, message_deal& deal, const LinkSettings& settings);
    ~networkManage() override;

    static networkManage* pInstance();
    static networkManage* p_networkManage;

    bool listening() const { return listenFd_ >= 0; }
    uint16_t localPort() const;

    // Answer bytes a client may leave unread before it is closed.
    static constexpr size_t kMaxQueued = 256 * 1024;
    // Bytes taken from a client's socket at once.
    static constexpr size_t kReadSize = 4096;
    // Bytes sent and not yet read that make a client that has taken no
    // answer since its backlog reached them a flooder: no tool that waits
    // for each answer gets this far ahead, and one that sends a batch takes
    // the answers to its first requests while the rest wait.
    static constexpr size_t kFloodingBytes = 4 * kReadSize;
    // Reads a pass may make of a client whose card requests are dropped.
    static constexpr size_t kDrainReads = 4;
    // Clients connected at once: what the link can afford to hold, each
    // with its receive buffer, waiting frames and answer queue.
    static constexpr size_t kMaxClients = 64;
    // Bytes of whole frames read and not yet served, of all clients, as of
    // the end of the last loop pass.
    size_t waitingBytes() const { return waitingBytes_; }

private:
    struct Client {
        int fd = -1;
        std::string key;
        sockaddr_in address{};
        FrameAssembler assembler{protocol_phy::kMaxWire};
        std::string queued;       // answer bytes not yet taken by the client
        std::deque<std::vector<uint8_t>> waiting;   // whole frames not yet served
        size_t waitingBytes = 0;
        uint64_t accepted = 0;    // order of its accept
        uint32_t acceptedAt = 0;  // tick of its accept
        uint32_t lastHeard = 0;   // tick of its accept or of the last look that found new bytes of it
        bool spoke = false;       // it sent a whole frame
        bool dropped = false;     // closed at the end of this loop pass
        bool ended = false;       // sends no more (its end shut or closed)
        size_t unread = 0;        // bytes in its socket, as of its last read or look
        bool drained = false;     // all it sent has been read
        uint64_t taken = 0;       // answer bytes its socket took
        // Its socket held kFloodingBytes or more at a look and has not been
        // found empty since; it had taken takenAtBacklog then.
        bool backlogged = false;
        uint64_t takenAtBacklog = 0;
    };

    void loop() override { acceptThread(); }
    void acceptThread();
    Client* acceptOne();
    // Takes the connections the system holds, kMaxClients at most a pass.
    void acceptWaiting();
    // The clients not closed this pass.
    std::vector<Client*> openClients();
    std::vector<TcpRoom::Member> membersOf(const std::vector<Client*>& set);
    TcpRoom::Member memberOf(const Client& c, uint32_t now, bool cardRequestOut) const;
    // The set (members: as TcpRoom sees it) is full: closes one for the
    // newcomer (TcpRoom), the newcomer when it is refused.
    void makeRoom(const std::vector<Client*>& set, std::vector<TcpRoom::Member> members, Client& newcomer);
    // False when the client has gone.
    bool readClient(Client& c);
    // Notes how much the client's socket still holds, whether it sent more
    // since the last look, and whether it ended.
    void noteBacklog(Client& c);
    static bool floods(const Client& c);
    static LinkPeer peerOf(const Client& c);
    // Serves the client's first waiting frame, and goes on while its frames
    // are dropped, reading on when they run out. False when the frame
    // waits for the card path.
    bool serveClient(Client& c);
    // One waiting frame of every client that has one, starting after the
    // client that started the pass before. False when frames wait and none
    // could be served (their card requests wait for the card path).
    bool serveInTurn();
    bool anyWaiting() const;
    size_t countWaitingBytes() const;
    // Sends what the queue holds; false when the client has gone.
    bool flush(Client& c);
    // Logs c closed for room, paced, or (null) those not logged yet.
    void logClosedForRoom(const Client* c, const char* why);
    // The clients that have ended and have nothing left waiting and no
    // card request out.
    std::vector<int> finishedClients();
    void closeFinished(const std::vector<int>& fds);
    void closeDropped();
    using ClientMap = std::map<int, std::unique_ptr<Client>>;
    ClientMap::iterator close(ClientMap::iterator it);
    void closeAll();
    bool sendTo(const LinkPeer& peer, const uint8_t* data, size_t n) override;

    LinkSettings settings_;
    int listenFd_ = -1;
    uint64_t nextId_ = 0;       // connections accepted so far
    // Newcomers were left in the system's queue at tick keptOutAt_: no
    // connection could give way to a PC the set does not hold.
    bool keptOut_ = false;
    uint32_t keptOutAt_ = 0;
    int startAfter_ = -1;   // the fd the last pass started with
    // Clients closed for room and not logged yet, and the tick of the last
    // line about them.
    size_t roomUnlogged_ = 0;
    uint32_t roomLoggedAt_ = 0;
    bool roomLogged_ = false;
    std::atomic<size_t> waitingBytes_{0};
    ClientMap clients_;
};

} // namespace kel::protocol
