#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kel::test {

// Builds USB upgrade packages byte by byte: the 49-byte head, 21-byte child
// heads and the child data after them, little-endian. Each child may lie
// about its length, offset or image length, and the package may claim more
// children than it holds or be cut short, for the hostile cases.
class UpgradePackageBuilder {
public:
    struct Child {
        uint8_t type = 0;
        std::vector<uint8_t> data;           // program, image bytes or font file
        uint8_t version[6] = {};
        std::optional<uint32_t> len;         // file_len written instead of the data size
        std::optional<uint32_t> offset;      // file_offset written instead of the real one
        std::optional<uint32_t> imageLen;    // image head length instead of the data size
    };

    uint8_t publish = 0x80;
    uint16_t controller = 0x8B52;
    std::optional<uint16_t> fileNum;
    size_t cut = 0;                          // bytes cut off the end
    std::vector<Child> children;

    Child& add(uint8_t type, std::vector<uint8_t> data, std::vector<uint8_t> version = {});
    std::vector<uint8_t> build() const;

    // n bytes that differ from one seed to another.
    static std::vector<uint8_t> pattern(uint32_t n, uint8_t seed);
    // A font file of len bytes with its head: 'P', the coding, width and height.
    static std::vector<uint8_t> font(uint8_t en_coding, uint8_t height, uint32_t len, uint8_t seed);
    static void write(const std::string& hostPath, const std::vector<uint8_t>& bytes);
};

} // namespace kel::test
