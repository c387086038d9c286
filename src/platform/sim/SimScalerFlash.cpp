#include "platform/sim/SimScalerFlash.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace kel::platform::sim {
namespace {
constexpr uint8_t kWriteEnable = 0x06;
constexpr uint8_t kWriteDisable = 0x04;
constexpr uint8_t kReadStatus = 0x05;
constexpr uint8_t kRead = 0x03;
constexpr uint8_t kPageProgram = 0x02;
constexpr uint8_t kErase4k = 0x20;
constexpr uint8_t kErase32k = 0x52;
constexpr uint8_t kErase64k = 0xD8;
} // namespace

SimScalerFlash::SimScalerFlash(uint32_t size) : data_(size, 0xFF) {}

uint32_t SimScalerFlash::address(const std::vector<uint8_t>& tx)
{
    if (tx.size() < 4)
        return 0;
    return (uint32_t(tx[1]) << 16) | (uint32_t(tx[2]) << 8) | tx[3];
}

bool SimScalerFlash::startsWrite(uint8_t op)
{
    if (!wel_) {
        ++counters_.refused;
        return false;
    }
    wel_ = false;
    busyLeft_ = busyPolls_;
    if (op == kPageProgram)
        ++counters_.programs;
    else
        ++counters_.erases;
    return true;
}

std::vector<uint8_t> SimScalerFlash::command(const std::vector<uint8_t>& tx, size_t rxLen)
{
    std::lock_guard<std::mutex> l(lock_);
    std::vector<uint8_t> rx(rxLen, 0xFF);
    if (tx.empty())
        return rx;
    const uint8_t op = tx[0];
    if (op == kReadStatus) {
        const uint8_t status = uint8_t((busyLeft_ > 0 ? kStatusBusy : 0) | (wel_ ? kStatusWel : 0));
        std::fill(rx.begin(), rx.end(), status);
        if (busyLeft_ > 0)
            --busyLeft_;
        return rx;
    }
    if (busyLeft_ > 0) {
        ++counters_.ignoredBusy;
        return rx;
    }
    const uint32_t addr = address(tx);
    switch (op) {
    case kWriteEnable: wel_ = true; break;
    case kWriteDisable: wel_ = false; break;
    case kRead:
        for (size_t i = 0; i < rxLen; ++i)
            rx[i] = data_[(addr + i) % data_.size()];
        break;
    case kPageProgram:
        if (tx.size() >= 4 && startsWrite(op))
            program(addr, tx.data() + 4, tx.size() - 4);
        break;
    case kErase4k:
    case kErase32k:
    case kErase64k:
        if (tx.size() >= 4 && startsWrite(op))
            erase(addr, op == kErase4k ? 0x1000 : op == kErase32k ? 0x8000 : 0x10000);
        break;
    default: break;
    }
    return rx;
}

void SimScalerFlash::erase(uint32_t addr, uint32_t unit)
{
    const uint32_t start = (addr & ~(unit - 1)) % size();
    ops_.push_back({SimFlashOp::Erase, start, unit});
    std::fill_n(data_.begin() + start, std::min(unit, size() - start), uint8_t(0xFF));
}

void SimScalerFlash::program(uint32_t addr, const uint8_t* bytes, size_t len)
{
    ops_.push_back({SimFlashOp::Program, addr, uint32_t(len)});
    // Only the last 256 bytes sent count, and the address wraps at the end
    // of the page, as on the real part.
    if (len > kPageSize) {
        bytes += len - kPageSize;
        len = kPageSize;
    }
    const uint32_t page = (addr % size()) & ~(kPageSize - 1);
    uint32_t offset = addr & (kPageSize - 1);
    for (size_t i = 0; i < len; ++i) {
        data_[page + offset] &= bytes[i];
        offset = (offset + 1) & (kPageSize - 1);
    }
}

std::vector<uint8_t> SimScalerFlash::peek(uint32_t addr, uint32_t len) const
{
    std::lock_guard<std::mutex> l(lock_);
    std::vector<uint8_t> out;
    for (uint32_t i = 0; i < len && addr + i < data_.size(); ++i)
        out.push_back(data_[addr + i]);
    return out;
}

void SimScalerFlash::poke(uint32_t addr, const std::vector<uint8_t>& bytes)
{
    std::lock_guard<std::mutex> l(lock_);
    for (size_t i = 0; i < bytes.size() && addr + i < data_.size(); ++i)
        data_[addr + i] = bytes[i];
}

bool SimScalerFlash::preloadFile(const std::string& hostPath, uint32_t addr)
{
    struct stat st;
    if (::stat(hostPath.c_str(), &st) != 0)
        return false;
    if (!S_ISREG(st.st_mode)) {
        // Reading a folder throws from the stream; the image is set aside
        // and an empty one (an erased flash) takes its place.
        const std::string aside = hostPath + ".bad";
        const bool moved = std::rename(hostPath.c_str(), aside.c_str()) == 0;
        const bool created = moved && std::ofstream(hostPath, std::ios::binary).good();
        std::fprintf(stderr, "scaler flash image %s is not a file: %s\n", hostPath.c_str(),
                     created ? ("moved to " + aside + ", an empty image created").c_str() : "ignored");
        return false;
    }
    std::ifstream in(hostPath, std::ios::binary);
    if (!in)
        return false;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    poke(addr, bytes);
    return true;
}

void SimScalerFlash::setBusyPolls(int polls)
{
    std::lock_guard<std::mutex> l(lock_);
    busyPolls_ = std::max(0, polls);
}

bool SimScalerFlash::busy() const
{
    std::lock_guard<std::mutex> l(lock_);
    return busyLeft_ > 0;
}

std::vector<SimFlashOp> SimScalerFlash::ops() const
{
    std::lock_guard<std::mutex> l(lock_);
    return ops_;
}

void SimScalerFlash::clearOps()
{
    std::lock_guard<std::mutex> l(lock_);
    ops_.clear();
}

SimScalerFlash::Counters SimScalerFlash::counters() const
{
    std::lock_guard<std::mutex> l(lock_);
    return counters_;
}

} // namespace kel::platform::sim
