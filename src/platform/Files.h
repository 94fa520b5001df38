#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// File operations on native paths. Every failure throws a RuntimeError that names the file
// the user knows and the cause in German; nothing fails silently. POSIX calls rather than
// QFile and QSaveFile, because only errno gives the German cause of every failure, and
// QSaveFile neither syncs the folder after its rename nor keeps a symlink a symlink.
namespace Files {

// Creates the folder and its parents when missing.
void makeFolder(const QString& path);

// What happens while another process holds a lock the program needs. The real one waits a
// few seconds quietly, then tells the user what the program is waiting for.
class LockWait {
public:
    virtual ~LockWait() = default;
    // Called when the lock at lockPath is held elsewhere. Calls tryLock now and then until it
    // returns true (return true: the attempt is over, its outcome known to the caller) or the
    // user gives up (return false). tryLock never throws.
    virtual bool waitFor(const QString& lockPath, const std::function<bool()>& tryLock) = 0;
};

// An exclusive lock on the lock file at path, held for the object's lifetime. The file is
// created when missing and opened for reading only, which is all an advisory lock needs (a
// lock file left by another user still works). It is never followed through a symlink: a
// link, or anything else that is not a regular file, in its place is refused. While another
// process holds it, `wait` decides; giving up is an error.
class Lock {
public:
    Lock(const QString& path, LockWait& wait);
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    int m_fd;
};

// The file a path names, with every symlink on the way followed; for a file that does not
// exist yet, the name in its folder's real place.
QString resolvedPath(const QString& path);

// The length of the regular file at path, or -1 when there is none. Anything else there (a
// FIFO, a device, a folder, a symlink to nothing) is refused, where possible before it is
// opened; the file is opened without blocking, so a FIFO never hangs the program.
qint64 regularFileSize(const QString& path);

// The whole content of the regular file at path, refused when it holds more than maxBytes.
QByteArray readRegularFile(const QString& path, qint64 maxBytes);

// Replaces the file by content so that an interruption leaves either the old file or the
// whole new one: the content goes to a temporary file in the same folder, is synced to disk
// and then renamed over the file. A symlink stays a symlink: its target is replaced. The new
// file gets the permissions of any newly created file (0666 less the umask).
void replaceAtomically(const QString& path, const QByteArray& content);

// Removes the temporary files that an interrupted replaceAtomically() of path left behind:
// regular files of this user whose names have exactly the form it gives them, nothing else.
void removeLeftovers(const QString& path);

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
