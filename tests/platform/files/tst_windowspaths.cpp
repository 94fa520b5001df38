#include "platform/RuntimeError.h"
#include "platform/files/WindowsPaths.h"
#include "storage/ScoreFile.h"

#include <QTest>

// How the program's Windows paths map onto this system, and where the data folder comes from.
class TestWindowsPaths : public QObject {
    Q_OBJECT
private slots:
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

    // The data folder comes only from an absolute XDG_DATA_HOME or HOME; a folder name that
    // is not UTF-8 is refused rather than silently renamed.
    void dataFolderFromEnvironment_data() {
        QTest::addColumn<QByteArray>("xdgDataHome");
        QTest::addColumn<QByteArray>("home");
        QTest::addColumn<QString>("expected"); // empty: refused
        QTest::newRow("XDG_DATA_HOME")
            << QByteArray("/x") << QByteArray("/h") << "/x/greifholm/c/Programme/spunkte.txt";
        QTest::newRow("relative XDG_DATA_HOME ignored")
            << QByteArray("rel") << QByteArray("/h")
            << "/h/.local/share/greifholm/c/Programme/spunkte.txt";
        QTest::newRow("neither set") << QByteArray() << QByteArray() << QString();
        QTest::newRow("HOME not UTF-8") << QByteArray() << QByteArray("/h\xe4") << QString();
    }
    void dataFolderFromEnvironment() {
        QFETCH(QByteArray, xdgDataHome);
        QFETCH(QByteArray, home);
        QFETCH(QString, expected);
        const QByteArray savedXdg = qgetenv("XDG_DATA_HOME");
        const QByteArray savedHome = qgetenv("HOME");
        const auto set = [](const char* name, const QByteArray& value) {
            if (value.isEmpty())
                qunsetenv(name);
            else
                qputenv(name, value);
        };
        set("XDG_DATA_HOME", xdgDataHome);
        set("HOME", home);
        QString mapped;
        try {
            mapped = WindowsPaths::fromEnvironment().map(ScoreFile::kScoreFilePath);
        } catch (const RuntimeError& error) {
            mapped.clear();
            QVERIFY2(error.message().contains(QStringLiteral("HOME")), qPrintable(error.message()));
        }
        set("XDG_DATA_HOME", savedXdg);
        set("HOME", savedHome);
        QCOMPARE(mapped, expected);
    }
};

QTEST_GUILESS_MAIN(TestWindowsPaths)
#include "tst_windowspaths.moc"
