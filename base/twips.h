#pragma once

#include <QRect>

// Window lengths are given in twips (1/1440 inch); at 96 dots per inch a pixel
// is 15 twips, and every length of the windows divides by 15.
inline constexpr int kTwipsPerPixel = 15;

constexpr int pixelsFromTwips(int twips)
{
    return twips / kTwipsPerPixel;
}

constexpr int twipsFromPixels(int pixels)
{
    return pixels * kTwipsPerPixel;
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(pixelsFromTwips(left), pixelsFromTwips(top), pixelsFromTwips(width),
                 pixelsFromTwips(height));
}
