#pragma once
#include <cstdint>

namespace kel::platform {

// The SoC's register window: /dev/msys + /dev/mem mapped at a physical base,
// reached as 16-bit words at byte offsets.
class RegisterWindow {
public:
    static constexpr uint32_t kPhysBase = 0x1F000000u;
    static constexpr uint32_t kMapSize = 0x2B0000u;

    // The steps of open(), in order; failedStep() names the one that failed.
    enum class OpenStep { None, OpenMsys, OpenMem, Request, Map };

    virtual ~RegisterWindow() = default;
    // Opens "/dev/mem" and maps kMapSize bytes at kPhysBase; false when the
    // device refuses.
    virtual bool open() = 0;
    // Asks the memory-system driver ("/dev/msys", request 0x5315) where the
    // window lies and maps what it returns; false when any step fails.
    virtual bool openMemorySystem() { return open(); }
    // Bytes mapped (0 when closed).
    virtual uint32_t size() const { return isOpen() ? kMapSize : 0; }
    virtual bool isOpen() const = 0;
    virtual OpenStep failedStep() const { return OpenStep::None; }
    virtual void close() = 0;
    virtual uint16_t read16(uint32_t offset) = 0;
    virtual void write16(uint32_t offset, uint16_t value) = 0;
    // Opens "/dev/mem" alone and maps kMapSize bytes at kPhysBase, without
    // asking the memory-system driver (the chip's unique-id read at start).
    virtual bool openPhysical() { return open(); }
};

} // namespace kel::platform
