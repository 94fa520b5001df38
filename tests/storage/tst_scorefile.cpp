#include "platform/Files.h"
#include "platform/RuntimeError.h"
#include "platform/WindowsPaths.h"
#include "storage/ScoreFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
}

const QByteArray kTemplate("Greifholm-Punkte\r\n");

} // namespace

class TestScoreFile : public QObject {
    Q_OBJECT
private:
    QTemporaryDir* m_dir = nullptr;
    QString m_dataHome;
    QString m_workDir;
    QString m_scorePath;

    WindowsPaths paths() const { return WindowsPaths(m_dataHome, m_workDir); }

private slots:
    void init() {
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
        m_dataHome = m_dir->filePath(QStringLiteral("data"));
        m_workDir = m_dir->filePath(QStringLiteral("work"));
        QVERIFY(QDir().mkpath(m_workDir));
        m_scorePath = m_dataHome + QStringLiteral("/greifholm/c/Programme/spunkte.txt");
    }
    void cleanup() {
        delete m_dir;
        m_dir = nullptr;
    }

    // The Windows names map onto the user's data folder and the working directory.
    void pathMapping_data() {
        QTest::addColumn<QString>("windowsPath");
        QTest::addColumn<QString>("expected");
        QTest::newRow("score file") << "C:\\Programme\\spunkte.txt"
                                    << "/home/u/.local/share/greifholm/c/Programme/spunkte.txt";
        QTest::newRow("lower-case drive") << "c:\\x.txt"
                                          << "/home/u/.local/share/greifholm/c/x.txt";
        QTest::newRow("template") << ".\\spunkte.txt"
                                  << "/work/dir/spunkte.txt";
        QTest::newRow("plain relative") << "spunkte.txt"
                                        << "/work/dir/spunkte.txt";
    }
    void pathMapping() {
        QFETCH(QString, windowsPath);
        QFETCH(QString, expected);
        const WindowsPaths mapping(QStringLiteral("/home/u/.local/share"),
                                   QStringLiteral("/work/dir"));
        QCOMPARE(mapping.map(windowsPath), expected);
    }

    // The first start creates the folder and installs the template.
    void missingFileGetsTemplate() {
        writeFile(m_workDir + QStringLiteral("/spunkte.txt"), kTemplate);
        ScoreFile::startupCheck(paths());
        QCOMPARE(readFile(m_scorePath), kTemplate);
        // No temporary file is left beside it.
        QCOMPARE(QDir(QFileInfo(m_scorePath).absolutePath())
                     .entryList(QDir::Files | QDir::Hidden)
                     .size(),
                 1);
    }

    // Below 10 bytes the file is replaced by the template; from 10 bytes on it stays.
    void sizeThreshold_data() {
        QTest::addColumn<QByteArray>("existing");
        QTest::addColumn<bool>("replaced");
        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("9 bytes") << QByteArray("123456789") << true;
        QTest::newRow("10 bytes") << QByteArray(" 227\r\n 0\r\n") << false;
        QTest::newRow("longer") << QByteArray(" 227\r\n 0\r\n 350\r\n") << false;
    }
    void sizeThreshold() {
        QFETCH(QByteArray, existing);
        QFETCH(bool, replaced);
        writeFile(m_workDir + QStringLiteral("/spunkte.txt"), kTemplate);
        writeFile(m_scorePath, existing);
        ScoreFile::startupCheck(paths());
        QCOMPARE(readFile(m_scorePath), replaced ? kTemplate : existing);
    }

    // A short score file and no template: an error naming the template, the file untouched.
    void missingTemplateIsAnError() {
        writeFile(m_scorePath, QByteArray(" 42\r\n"));
        try {
            ScoreFile::startupCheck(paths());
            QFAIL("no error for a missing template");
        } catch (const RuntimeError& error) {
            QVERIFY2(error.message().contains(m_workDir + QStringLiteral("/spunkte.txt")),
                     qPrintable(error.message()));
            QVERIFY2(error.message().contains(QStringLiteral("nicht gefunden")),
                     qPrintable(error.message()));
        }
        QCOMPARE(readFile(m_scorePath), QByteArray(" 42\r\n"));
    }

    // A folder where the score file or its folder should be is an error, not a success.
    void folderInPlaceOfFile() {
        writeFile(m_workDir + QStringLiteral("/spunkte.txt"), kTemplate);
        QVERIFY(QDir().mkpath(m_scorePath));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, ScoreFile::startupCheck(paths()));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, ScoreFile::appendScore(m_scorePath, 100));
    }
    void fileInPlaceOfFolder() {
        writeFile(m_workDir + QStringLiteral("/spunkte.txt"), kTemplate);
        writeFile(m_dataHome + QStringLiteral("/greifholm/c/Programme"), "not a folder");
        try {
            ScoreFile::startupCheck(paths());
            QFAIL("no error for a file in place of the folder");
        } catch (const RuntimeError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("Programme")),
                     qPrintable(error.message()));
        }
    }

    // Each score is one line: a space, the digits, CR LF; lines are only ever appended.
    void appendLines() {
        writeFile(m_scorePath, kTemplate);
        ScoreFile::appendScore(m_scorePath, 227);
        ScoreFile::appendScore(m_scorePath, 0);
        QCOMPARE(readFile(m_scorePath), kTemplate + QByteArray(" 227\r\n 0\r\n"));
    }
    void appendCreatesMissingFile() {
        QDir().mkpath(QFileInfo(m_scorePath).absolutePath());
        ScoreFile::appendScore(m_scorePath, 350);
        QCOMPARE(readFile(m_scorePath), QByteArray(" 350\r\n"));
    }

    // A full disk is reported, not taken for a saved score.
    void fullDiskIsAnError() {
        if (!QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("/dev/full is not available");
        try {
            ScoreFile::appendScore(QStringLiteral("/dev/full"), 227);
            QFAIL("no error for a full disk");
        } catch (const RuntimeError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("Kein Speicherplatz")),
                     qPrintable(error.message()));
        }
    }

    void causeTexts() {
        QCOMPARE(Files::causeText(ENOENT), QStringLiteral("Datei oder Verzeichnis nicht gefunden"));
        QCOMPARE(Files::causeText(ENOSPC), QStringLiteral("Kein Speicherplatz mehr auf dem Gerät"));
        QCOMPARE(Files::causeText(12345), QStringLiteral("Systemfehler 12345"));
    }
};

QTEST_GUILESS_MAIN(TestScoreFile)
#include "tst_scorefile.moc"
