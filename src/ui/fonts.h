#pragma once
// Fonts that show Japanese properly on a Linux desktop.

#include <QString>

namespace tessarin {

// Makes the application's font a Japanese one when one is installed, so that
// kanji are drawn with Japanese glyph shapes whatever the locale.
void UseJapaneseFont();
// A monospace family with Japanese glyphs for the information panel.
QString MonospaceJapaneseFamily();

}  // namespace tessarin
