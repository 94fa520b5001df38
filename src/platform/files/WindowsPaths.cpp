#include "WindowsPaths.h"

#include "platform/RuntimeError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdlib>
#include <unistd.h>

namespace {

// A name Qt would decode with replacement characters, which would send the files to a
// folder of another name.
bool isUtf8Name(const QByteArray& name) {
    return QFile::encodeName(QFile::decodeName(name)) == name;
}

QString folderFromVariable(const char* variable) {
    const QByteArray value = qgetenv(variable);
    if (!isUtf8Name(value))
        throw RuntimeError(
            QStringLiteral("Laufzeitfehler: Der Ordner in der Umgebungsvariable %1 enthält "
                           "Zeichen, die kein UTF-8 sind: „%2“")
                .arg(QLatin1String(variable), QFile::decodeName(value)));
    // Relative paths are to be ignored, as the XDG base directory rules say.
    const QString folder = QFile::decodeName(value);
    return QDir::isAbsolutePath(folder) ? folder : QString();
}

QString dataHomeFromEnvironment() {
    const QString xdgDataHome = folderFromVariable("XDG_DATA_HOME");
    if (!xdgDataHome.isEmpty())
        return xdgDataHome;
    const QString home = folderFromVariable("HOME");
    if (home.isEmpty())
        throw RuntimeError(QStringLiteral(
            "Laufzeitfehler: Kein Ordner für die Punktedatei: weder XDG_DATA_HOME noch HOME "
            "nennt einen absoluten Pfad"));
    return home + QStringLiteral("/.local/share");
}

// A working directory whose name is not UTF-8 is still reached through relative paths.
QString workingDirectory() {
    char* raw = ::getcwd(nullptr, 0);
    const QByteArray name(raw ? raw : "");
    std::free(raw);
    return !name.isEmpty() && isUtf8Name(name) ? QFile::decodeName(name) : QStringLiteral(".");
}

QStringList installedDataFolders() {
    QStringList folders;
    // Run from the build tree: its data/ lies beside the folder of the executable.
    if (QCoreApplication::instance()) {
        const QDir buildTree(QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
        if (buildTree.exists(QStringLiteral("CMakeCache.txt")))
            folders << buildTree.filePath(QStringLiteral("data"));
    }
    for (const QString& folder :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        folders << folder + QStringLiteral("/greifholm");
    return folders;
}

} // namespace

WindowsPaths::WindowsPaths(QString dataHome, QString workingDirectory, QStringList installedData)
    : m_driveRoot(QDir::cleanPath(dataHome + QStringLiteral("/greifholm")))
    , m_workingDirectory(QDir::cleanPath(workingDirectory))
    , m_installedData(std::move(installedData)) {}

WindowsPaths WindowsPaths::fromEnvironment() {
    return WindowsPaths(dataHomeFromEnvironment(), workingDirectory(), installedDataFolders());
}

QString WindowsPaths::map(const QString& windowsPath) const {
    QString path = windowsPath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const bool hasDrive = path.size() >= 2 && path.at(0).isLetter() && path.at(1) == u':';
    if (hasDrive) {
        const QString drive = path.left(1).toLower();
        return QDir::cleanPath(m_driveRoot + QLatin1Char('/') + drive + QLatin1Char('/') +
                               path.mid(2));
    }
    if (path.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(path);
    return QDir::cleanPath(m_workingDirectory + QLatin1Char('/') + path);
}

QStringList WindowsPaths::installedCopies(const QString& windowsPath) const {
    const QString name =
        QFileInfo(QString(windowsPath).replace(QLatin1Char('\\'), QLatin1Char('/'))).fileName();
    QStringList copies;
    for (const QString& folder : m_installedData)
        copies << QDir::cleanPath(folder + QLatin1Char('/') + name);
    return copies;
}
