#pragma once

#include "DrawingSurface.h"

#include <cstdint>

// Both sticks at rest: each box cleared, its red stick from the top down to y = 2000, the
// black base line across the box and the graduation marks. The right box first.
void DrawSticksAtRest(DrawingSurface& right, DrawingSurface& left);

// Readies a box for a fall: cleared, with only the base line.
void BeginDrop(DrawingSurface& surface);

// One frame of a fall with the stick's lower end at bottom. Frames are never erased: each
// paints the stick over the previous one and then its marks on top of the red.
void DrawDropFrame(DrawingSurface& surface, double bottom);

inline constexpr float kRestBottom = 2000.0f;

// The frame of a fall at this speed that first draws the stick's lower end into the pixel row
// below its rest position: the first the user can see move.
std::int64_t firstFrameBelowRest(const DrawingSurface& surface, std::int32_t speed);
