#pragma once

#include <QtGlobal>

#include <optional>

// The arithmetic of the preview window's zoom, scroll bars and drag-to-pan, on
// plain values so that every rounding and limit can be checked without a
// window. All lengths are twips.
namespace ZoomScroll {

inline constexpr float kZoomStep = 0.25f;
inline constexpr float kLowestZoom = 0.25f;
inline constexpr float kHighestZoom = 4.0f;
// The largest zoomed picture that is drawn; it bounds the retained image.
inline constexpr qint32 kWidthLimit = 9499;
inline constexpr qint32 kHeightLimit = 13399;
// Taken off the base copy's inner size to give the base size.
inline constexpr double kBaseShrink = 2.0;
// Up to this excess a scroll unit is one twip; above it, ten.
inline constexpr double kFineExcess = 100.0;

// Nearest integer, ties to even: how every fractional length becomes a whole one.
qint32 roundHalfEven(double value);

// Clamps to the range of a 16-bit value, which scroll bars and their products use.
qint16 toInt16(qint64 value);

// The zoom a "Zoom In" (direction 0) or "Zoom Out" (any other direction) press asks for.
float steppedZoom(float zoom, qint32 direction);

// Whether a requested zoom lies in the range the buttons may reach.
bool zoomInRange(float zoom);

// Length of the picture at `zoom`: floored in double precision.
qint32 zoomedLength(float zoom, qint32 baseLength);

// Whether a zoomed picture is small enough to be drawn.
bool withinLimits(qint32 zoomWidth, qint32 zoomHeight);

// The base size from the base copy's inner size, never below zero (an empty
// picture has no size to shrink).
qint32 baseLength(double innerLength);

// How one scroll bar is set up for a new picture.
struct ScrollSetup
{
    bool enabled = false;
    qint16 step = 0;
    // Left alone when the bar is disabled.
    std::optional<int> maximum;
};

// Decides a bar from the surface length and the viewport's outer length. The
// maximum is held to what keeps step × maximum within 16 bits, so that a
// scroll position can always be computed.
ScrollSetup scrollSetup(double surfaceLength, double viewportOuterLength);

// The surface offset for a scroll-bar value: −(step × value) in 16-bit arithmetic.
qint16 scrollOffset(qint16 step, int value);

// Where a drag puts the surface's edge along one direction: it follows the
// pointer, but never leaves a gap at the near edge and never pulls the far edge
// inside the viewport's inner edge.
float dragPosition(float surfacePosition, float downPosition, float pointerPosition,
                   double viewportInnerLength, double surfaceLength);

// The scroll percentage matching the surface's position after a drag. A
// surface exactly as long as the viewport has nothing to scroll: 0.
qint32 releasePercent(double surfacePosition, double surfaceLength, double viewportOuterLength);

// The scroll-bar value for a percentage of its maximum; nothing for a
// percentage outside 0 to 100.
std::optional<int> valueForPercent(qint16 percent, int maximum);

// The zoom at which `baseLength` fits into `availableLength` whole (View >
// Fit Page and Fit Width), held to the buttons' range: the largest zoom whose
// floored length does not pass the available one.
float fitZoom(qint32 baseLength, double availableLength);

// A scroll bar's value after the wheel or a key moved the view by `twips`
// (negative: back to the start), on a bar of `step` twips per unit, held to 0
// to `maximum`. Any move of at least a twip moves at least one unit, so a key
// is never lost on a fine bar.
int scrolledValue(int value, double twips, qint16 step, int maximum);

} // namespace ZoomScroll
