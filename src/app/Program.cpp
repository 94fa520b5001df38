#include "Program.h"

#include "Module1.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/MessageBoxErrorReporter.h"
#include "platform/MessageBoxLockWait.h"
#include "platform/Random.h"
#include "platform/Sleeper.h"
#include "platform/TimeOfDay.h"
#include "platform/WindowsPaths.h"
#include "platform/X11KeyState.h"
#include "ui/Layout.h"
#include "ui/main/Form1.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <optional>

namespace {

const char kNoDisplay[] =
    "Laufzeitfehler: Kein X-Server gefunden. Greifholm liest die Pfeiltasten über X11 "
    "(auch unter Wayland über XWayland); bitte in einer grafischen Sitzung mit gesetzter "
    "Variable DISPLAY starten.";
const char kWaylandWithoutX[] =
    "Laufzeitfehler: Kein X-Server gefunden. Diese Wayland-Sitzung bietet kein XWayland; "
    "Greifholm liest die Pfeiltasten über X11 und braucht XWayland.";

// What keeps the program from reading the arrow keys, or nothing.
QString x11Problem() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        return QString::fromUtf8(qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ? kNoDisplay
                                                                                : kWaylandWithoutX);
    }
    try {
        X11KeyState::checkServer();
    } catch (const RuntimeError& error) {
        return error.message();
    }
    return QString();
}

// Where a message about the problem can be shown: on the X server when it answers (it
// lacks XInput or arrow keys), else on a Wayland desktop through Qt's Wayland plugin; without
// that plugin Qt would abort, so then standard error alone says it. Null: nowhere.
const char* platformForMessage() {
    if (X11KeyState::serverReachable())
        return "xcb";
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return nullptr;
    const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                         QStringLiteral("/platforms"));
    return platforms.entryList({QStringLiteral("libqwayland*")}).isEmpty() ? nullptr : "wayland";
}

// Qt's own texts (the context menus of the time box and the speed bar, the buttons of
// message boxes) in German like the program's, whatever the user's locale.
void installGermanQtTexts(QTranslator& translator) {
    if (translator.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("qtbase"),
                        QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&translator);
}

} // namespace

int runGreifholm(int /*argc*/, char** argv) {
    Files::failWritesBeyondSizeLimit();
    // The program takes no command line: Qt's own options (-reverse, -platform …) would
    // change what the user sees, so Qt gets the program's name alone.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};

    // The arrow keys are read from the X server whichever window has the focus, so the
    // windows go there too, whatever platform the environment asks Qt for.
    const QString problem = x11Problem();
    if (!problem.isEmpty()) {
        const char* platform = platformForMessage();
        if (!platform) {
            std::fprintf(stderr, "greifholm: %s\n", problem.toLocal8Bit().constData());
            return 1;
        }
        qputenv("QT_QPA_PLATFORM", platform);
        QApplication app(qtArgc, qtArgv);
        QTranslator qtTexts;
        installGermanQtTexts(qtTexts);
        MessageBoxErrorReporter().reportFatal(problem);
    }
    qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(qtArgc, qtArgv);
    QApplication::setApplicationName(QStringLiteral("greifholm"));
    // Taskbars match the windows to the menu entry by its name, on X11 and Wayland alike.
    QApplication::setDesktopFileName(QStringLiteral("de.greifholm.greifholm"));
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("greifholm"), QIcon(QStringLiteral(":/greifholm.svg"))));
    QTranslator qtTexts;
    installGermanQtTexts(qtTexts);
    installFontSubstitutes();
    MessageBoxErrorReporter errors;
    MessageBoxLockWait lockWait;

    std::optional<X11KeyState> keys;
    guarded(errors, [&] { keys.emplace(); });
    std::optional<WindowsPaths> paths;
    guarded(errors, [&] { paths.emplace(WindowsPaths::fromEnvironment()); });
    SteadyClock clock;
    ThreadSleeper sleeper;
    MersenneRandom random;
    SystemTimeOfDay timeOfDay;
    const Platform platform{clock, *keys, sleeper, random, timeOfDay, errors, lockWait};
    Module1 module;

    Form1 mainWindow(module, platform, *paths);
    // A failing score file ends the program before the main window shows.
    guarded(errors, [&] { mainWindow.load(); });
    mainWindow.showMaximized();
    return app.exec();
}
