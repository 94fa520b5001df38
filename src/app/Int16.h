#pragma once

#include "platform/RuntimeError.h"

#include <QtGlobal>
#include <cmath>
#include <cstdint>
#include <limits>

// Counters, times, totals and the score are signed 16-bit values; leaving that range is
// an overflow error rather than a silent wrap-around. `what` says in German what overflowed,
// for the user who reads the message.
namespace Int16 {

inline qint16 fromWide(std::int64_t value, const char* what = nullptr) {
    if (value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        throw RuntimeError::overflow(what);
    return static_cast<qint16>(value);
}

inline qint16 add(qint16 a, qint16 b, const char* what = nullptr) {
    return fromWide(std::int64_t{a} + b, what);
}

inline qint16 sub(qint16 a, qint16 b) {
    return fromWide(std::int64_t{a} - b);
}

// Converts to 16 bits by rounding to the nearest integer, halves to the even neighbour.
inline qint16 roundFromDouble(double value) {
    if (!std::isfinite(value))
        throw RuntimeError::overflow();
    const double rounded = std::nearbyint(value); // default rounding mode: ties to even
    if (rounded < std::numeric_limits<qint16>::min() ||
        rounded > std::numeric_limits<qint16>::max())
        throw RuntimeError::overflow();
    return static_cast<qint16>(rounded);
}

} // namespace Int16
