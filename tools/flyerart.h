#pragma once

#include <QImage>
#include <QRectF>

// The template's own pictures, drawn here so that the flyer carries no
// third-party art.

// The emblem of the picture box: a round badge with a pushpin.
QImage drawEmblem(int size);

// The faint page-size watermark of the header, in light tones so that text
// stays readable over it.
QImage drawWatermark(int width, int height);

// The emblem as it shows on the page: stretched over its box `box` (inches
// on a page `pageWidth` inches wide) and laid on the part of `watermark`
// (the whole page) beneath it, at `dpi`. It needs no transparency then,
// which printers' PostScript would flatten into a page-sized bitmap, taking
// every letter of the flyer with it.
QImage drawEmblemOnWatermark(const QImage& emblem, const QImage& watermark, const QRectF& box,
                             double pageWidth, int dpi);
