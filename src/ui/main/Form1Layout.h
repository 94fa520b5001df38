#pragma once

#include <QRect>
#include <QSize>

// Where the main window's controls stand, in twips of its client area. The window builds
// itself from here, and the real-window tests, the benchmark and the screenshot tool find its
// controls here too.
namespace Form1Layout {

// The controls reach past the design width of 9930 twips: they are laid out for the
// maximised window. The normal (restored) size shows every control, the right stick box too.
inline constexpr QSize kNormalClient(12855, 10665);

inline constexpr QRect Picture1(9000, 360, 3855, 9495); // right stick
inline constexpr QRect Command1(7080, 600, 1455, 495);  // "Start"
inline constexpr QRect Command2(7080, 1320, 1455, 495); // "Ende"
inline constexpr QRect Picture2(2520, 360, 3855, 9495); // left stick
inline constexpr QRect Label1(7080, 2160, 1455, 735);
inline constexpr QRect Text1(7320, 4080, 735, 405);
inline constexpr QRect Label2(6720, 3480, 2055, 495);
inline constexpr QRect Command3(7080, 9480, 1455, 375); // "Erklärung"
inline constexpr QRect Label3(4920, 10320, 5415, 255);
inline constexpr QRect HScroll1(6480, 5280, 2415, 255);
inline constexpr QRect Label4(6480, 5520, 2415, 255);
inline constexpr QRect Label5(6480, 5040, 2415, 255);

} // namespace Form1Layout
