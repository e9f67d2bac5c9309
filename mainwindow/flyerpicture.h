#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// The business's own picture for the flyer's picture box, chosen by the user
// instead of the standard emblem. The chosen file is read once, scaled to at
// most 300 dots per inch of the box's printed size and kept as a PNG copy in
// the program's data folder, so the original may be moved or deleted; the
// settings key "FlyerPicture" names the copy (empty: the standard picture).
namespace FlyerPicture {

// The picture box of the flyer, as printed: 1.78 x 0.74 inches.
inline constexpr double kBoxWidthInches = 1.78;
inline constexpr double kBoxHeightInches = 0.74;
inline constexpr int kDotsPerInch = 300;

// The settings key that names the kept copy.
inline constexpr auto kSettingsKey = "FlyerPicture";

// The largest copy worth keeping: the box at 300 dpi (534 x 222 pixels).
QSize largestSize();

// The folder where the copy is kept: "Corvanti/Pellamont" beside the
// settings file (usually ~/.config/Corvanti/Pellamont).
QString dataFolder();

// The kept copy in use, or the empty text for the standard picture. A key
// that names anything but a file of the data folder means the standard picture.
QString currentPath();

// Reads the file at `path` as a PNG, JPEG, GIF, BMP or SVG picture, scaled
// down to fit largestSize() with its proportions and transparency kept (an
// SVG is drawn at that size; its references to other files are not followed).
// Memory stays bounded however large the picture claims to be. Throws Failure
// with a message for the user naming the file.
QImage readPicture(const QString& path);

// Makes the picture at `path` the flyer's picture: read, scaled, kept in the
// data folder and remembered in the settings at once. Throws Failure naming
// the file when it cannot be used or kept; the previous picture stays then.
void choose(const QString& path);

// Goes back to the standard picture and removes the kept copy.
void useStandard();

// The picture in use, as kept: a null image for the standard picture.
QImage current();

// Makes `picture`, from current(), the flyer's picture again (a null one: the
// standard picture), so that what replaced it can be undone. Throws Failure
// when it cannot be kept; the picture in use stays then.
void restore(const QImage& picture);

} // namespace FlyerPicture
