#pragma once

#include <QByteArray>
#include <QString>

// File operations on native paths. Every failure throws a RuntimeError that names the file
// the user knows and the cause in German; nothing fails silently. POSIX calls rather than
// QFile and QSaveFile, because only errno gives the German cause of every failure, and
// QSaveFile neither syncs the folder after its rename nor keeps a symlink a symlink.
namespace Files {

// Creates the folder and its parents when missing.
void makeFolder(const QString& path);

// An exclusive lock on the lock file at path (created when missing), held for the object's
// lifetime. Another instance of the program waits until it is released.
class Lock {
public:
    explicit Lock(const QString& path);
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    int m_fd;
};

// The length of the regular file at path, or -1 when there is none. Anything else there (a
// FIFO, a device, a folder, a symlink to nothing) is refused; the file is opened without
// blocking, so a FIFO never hangs the program.
qint64 regularFileSize(const QString& path);

// The whole content of the regular file at path, refused when it holds more than maxBytes.
QByteArray readRegularFile(const QString& path, qint64 maxBytes);

// Replaces the file by content so that an interruption leaves either the old file or the
// whole new one: the content goes to a temporary file in the same folder, is synced to disk
// and then renamed over the file. A symlink stays a symlink: its target is replaced. The new
// file gets the permissions of any newly created file (0666 less the umask).
void replaceAtomically(const QString& path, const QByteArray& content);

// Removes the temporary files that an interrupted replaceAtomically() of path left behind.
void removeLeftovers(const QString& path);

// Appends bytes at the end of the regular file at path (created when missing) and syncs
// them to disk. All or nothing: when writing or syncing fails, the file is cut back to its
// old length, so a later line is never glued onto a fragment.
void appendDurably(const QString& path, const QByteArray& bytes);

// The German cause for an errno value.
QString causeText(int error);

} // namespace Files
