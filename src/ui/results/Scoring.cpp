#include "Scoring.h"

#include "app/Int16.h"
#include "app/NumberText.h"

namespace Scoring {

namespace {
constexpr qint16 kScoreBase = 8000;
constexpr double kMillisecondsPerPoint = 20.0;
const char* const kTotalTooLong =
    "Die Gesamtzeit der Versuchsreihe ist länger als 32767 Millisekunden; die Versuchsreihe "
    "wurde nicht gespeichert.";
} // namespace

QStringList trialItems(const Times& times) {
    QStringList items;
    for (size_t i = 0; i < times.size(); ++i) {
        items << PlainNumberText(qint64(i) + 1) + QStringLiteral(". Versuch: ") +
                     NumberText(times[i]) + QStringLiteral(" 1/1000 s");
    }
    return items;
}

qint16 totalTime(const Times& times) {
    qint16 total = 0;
    for (qint16 time : times)
        total = Int16::add(total, time, kTotalTooLong);
    return total;
}

qint16 points(qint16 totalTime) {
    const qint16 remaining = Int16::sub(kScoreBase, totalTime);
    if (remaining < 0)
        return 0;
    return Int16::roundFromDouble(double(remaining) / kMillisecondsPerPoint);
}

QString totalItem(qint16 totalTime) {
    return QStringLiteral("Die benötigte Gesamtzeit beträgt: ") +
           NumberText(double(totalTime) / 1000.0) + QStringLiteral(" Sekunden");
}

QString pointsItem(qint16 points) {
    return QStringLiteral("Die Gesamtpunktzahl beträgt:      ") + NumberText(points);
}

} // namespace Scoring
