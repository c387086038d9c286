#pragma once
#include "protocol/FileTable.h"
#include "protocol/Requester.h"

#include "params/MD5.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace kel::protocol {

class ControllerPort;

// The file transfers of the control protocol: one upload or read-out at a
// time, owned by the link and peer that started it. Uploads are held in
// memory, checked against the MD5 the PC tool sends, then written to a
// temporary file and renamed into place; a stored file is read back and
// removed when it differs. Every method returns the answer's status and
// appends the answer data to out.
class FileTransfer {
public:
    using Bytes = std::vector<uint8_t>;

    // Largest block in either direction.
    static constexpr uint32_t kMaxBlock = 1024;
    // A transfer with no request for this long is dropped.
    static constexpr uint32_t kStaleTicks = 3000;

    explicit FileTransfer(ControllerPort& port);

    // Drops a transfer whose owner has been silent for kStaleTicks, so the
    // front panel's update popup does not stay up after a tool went away.
    // The link loops call it on every pass.
    void expireStale();

    uint8_t writeStart(const Requester& who, uint8_t type, const uint8_t* tag, uint32_t size, bool defined, Bytes& out);
    uint8_t writeBlock(const Requester& who, uint32_t offset, const uint8_t* data, uint32_t n, Bytes& out);
    uint8_t writeEnd(const Requester& who, const uint8_t* digest, Bytes& out);
    uint8_t readStart(const Requester& who, uint8_t type, const uint8_t* tag, bool defined, Bytes& out);
    uint8_t readBlock(const Requester& who, uint32_t offset, uint32_t n, Bytes& out);
    uint8_t readEnd(const Requester& who, Bytes& out);
    // Empties the smart-mapping and recovery folders.
    uint8_t deleteAll(Bytes& out);

    bool active() const;

private:
    enum class Dir { None, Up, Down };

    // Runs the announcements queued under lock_ once it is released:
    // announcing must not happen while holding a lock. Declared before the
    // lock guard so that it runs after it.
    class AfterUnlock {
    public:
        explicit AfterUnlock(FileTransfer& t) : t_(t) {}
        ~AfterUnlock() { t_.runDeferred(); }
        AfterUnlock(const AfterUnlock&) = delete;
        AfterUnlock& operator=(const AfterUnlock&) = delete;

    private:
        FileTransfer& t_;
    };

    void runDeferred();

    uint8_t admit(const Requester& who, Dir dir) const;
    // Owner, direction, order and size of one block.
    uint8_t admitBlock(const Requester& who, Dir dir, uint32_t offset, uint32_t n) const;
    bool ownedByOther(const Requester& who) const;
    void begin(const Requester& who, Dir dir, const FileTable::Entry* entry, uint32_t size);
    void finish();
    void beginUpdateFrame();
    void endUpdateFrame();
    bool store(const FileTable::Entry& entry);
    bool verifyStored(const std::string& hostPath) const;
    bool withinJsonBounds() const;
    void installProgram();
    void announceStored(const FileTable::Entry& entry);
    int emptyFolder(const char* logicalDir);

    ControllerPort& port_;
    mutable std::mutex lock_;
    Dir dir_ = Dir::None;
    Requester owner_;
    const FileTable::Entry* entry_ = nullptr;
    uint32_t size_ = 0;
    uint32_t next_ = 0;
    uint32_t lastTicks_ = 0;
    Bytes data_;
    std::vector<std::function<void()>> deferred_;
    // The transfer's own digest: a shared one would mix with any other
    // user's data.
    MD5 md5_;
};

} // namespace kel::protocol
