#include "platform/sim/SimScaler.h"

#include "platform/PathMap.h"
#include "platform/sim/SimBoard.h"
#include "platform/sim/SimSpiBus.h"

#include <QJsonArray>

#include <map>

namespace kel::platform::sim {
namespace {
constexpr uint8_t kCmdWrite = 0x02;
constexpr uint8_t kCmdRead = 0x03;
constexpr size_t kWriteLogLimit = 400000;

struct Field { const char* name; int reg; };

// The picture and panel registers as they appear in state.json.
constexpr Field kPictureFields[] = {
    {"contrast", SimScaler::PicContrast}, {"sharpness", SimScaler::PicSharpness},
    {"saturation", SimScaler::PicSaturation}, {"brightness", SimScaler::PicBrightness},
    {"gain_r", SimScaler::PicGainR}, {"gain_g", SimScaler::PicGainG},
    {"gain_b", SimScaler::PicGainB}, {"pattern", SimScaler::PicPattern},
};
constexpr Field kWindowFields[] = {
    {"enable", SimScaler::WinEnable}, {"source", SimScaler::WinSource},
    {"crop_x", SimScaler::WinCrop}, {"crop_y", SimScaler::WinCrop + 1},
    {"crop_w", SimScaler::WinCrop + 2}, {"crop_h", SimScaler::WinCrop + 3},
    {"x", SimScaler::WinPos}, {"y", SimScaler::WinPos + 1}, {"w", SimScaler::WinPos + 2},
    {"h", SimScaler::WinPos + 3}, {"mirror", SimScaler::WinMirror}, {"flags", SimScaler::WinFlags},
    {"p2p", SimScaler::WinP2p}, {"p2p_mode", SimScaler::WinP2pMode},
    {"fade_in", SimScaler::WinFadeIn}, {"fade_out", SimScaler::WinFadeOut},
};
constexpr Field kInputFields[] = {
    {"hact", 0}, {"vact", 1}, {"htotal", 2}, {"vtotal", 3}, {"pclk_10khz", 4}, {"flags", 5},
};
constexpr Field kOutputFields[] = {
    {"panel_w", SimScaler::OutPanelW}, {"panel_h", SimScaler::OutPanelH}, {"splice", SimScaler::OutSplice},
    {"och0_x", SimScaler::OutCh0}, {"och0_y", SimScaler::OutCh0 + 1}, {"och0_w", SimScaler::OutCh0 + 2},
    {"och0_h", SimScaler::OutCh0 + 3}, {"och1_x", SimScaler::OutCh1}, {"och1_y", SimScaler::OutCh1 + 1},
    {"och1_w", SimScaler::OutCh1 + 2}, {"och1_h", SimScaler::OutCh1 + 3},
};

std::mutex g_installedLock;
std::map<const SimBoard*, SimScaler*> g_installed;

template <size_t N>
QJsonObject fieldsJson(const Field (&fields)[N], const std::array<uint16_t, 256>& regs, int base = 0)
{
    QJsonObject o;
    for (const Field& f : fields)
        o.insert(f.name, regs[size_t(base + f.reg) & 0xFF]);
    return o;
}
} // namespace

SimScaler::SimScaler() : text_(kTextChars, 0) {}

SimScaler& SimScaler::install(SimBoard& board)
{
    SimScaler& chip = board.own<SimScaler>();
    chip.flash().preloadFile(PathMap::host(std::string("/sim/scaler_flash.bin")));
    board.spi().attach(kDevPath, &chip);
    board.addStateWriter("scaler", [&chip] { return chip.state(); });
    std::lock_guard<std::mutex> l(g_installedLock);
    g_installed[&board] = &chip;
    return chip;
}

SimScaler* SimScaler::on(SimBoard& board)
{
    std::lock_guard<std::mutex> l(g_installedLock);
    auto it = g_installed.find(&board);
    return it == g_installed.end() ? nullptr : it->second;
}

void SimScaler::transfer(const uint8_t* tx, uint8_t* rx, size_t len)
{
    std::function<void()> probe;
    {
        std::lock_guard<std::mutex> l(lock_);
        probe = probe_;
    }
    if (probe)
        probe();
    if (len < 2)
        return;
    std::lock_guard<std::mutex> l(lock_);
    int reg = tx[1];
    for (size_t i = 2; i + 1 < len; i += 2) {
        if (tx[0] == kCmdWrite) {
            writeReg(reg, uint16_t((tx[i] << 8) | tx[i + 1]));
        } else if (tx[0] == kCmdRead) {
            const uint16_t v = readReg(reg);
            rx[i] = uint8_t(v >> 8);
            rx[i + 1] = uint8_t(v);
        }
        if (!isPort(reg))
            reg = (reg + 1) & 0xFF;
    }
}

bool SimScaler::isPort(int reg) const
{
    return (bank_ == OsdText && reg == TextData) || (bank_ == Flash && (reg == SfTx || reg == SfRx));
}

void SimScaler::writeReg(int reg, uint16_t value)
{
    if (writes_.size() < kWriteLogLimit)
        writes_.push_back(Write{bank_, reg, value});
    if (reg == RegBank) {
        bank_ = value % kBanks;
        ++bankSelects_;
        return;
    }
    regs_[size_t(bank_)][size_t(reg)] = value;
    if (bank_ == Sys && reg == SysInit && value)
        ++initCount_;
    else if (bank_ == Output && reg == OutApply && value)
        ++panelApplies_;
    else if (bank_ == Window && reg == WinCommit && value)
        ++windowCommits_;
    else if (bank_ == OsdText && reg == TextData) {
        uint16_t& addr = regs_[OsdText][TextAddr];
        text_[addr % kTextChars] = value;
        addr = uint16_t((addr + 1) % kTextChars);
    } else if (bank_ == Flash && reg == SfTx)
        sfTx_.push_back(uint8_t(value));
    else if (bank_ == Flash && reg == SfGo && value)
        runFlashCommand();
    else if (bank_ == Flash && reg == FontLoad && value)
        loadFont();
}

uint16_t SimScaler::readReg(int reg)
{
    if (reg == RegBank)
        return uint16_t(bank_);
    if (bank_ == Sys && reg == SysChipId) {
        ++chipIdReads_;
        if (chipIdScript_.empty())
            return chipIdDefault_;
        const uint16_t v = chipIdScript_.front();
        chipIdScript_.pop_front();
        return v;
    }
    if (bank_ == Flash && reg == SfRx) {
        if (sfRx_.empty())
            return 0xFF;
        const uint8_t b = sfRx_.front();
        sfRx_.pop_front();
        return b;
    }
    return regs_[size_t(bank_)][size_t(reg)];
}

void SimScaler::runFlashCommand()
{
    const std::vector<uint8_t> rx = flash_.command(sfTx_, regs_[Flash][SfRxLen]);
    sfTx_.clear();
    sfRx_.assign(rx.begin(), rx.end());
}

void SimScaler::loadFont()
{
    const auto& r = regs_[Flash];
    Font& f = fonts_[r[FontSel] % fonts_.size()];
    f.addr = (uint32_t(r[FontAddrHi]) << 16) | r[FontAddrLo];
    f.size = (uint32_t(r[FontSizeHi]) << 16) | r[FontSizeLo];
    f.checksum = 0;
    for (uint8_t b : flash_.peek(f.addr, f.size))
        f.checksum += b;
    ++f.loads;
}

void SimScaler::scriptChipId(const std::vector<uint16_t>& answers)
{
    std::lock_guard<std::mutex> l(lock_);
    chipIdScript_.assign(answers.begin(), answers.end());
}

void SimScaler::setChipIdDefault(uint16_t value)
{
    std::lock_guard<std::mutex> l(lock_);
    chipIdDefault_ = value;
}

int SimScaler::chipIdReads() const
{
    std::lock_guard<std::mutex> l(lock_);
    return chipIdReads_;
}

uint16_t SimScaler::reg(int bank, int reg) const
{
    std::lock_guard<std::mutex> l(lock_);
    return regs_[size_t(bank) % kBanks][size_t(reg) & 0xFF];
}

int SimScaler::bank() const
{
    std::lock_guard<std::mutex> l(lock_);
    return bank_;
}

int SimScaler::bankSelects() const
{
    std::lock_guard<std::mutex> l(lock_);
    return bankSelects_;
}

int SimScaler::initCount() const
{
    std::lock_guard<std::mutex> l(lock_);
    return initCount_;
}

int SimScaler::panelApplies() const
{
    std::lock_guard<std::mutex> l(lock_);
    return panelApplies_;
}

int SimScaler::windowCommits() const
{
    std::lock_guard<std::mutex> l(lock_);
    return windowCommits_;
}

uint16_t SimScaler::textChar(int line, int col) const
{
    std::lock_guard<std::mutex> l(lock_);
    return text_[size_t((line * 128 + col) % kTextChars)];
}

SimScaler::Font SimScaler::font(int index) const
{
    std::lock_guard<std::mutex> l(lock_);
    return fonts_[size_t(index) % fonts_.size()];
}

std::vector<SimScaler::Write> SimScaler::writes() const
{
    std::lock_guard<std::mutex> l(lock_);
    return writes_;
}

void SimScaler::clearWrites()
{
    std::lock_guard<std::mutex> l(lock_);
    writes_.clear();
}

void SimScaler::setTransferProbe(std::function<void()> probe)
{
    std::lock_guard<std::mutex> l(lock_);
    probe_ = std::move(probe);
}

QJsonObject SimScaler::state() const
{
    std::lock_guard<std::mutex> l(lock_);
    QJsonObject o;
    o.insert("init_done", initCount_ > 0);
    o.insert("output", fieldsJson(kOutputFields, regs_[Output]));
    o.insert("picture", fieldsJson(kPictureFields, regs_[Picture]));
    QJsonArray inputs, windows, osd, lines, fonts;
    for (int p = 0; p < 6; ++p)
        inputs.append(fieldsJson(kInputFields, regs_[Input], p * InPortStride));
    for (int w = 0; w < 6; ++w)
        windows.append(fieldsJson(kWindowFields, regs_[Window], w * WinStride));
    o.insert("inputs", inputs);
    o.insert("windows", windows);
    o.insert("window_count", regs_[Window][WinCount]);
    o.insert("switch_effect", regs_[Window][WinSwitchEffect]);
    for (int r = 0; r < OsdLineX; ++r)
        osd.append(regs_[Osd][size_t(r)]);
    o.insert("osd_registers", osd);
    const int count = regs_[Osd][OsdLineCount] > 64 ? 64 : regs_[Osd][OsdLineCount];
    for (int i = 0; i < count; ++i) {
        QString line;
        for (int c = 0; c < 128 && text_[size_t(i * 128 + c)]; ++c)
            line.append(QChar(text_[size_t(i * 128 + c)]));
        lines.append(line);
    }
    o.insert("osd_text", lines);
    for (const Font& f : fonts_)
        fonts.append(QJsonObject{{"addr", qint64(f.addr)}, {"size", qint64(f.size)},
                                 {"checksum", qint64(f.checksum)}, {"loads", f.loads}});
    o.insert("fonts", fonts);
    return o;
}

} // namespace kel::platform::sim
