#pragma once

#include "AtomicReplacement.h"
#include "FileLock.h"

#include <QByteArray>
#include <QString>

// File operations on native paths; the lock (FileLock.h) and the atomic replacement with its
// leftovers (AtomicReplacement.h) have files of their own. Every failure throws a RuntimeError that
// names the file the user knows and the cause in German; nothing fails silently. POSIX calls rather
// than QFile and QSaveFile, because only errno gives the German cause of every failure, and
// QSaveFile neither syncs the folder after its rename nor keeps a symlink a symlink.
namespace Files {

// Creates the folder and its parents when missing.
void makeFolder(const QString& path);

// The file a path names, with every symlink on the way followed; for a file that does not
// exist yet, the name in its folder's real place.
QString resolvedPath(const QString& path);

// The length of the regular file at path, or -1 when there is none. Anything else there (a
// FIFO, a device, a folder, a symlink to nothing) is refused, where possible before it is
// opened; the file is opened without blocking, so a FIFO never hangs the program.
qint64 regularFileSize(const QString& path);

// The whole content of the regular file at path, refused when it holds more than maxBytes.
QByteArray readRegularFile(const QString& path, qint64 maxBytes);

// A write beyond the file size limit (RLIMIT_FSIZE) fails with EFBIG, reported and cut back
// like any other failed write, instead of the kernel's SIGXFSZ ending the process mid-write.
// The program calls it once at start.
void failWritesBeyondSizeLimit();

// Appends one line (its CR LF included) at the end of the regular file at path (created when
// missing) and syncs it to disk. The line starts a line of its own: after a last line
// without a line end, CR LF (after a lone CR, LF) goes first. All or nothing: when writing or
// syncing fails, the file is cut back to its old length, so a later line is never glued onto
// a fragment.
void appendLine(const QString& path, const QByteArray& line);

} // namespace Files
