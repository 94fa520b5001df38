#include "ScoreFile.h"

#include "platform/Files.h"
#include "platform/NumberText.h"
#include "platform/WindowsPaths.h"

#include <QFileInfo>

namespace ScoreFile {

void startupCheck(const WindowsPaths& paths) {
    const QString scorePath = paths.map(kScoreFilePath);
    // On the systems the program comes from, "C:\Programme" always exists; here it is a
    // folder of the user's own that a first start creates.
    Files::makeFolder(QFileInfo(scorePath).absolutePath());
    if (Files::openAndMeasure(scorePath) >= kMinimumSize)
        return;
    // The template is read whole before the score file is touched, so a missing template
    // leaves the score file as it was.
    const QByteArray content = Files::readAll(paths.map(kTemplatePath));
    Files::replaceAtomically(scorePath, content);
}

QByteArray scoreLine(qint16 points) {
    // NumberText of an integer is plain ASCII, identical in Windows-1252.
    return NumberText(points).toLatin1() + "\r\n";
}

void appendScore(const QString& nativePath, qint16 points) {
    Files::appendDurably(nativePath, scoreLine(points));
}

} // namespace ScoreFile
