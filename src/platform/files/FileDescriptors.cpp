#include "FileDescriptors.h"

#include "SystemErrorText.h"
#include "platform/RuntimeError.h"

#include <QFile>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace Files {

void fail(const QString& what, const QString& path, int error) {
    throw RuntimeError::fileError(what, path, germanCause(error));
}

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

void writeAll(int fd, const QByteArray& bytes, const QString& path) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            fail(QStringLiteral("Die Datei konnte nicht geschrieben werden"), path,
                 n < 0 ? errno : ENOSPC);
        done += n;
    }
}

void syncAndClose(Descriptor& fd, const QString& path) {
    if (::fsync(fd.get()) != 0)
        fail(QStringLiteral("Die Datei konnte nicht auf die Platte geschrieben werden"), path,
             errno);
    if (::close(fd.release()) != 0)
        fail(QStringLiteral("Die Datei konnte nicht geschlossen werden"), path, errno);
}

[[noreturn]] void failNotRegular(const QString& path, const QString& detail) {
    QString message = QStringLiteral("Laufzeitfehler: „%1“ ist keine reguläre Datei").arg(path);
    if (!detail.isEmpty())
        message += QStringLiteral(": ") + detail;
    throw RuntimeError(message);
}

void requireRegular(int fd, const QString& path) {
    struct stat info = {};
    if (::fstat(fd, &info) != 0)
        fail(QStringLiteral("Die Datei konnte nicht untersucht werden"), path, errno);
    if (!S_ISREG(info.st_mode))
        failNotRegular(path);
}

} // namespace Files
