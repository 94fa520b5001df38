#pragma once

#include <QRect>
#include <QSize>

// Where the explanation window's controls stand, in twips of its client area; the window and
// the real-window tests take them from here.
namespace Form3Layout {

inline constexpr QSize kClient(6195, 4980);
inline constexpr QRect Label1(360, 120, 5295, 375);
inline constexpr QRect Label2(360, 720, 5415, 1815);
inline constexpr QRect Label3(360, 2760, 5535, 1575);
inline constexpr QRect Command1(2280, 4440, 1455, 375); // "Zurück"

} // namespace Form3Layout
