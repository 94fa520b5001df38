#pragma once

#include "platform/files/WindowsPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

// A data folder and a working directory of their own, with a template in place, so that
// the program's file handling never touches the developer's files.
class TestEnvironment {
public:
    explicit TestEnvironment(const QByteArray& templateContent = "Greifholm-Punkte\r\n") {
        QDir().mkpath(workDir());
        QFile templateFile(workDir() + QStringLiteral("/spunkte.txt"));
        if (templateFile.open(QIODevice::WriteOnly))
            templateFile.write(templateContent);
    }
    // A path of the test's own, beside the data folder and the working directory.
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString dataHome() const { return m_dir.filePath(QStringLiteral("data")); }
    QString workDir() const { return m_dir.filePath(QStringLiteral("work")); }
    QString scoreFile() const {
        return dataHome() + QStringLiteral("/greifholm/c/Programme/spunkte.txt");
    }
    QByteArray scoreFileContent() const {
        QFile file(scoreFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    WindowsPaths paths() const { return WindowsPaths(dataHome(), workDir()); }
    // Puts a file where the score file's folder belongs, so that no score file can be made;
    // returns that place.
    QString blockScoreFolder() const {
        const QString folder = QFileInfo(scoreFile()).absolutePath();
        QDir().mkpath(QFileInfo(folder).absolutePath());
        QFile blocker(folder);
        blocker.open(QIODevice::WriteOnly);
        return folder;
    }

private:
    QTemporaryDir m_dir;
};
