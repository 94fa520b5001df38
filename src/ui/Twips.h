#pragma once

#include <QRect>
#include <QSize>

// The windows and the drawing are laid out in twips, 1/1440 inch: 15 twips per logical
// pixel at 96 dpi.
inline constexpr int kTwipsPerPixel = 15;

inline constexpr QRect twipsRect(int left, int top, int width, int height) {
    return QRect(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
                 height / kTwipsPerPixel);
}

// A rectangle given in twips, in logical pixels.
inline constexpr QRect twipsRect(const QRect& twips) {
    return twipsRect(twips.x(), twips.y(), twips.width(), twips.height());
}

// A size given in twips, in logical pixels.
inline constexpr QSize twipsSize(const QSize& twips) {
    return QSize(twips.width() / kTwipsPerPixel, twips.height() / kTwipsPerPixel);
}

// The centre pixel of a control whose rectangle is given in twips: where a click lands.
inline constexpr QPoint twipsCentre(const QRect& twips) {
    return twipsRect(twips).center();
}
