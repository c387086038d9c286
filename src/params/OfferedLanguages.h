#pragma once
#include <cstdint>

// Which panel languages (language_id 0..4) are offered, by the mask of
// g_lcd_lang_valid (bit n: language n), and the choices built on that: the
// language to fall back to, and stepping through the offered ones.
class OfferedLanguages {
public:
    static constexpr int kCount = 5;      // language_id 0..4
    static constexpr int kEnglish = 1;

    static bool offered(int lang, uint32_t mask);
    // Lowest offered language, or -1 when none is.
    static int lowest(uint32_t mask);
    // The language to use instead of lang, or -1 to keep it: only 0..4 are
    // languages; with none of them offered an invalid value becomes English.
    static int fallback(int lang, uint32_t mask);
    // The next (direction > 0) or previous offered language after lang,
    // cyclic over 0..4. With none offered lang stays, brought into 0..4.
    static int step(int lang, int direction, uint32_t mask);
};
