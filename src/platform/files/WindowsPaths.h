#pragma once

#include <QString>
#include <QStringList>

// The program names its files with the Windows paths it has always used. This maps them
// onto this system: the drive "C:\" becomes the folder greifholm/c under the user's data
// folder, backslashes become slashes, and ".\" is the working directory at start-up.
class WindowsPaths {
public:
    // installedData: folders that hold the program's installed files, searched in order.
    WindowsPaths(QString dataHome, QString workingDirectory, QStringList installedData = {});

    // From $XDG_DATA_HOME when it is absolute, else ~/.local/share; the current working
    // directory; the installed data folders ($XDG_DATA_DIRS, and data/ of the build tree when
    // the program runs from there). Throws a RuntimeError when there is no home folder or a
    // folder's name is not UTF-8, rather than putting the score file anywhere else.
    static WindowsPaths fromEnvironment();

    QString map(const QString& windowsPath) const;
    // Where the installed copies of a relative file would be, in the order to try them.
    QStringList installedCopies(const QString& windowsPath) const;

private:
    QString m_driveRoot;
    QString m_workingDirectory;
    QStringList m_installedData;
};
