#pragma once
#include <QString>

// The panel language rule: language L is used only when it is 0, 2, 3 or 4
// and offered (bit L of g_lcd_lang_valid); English in every other case.
class L10n {
public:
    enum : int { Chinese = 0, English = 1, Russian = 2, Vietnamese = 3, TraditionalChinese = 4 };
    using Texts = const char* const[5];

    // "Using": the badge of the user mode in use (picker, user-mode page,
    // input choice).
    static const char* const kUsing[5];

    static int language();
    // The text of the current language from a five-column row (UTF-8).
    static QString pick(Texts texts);
    // Picture name prefix: "", "en_", "ru_", "vn_", "tn_".
    static QString prefix();
    // ":/png/<prefix><base>.png"
    static QString icon(const char* base);
    static QString plainIcon(const char* base);
};
