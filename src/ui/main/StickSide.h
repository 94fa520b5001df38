#pragma once

// The two sides are one trial with two parameter sets: the right stick falls in Picture1 and
// is stopped by the right arrow, the left one in Picture2 by the left arrow.
enum class StickSide { Left, Right };
