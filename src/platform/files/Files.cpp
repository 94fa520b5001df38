#include "Files.h"

#include "FileDescriptors.h"
#include "platform/RuntimeError.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace Files {

namespace {

// Opens without ever blocking (a FIFO would wait for its other end), then makes sure that a
// regular file was opened. What is plainly no regular file is refused before it is opened:
// opening a device can have effects of its own. -1 with errno set when the open fails.
int openRegular(const QString& path, int flags) {
    struct stat info = {};
    if (::stat(native(path).constData(), &info) == 0 && !S_ISREG(info.st_mode))
        failNotRegular(path);
    const int fd = ::open(native(path).constData(), flags | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // A FIFO or socket with nobody at the other end, put there since the look.
        if (errno == ENXIO)
            failNotRegular(path);
        return -1;
    }
    Descriptor guard(fd);
    requireRegular(fd, path);
    return guard.release();
}

qint64 sizeOf(int fd, const QString& path) {
    struct stat info = {};
    if (::fstat(fd, &info) != 0)
        fail(QStringLiteral("Die Dateilänge konnte nicht bestimmt werden"), path, errno);
    return qint64(info.st_size);
}

// A symlink whose target is missing is refused rather than followed: creating the file
// would put it at the link's target, wherever that points.
void refuseDanglingLink(const QString& path) {
    struct stat info = {};
    if (::lstat(native(path).constData(), &info) == 0 && S_ISLNK(info.st_mode))
        failNotRegular(path, QStringLiteral("Der Verweis zeigt auf keine vorhandene Datei"));
}

} // namespace

void makeFolder(const QString& path) {
    if (QFileInfo(path).isDir())
        return;
    // mkpath reports no cause; find the first missing level and create level by level.
    const QStringList parts = QDir::cleanPath(path).split(QLatin1Char('/'));
    QString current = path.startsWith(QLatin1Char('/')) ? QStringLiteral("/") : QString();
    for (const QString& part : parts) {
        if (part.isEmpty())
            continue;
        current = current.isEmpty() || current.endsWith(QLatin1Char('/'))
                      ? current + part
                      : current + QLatin1Char('/') + part;
        if (::mkdir(native(current).constData(), 0777) != 0 && errno != EEXIST)
            fail(QStringLiteral("Der Ordner konnte nicht angelegt werden"), current, errno);
        if (!QFileInfo(current).isDir())
            fail(QStringLiteral("Der Ordner konnte nicht angelegt werden"), current, ENOTDIR);
    }
}

QString resolvedPath(const QString& path) {
    const auto real = [](const QString& name) -> std::optional<QString> {
        char* resolved = ::realpath(native(name).constData(), nullptr);
        if (!resolved)
            return std::nullopt;
        const QString result = QFile::decodeName(resolved);
        std::free(resolved);
        return result;
    };
    if (const auto file = real(path))
        return *file;
    const QFileInfo info(path);
    if (const auto folder = real(info.absolutePath()))
        return *folder + QLatin1Char('/') + info.fileName();
    return info.absoluteFilePath();
}

qint64 regularFileSize(const QString& path) {
    Descriptor fd(openRegular(path, O_RDONLY));
    if (fd.get() < 0) {
        if (errno != ENOENT)
            fail(QStringLiteral("Die Datei konnte nicht geöffnet werden"), path, errno);
        refuseDanglingLink(path);
        return -1;
    }
    return sizeOf(fd.get(), path);
}

QByteArray readRegularFile(const QString& path, qint64 maxBytes) {
    Descriptor fd(openRegular(path, O_RDONLY));
    if (fd.get() < 0) {
        const int error = errno;
        if (error == ENOENT)
            refuseDanglingLink(path);
        fail(QStringLiteral("Die Datei konnte nicht geöffnet werden"), path, error);
    }
    const auto tooLarge = [&] {
        throw RuntimeError(QStringLiteral("Laufzeitfehler: Die Datei „%1“ ist zu groß (mehr als "
                                          "%2 Bytes)")
                               .arg(path)
                               .arg(maxBytes));
    };
    if (sizeOf(fd.get(), path) > maxBytes)
        tooLarge();
    // Read in bounded steps whatever the length said: a file may grow meanwhile.
    QByteArray content;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail(QStringLiteral("Die Datei konnte nicht gelesen werden"), path, errno);
        if (n == 0)
            break;
        if (content.size() + n > maxBytes)
            tooLarge();
        content.append(buffer, n);
    }
    return content;
}

void failWritesBeyondSizeLimit() {
    std::signal(SIGXFSZ, SIG_IGN);
}

void appendLine(const QString& path, const QByteArray& line) {
    // Read too, for the last byte.
    int opened = openRegular(path, O_RDWR | O_APPEND);
    if (opened < 0 && errno == ENOENT) {
        refuseDanglingLink(path);
        // O_EXCL never follows a symlink, so nothing is created anywhere but at path.
        opened = ::open(native(path).constData(), O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC,
                        0666);
    }
    Descriptor fd(opened);
    if (fd.get() < 0)
        fail(QStringLiteral("Die Datei konnte nicht zum Anhängen geöffnet werden"), path, errno);
    const qint64 length = sizeOf(fd.get(), path);
    // A file edited by hand, or a template, may end without a line end; the line still starts
    // a line of its own.
    char last = '\n';
    if (length > 0) {
        ssize_t n;
        do {
            n = ::pread(fd.get(), &last, 1, off_t(length - 1));
        } while (n < 0 && errno == EINTR);
        if (n < 0)
            fail(QStringLiteral("Die Datei konnte nicht gelesen werden"), path, errno);
    }
    const QByteArray bytes = (last == '\n' ? "" : last == '\r' ? "\n" : "\r\n") + line;
    try {
        writeAll(fd.get(), bytes, path);
        if (::fsync(fd.get()) != 0)
            fail(QStringLiteral("Die Datei konnte nicht auf die Platte geschrieben werden"), path,
                 errno);
    } catch (...) {
        // An append-only file cannot be cut back; then nothing more can be done.
        if (::ftruncate(fd.get(), length) == 0)
            ::fsync(fd.get());
        throw;
    }
    if (::close(fd.release()) != 0) {
        const int error = errno;
        if (::truncate(native(path).constData(), length) != 0) {
            // Nothing more can be done; the close error below is what the user learns.
        }
        fail(QStringLiteral("Die Datei konnte nicht geschlossen werden"), path, error);
    }
}

} // namespace Files
