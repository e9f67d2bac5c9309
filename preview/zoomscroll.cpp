#include "preview/zoomscroll.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ZoomScroll {

qint32 roundHalfEven(double value)
{
    // nearbyint follows the current rounding mode, which is to nearest, ties to even.
    const double rounded = std::nearbyint(value);
    // Nothing sensible to scroll to; never let it reach a conversion.
    if (std::isnan(rounded))
        return 0;
    if (rounded >= double(std::numeric_limits<qint32>::max()))
        return std::numeric_limits<qint32>::max();
    if (rounded <= double(std::numeric_limits<qint32>::min()))
        return std::numeric_limits<qint32>::min();
    return static_cast<qint32>(rounded);
}

qint16 toInt16(qint64 value)
{
    if (value > std::numeric_limits<qint16>::max())
        return std::numeric_limits<qint16>::max();
    if (value < std::numeric_limits<qint16>::min())
        return std::numeric_limits<qint16>::min();
    return static_cast<qint16>(value);
}

float steppedZoom(float zoom, qint32 direction)
{
    return direction == 0 ? zoom + kZoomStep : zoom - kZoomStep;
}

bool zoomInRange(float zoom)
{
    return zoom >= kLowestZoom && zoom <= kHighestZoom;
}

qint32 zoomedLength(float zoom, qint32 baseLength)
{
    return static_cast<qint32>(std::floor(double(zoom) * double(baseLength)));
}

bool withinLimits(qint32 zoomWidth, qint32 zoomHeight)
{
    return zoomWidth <= kWidthLimit && zoomHeight <= kHeightLimit;
}

qint32 baseLength(double innerLength)
{
    const qint32 length = roundHalfEven(innerLength - kBaseShrink);
    return length < 0 ? 0 : length;
}

ScrollSetup scrollSetup(double surfaceLength, double viewportOuterLength)
{
    ScrollSetup setup;
    if (surfaceLength <= viewportOuterLength)
        return setup;
    const float excess = float(surfaceLength - viewportOuterLength);
    setup.enabled = true;
    if (excess <= kFineExcess) {
        setup.step = 1;
        setup.maximum = roundHalfEven(excess);
    } else {
        setup.step = 10;
        setup.maximum = roundHalfEven(double(excess) / 10.0);
    }
    const int largest = std::numeric_limits<qint16>::max() / setup.step;
    if (*setup.maximum > largest)
        setup.maximum = largest;
    return setup;
}

qint16 scrollOffset(qint16 step, int value)
{
    return toInt16(-(qint64(toInt16(qint64(step) * value))));
}

float dragPosition(float surfacePosition, float downPosition, float pointerPosition,
                   double viewportInnerLength, double surfaceLength)
{
    float position = surfacePosition - downPosition + pointerPosition;
    if (position > 0)
        position = 0;
    else if (viewportInnerLength - surfaceLength > position)
        position = float(viewportInnerLength - surfaceLength);
    return position;
}

qint32 releasePercent(double surfacePosition, double surfaceLength, double viewportOuterLength)
{
    const double excess = surfaceLength - viewportOuterLength;
    if (excess == 0)
        return 0;
    return roundHalfEven(std::fabs(surfacePosition) / excess * 100.0);
}

std::optional<int> valueForPercent(qint16 percent, int maximum)
{
    if (percent < 0 || percent > 100)
        return std::nullopt;
    return roundHalfEven(double(percent) / 100.0 * double(maximum));
}

float fitZoom(qint32 baseLength, double availableLength)
{
    if (baseLength <= 0)
        return 1.0f;
    float zoom = float(availableLength / baseLength);
    // float rounding may land a hair above the fit, which would cut a pixel.
    while (zoom > kLowestZoom && zoomedLength(zoom, baseLength) > availableLength)
        zoom = std::nextafter(zoom, 0.0f);
    return std::clamp(zoom, kLowestZoom, kHighestZoom);
}

int scrolledValue(int value, double twips, qint16 step, int maximum)
{
    if (step <= 0 || std::isnan(twips))
        return value;
    qint64 units = roundHalfEven(twips / step);
    if (units == 0 && std::abs(twips) >= 1)
        units = twips > 0 ? 1 : -1;
    return int(std::clamp<qint64>(qint64(value) + units, 0, std::max(0, maximum)));
}

} // namespace ZoomScroll
