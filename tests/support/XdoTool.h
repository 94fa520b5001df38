#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// Runs xdotool, which types and clicks through XTEST as a user's devices would, and returns
// what it printed. exitCode, when given, receives its exit status (-1 when it did not run).
inline QString xdotool(const QStringList& arguments, int* exitCode = nullptr) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    const bool finished = process.waitForFinished(10000);
    if (exitCode)
        *exitCode =
            finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}
