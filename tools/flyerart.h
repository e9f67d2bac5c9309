#pragma once

#include <QImage>

// The template's own pictures, drawn here so that the flyer carries no
// third-party art.

// The emblem of the picture box: a round badge with a pushpin.
QImage drawEmblem(int size);

// The faint page-size watermark of the header, in light tones so that text
// stays readable over it.
QImage drawWatermark(int width, int height);
