#pragma once

#include <QString>

// The program names its files with the Windows paths it has always used. This maps them
// onto this system: the drive "C:\" becomes the folder greifholm/c under the user's data
// folder, backslashes become slashes, and ".\" is the working directory at start-up.
class WindowsPaths {
public:
    WindowsPaths(QString dataHome, QString workingDirectory);

    // From $XDG_DATA_HOME (default ~/.local/share) and the current working directory.
    static WindowsPaths fromEnvironment();

    QString map(const QString& windowsPath) const;

private:
    QString m_driveRoot;
    QString m_workingDirectory;
};
