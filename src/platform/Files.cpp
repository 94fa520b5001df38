#include "Files.h"

#include "RuntimeError.h"
#include "SystemErrorText.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace Files {

namespace {

[[noreturn]] void fail(const QString& what, const QString& path, int error) {
    throw RuntimeError::fileError(what, path, germanCause(error));
}

// Closes the descriptor on every path out of a function; close() itself is checked where
// the data's arrival depends on it.
class Descriptor {
public:
    explicit Descriptor(int fd)
        : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

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

[[noreturn]] void failNotRegular(const QString& path, const QString& detail = QString()) {
    QString message = QStringLiteral("Laufzeitfehler: „%1“ ist keine reguläre Datei").arg(path);
    if (!detail.isEmpty())
        message += QStringLiteral(": ") + detail;
    throw RuntimeError(message);
}

void requireRegular(int fd, const QString& path) {
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        fail(QStringLiteral("Die Datei konnte nicht untersucht werden"), path, errno);
    if (!S_ISREG(info.st_mode))
        failNotRegular(path);
}

// Opens without ever blocking (a FIFO would wait for its other end), then makes sure that a
// regular file was opened. What is plainly no regular file is refused before it is opened:
// opening a device can have effects of its own. -1 with errno set when the open fails.
int openRegular(const QString& path, int flags) {
    struct stat info {};
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
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        fail(QStringLiteral("Die Dateilänge konnte nicht bestimmt werden"), path, errno);
    return qint64(info.st_size);
}

// A symlink whose target is missing is refused rather than followed: creating the file
// would put it at the link's target, wherever that points.
void refuseDanglingLink(const QString& path) {
    struct stat info {};
    if (::lstat(native(path).constData(), &info) == 0 && S_ISLNK(info.st_mode))
        failNotRegular(path, QStringLiteral("Der Verweis zeigt auf keine vorhandene Datei"));
}

// Temporary files beside the file: hidden, named after the program so that no user's file
// looks like one, with mkstemp's six random letters and digits.
const QString kTemporaryMark = QStringLiteral(".greifholm-tmp-");
constexpr int kRandomLength = 6;

QString temporaryPattern(const QString& path) {
    const QFileInfo file(path);
    return file.absolutePath() + QStringLiteral("/.") + file.fileName() + kTemporaryMark +
           QString(kRandomLength, QLatin1Char('X'));
}

bool isTemporaryName(const QString& name, const QString& prefix) {
    if (name.size() != prefix.size() + kRandomLength || !name.startsWith(prefix, Qt::CaseSensitive))
        return false;
    for (const QChar c : QStringView(name).sliced(prefix.size())) {
        const char16_t u = c.unicode();
        if (!((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9')))
            return false;
    }
    return true;
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
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

namespace {

// The lock file, opened for reading only and never through a symlink; created when missing.
int openLockFile(const QString& path) {
    const QByteArray name = native(path);
    for (;;) {
        struct stat info {};
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

void replaceAtomically(const QString& path, const QByteArray& content) {
    const QString target = resolvedPath(path);
    const QString folder = QFileInfo(target).absolutePath();
    QByteArray temporary = native(temporaryPattern(target));
    Descriptor fd(::mkstemp(temporary.data()));
    if (fd.get() < 0)
        fail(QStringLiteral("Die temporäre Datei für die Datei konnte nicht angelegt werden"), path,
             errno);
    try {
        // mkstemp makes the file private; the score file is read by other programs too.
        if (::fchmod(fd.get(), 0666 & ~currentUmask()) != 0)
            fail(QStringLiteral("Die Zugriffsrechte konnten nicht gesetzt werden"), path, errno);
        writeAll(fd.get(), content, path);
        syncAndClose(fd, path);
        if (::rename(temporary.constData(), native(target).constData()) != 0)
            fail(QStringLiteral("Die Datei konnte nicht ersetzt werden"), path, errno);
    } catch (...) {
        ::unlink(temporary.constData());
        throw;
    }
    // The rename itself lives in the folder; sync it too so the new file survives a crash.
    Descriptor dir(::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0 || ::fsync(dir.get()) != 0)
        fail(QStringLiteral("Der Ordner konnte nicht auf die Platte geschrieben werden"), folder,
             errno);
}

void removeLeftovers(const QString& path) {
    const QFileInfo target(resolvedPath(path));
    const QString pattern = QFileInfo(temporaryPattern(target.filePath())).fileName();
    const QString prefix = pattern.left(pattern.size() - kRandomLength);
    QDir folder = target.absoluteDir();
    folder.setFilter(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : folder.entryList()) {
        if (!isTemporaryName(name, prefix))
            continue;
        struct stat info {};
        const QByteArray leftover = native(folder.filePath(name));
        if (::lstat(leftover.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_uid == ::geteuid())
            ::unlink(leftover.constData());
    }
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
