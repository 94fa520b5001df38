#include "FileLock.h"

#include "FileDescriptors.h"
#include "platform/RuntimeError.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Files {

namespace {

// The lock file, opened for reading only and never through a symlink; created when missing.
int openLockFile(const QString& path) {
    const QByteArray name = native(path);
    for (;;) {
        struct stat info = {};
        if (::lstat(name.constData(), &info) == 0) {
            if (S_ISLNK(info.st_mode))
                failNotRegular(path, QStringLiteral("Die Sperrdatei ist ein symbolischer Verweis"));
            if (!S_ISREG(info.st_mode))
                failNotRegular(path);
        }
        int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT)
            fd = ::open(name.constData(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        0666);
        // Another instance created it between the two opens: open that one.
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0 && errno == ELOOP)
            failNotRegular(path, QStringLiteral("Die Sperrdatei ist ein symbolischer Verweis"));
        if (fd < 0)
            fail(QStringLiteral("Die Sperrdatei konnte nicht geöffnet werden"), path, errno);
        return fd;
    }
}

// 0 when the lock is ours, EWOULDBLOCK while another process holds it, else the error.
int tryFlock(int fd) {
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return 0;
        if (errno != EINTR)
            return errno;
    }
}

} // namespace

Lock::Lock(const QString& path, LockWait& wait)
    : m_fd(openLockFile(path)) {
    Descriptor guard(m_fd);
    requireRegular(guard.get(), path);
    int result = tryFlock(m_fd);
    // The wait may run an event loop: its tries end it on any answer but "held", and the
    // error, if any, is raised here rather than through that loop.
    const bool waited = result != EWOULDBLOCK || wait.waitFor(path, [&] {
        result = tryFlock(m_fd);
        return result != EWOULDBLOCK;
    });
    if (!waited) {
        throw RuntimeError(QStringLiteral("Laufzeitfehler: Das Warten auf die Sperrdatei „%1“ "
                                          "wurde abgebrochen; ein anderes Programm hält sie")
                               .arg(path));
    }
    if (result != 0)
        fail(QStringLiteral("Die Sperrdatei konnte nicht gesperrt werden"), path, result);
    guard.release();
}

Lock::~Lock() {
    ::close(m_fd); // releases the lock
}

} // namespace Files
