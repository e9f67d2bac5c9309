#include "generate/fontcoverage.h"

#include <fontconfig/fontconfig.h>

#include <memory>

namespace FontCoverage {

namespace {

struct CharSetFree
{
    void operator()(FcCharSet* set) const { FcCharSetDestroy(set); }
};
using CharSet = std::unique_ptr<FcCharSet, CharSetFree>;

// Every character of every installed font, in one set: a look-up per
// character then costs no search through the fonts.
CharSet allFontsCharacters()
{
    CharSet all(FcCharSetCreate());
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_CHARSET, nullptr);
    FcFontSet* fonts = pattern && objects ? FcFontList(nullptr, pattern, objects) : nullptr;
    for (int i = 0; fonts && all && i < fonts->nfont; ++i) {
        FcCharSet* characters = nullptr;
        if (FcPatternGetCharSet(fonts->fonts[i], FC_CHARSET, 0, &characters) == FcResultMatch)
            FcCharSetMerge(all.get(), characters, nullptr);
    }
    // Without a font list nothing can be told: no character is named.
    if (!fonts || fonts->nfont == 0)
        all.reset();
    if (fonts)
        FcFontSetDestroy(fonts);
    if (objects)
        FcObjectSetDestroy(objects);
    if (pattern)
        FcPatternDestroy(pattern);
    return all;
}

} // namespace

bool installedFontHas(char32_t character)
{
    static const CharSet all = allFontsCharacters();
    return !all || FcCharSetHasChar(all.get(), FcChar32(character));
}

} // namespace FontCoverage
