#pragma once

#include <QImage>

// The page picture is made as sharp as the sharpest screen the program shows
// on: as many pixels per logical pixel as that screen's device pixel ratio.
// The picture carries its density in its resolution (dots per metre, which
// picture files and the clipboard keep), so whoever shows it knows its size in
// logical pixels, the size the preview's twips are counted in.
namespace PixelDensity {

// The highest device pixel ratio among the screens; 1 without screens.
qreal screenRatio();

// Marks `picture` as holding `ratio` pixels per logical pixel.
void mark(QImage& picture, qreal ratio);

// The density a picture was marked with (in quarter steps, at least 1): an
// unmarked picture, at the usual 96 dots per inch, has 1.
qreal ratioOf(const QImage& picture);

} // namespace PixelDensity
