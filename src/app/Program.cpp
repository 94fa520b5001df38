#include "Program.h"

#include "Module1.h"
#include "platform/Clock.h"
#include "platform/Random.h"
#include "platform/Sleeper.h"
#include "platform/TimeOfDay.h"
#include "platform/files/Files.h"
#include "platform/files/WindowsPaths.h"
#include "platform/messages/GermanQtTexts.h"
#include "platform/messages/MessageBoxErrorReporter.h"
#include "platform/messages/MessageBoxLockWait.h"
#include "platform/realtime/RealtimeScheduling.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandKeyState.h"
#include "platform/wayland/WaylandSession.h"
#include "platform/wayland/WaylandWindowPainter.h"
#include "platform/x11/DisplayCheck.h"
#include "platform/x11/X11ConnectionLoss.h"
#include "platform/x11/X11KeyState.h"
#include "platform/x11/X11WindowPainter.h"
#include "ui/Layout.h"
#include "ui/main/Form1.h"

#include <QApplication>
#include <QIcon>
#include <QTranslator>
#include <memory>
#include <optional>

int runGreifholm(int /*argc*/, char** argv) {
    Files::failWritesBeyondSizeLimit();
    sayX11ConnectionLossInGerman();
    // The program takes no command line: Qt's own options (-reverse, -platform …) would
    // change what the user sees, so Qt gets the program's name alone.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};

    // On a Wayland session whose compositor tells when each frame reached the screen, a native
    // Wayland client; elsewhere an X11 client, on X11 or Xwayland.
    const bool wayland = runsNativelyOnWayland(probeWaylandSession(), qtWaylandInstalled());
    if (wayland)
        qputenv("QT_QPA_PLATFORM", "wayland");
    else
        requireX11Display(qtArgc, qtArgv);

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

    SteadyClock clock;
    // The key state and the painter of the window system the program runs on.
    std::optional<WaylandConnection> waylandConnection;
    std::unique_ptr<KeyState> keys;
    std::unique_ptr<WindowPainter> painter;
    X11WindowPainter* x11Painter = nullptr;
    if (wayland) {
        waylandConnection.emplace();
        keys = std::make_unique<WaylandKeyState>(*waylandConnection);
        painter = std::make_unique<WaylandWindowPainter>(*waylandConnection, clock);
    } else {
        guarded(errors, [&] { keys = std::make_unique<X11KeyState>(); });
        painter = std::make_unique<X11WindowPainter>(clock);
        x11Painter = static_cast<X11WindowPainter*>(painter.get());
    }
    std::optional<WindowsPaths> paths;
    guarded(errors, [&] { paths.emplace(WindowsPaths::fromEnvironment()); });
    ThreadSleeper sleeper;
    MersenneRandom random;
    SystemTimeOfDay timeOfDay;
    RealtimeScheduling scheduling;
    const Platform platform{clock,  *keys,    sleeper,  random,    timeOfDay,
                            errors, lockWait, *painter, scheduling};
    Module1 module;

    Form1 mainWindow(module, platform, *paths);
    // A failing score file ends the program before the main window shows.
    guarded(errors, [&] { mainWindow.load(); });
    // The window exists now, not yet shown: an X11 compositor reads its frame counters when it
    // takes the window over.
    if (x11Painter)
        x11Painter->synchroniseFrames(mainWindow.winId());
    mainWindow.showMaximized();
    return app.exec();
}
