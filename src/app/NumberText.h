#pragma once

#include <QString>
#include <cstdint>

// An integer in decimal, with a minus sign when negative and nothing before the digits
// otherwise: 245 -> "245".
QString PlainNumberText(std::int64_t value);

// A number with one leading space when it is zero or positive and a minus sign in that place
// when negative; a full stop as the decimal separator whatever the locale; no thousands
// separators, no trailing zeros, up to 15 significant digits and no zero before the point
// below 1: 245 -> " 245", 0.5 -> " .5", -12 -> "-12".
QString NumberText(double value);
