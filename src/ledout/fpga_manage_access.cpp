// Register and RAM access of the FPGAs, and the images kept beside them.
#include "ledout/fpga_manage.h"

#include "params/ApplyGate.h"
#include "params/DebugPrint.h"
#include "params/KelRamPara.h"
#include "params/Utils.h"
#include "params/global.h"
#include "platform/LogLine.h"

#include <QMutexLocker>
#include <QString>

#include <algorithm>
#include <vector>

namespace {

constexpr uint8_t kTypeRam = 1;
constexpr uint8_t kTypeReg = 2;
constexpr uint8_t kRegLast = 170;
constexpr uint8_t kImageOnlyFirst = 64;
constexpr uint8_t kImageOnlyLast = 96;
constexpr uint8_t kIgnoredLast = 127;
constexpr size_t kLedXOffset = 1382;   // RamBlock u16: screen offset of the LED output
constexpr size_t kLedYOffset = 1384;

// Parameter RAM address of each port's x (y, width, height follow).
constexpr uint16_t kPortX[16] = {8, 19, 32, 43, 520, 528, 536, 544, 576, 584, 592, 600, 608, 616, 624, 632};

uint8_t fpgaIndex(uint8_t fpga) { return fpga ? 1 : 0; }

uint8_t bcd(uint8_t v) { return uint8_t((v >> 4) * 10 + (v & 0x0F)); }

} // namespace

// ---- RamBlock and the change broadcast ----

uint16_t fpga_manage::block_u16(size_t offset) { return KelRamPara::pInstance()->blockU16(offset); }

// Written under the scaler's parameter lock like every other writer of the
// block outside the GUI thread, so the persistence pass copies whole values.
void fpga_manage::set_block_u16(size_t offset, uint16_t value)
{
    KelRamPara* store = KelRamPara::pInstance();
    pthread_mutex_t& para = ApplyGate::instance().c331_para_mutex;
    pthread_mutex_lock(&para);
    store->setBlockU16(offset, value);
    pthread_mutex_unlock(&para);
}

void fpga_manage::announce(int reason) { KelRamPara::pInstance()->test_signal(reason); }

// ---- command words ----

uint32_t fpga_manage::fpga_reg_cmd_to_spi_data(uint8_t type, uint8_t bank, uint8_t reg, uint8_t read, uint8_t data)
{
    const uint32_t mask = read ? 0 : data;
    return (read & 1u) | ((type & 0x0Fu) << 1) | (uint32_t(bank) << 8) | (uint32_t(reg) << 16) | (mask << 24);
}

uint32_t fpga_manage::fpga_cmd_to_spi_data(uint8_t type, uint8_t buffer, uint32_t address, uint8_t read)
{
    return (read & 1u) | ((type & 0x0Fu) << 1) | (uint32_t(buffer) << 8) | ((address & 0xFFu) << 16) |
           (((address >> 8) & 0x0Fu) << 24);
}

// One SPI exchange with its select and strobe sequence. Read data start as
// 0xFF, so a failed transfer leaves a known value. 0 done, -1 failed.
int fpga_manage::transaction(uint8_t fpga, uint32_t word, uint8_t* readInto, const uint8_t* writeFrom,
                             uint32_t length)
{
    const bool first = fpgaIndex(fpga) == 0;
    GpioWord& cmd = first ? gpio.gpio_fpga0_cmd : gpio.gpio_fpga1_cmd;
    GpioWord& cs = first ? gpio.gpio_fpga0_cs : gpio.gpio_fpga1_cs;
    GpioWord& other = first ? gpio.gpio_fpga1_cs : gpio.gpio_fpga0_cs;
    const int fd = first ? spi_fd_fpga0 : spi_fd_fpga1;
    if (readInto)
        std::fill(readInto, readInto + length, 0xFF);
    QMutexLocker lock(&Utils::_spi_mutex);
    cmd.high();
    cs.low();
    other.high();
    const uint8_t w[4] = {uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16), uint8_t(word >> 24)};
    bool ok = drv->SPI_Transfer_Write(fd, w, 4) > 0;
    cmd.low();
    if (ok && length > 0) {
        if (readInto) {
            std::vector<uint8_t> ones(length, 0xFF);
            ok = drv->SPI_Transfer(fd, ones.data(), readInto, int(length)) > 0;
        } else {
            ok = drv->SPI_Transfer_Write(fd, writeFrom, int(length)) > 0;
        }
    }
    cs.high();
    other.high();
    return ok ? 0 : -1;
}

int fpga_manage::read_fpga_register(uint32_t reg, uint8_t* value, uint8_t fpga)
{
    return transaction(fpga, fpga_reg_cmd_to_spi_data(kTypeReg, 0, uint8_t(reg), 1, 0), value, nullptr, 1);
}

int fpga_manage::write_fpga_register(uint32_t reg, uint8_t value, uint8_t fpga, uint8_t mask)
{
    return transaction(fpga, fpga_reg_cmd_to_spi_data(kTypeReg, 0, uint8_t(reg), 0, mask), nullptr, &value, 1);
}

int fpga_manage::write_fpga_ram(const uint8_t* data, uint32_t address, uint32_t length, uint8_t buffer, uint8_t fpga)
{
    return transaction(fpga, fpga_cmd_to_spi_data(kTypeRam, buffer, address & 0xFFF, 0), nullptr, data, length);
}

int fpga_manage::read_fpga_ram(uint8_t* out, uint32_t address, uint32_t length, uint8_t buffer, uint8_t fpga)
{
    return transaction(fpga, fpga_cmd_to_spi_data(kTypeRam, buffer, address & 0xFFF, 1), out, nullptr, length);
}

void fpga_manage::write_LCD_register(uint32_t command, const uint8_t* data, uint8_t fpga, uint8_t count)
{
    const int fd = fpgaIndex(fpga) ? spi_fd_fpga1 : spi_fd_fpga0;
    QMutexLocker lock(&Utils::_spi_mutex);
    const uint8_t c = uint8_t(command);
    drv->SPI_Transfer_Write(fd, &c, 1);
    for (uint8_t i = 0; i < count; ++i)
        drv->SPI_Transfer_Write(fd, data + i, 1);
}

// ---- register image ----

uint8_t fpga_manage::reg_image(uint8_t reg, uint8_t fpga)
{
    std::lock_guard<std::mutex> l(reg_image_mutex);
    return reg < kRegImageSize ? reg_images[fpgaIndex(fpga)][reg] : 0;
}

void fpga_manage::read_from_register(uint8_t reg, uint8_t fpga)
{
    if (reg > kRegLast || (reg >= kImageOnlyFirst && reg <= kIgnoredLast))
        return;
    uint8_t v = 0xFF;
    read_fpga_register(reg, &v, fpga);
    std::lock_guard<std::mutex> l(reg_image_mutex);
    reg_images[fpgaIndex(fpga)][reg] = v;
}

uint8_t fpga_manage::merge_image(uint8_t reg, uint8_t mask, uint8_t value, uint8_t fpga)
{
    std::lock_guard<std::mutex> l(reg_image_mutex);
    uint8_t& byte = reg_images[fpgaIndex(fpga)][reg];
    byte = uint8_t((byte & ~mask) | (value & mask));
    return byte;
}

// Register 0 bit 2 is the LED screen switch; the protocol's flag bit 1 can
// hold the screen off whatever is asked.
void fpga_manage::screen_register0(uint8_t& v, uint8_t mask, bool announceSwitch, uint8_t fpga)
{
    const bool follow = announceSwitch && mask == 4 && g_set_led_para == 0;
    if (v & 0x04) {
        ScreenState = 0;
        if (follow) {
            set_block_u16(RamLayout::kLedScreenSwitch, 1);
            announce(SYNC_PARA);
        }
    } else {
        ScreenState = 1;
        if (fpga_ctrl_flags & 0x02) {
            std::lock_guard<std::mutex> l(reg_image_mutex);
            reg_images[fpgaIndex(fpga)][0] |= 0x04;
            v = reg_images[fpgaIndex(fpga)][0];
            ScreenState = 0;
        }
        if (follow) {
            set_block_u16(RamLayout::kLedScreenSwitch, 0);
            announce(SYNC_PARA);
        }
    }
    std::lock_guard<std::mutex> l(reg_image_mutex);
    MCU_RAM_EXTEND[29] = ScreenState;
}

// Masked write through the image. The full form (host) also serves the
// host's register 2 request and follows the screen switch in RamBlock.
void fpga_manage::write_through_image(uint8_t reg, uint8_t mask, uint8_t value, uint8_t fpga, bool host)
{
    if (reg > kRegLast || (reg > kImageOnlyLast && reg <= kIgnoredLast))
        return;
    if (reg >= kImageOnlyFirst && reg <= kImageOnlyLast) {
        merge_image(reg, mask, value, fpga);
        return;
    }
    read_from_register(reg, fpga);
    uint8_t v = merge_image(reg, mask, value, fpga);
    if (host && reg == FPGA_REG_LOAD) {
        if (v & 0x04) {
            v &= ~0x04;
            Dealwith_mcu_ram();
        }
        v &= ~0x02;
    }
    if (reg == FPGA_REG_CTRL)
        screen_register0(v, mask, host, fpga);
    write_fpga_register(reg, v, fpga, mask);
}

void fpga_manage::write_to_register(uint8_t reg, uint8_t mask, uint8_t value, uint8_t fpga)
{
    write_through_image(reg, mask, value, fpga, true);
}

void fpga_manage::write_to_0x00_register(uint8_t reg, uint8_t mask, uint8_t value, uint8_t fpga)
{
    write_through_image(reg, mask, value, fpga, false);
}

void fpga_manage::set_bit(uint8_t reg, uint8_t bit, bool on, uint8_t f)
{
    const uint8_t m = uint8_t(1u << bit);
    write_to_register(reg, m, on ? m : 0, f);
}

// ---- parameter RAM image ----

uint16_t fpga_manage::para_u16(uint8_t f, uint32_t addr) const
{
    const uint8_t* p = ram_para_image[fpgaIndex(f)];
    return uint16_t(p[addr] | (p[addr + 1] << 8));
}

void fpga_manage::set_para_u16(uint8_t f, uint32_t addr, uint16_t v)
{
    uint8_t* p = ram_para_image[fpgaIndex(f)];
    p[addr] = uint8_t(v);
    p[addr + 1] = uint8_t(v >> 8);
}

int fpga_manage::get_eth_param_addr(uint8_t port, uint16_t* x, uint16_t* y, uint16_t* w, uint16_t* h)
{
    const uint16_t base = kPortX[port < 16 ? port : 0];
    *x = base;
    *y = uint16_t(base + 2);
    *w = uint16_t(base + 4);
    *h = uint16_t(base + 6);
    return 0;
}

void fpga_manage::update_eth_state(uint8_t fpga)
{
    const uint8_t f = fpgaIndex(fpga);
    read_from_register(FPGA_REG_LINK, f);
    read_from_register(FPGA_REG_LINK_HIGH, f);
    const uint8_t r128 = reg_image(FPGA_REG_LINK, f);
    const uint8_t r144 = reg_image(FPGA_REG_LINK_HIGH, f);
    uint8_t* p = ram_para_image[f];
    const std::pair<uint16_t, uint8_t> links[] = {
        {96, uint8_t((p[96] & ~0x1B) | (r128 & 0x03) | (((r128 >> 2) & 0x03) << 3))},
        {512, uint8_t((p[512] & 0xF0) | (r128 >> 4))},
        {513, r144},
    };
    for (const auto& [addr, value] : links) {
        if (p[addr] != value) {
            p[addr] = value;
            write_fpga_ram(&p[addr], addr, 1, kParaBuffer, f);
        }
    }
    const uint16_t mask = uint16_t(r128 | (r144 << 8));
    for (int port = 0; port < 16; ++port) {
        if (mask & (1u << port))
            continue;
        const uint16_t count = port_count_addr(port), status = port_status_addr(port);
        set_para_u16(f, count, 0);
        p[status] = 0;
        write_fpga_ram(&p[count], count, 2, kParaBuffer, f);
        write_fpga_ram(&p[status], status, 1, kParaBuffer, f);
    }
}

uint8_t fpga_manage::check_fpga_ram_param(uint8_t fpga)
{
    const uint8_t f = fpgaIndex(fpga);
    std::vector<uint16_t> addrs;
    for (uint8_t port = 0; port < 16; ++port)
        for (int field = 0; field < 4; ++field)
            addrs.push_back(uint16_t(kPortX[port] + 2 * field));
    for (uint16_t a = 296; a < 360; a += 2)
        addrs.push_back(a);
    for (uint16_t a : addrs) {
        uint8_t got[2];
        read_fpga_ram(got, a, 2, kParaBuffer, f);
        if (got[0] != ram_para_image[f][a] || got[1] != ram_para_image[f][a + 1])
            return 0;
    }
    return 1;
}

void fpga_manage::eth_param_init(uint8_t mode, uint8_t fpga)
{
    if (mode != 1)
        return;
    for (uint16_t base : kPortX) {
        set_para_u16(fpga, base, 0);
        set_para_u16(fpga, base + 2, 0);
        set_para_u16(fpga, base + 4, 1280);
        set_para_u16(fpga, base + 6, 512);
    }
}

int fpga_manage::get_eth_min_x_y(uint8_t fpga, uint16_t* x, uint16_t* y)
{
    *x = *y = 0xFFFF;
    for (uint16_t base : kPortX) {
        *x = std::min(*x, para_u16(fpga, base));
        *y = std::min(*y, para_u16(fpga, base + 2));
    }
    return 0;
}

int fpga_manage::get_eth_max_border(uint8_t fpga, uint16_t* right, uint16_t* bottom)
{
    *right = *bottom = 0;
    for (uint16_t base : kPortX) {
        *right = std::max(*right, uint16_t(para_u16(fpga, base) + para_u16(fpga, base + 4)));
        *bottom = std::max(*bottom, uint16_t(para_u16(fpga, base + 2) + para_u16(fpga, base + 6)));
    }
    return 0;
}

int fpga_manage::get_eth_lcd_x_y(uint8_t fpga, uint16_t* x, uint16_t* y)
{
    *x = para_u16(fpga, 56);
    *y = para_u16(fpga, 58);
    return 0;
}

int fpga_manage::get_eth_lcd_w_h(uint8_t fpga, uint16_t* w, uint16_t* h)
{
    *w = para_u16(fpga, 60);
    *h = para_u16(fpga, 62);
    return 0;
}

void fpga_manage::T57_back_mcu_set_net_para(uint8_t fpga)
{
    const uint8_t f = fpgaIndex(fpga);
    uint8_t* back = eth_back_image[f];
    const uint8_t* p = ram_para_image[f];
    std::copy(p + 60, p + 64, back);
    for (int k = 0; k < 16; ++k)
        std::copy(p + kPortX[k], p + kPortX[k] + 8, back + 4 + 8 * k);
    std::copy(p + 56, p + 60, back + 132);
}

void fpga_manage::T57_mcu_set_net_para(uint8_t fpga)
{
    const uint8_t f = fpgaIndex(fpga);
    const uint8_t* back = eth_back_image[f];
    auto backU16 = [back](int at) { return uint16_t(back[at] | (back[at + 1] << 8)); };
    const uint16_t xoff = block_u16(kLedXOffset), yoff = block_u16(kLedYOffset);
    set_para_u16(f, 60, uint16_t((xoff + 31 + backU16(0)) & 0xFFE0));
    set_para_u16(f, 62, uint16_t(backU16(2) + yoff));
    for (int k = 0; k < 16; ++k) {
        set_para_u16(f, kPortX[k], uint16_t(backU16(4 + 8 * k) + xoff));
        set_para_u16(f, kPortX[k] + 2, uint16_t(backU16(6 + 8 * k) + yoff));
    }
}

// ---- host command RAM ----

void fpga_manage::Version_to_RAM()
{
    const uint8_t version[4] = {1, 17, 0, 0};
    std::copy(version, version + 4, MCU_RAM_CMD + 24);
}

void fpga_manage::PHY_status_to_RAM() { std::fill(MCU_RAM_CMD + 30, MCU_RAM_CMD + 34, 0); }

void fpga_manage::FPGA_to_RAM(uint8_t fpga)
{
    for (uint8_t r = FPGA_REG_VERSION; r <= FPGA_REG_VERSION_MAIN; ++r) {
        read_from_register(r, fpga);
        MCU_RAM_CMD[12 + r - FPGA_REG_VERSION] = reg_image(r, fpga);
    }
}

void fpga_manage::Checktime()
{
    const uint8_t* c = MCU_RAM_CMD;
    const int year = bcd(c[9]) * 100 + bcd(c[8]);
    const QString date = QString("%1-%2-%3").arg(year).arg(bcd(c[10])).arg(bcd(c[11]));
    const QString time = QString("%1:%2:%3").arg(bcd(c[12])).arg(bcd(c[13])).arg(bcd(c[14]));
    Utils::system_mutex(QString("date \"%1 %2\";hwclock -wu").arg(date, time));
    record_clock_change();
}

// Stores MCU_RAM_CMD bytes 0..n+7 as the record of a flash sector. The
// length comes from the host: a record that does not fit the image is
// refused, so nothing beyond the image is read or the sector overrun.
void fpga_manage::store_cmd_record(uint32_t sector, uint16_t n)
{
    const uint32_t len = uint32_t(n) + 8;
    if (len > kRamImageSize) {
        kelDebug("\n host record of %u bytes refused\n", len);
        kel::platform::LogLine::error("host record of %u bytes too long, not stored\n", len);
        return;
    }
    std::vector<uint8_t> buf(4 + len);
    std::copy(MCU_RAM_CMD, MCU_RAM_CMD + len, buf.begin() + 4);
    if (drv->FPGA_SPI_FLASH_VBYONE_ERASE(2, sector, 0, 1))
        drv->FPGA_SPI_FLASH_VBYONE_WRITE(2, sector * fpga_drv::kSectorSize, buf.data(), len);
}

void fpga_manage::erase_cmd_record(uint32_t sector) { drv->FPGA_SPI_FLASH_VBYONE_ERASE(2, sector, 0, 1); }

void fpga_manage::Dealwith_mcu_ram()
{
    const uint8_t* c = MCU_RAM_CMD;
    if (c[0] != 0xAA)
        return;
    const uint16_t n = uint16_t(c[6] | (c[7] << 8));
    const uint8_t store = c[2];
    switch (c[1]) {
    case 1:
        Checktime();
        break;
    case 2:
        OnOff_time();
        if (store == 0xAA) {
            store_cmd_record(kOnOffSector, n);
            merge_image(FPGA_REG_ONOFF, 0xFF, 1, 0);
        } else if (store == 0x55) {
            erase_cmd_record(kOnOffSector);
            merge_image(FPGA_REG_ONOFF, 0xFF, 0, 0);
        }
        break;
    case 3: {
        const uint8_t mode = c[8] & ~0x10;
        if (mode != 0) {
            if (store == 0xAA)
                store_cmd_record(kBrightSector, n);
            else if (store == 0x55)
                erase_cmd_record(kBrightSector);
            bright_record_stored(false);
        } else {
            {
                std::lock_guard<std::mutex> l(sched_mutex);
                merge_image(FPGA_REG_BRIGHT, 0xFF, c[9], 0);
                g_change.bright_level = c[9];
            }
            Brightness_hand_dealwith(0);
            if (store == 0xAA) {
                store_cmd_record(kBrightSector, n);
                bright_record_stored(true);
            }
        }
        break;
    }
    default:
        break;
    }
}
