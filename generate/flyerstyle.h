#pragma once

#include "generate/word.h"

#include <QImage>
#include <QString>

#include <array>
#include <limits>
#include <vector>

// The flyer's colour styles: the designed look ("Earth") and others that give
// every text colour, the cut lines, the background and the emblem the
// business's own colours, plus a black and white for office printers. Only
// colours change; text, fonts, sizes and places stay as designed.
namespace FlyerStyle {

enum class Style { Earth, Ocean, Forest, Berry, Slate, Mono };
inline constexpr int kStyleCount = 6;

// A colour as 0xRRGGBB.
using Rgb = quint32;

// What a colour of the template is used for.
enum class Use { Text, Line };

struct TemplateColor
{
    Rgb rgb;
    Use use;
    const char* where;
};

// Every colour the template's text and lines are drawn in.
inline constexpr std::array<TemplateColor, 4> kTemplateColors{{
    {0x993300, Use::Text, "business name"},
    {0x5a1e00, Use::Text, "tag line, owner, scheduled services, tab names"},
    {0x2b2b2b, Use::Text, "services, address, phone numbers"},
    {0x993300, Use::Line, "tear-off cut lines"},
}};

// The darkest tone of the template's background picture: text stands over it.
inline constexpr Rgb kTemplateBackground = 0xf6eae0;

struct Look
{
    Style style;
    // The stored value of the "FlyerStyle" setting.
    const char* key;
    // As the menu shows it.
    const char* name;
    // The entries of kTemplateColors, in their order, as this style has them.
    std::array<Rgb, kTemplateColors.size()> colors;
    // The template's own pictures turned this many degrees round the colour
    // wheel, their colourfulness scaled by `saturation` (0: greys).
    int hueShift;
    double saturation;
    // Print-friendly: no background at all, and every picture in greys, the
    // business's own too (a coloured style leaves that one as it is).
    bool printFriendly;
};

const Look& look(Style style);

// The style a stored value names; absent or unknown: Earth.
Style fromKey(const QString& key);
QString key(Style style);

// The style the flyer is made in, as stored.
Style current();
// Stores `style` at once. Throws Failure when the store cannot be written.
void store(Style style);

// How the template's pictures look in `style`: pixel by pixel, transparency
// kept.
QImage recolored(const QImage& picture, const Look& look);
Rgb recolored(Rgb color, const Look& look);

// The background text stands over in `style`: white when there is none.
Rgb background(const Look& look);

// The contrast ratio of two colours as WCAG 2.1 defines it: 1 to 21.
double contrastRatio(Rgb first, Rgb second);

// What the document engine is asked to do for `look`. The floating shapes
// from `addedFrom` on were put in by the run; `ownPicture`: the last of
// them is the business's picture, in place of the emblem.
Word::Recoloring recoloring(const Look& look, bool ownPicture,
                            std::size_t addedFrom = std::numeric_limits<std::size_t>::max());

} // namespace FlyerStyle
