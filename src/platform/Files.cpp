#include "Files.h"

#include "RuntimeError.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace Files {

namespace {

[[noreturn]] void fail(const QString& what, const QString& path, int error) {
    throw RuntimeError::fileError(what, path, causeText(error));
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

} // namespace

QString causeText(int error) {
    switch (error) {
    case ENOENT:
        return QStringLiteral("Datei oder Verzeichnis nicht gefunden");
    case EACCES:
    case EPERM:
        return QStringLiteral("Zugriff verweigert");
    case EISDIR:
        return QStringLiteral("Ist ein Verzeichnis");
    case ENOTDIR:
        return QStringLiteral("Ein Teil des Pfades ist kein Verzeichnis");
    case ENOSPC:
        return QStringLiteral("Kein Speicherplatz mehr auf dem Gerät");
    case EDQUOT:
        return QStringLiteral("Speicherplatzkontingent überschritten");
    case EROFS:
        return QStringLiteral("Das Dateisystem ist nur lesbar");
    case EEXIST:
        return QStringLiteral("Die Datei existiert bereits");
    case EIO:
        return QStringLiteral("Ein-/Ausgabefehler");
    case ENAMETOOLONG:
        return QStringLiteral("Der Dateiname ist zu lang");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Zu viele offene Dateien");
    default:
        return QStringLiteral("Systemfehler %1").arg(error);
    }
}

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

qint64 openAndMeasure(const QString& path) {
    Descriptor fd(::open(native(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (fd.get() < 0)
        fail(QStringLiteral("Die Datei konnte nicht geöffnet werden"), path, errno);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        fail(QStringLiteral("Die Dateilänge konnte nicht bestimmt werden"), path, errno);
    if (::close(fd.release()) != 0)
        fail(QStringLiteral("Die Datei konnte nicht geschlossen werden"), path, errno);
    return qint64(info.st_size);
}

QByteArray readAll(const QString& path) {
    Descriptor fd(::open(native(path).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        fail(QStringLiteral("Die Datei konnte nicht geöffnet werden"), path, errno);
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
        content.append(buffer, n);
    }
    return content;
}

void replaceAtomically(const QString& path, const QByteArray& content) {
    const QFileInfo target(path);
    const QString folder = target.absolutePath();
    QByteArray temporary =
        native(folder + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    Descriptor fd(::mkstemp(temporary.data()));
    const QString temporaryPath = QFile::decodeName(temporary);
    if (fd.get() < 0)
        fail(QStringLiteral("Die temporäre Datei konnte nicht angelegt werden"), temporaryPath,
             errno);
    try {
        writeAll(fd.get(), content, temporaryPath);
        syncAndClose(fd, temporaryPath);
        if (::rename(temporary.constData(), native(path).constData()) != 0)
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

void appendDurably(const QString& path, const QByteArray& bytes) {
    Descriptor fd(
        ::open(native(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
    if (fd.get() < 0)
        fail(QStringLiteral("Die Datei konnte nicht zum Anhängen geöffnet werden"), path, errno);
    writeAll(fd.get(), bytes, path);
    syncAndClose(fd, path);
}

} // namespace Files
