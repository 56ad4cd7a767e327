// Design values in twips (1/1440 inch) to device-independent pixels.
#pragma once

#include <QRect>

namespace orvalis {

// 15 twips make one pixel at 96 dpi; Qt scales device-independent pixels on
// high-DPI screens.
constexpr int TwipsPerPixel = 15;

constexpr int twips(int value)
{
    return value / TwipsPerPixel;
}

// A design rectangle (Left, Top, Width, Height in twips).
inline QRect twips(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

constexpr int toTwips(int pixels)
{
    return pixels * TwipsPerPixel;
}

} // namespace orvalis
