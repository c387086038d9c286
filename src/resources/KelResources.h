#pragma once
#include <QString>

// The panel's pictures (":/png/...") and fonts.
class KelResources {
public:
    // Registers the compiled-in pictures, loads the bundled CJK font when
    // its resource file lies beside the executable (or in `fontDir`), and
    // maps the font families the pages name onto it. Safe to call again.
    static void init(const QString& fontDir = QString());
    // Family of the panel font ("WenQuanYi Micro Hei" when available).
    static QString panelFamily();
};
