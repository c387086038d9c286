#pragma once
#include <QString>

#include <cstdint>

// The LED screen size: the bounds of an entered width or height, and the
// store of a new size with its hand-over to the scaler and FPGA managers.
// The LED settings page and the factory resets use it.
class LedSize {
public:
    static constexpr int kMin = 64;
    static constexpr int kMax = 8188;
    // Pixel caps of the screen area: a width entry and an out-of-range
    // entry keep the area within kWidthAreaCap, a height entry within
    // kHeightAreaCap.
    static constexpr long kWidthAreaCap = 10485760;
    static constexpr long kHeightAreaCap = 13000000;
    static constexpr int kPartnerOverMax = 1280;

    enum class Dimension { Width, Height };
    // The two field texts after an entry: the field edited and its partner.
    struct Texts {
        QString edited;
        QString partner;
    };
    // Bounds an entry into the field of dim: a text that is no number
    // counts as 0; the partner's text is kept unless the area is too large.
    static Texts bound(Dimension dim, const QString& entry, const QString& partner);
    // A width or height brought into kMin..kMax.
    static int clamp(int value);

    // Stores (w, h), each brought into kMin..kMax first, in one hold of
    // c331_para_mutex: splice_mode 0, led_width, led_height and both
    // output-channel windows (0, 0, w, h). When the size differs from the
    // last applied one it also makes window 0 fill the screen, switches
    // windows 1 to 5 off and, while FPGA 0 runs, hands the size to the FPGA
    // manager. Raises c331_apply_flag. True when the size changed (the
    // caller shows the saved notice, after the mutex is released).
    static bool apply(int w, int h);

    // Posts a new size to the FPGA manager (g_set_led_para 1, step 0) while
    // FPGA 0 runs, no hand-over is in progress and the block's size is not
    // the one the scaler last programmed. A size that arrives during a
    // hand-over is not posted: the scaler programs the block's size when it
    // takes the hand-over (or on its next pass, which stores 2 again), so
    // the same reset carries it. The caller holds c331_para_mutex; the LED
    // mutex is taken second.
    static void handOver();

    // The scaler records the splice mode and size it programmed its panel
    // with (under c331_para_mutex). Until a new size is saved, every apply
    // still finds it differing from the saved one; the record keeps such an
    // apply from posting it again, as the blanking would then start after
    // the scaler's part is done and leave the screen dark without a reset.
    static void noteProgrammed(const uint8_t* block);
    // True when the block's splice mode or size is not the programmed one
    // (or the scaler has programmed none yet).
    static bool isNewSize(const uint8_t* block);
};
