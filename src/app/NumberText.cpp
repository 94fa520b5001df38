#include "NumberText.h"

#include <cmath>

QString PlainNumberText(std::int64_t value) {
    return QString::number(value);
}

QString NumberText(double value) {
    if (value == 0.0) // also -0.0, which has no sign of its own here
        return QStringLiteral(" 0");
    // QString::number ignores the locale; 'G' keeps 15 significant digits and drops
    // trailing zeros, switching to an exponent only for very large or small magnitudes.
    QString digits = QString::number(std::abs(value), 'G', 15);
    if (digits.startsWith(QLatin1String("0.")))
        digits.remove(0, 1);
    return (value < 0 ? QLatin1Char('-') : QLatin1Char(' ')) + digits;
}
