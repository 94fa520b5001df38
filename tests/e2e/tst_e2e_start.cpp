#include "RealProgram.h"

#include <functional>
#include <sys/resource.h>

using namespace MainWindowPoints;

class TestStart : public QObject {
    Q_OBJECT
private slots:
    // The real program opens its maximised main window with its colours, opens the
    // explanation window and ends on "Ende".
    void windowExplanationAndEnd() {
        RealProgram program;
        const qulonglong window = program.startMainWindow();
        QVERIFY2(window, "no main window shown maximised");

        const QRect client = RealProgram::windowGeometry(window);
        const QImage screen = RealProgram::screen();
        QCOMPARE(screen.pixelColor(client.topLeft() + QPoint(20, 20)), QColor(192, 192, 255));
        QCOMPARE(screen.pixelColor(client.topLeft() + kLeftBox.topLeft() + QPoint(10, 300)),
                 QColor(255, 255, 255));
        QCOMPARE(screen.pixelColor(client.topLeft() + kRightBox.topLeft() + QPoint(10, 300)),
                 QColor(255, 255, 255));
        // Nothing stands in the boxes before "Start".
        QCOMPARE(screen.pixelColor(client.topLeft() + kLeftBox.topLeft() + QPoint(kStickX, 50)),
                 QColor(255, 255, 255));
        // The score file exists from the first start on, holding the template.
        QCOMPARE(program.scoreFileContent(), program.templateContent());

        RealProgram::click(window, kErklaerung);
        QVERIFY2(RealProgram::findWindow(QStringLiteral("Greifholm-Erklärung")),
                 "no explanation window");

        RealProgram::click(window, kEnde);
        QVERIFY(program.process().waitForFinished(10000));
        QCOMPARE(program.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process().exitCode(), 0);
    }

    // Closing the main window ends the program even while the explanation window is open.
    void closeControlEnds() {
        RealProgram program;
        const qulonglong window = program.startMainWindow();
        QVERIFY(window);
        RealProgram::click(window, kErklaerung);
        QVERIFY(RealProgram::findWindow(QStringLiteral("Greifholm-Erklärung")));
        // openbox closes the active window on Alt+F4, as a user's window manager would.
        RealProgram::xdotool(
            {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(window)});
        RealProgram::key({QStringLiteral("alt+F4")});
        QVERIFY(program.process().waitForFinished(10000));
        QCOMPARE(program.process().exitCode(), 0);
    }

    // Without a reachable X server the program says so in German and ends with status 1,
    // not with Qt's abort.
    void noXServer_data() {
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no display") << QString() << "Kein X-Server gefunden";
        QTest::newRow("display naming no server") << ":97"
                                                  << "„:97“ (DISPLAY) ist nicht erreichbar";
    }
    void noXServer() {
        QFETCH(QString, display);
        QFETCH(QString, expected);
        RealProgram program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        if (!display.isEmpty())
            env.insert(QStringLiteral("DISPLAY"), display);
        program.process().setProcessEnvironment(env);
        program.process().start(QStringLiteral(GREIFHOLM_EXECUTABLE), {});
        QVERIFY(program.process().waitForFinished(10000));
        QCOMPARE(program.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process().exitCode(), 1);
        const QString errors = QString::fromLocal8Bit(program.process().readAllStandardError());
        QVERIFY2(errors.contains(expected), qPrintable(errors));
    }

    // When the X server goes away there is no screen for a box: standard error says it in
    // German, and the program ends with status 1.
    void xServerGoneSaidInGerman() {
        QProcess server; // an X server of this test's own, as it is taken away
        server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                              QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QVERIFY(server.waitForReadyRead(20000));
        const QString display = QLatin1Char(':') + QString::fromLatin1(server.readLine()).trimmed();
        RealProgram program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        QProcess search;
        search.setProcessEnvironment(env);
        program.process().setProcessEnvironment(env);
        program.process().setWorkingDirectory(program.workDir());
        program.process().start(QStringLiteral(GREIFHOLM_EXECUTABLE), {});
        QTRY_VERIFY_WITH_TIMEOUT((search.start(QStringLiteral("xdotool"),
                                               {QStringLiteral("search"), QStringLiteral("--name"),
                                                QStringLiteral("^Greifholm-Programm$")}),
                                  search.waitForFinished(10000) && search.exitCode() == 0),
                                 15000);
        server.kill();
        server.waitForFinished(5000);
        QVERIFY(program.process().waitForFinished(10000));
        QCOMPARE(program.process().exitCode(), 1);
        const QString errors = QString::fromLocal8Bit(program.process().readAllStandardError());
        QVERIFY2(errors.contains(QStringLiteral("Die Verbindung zum X-Server ist abgebrochen")),
                 qPrintable(errors));
        QVERIFY2(!errors.contains(QStringLiteral("X11 connection broke")), qPrintable(errors));
    }

    // Started in a folder without a template, the program takes the one beside its build
    // (or installed one) and starts.
    void startWithoutTemplateInFolder() {
        RealProgram program;
        QVERIFY(QFile::remove(program.workDir() + QStringLiteral("/spunkte.txt")));
        QVERIFY2(program.startMainWindow(), "no main window");
        QCOMPARE(program.scoreFileContent(), program.templateContent());
    }

    // A score file that cannot be made stops the start with a message naming the cause,
    // and leaves nothing half-made behind.
    void startFailsWithMessage_data() {
        QTest::addColumn<std::function<void(RealProgram&)>>("setup");
        QTest::addColumn<QString>("expected");
        QTest::newRow("file in place of the folder")
            << std::function([](RealProgram& program) { program.environment().blockScoreFolder(); })
            << "Programme";
        // The kernel's SIGXFSZ would end the program without a word mid-copy.
        QTest::newRow("file size limit") << std::function([](RealProgram& program) {
            program.process().setChildProcessModifier([] {
                const rlimit limit{20, 20}; // bytes: less than the template
                ::setrlimit(RLIMIT_FSIZE, &limit);
            });
        }) << "Die Datei ist zu groß";
    }
    void startFailsWithMessage() {
        QFETCH(std::function<void(RealProgram&)>, setup);
        QFETCH(QString, expected);
        RealProgram program;
        const QString folder = QFileInfo(program.environment().scoreFile()).absolutePath();
        setup(program);

        QVERIFY(program.start());
        const qulonglong box = RealProgram::findWindow(QStringLiteral("Greifholm"));
        QVERIFY2(box, "no error message box");
        QVERIFY(!RealProgram::findWindow(QStringLiteral("Greifholm-Programm"), 500));
        RealProgram::xdotool(
            {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(box)});
        RealProgram::key({QStringLiteral("Return")});
        QVERIFY(program.process().waitForFinished(10000));
        QCOMPARE(program.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process().exitCode(), 1);
        const QString errors = QString::fromLocal8Bit(program.process().readAllStandardError());
        QVERIFY2(errors.contains(QStringLiteral("Laufzeitfehler")), qPrintable(errors));
        QVERIFY2(errors.contains(expected), qPrintable(errors));
        // Nothing half-made is left: no temporary file, no score file.
        if (QFileInfo(folder).isDir()) {
            QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                     QStringList{QStringLiteral(".spunkte.txt.lock")});
        }
    }
};

QTEST_MAIN(TestStart)
#include "tst_e2e_start.moc"
