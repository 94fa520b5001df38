#pragma once

#include "app/Module1.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <array>

// How a series of ten trial times becomes the results list, the total and the score.
namespace Scoring {

using Times = std::array<qint16, Module1::kTrialsPerSeries>;

// "1. Versuch:  245 1/1000 s" and so on, one item per trial.
QStringList trialItems(const Times& times);

// The sum of the times in milliseconds; leaving 16 bits is an overflow error.
qint16 totalTime(const Times& times);

// max(0, round((8000 - total) / 20)), ties to even: 20 ms of total time cost one point.
qint16 points(qint16 totalTime);

QString totalItem(qint16 totalTime);
QString pointsItem(qint16 points);

} // namespace Scoring
