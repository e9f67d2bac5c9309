#include "generate/pixeldensity.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace PixelDensity {

namespace {
// 96 dots per inch, a logical pixel's own density.
constexpr double kLogicalDotsPerMetre = 96.0 / 0.0254;
} // namespace

qreal screenRatio()
{
    qreal ratio = 1.0;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        const auto screens = QGuiApplication::screens();
        for (const QScreen* screen : screens)
            ratio = std::max(ratio, screen->devicePixelRatio());
    }
    return ratio;
}

void mark(QImage& picture, qreal ratio)
{
    const int dotsPerMetre = int(std::lround(kLogicalDotsPerMetre * ratio));
    picture.setDotsPerMeterX(dotsPerMetre);
    picture.setDotsPerMeterY(dotsPerMetre);
    picture.setDevicePixelRatio(ratio);
}

qreal ratioOf(const QImage& picture)
{
    const double ratio = picture.dotsPerMeterX() / kLogicalDotsPerMetre;
    return std::max(1.0, std::round(ratio * 4.0) / 4.0);
}

} // namespace PixelDensity
