#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "support/TestEnvironment.h"
#include "support/XdoTool.h"
#include "ui/Twips.h"
#include "ui/explanation/Form3Layout.h"
#include "ui/main/Form1Layout.h"
#include "ui/results/Form2Layout.h"

// Drives the built program in a real window on the X server of with-xvfb.sh: starts it in
// a working directory of its own with the shipped template, finds its windows with xdotool,
// clicks and types through XTEST and looks at the screen.
class RealProgram {
public:
    RealProgram()
        : m_env(shippedTemplate()) {}
    ~RealProgram() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    QString dataHome() const { return m_env.dataHome(); }
    QString workDir() const { return m_env.workDir(); }
    QByteArray scoreFileContent() const { return m_env.scoreFileContent(); }
    const TestEnvironment& environment() const { return m_env; }
    static QByteArray templateContent() { return shippedTemplate(); }

    bool start() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome());
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        m_process.setProcessEnvironment(env);
        m_process.setWorkingDirectory(workDir());
        m_process.start(QStringLiteral(GREIFHOLM_EXECUTABLE), {});
        return m_process.waitForStarted(10000);
    }
    QProcess& process() { return m_process; }

    // Starts the program and waits for its main window to be shown maximised; its id, or 0.
    qulonglong startMainWindow() {
        if (!start())
            return 0;
        const qulonglong window = findWindow(QStringLiteral("Greifholm-Programm"));
        QElapsedTimer timer;
        timer.start();
        const int screenWidth = QGuiApplication::primaryScreen()->geometry().width();
        while (window && windowGeometry(window).width() != screenWidth) {
            if (timer.elapsed() > 10000)
                return 0;
            QThread::msleep(50);
        }
        QThread::msleep(300); // the first paint
        return window;
    }

    // The id of the visible window with this title, or 0 after the timeout.
    static qulonglong findWindow(const QString& title, int timeoutMs = 15000) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < timeoutMs) {
            const QString out =
                xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                         QStringLiteral("--name"), QLatin1Char('^') + title + QLatin1Char('$')});
            const QString first = out.section(QLatin1Char('\n'), 0, 0).trimmed();
            if (!first.isEmpty())
                return first.toULongLong();
            QThread::msleep(100);
        }
        return 0;
    }

    // The window's client area on the screen. (xwininfo, since xdotool's geometry counts
    // a reparenting window manager's frame twice.)
    static QRect windowGeometry(qulonglong window) {
        QProcess process;
        process.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
        process.waitForFinished(10000);
        const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
        QRect rect;
        for (const QString& raw : out.split(QLatin1Char('\n'))) {
            const QString line = raw.trimmed();
            const int value = line.section(QLatin1Char(':'), 1).trimmed().toInt();
            if (line.startsWith(QLatin1String("Absolute upper-left X:")))
                rect.moveLeft(value);
            else if (line.startsWith(QLatin1String("Absolute upper-left Y:")))
                rect.moveTop(value);
            else if (line.startsWith(QLatin1String("Width:")))
                rect.setWidth(value);
            else if (line.startsWith(QLatin1String("Height:")))
                rect.setHeight(value);
        }
        return rect;
    }

    // Clicks at a point given in the window's client coordinates.
    static void click(qulonglong window, QPoint at) {
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(window),
                 QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
                 QStringLiteral("1")});
    }
    static void key(const QStringList& keys) { xdotool(QStringList{QStringLiteral("key")} + keys); }

    static QImage screen() { return QGuiApplication::primaryScreen()->grabWindow(0).toImage(); }

    static QString xdotool(const QStringList& arguments) { return ::xdotool(arguments); }

private:
    static QByteArray shippedTemplate() {
        QFile file(QStringLiteral(GREIFHOLM_TEMPLATE));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    TestEnvironment m_env;
    QProcess m_process;
};

// Where to click and look in the windows' client areas, in pixels, from the program's own
// layout.
namespace MainWindowPoints {
inline const QPoint kStart = twipsCentre(Form1Layout::Command1);
inline const QPoint kEnde = twipsCentre(Form1Layout::Command2);
inline const QPoint kErklaerung = twipsCentre(Form1Layout::Command3);
inline const QRect kLeftBox = twipsRect(Form1Layout::Picture2);
inline const QRect kRightBox = twipsRect(Form1Layout::Picture1);
// The stick's column inside a box: its centre line.
inline const int kStickX = kLeftBox.width() / 2;
} // namespace MainWindowPoints

// "Zurück" in the results window and in the explanation window.
inline const QPoint kResultsBack = twipsCentre(Form2Layout::Command1);
inline const QPoint kExplanationBack = twipsCentre(Form3Layout::Command1);
