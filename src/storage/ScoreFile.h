#pragma once

#include "platform/files/Files.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class WindowsPaths;

// The score file: one line per completed series, the score as NumberText and CR LF, in the
// 8-bit code page. The program only ever appends to it and never reads it.
namespace ScoreFile {

inline const QString kScoreFilePath = QStringLiteral("C:\\Programme\\spunkte.txt");
// The template, relative to the working directory at start-up.
inline const QString kTemplatePath = QStringLiteral(".\\spunkte.txt");
// A score file shorter than this is replaced by the template at start-up.
inline constexpr qint64 kMinimumSize = 10;
// The template is copied whole; a larger file is no template.
inline constexpr qint64 kTemplateLimit = 1024 * 1024;

// Run at every start: makes sure the score file exists and replaces a (nearly) empty one by
// the template, keeping the scores it held. The template is the one in the working
// directory, else an installed one. Throws a RuntimeError when the folder, the file or the
// template fails.
void startupCheck(const WindowsPaths& paths, Files::LockWait& lockWait);

// What replaces a short score file: the template, then every score line of the old file
// that the template did not already hold, in their order.
QByteArray replacement(const QByteArray& templateContent, const QByteArray& oldContent);

// The line appended for a score: " 227" CR LF.
QByteArray scoreLine(qint16 points);

// Appends the score's line to the file at the Windows path (mapped like the start-up
// check's) and syncs it to disk, whole or not at all, on a line of its own. A failure's
// message says that the score was not saved.
void appendScore(const WindowsPaths& paths, const QString& windowsPath, qint16 points,
                 Files::LockWait& lockWait);

// The lock file beside the score file (its target, where the name is a symlink) that the
// start-up check and the append both hold, so that two instances never replace the file
// under each other's score.
QString lockPathFor(const QString& nativePath);

} // namespace ScoreFile
