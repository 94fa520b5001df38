#include "ScoreFile.h"

#include "app/NumberText.h"
#include "platform/RuntimeError.h"
#include "platform/files/Files.h"
#include "platform/files/WindowsPaths.h"

#include <QByteArrayView>
#include <QFileInfo>
#include <algorithm>

namespace ScoreFile {

namespace {

// Anything under the name counts, a symlink to nothing too: a template that is there but
// cannot be read is an error to report, not a reason to take another one.
bool nameExists(const QString& path) {
    return QFileInfo(path).exists() || QFileInfo(path).isSymLink();
}

// The working directory's template first, as the program always did; then the installed
// ones, so that a start from any folder finds one. When none exists, the working directory's
// is named in the error.
QString findTemplate(const WindowsPaths& paths) {
    const QString local = paths.map(kTemplatePath);
    if (nameExists(local))
        return local;
    for (const QString& installed : paths.installedCopies(kTemplatePath)) {
        if (nameExists(installed))
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

// The lock beside the file that is written; before anything is created there, the file must
// be a regular one or missing, so that a link to a device never puts a lock file into /dev.
Files::Lock lockFor(const QString& scorePath, Files::LockWait& lockWait) {
    Files::regularFileSize(scorePath);
    return Files::Lock(lockPathFor(scorePath), lockWait);
}

} // namespace

void startupCheck(const WindowsPaths& paths, Files::LockWait& lockWait) {
    const QString scorePath = paths.map(kScoreFilePath);
    // On the systems the program comes from, "C:\Programme" always exists; here it is a
    // folder of the user's own that a first start creates.
    Files::makeFolder(QFileInfo(scorePath).absolutePath());
    // Measuring and replacing under the lock: no other instance appends in between, so the
    // size is still true when the file is replaced.
    const Files::Lock lock = lockFor(scorePath, lockWait);
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
    // Score lines end in CR LF as the program writes them, in LF alone as an editor may save
    // them, or not at all where a write was cut short; each is kept, written back with CR LF.
    for (QByteArrayView rest = added; !rest.isEmpty();) {
        const qsizetype end = rest.indexOf('\n');
        QByteArrayView line = end < 0 ? rest : rest.first(end);
        rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        if (!isScoreLine(line))
            continue;
        // A template without a final line end does not swallow the first score.
        if (!result.isEmpty() && !result.endsWith('\n'))
            result += "\r\n";
        result += line.toByteArray() + "\r\n";
    }
    return result;
}

QByteArray scoreLine(qint16 points) {
    // NumberText of an integer is plain ASCII, identical in Windows-1252.
    return NumberText(points).toLatin1() + "\r\n";
}

void appendScore(const WindowsPaths& paths, const QString& windowsPath, qint16 points,
                 Files::LockWait& lockWait) {
    const QString nativePath = paths.map(windowsPath);
    try {
        const Files::Lock lock = lockFor(nativePath, lockWait);
        Files::appendLine(nativePath, scoreLine(points));
    } catch (const RuntimeError& error) {
        // The user sees which score is missing from the file and can note it.
        throw RuntimeError(error.message() +
                           QStringLiteral(". Die Punktzahl %1 wurde nicht gespeichert.")
                               .arg(PlainNumberText(points)));
    }
}

QString lockPathFor(const QString& nativePath) {
    // Beside the file that is written, wherever symlinks lead: two names for one file share
    // one lock.
    const QFileInfo file(Files::resolvedPath(nativePath));
    return file.absolutePath() + QStringLiteral("/.") + file.fileName() + QStringLiteral(".lock");
}

} // namespace ScoreFile
