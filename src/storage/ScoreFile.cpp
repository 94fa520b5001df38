#include "ScoreFile.h"

#include "platform/Files.h"
#include "platform/NumberText.h"
#include "platform/WindowsPaths.h"

#include <QByteArrayView>
#include <QFileInfo>
#include <algorithm>

namespace ScoreFile {

namespace {

// The working directory's template first, as the program always did; then the installed
// ones, so that a start from any folder finds one. When none exists, the working directory's
// is named in the error.
QString findTemplate(const WindowsPaths& paths) {
    const QString local = paths.map(kTemplatePath);
    if (QFileInfo::exists(local))
        return local;
    for (const QString& installed : paths.installedCopies(kTemplatePath)) {
        if (QFileInfo::exists(installed))
            return installed;
    }
    return local;
}

bool isScoreLine(QByteArrayView line) {
    if (line.size() < 2 || line.front() != ' ')
        return false;
    const QByteArrayView digits = line.sliced(1);
    return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

void startupCheck(const WindowsPaths& paths) {
    const QString scorePath = paths.map(kScoreFilePath);
    // On the systems the program comes from, "C:\Programme" always exists; here it is a
    // folder of the user's own that a first start creates.
    Files::makeFolder(QFileInfo(scorePath).absolutePath());
    // Measuring and replacing under the lock: no other instance appends in between, so the
    // size is still true when the file is replaced.
    const Files::Lock lock(lockPathFor(scorePath));
    Files::removeLeftovers(scorePath);
    const qint64 size = Files::regularFileSize(scorePath);
    if (size >= kMinimumSize)
        return;
    // Everything is read before the score file is touched, so a missing template leaves it
    // as it was.
    const QByteArray old = size > 0 ? Files::readRegularFile(scorePath, kTemplateLimit) : "";
    const QByteArray content = Files::readRegularFile(findTemplate(paths), kTemplateLimit);
    Files::replaceAtomically(scorePath, replacement(content, old));
}

QByteArray replacement(const QByteArray& templateContent, const QByteArray& oldContent) {
    // A file that still starts with the template keeps only what was added after it.
    const QByteArrayView added = oldContent.startsWith(templateContent)
                                     ? QByteArrayView(oldContent).sliced(templateContent.size())
                                     : QByteArrayView(oldContent);
    QByteArray result = templateContent;
    qsizetype from = 0;
    for (qsizetype end = added.indexOf("\r\n"); end >= 0; end = added.indexOf("\r\n", from)) {
        const QByteArrayView line = added.sliced(from, end - from);
        if (isScoreLine(line))
            result += line.toByteArray() + "\r\n";
        from = end + 2;
    }
    return result;
}

QByteArray scoreLine(qint16 points) {
    // NumberText of an integer is plain ASCII, identical in Windows-1252.
    return NumberText(points).toLatin1() + "\r\n";
}

void appendScore(const QString& nativePath, qint16 points) {
    const Files::Lock lock(lockPathFor(nativePath));
    Files::appendDurably(nativePath, scoreLine(points));
}

QString lockPathFor(const QString& nativePath) {
    const QFileInfo file(nativePath);
    return file.absolutePath() + QStringLiteral("/.") + file.fileName() + QStringLiteral(".lock");
}

} // namespace ScoreFile
