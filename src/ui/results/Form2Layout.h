#pragma once

#include <QRect>
#include <QSize>

// Where the results window's controls stand, in twips of its client area; the window and the
// real-window tests take them from here.
namespace Form2Layout {

inline constexpr QSize kClient(6630, 5085);
inline constexpr QRect Label1(2400, 240, 1815, 375);
inline constexpr QRect Command1(2640, 4320, 1215, 615); // "Zurück"
inline constexpr QRect List1(360, 720, 5985, 3300);

} // namespace Form2Layout
