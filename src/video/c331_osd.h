#pragma once
#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

class OsdTarget;

// The scaler's OSD state as the manager keeps it between programmings: the
// property registers set by type code, the per-line starts, the vertical
// offset, the text store and the font layout. Thread-safe; the chip
// manager thread programs it whenever it is dirty.
class c331_osd {
public:
    static constexpr int kLines = 64;
    static constexpr int kLineChars = 128;
    static constexpr int kRegisters = 0x40;
    static constexpr int kFonts = 4;
    static constexpr int kMaxBackgroundWidth = 8191;

    // What the offsets are computed against: the LED screen and its x offset.
    struct Screen { int width = 0; int height = 0; int xOffset = 0; };
    struct FontLayout { uint32_t addr; uint32_t size; };
    struct Row { uint8_t reg; uint32_t value; };
    // Default character and font layout, applied by loadChar().
    static const Row osd_char_txt[];
    static const FontLayout kFontLayout[kFonts];

    // lines: the per-line counters and alignment words the menu programming
    // fills (the manager itself).
    explicit c331_osd(OsdTarget& lines);

    // 1 when the type has a case, else 0 (nothing changes).
    int set(int type, int value, const Screen& screen);
    // Clears the store, then copies min(length, 128) characters of each of
    // the first count lines (count bounded to 0..64), high byte first.
    void setText(int count, const int lengths[], const uint32_t lines[][kLineChars]);
    void loadChar();

    uint32_t value(int reg) const;
    int lineCount() const;
    std::vector<uint8_t> text() const;   // kLines * kLineChars * 2 bytes
    std::array<FontLayout, kFonts> fonts() const;

    // The words of the OSD bank as they are programmed.
    std::vector<uint16_t> propertyWords() const;
    std::vector<uint16_t> lineWords() const;   // 64 line starts, v offset, line count
    std::vector<uint16_t> textWords() const;
    std::vector<uint16_t> fontWords() const;
    // True once after every change; the caller then programs the chip.
    bool takeDirty();

private:
    struct Cell { int narrow; int wide; int height; };
    Cell cell() const;
    int lineWidth(int line, const Cell& c) const;
    int widestLine(const Cell& c) const;
    void alignLines(int mode);
    void alignVertically(int mode);
    int inputOffset1(int windowWidth);

    OsdTarget& lines_;
    mutable std::mutex lock_;
    std::array<uint32_t, kRegisters> regs_{};
    std::array<FontLayout, kFonts> fonts_{};
    std::vector<uint8_t> text_;
    int lineCount_ = 0;
    int windowW_ = 0;
    int windowH_ = 0;
    bool dirty_ = false;
};
