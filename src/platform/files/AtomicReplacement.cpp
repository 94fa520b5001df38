#include "AtomicReplacement.h"

#include "FileDescriptors.h"
#include "Files.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Files {

namespace {

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
        struct stat info = {};
        const QByteArray leftover = native(folder.filePath(name));
        if (::lstat(leftover.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_uid == ::geteuid())
            ::unlink(leftover.constData());
    }
}

} // namespace Files
