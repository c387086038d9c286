#pragma once
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One child of an upgrade package, with what its data head says: the
// image length of an FPGA image, the coding and height of a font.
struct UpgradeChild {
    uint8_t file_type = 0;
    uint32_t file_len = 0;
    uint32_t file_offset = 0;
    uint8_t version[6] = {};   // year, month, date, hard, soft, fuc (plain numbers)
    uint32_t image_len = 0;    // types 7 and 8
    uint8_t en_coding = 0;     // type 13
    uint8_t height = 0;        // type 13
};

// An upgrade package from the USB stick: a 49-byte head, FileNum child heads
// of 21 bytes and the child data, all little-endian and packed. load()
// reads every head and checks the layout of every child, so that nothing
// of a package that is cut short or points outside itself is ever written;
// fitsDestination() checks what a child would write, for the children a
// run takes.
class UpgradePackage {
public:
    enum FileType : uint8_t { kImage1 = 7, kImage2 = 8, kProgram = 10, kFont = 13 };
    static constexpr uint32_t kHeadSize = 49;
    static constexpr uint32_t kChildSize = 21;
    static constexpr uint32_t kImageHeadSize = 64;
    static constexpr uint32_t kFontHeadSize = 35;
    static constexpr uint16_t kControllerType = 0x8B52;
    static constexpr uint8_t kNormalRelease = 0x80;
    static constexpr uint32_t kProgramMax = 5u * 1024u * 1024u;
    static constexpr uint32_t kFlashSize = 0x800000;   // the FPGA and the scaler serial flashes
    static constexpr uint32_t kNoFontBase = 0xFFFFFFFF;
    static constexpr const char* kDefaultFolder = "KEL-T46 Rev.c";

    // Reads len bytes at offset into out; false on a short read.
    using Reader = std::function<bool(uint64_t offset, uint32_t len, uint8_t* out)>;

    uint8_t PublishType = 0;
    uint16_t ControllerType = 0;
    uint16_t FileNum = 0;
    std::vector<UpgradeChild> children;

    // Reads the heads of a package of fileSize bytes. False, with the reason
    // in why, when the child heads or any program, image or font (head and
    // data) lie outside the file, or a font is shorter than its own head.
    bool load(uint64_t fileSize, const Reader& read, std::string* why);
    // False, with the reason in why, when the child cannot be written whole:
    // an empty program or one above kProgramMax, an image larger than its
    // flash, a font beyond its area.
    static bool fitsDestination(const UpgradeChild& child, std::string* why);

    bool normalRelease() const { return PublishType == kNormalRelease; }
    bool forThisController() const { return ControllerType == kControllerType; }

    // Scaler flash address of a font by coding (1 ASCII, 0 Chinese) and cell
    // height; kNoFontBase for another coding.
    static uint32_t fontBase(uint8_t en_coding, uint8_t height);
    // First address after the font area that starts at base.
    static uint32_t fontAreaEnd(uint32_t base);
    static uint8_t bcd(uint8_t v) { return uint8_t((v >> 4) * 10 + (v & 15)); }

    // The erase units (4 KiB sector number, kind 0 for 4 KiB or 1 for
    // 32 KiB) that clear len bytes from base: a 32 KiB block wherever one
    // starts on a block boundary and fits, 4 KiB sectors elsewhere.
    struct EraseUnit {
        uint32_t sector;
        uint8_t kind;
        bool operator==(const EraseUnit& o) const { return sector == o.sector && kind == o.kind; }
    };
    static std::vector<EraseUnit> erasePlan(uint32_t base, uint32_t len);

    // The stick's upgrade folder (logical path with a trailing slash). A
    // configured name of one blank is the stick itself; a name that is not
    // a single folder name falls back to the default.
    static QString folder(const QString& configured);
    // The packages in the folder (suffix "KEL" or "KELZK"): plain files, no
    // links, no hidden ones, in listing order (name order on the simulated
    // board), at most cap of them, as logical paths.
    static QStringList list(const QString& configured, int cap);
    static bool isPackageName(const QString& name);

private:
    // Reads the child's image or font head and checks where its data lies.
    static bool readChild(UpgradeChild& child, uint64_t fileSize, const Reader& read, std::string* why);
};
