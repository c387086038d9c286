#pragma once
#include <cstdint>

// The SiI9022A monitor transmitter, reached through its TPI registers at
// 0x76 on the input board's bus.
class SiI9022 {
public:
    static constexpr uint8_t kAddress = 0x76;

    static SiI9022* p_9022;
    static SiI9022* pInstance();

    SiI9022();
    ~SiI9022();
    SiI9022(const SiI9022&) = delete;
    SiI9022& operator=(const SiI9022&) = delete;

    // Probes the transmitter of a monitor (0, or any other value for 1) and
    // keeps register 39 bit 1 or 2; 1 when it answered. It needs only the
    // bus, so the FPGA side's monitor probe works without an object.
    static int check_9022(int monitor);
    void I2C_set_SiI9022(uint32_t h_active, uint32_t v_active, uint32_t refresh);
    // Programs the transmitter; refuses (returns false, nothing written)
    // only a timing that would divide by zero or that a register cannot
    // hold: a refresh of 0 or above 655 (100 x refresh is a 16-bit word), a
    // line total above 16 bits, an active width above 12 bits or height
    // above 11 bits. With the fixed blanking record the frame total (at
    // most 2047 + 83) and the line total (at least 44) need no check.
    bool siHdmiTx_UserDefineSet(uint32_t h_active, uint32_t v_active, uint32_t refresh);
    int SiI9022_ByteWrite(uint8_t reg, uint8_t value);
    void WriteBlockTPI(uint8_t reg, unsigned count, const uint8_t* bytes);
    int I2C_SiI9022A2_Write(uint8_t reg, const uint8_t* buf, unsigned count);

    // The AVI InfoFrame bytes for registers 0x0C..0x19: checksum, DB1..DB13.
    static void aviInfoFrame(uint32_t h_start, uint32_t v_start, uint8_t h_sync, uint8_t v_sync,
                             uint8_t out[14]);

    // The bus descriptor (the board manager's, or one of our own).
    int i2c_fd = -1;

    uint8_t sii_h_sync = 80;
    uint8_t sii_h_back = 60;
    uint8_t sii_v_sync = 43;
    uint8_t sii_v_back = 20;
    uint32_t sii_v_blank = 83;
    uint8_t sii_h_front = 60;  // unused by the programme
    uint8_t sii_v_front = 20;  // unused by the programme

private:
    void SiI9022_para_init();
    int busFd();
};
