#include "protocol/FileTransfer.h"

#include "protocol/ControllerPort.h"
#include "protocol/ElfCheck.h"
#include "protocol/PanelCalls.h"
#include "protocol/PhyFrame.h"
#include "protocol/PortLock.h"
#include "protocol/ProtocolCodes.h"
#include "params/JsonFile.h"
#include "params/ProgramInstall.h"
#include "params/SyncReason.h"
#include "platform/AtomicFile.h"
#include "platform/Board.h"
#include "platform/PathMap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace kel::protocol {

using platform::PathMap;

FileTransfer::FileTransfer(ControllerPort& port)
    : port_(port)
{
}

bool FileTransfer::active() const
{
    std::lock_guard<std::mutex> l(lock_);
    return dir_ != Dir::None;
}

bool FileTransfer::ownedByOther(const Requester& who) const
{
    if (dir_ == Dir::None || owner_ == who)
        return false;
    return port_.ticks() - lastTicks_ < kStaleTicks;
}

uint8_t FileTransfer::admit(const Requester& who, Dir dir) const
{
    if (ownedByOther(who))
        return ST_BUSY;
    if (dir_ != dir || owner_ != who)
        return ST_SEQUENCE;
    return ST_OK;
}

void FileTransfer::expireStale()
{
    AfterUnlock after(*this);
    std::lock_guard<std::mutex> l(lock_);
    if (dir_ != Dir::None && port_.ticks() - lastTicks_ >= kStaleTicks)
        finish();
}

void FileTransfer::runDeferred()
{
    std::vector<std::function<void()>> actions;
    {
        std::lock_guard<std::mutex> l(lock_);
        actions.swap(deferred_);
    }
    for (const auto& a : actions)
        a();
}

uint8_t FileTransfer::admitBlock(const Requester& who, Dir dir, uint32_t offset, uint32_t n) const
{
    const uint8_t st = admit(who, dir);
    if (st != ST_OK)
        return st;
    if (offset != next_)
        return ST_SEQUENCE;
    if (n == 0 || n > kMaxBlock || n > size_ - next_)
        return ST_BAD_RANGE;
    return ST_OK;
}

void FileTransfer::begin(const Requester& who, Dir dir, const FileTable::Entry* entry, uint32_t size)
{
    dir_ = dir;
    owner_ = who;
    entry_ = entry;
    size_ = size;
    next_ = 0;
    data_.clear();
    lastTicks_ = port_.ticks();
    md5_.reset();
    beginUpdateFrame();
}

void FileTransfer::finish()
{
    dir_ = Dir::None;
    owner_ = Requester{};
    entry_ = nullptr;
    data_.clear();
    data_.shrink_to_fit();
    endUpdateFrame();
}

void FileTransfer::beginUpdateFrame()
{
    if (port_.updateFlag() != 0)
        return;
    PanelCalls::post(PanelCalls::Event::UpdateStart);
    port_.setUpdateFlag(1);
    deferred_.push_back([this] { port_.announce(SYNC_UPDATE_START); });
}

void FileTransfer::endUpdateFrame()
{
    if (port_.updateFlag() != 1)
        return;
    // The flag stays set until the announcements of the end have gone out.
    deferred_.push_back([this] {
        PanelCalls::post(PanelCalls::Event::UpdateOver);
        port_.setUpdateFlag(0);
        port_.announce(SYNC_UPDATE_OVER);
    });
}

uint8_t FileTransfer::writeStart(const Requester& who, uint8_t type, const uint8_t* tag, uint32_t size, bool defined,
                                 Bytes& out)
{
    AfterUnlock after(*this);
    std::lock_guard<std::mutex> l(lock_);
    if (ownedByOther(who))
        return ST_BUSY;
    const FileTable::Entry* entry = FileTable::find(type, tag, defined);
    if (!entry)
        return ST_BAD_VALUE;
    if (size == 0 || size > FileTable::kMaxFileSize)
        return ST_BAD_RANGE;
    if (entry->kind == FileTable::Kind::Config && size > JsonFile::kMaxBytes)
        return ST_BAD_RANGE;
    begin(who, Dir::Up, entry, size);
    data_.reserve(size);
    out.push_back(type);
    out.insert(out.end(), tag, tag + 4);
    PhyFrame::appendU32(out, size);
    return ST_OK;
}

uint8_t FileTransfer::writeBlock(const Requester& who, uint32_t offset, const uint8_t* data, uint32_t n, Bytes& out)
{
    AfterUnlock after(*this);
    std::lock_guard<std::mutex> l(lock_);
    const uint8_t st = admitBlock(who, Dir::Up, offset, n);
    if (st != ST_OK)
        return st;
    data_.insert(data_.end(), data, data + n);
    md5_.update(data, n);
    next_ += n;
    lastTicks_ = port_.ticks();
    PhyFrame::appendU32(out, next_);
    return ST_OK;
}

uint8_t FileTransfer::writeEnd(const Requester& who, const uint8_t* digest, Bytes& out)
{
    AfterUnlock after(*this);
    std::lock_guard<std::mutex> l(lock_);
    uint8_t st = admit(who, Dir::Up);
    if (st != ST_OK)
        return st;
    const FileTable::Entry entry = *entry_;
    const uint8_t* mine = md5_.digest();
    if (next_ != size_)
        st = ST_SEQUENCE;
    else if (std::memcmp(mine, digest, 16) != 0)
        st = ST_MD5;
    else if (entry.kind == FileTable::Kind::Program && !ElfCheck::runsHere(data_.data(), data_.size()))
        st = ST_BAD_VALUE;  // not a program: the installed one stays and nothing restarts
    else if (entry.kind == FileTable::Kind::Config && !withinJsonBounds())
        st = ST_BAD_VALUE;
    else if (!store(entry))
        st = ST_FILE;
    out.insert(out.end(), mine, mine + 16);
    if (st == ST_OK)
        announceStored(entry);
    finish();
    if (st == ST_OK && entry.kind == FileTable::Kind::Program)
        installProgram();
    return st;
}

// The JSON files are parsed by the panel and the scaler manager: a file
// nested too deeply would be stored only to be set aside at its first read.
bool FileTransfer::withinJsonBounds() const
{
    return JsonFile::check(std::string(data_.begin(), data_.end())) == JsonFile::Bounds::Fits;
}

bool FileTransfer::store(const FileTable::Entry& entry)
{
    const std::string host = PathMap::hostForWrite(std::string(entry.path));
    if (host.empty())
        return false;
    FileLock files(port_);
    QDir().mkpath(QFileInfo(QString::fromStdString(host)).absolutePath());
    if (!platform::AtomicFile::replaceHost(host, data_.data(), data_.size()))
        return false;
    if (!verifyStored(host)) {
        ::unlink(host.c_str());
        return false;
    }
    return true;
}

bool FileTransfer::verifyStored(const std::string& hostPath) const
{
    FILE* f = std::fopen(hostPath.c_str(), "rb");
    if (!f)
        return false;
    uint8_t piece[1024];
    size_t at = 0;
    bool same = true;
    while (same) {
        const size_t got = std::fread(piece, 1, sizeof piece, f);
        if (got == 0)
            break;
        same = at + got <= data_.size() && std::memcmp(piece, data_.data() + at, got) == 0;
        at += got;
    }
    std::fclose(f);
    return same && at == data_.size();
}

void FileTransfer::announceStored(const FileTable::Entry& entry)
{
    switch (entry.kind) {
    case FileTable::Kind::Recovery:
        PanelCalls::post(PanelCalls::Event::RecoveryFileStored);
        break;
    case FileTable::Kind::Smart:
        PanelCalls::post(PanelCalls::Event::SmartFileStored);
        break;
    case FileTable::Kind::Config:
        PanelCalls::post(PanelCalls::Event::ConfigFileStored);
        break;
    case FileTable::Kind::Program:
        break;
    }
    deferred_.push_back([this] { port_.announce(SYNC_FILE_END); });
}

// Same route as the USB upgrade: the new program replaces the running one,
// the start entry is written when missing, and the device restarts.
void FileTransfer::installProgram()
{
    if (port_.rebootPending())
        return;
    ProgramInstall::run(!port_.startEntryPresent());
    port_.requestReboot();
}

uint8_t FileTransfer::readStart(const Requester& who, uint8_t type, const uint8_t* tag, bool defined, Bytes& out)
{
    AfterUnlock after(*this);
    std::lock_guard<std::mutex> l(lock_);
    if (ownedByOther(who))
        return ST_BUSY;
    const FileTable::Entry* entry = FileTable::find(type, tag, defined);
    if (!entry || !entry->readable)
        return ST_BAD_VALUE;
    QByteArray content;
    {
        FileLock files(port_);
        QFile f(PathMap::host(QString(entry->path)));
        if (!f.open(QIODevice::ReadOnly) || f.size() > qint64(FileTable::kMaxFileSize))
            return ST_FILE;
        content = f.readAll();
    }
    begin(who, Dir::Down, entry, uint32_t(content.size()));
    data_.assign(content.constData(), content.constData() + content.size());
    out.push_back(type);
    out.insert(out.end(), tag, tag + 4);
    PhyFrame::appendU32(out, size_);
    return ST_OK;
}

uint8_t FileTransfer::readBlock(const Requester& who, uint32_t offset, uint32_t n, Bytes& out)
{
    AfterUnlock after(*this);
    std::lock_guard<std::mutex> l(lock_);
    const uint8_t st = admitBlock(who, Dir::Down, offset, n);
    if (st != ST_OK)
        return st;
    const uint8_t* p = data_.data() + offset;
    md5_.update(p, n);
    next_ += n;
    lastTicks_ = port_.ticks();
    PhyFrame::appendU32(out, offset);
    PhyFrame::appendU16(out, uint16_t(n));
    out.insert(out.end(), p, p + n);
    return ST_OK;
}

uint8_t FileTransfer::readEnd(const Requester& who, Bytes& out)
{
    AfterUnlock after(*this);
    std::lock_guard<std::mutex> l(lock_);
    uint8_t st = admit(who, Dir::Down);
    if (st != ST_OK)
        return st;
    if (next_ != size_)
        st = ST_SEQUENCE;
    const uint8_t* digest = md5_.digest();
    out.insert(out.end(), digest, digest + 16);
    finish();
    return st;
}

int FileTransfer::emptyFolder(const char* logicalDir)
{
    QDir dir(PathMap::host(QString(logicalDir)));
    int removed = 0;
    const QFileInfoList entries = dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& e : entries) {
        const bool ok = e.isDir() && !e.isSymLink() ? QDir(e.absoluteFilePath()).removeRecursively()
                                                    : QFile::remove(e.absoluteFilePath());
        removed += ok ? 1 : 0;
    }
    return removed;
}

uint8_t FileTransfer::deleteAll(Bytes& out)
{
    int smart = 0;
    int recovery = 0;
    {
        FileLock files(port_);
        smart = emptyFolder(FileTable::kSmartDir);
        recovery = emptyFolder(FileTable::kRecoveryDir);
    }
    if (smart > 0) {
        port_.clearSmartFiles();
        PanelCalls::post(PanelCalls::Event::SmartFilesDeleted);
    }
    if (recovery > 0) {
        port_.clearRecoveryFiles();
        PanelCalls::post(PanelCalls::Event::RecoveryFilesDeleted);
    }
    PhyFrame::appendU16(out, uint16_t(smart));
    PhyFrame::appendU16(out, uint16_t(recovery));
    return ST_OK;
}

} // namespace kel::protocol
