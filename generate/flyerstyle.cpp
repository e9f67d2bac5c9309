#include "generate/flyerstyle.h"

#include "base/flyerfields.h"
#include "base/settings.h"

#include <QColor>
#include <QHash>

#include <algorithm>
#include <cmath>

namespace FlyerStyle {

namespace {
// Business name, dark text, ink, cut lines: the order of kTemplateColors. The
// pictures turn from the emblem's brown (20 degrees) to the style's hue.
const std::array<Look, kStyleCount> kLooks{{
    {Style::Earth, "earth", "Earth", {0x993300, 0x5a1e00, 0x2b2b2b, 0x993300}, 0, 1.0, false},
    {Style::Ocean, "ocean", "Ocean", {0x0b5394, 0x0a2f57, 0x1c2b3a, 0x2e78b7}, 190, 1.0, false},
    {Style::Forest, "forest", "Forest", {0x2f6b1c, 0x1e4214, 0x232e22, 0x4a8a32}, 85, 0.8, false},
    {Style::Berry, "berry", "Berry", {0x9c1d5a, 0x4e1a57, 0x2f2230, 0xa8326b}, -50, 1.0, false},
    // Greys, and the business name in the one accent.
    {Style::Slate, "slate", "Slate", {0x00695c, 0x37474f, 0x263238, 0x78909c}, 150, 0.25, false},
    {Style::Mono,
     "mono",
     "Print-friendly black and white",
     {0x000000, 0x000000, 0x000000, 0x808080},
     0,
     0.0,
     true},
}};

// The WCAG 2.1 relative luminance of one channel.
double linear(int channel)
{
    const double value = channel / 255.0;
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double luminance(Rgb color)
{
    return 0.2126 * linear(int(color >> 16) & 0xff) + 0.7152 * linear(int(color >> 8) & 0xff) +
           0.0722 * linear(int(color) & 0xff);
}

QRgb turned(QRgb pixel, const Look& look)
{
    QColor color = QColor::fromRgba(pixel);
    float hue = 0;
    float saturation = 0;
    float lightness = 0;
    float alpha = 0;
    color.getHslF(&hue, &saturation, &lightness, &alpha);
    if (hue < 0) // A grey has no hue; only its own saturation could change it.
        hue = 0;
    hue = std::fmod(hue + look.hueShift / 360.0f + 1.0f, 1.0f);
    color.setHslF(hue, std::clamp(saturation * float(look.saturation), 0.0f, 1.0f), lightness,
                  alpha);
    return color.rgba();
}
} // namespace

const Look& look(Style style)
{
    return kLooks.at(static_cast<std::size_t>(style));
}

Style fromKey(const QString& key)
{
    for (const Look& entry : kLooks)
        if (key == QLatin1String(entry.key))
            return entry.style;
    return Style::Earth;
}

QString key(Style style)
{
    return QLatin1String(look(style).key);
}

Style current()
{
    return fromKey(ReadSetting(FlyerFields::styleKey()));
}

void store(Style style)
{
    WriteSetting(FlyerFields::styleKey(), key(style));
}

Rgb recolored(Rgb color, const Look& look)
{
    return turned(0xff000000 | color, look) & 0xffffff;
}

QImage recolored(const QImage& picture, const Look& look)
{
    QImage result = picture.convertToFormat(QImage::Format_ARGB32);
    if (look.saturation == 0) {
        // Greys by how light each colour looks, not by HSL's lightness, which
        // would make yellow as dark as blue.
        for (int y = 0; y < result.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
            for (int x = 0; x < result.width(); ++x) {
                const int grey = qGray(line[x]);
                line[x] = qRgba(grey, grey, grey, qAlpha(line[x]));
            }
        }
        return result;
    }
    // Drawn art has few colours (flat areas, soft edges): each is worked out once.
    QHash<QRgb, QRgb> done;
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        QRgb last = 0;
        QRgb lastTurned = turned(0, look);
        for (int x = 0; x < result.width(); ++x) {
            const QRgb pixel = line[x];
            if (pixel != last) {
                last = pixel;
                auto found = done.constFind(pixel);
                if (found == done.constEnd())
                    found = done.insert(pixel, turned(pixel, look));
                lastTurned = *found;
            }
            line[x] = lastTurned;
        }
    }
    return result;
}

Rgb background(const Look& look)
{
    return look.printFriendly ? 0xffffff : recolored(kTemplateBackground, look);
}

double contrastRatio(Rgb first, Rgb second)
{
    const double one = luminance(first);
    const double other = luminance(second);
    return (std::max(one, other) + 0.05) / (std::min(one, other) + 0.05);
}

Word::Recoloring recoloring(const Look& look, bool ownPicture, std::size_t addedFrom)
{
    Word::Recoloring result;
    for (std::size_t i = 0; i < kTemplateColors.size(); ++i) {
        auto& pairs = kTemplateColors[i].use == Use::Text ? result.text : result.lines;
        pairs.emplace_back(kTemplateColors[i].rgb, look.colors[i]);
    }
    const auto turn = [look](const QImage& picture) { return recolored(picture, look); };
    result.addedFrom = addedFrom;
    result.pictures = turn;
    // The business's picture shows the business as it is, except in greys
    // for printing.
    if (ownPicture && look.printFriendly)
        result.added = turn;
    result.background = turn;
    result.keepBackground = !look.printFriendly;
    // The look's name: what it makes of the template's pictures never changes.
    result.keptAs = QLatin1String(look.key);
    return result;
}

} // namespace FlyerStyle
