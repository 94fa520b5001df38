#include "WindowsPaths.h"

#include <QDir>
#include <QStandardPaths>

WindowsPaths::WindowsPaths(QString dataHome, QString workingDirectory)
    : m_driveRoot(QDir::cleanPath(dataHome + QStringLiteral("/greifholm")))
    , m_workingDirectory(QDir::cleanPath(workingDirectory)) {}

WindowsPaths WindowsPaths::fromEnvironment() {
    return WindowsPaths(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
                        QDir::currentPath());
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
