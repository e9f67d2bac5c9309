#pragma once

// Whether the installed fonts can show a character, as fontconfig knows them:
// the office asks fontconfig for a font for each character it lays out, and
// draws a blank box for one that no font has.
namespace FontCoverage {

// True when some installed font has `character` (a Unicode code point). The
// fonts are read once, on the first call.
bool installedFontHas(char32_t character);

} // namespace FontCoverage
