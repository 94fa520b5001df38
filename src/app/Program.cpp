#include "Program.h"

#include "Module1.h"
#include "platform/Clock.h"
#include "platform/MessageBoxErrorReporter.h"
#include "platform/Random.h"
#include "platform/Sleeper.h"
#include "platform/WindowsPaths.h"
#include "platform/X11KeyState.h"
#include "ui/Layout.h"
#include "ui/main/Form1.h"

#include <QApplication>
#include <cstdio>
#include <optional>

namespace {

const char kNoDisplay[] =
    "Laufzeitfehler: Kein X-Server gefunden. Greifholm liest die Pfeiltasten über X11 "
    "(auch unter Wayland über XWayland); bitte in einer grafischen Sitzung mit gesetzter "
    "Variable DISPLAY starten.";

} // namespace

int runGreifholm(int argc, char** argv) {
    // The arrow keys are read from the X server whichever window has the focus, so the
    // windows go there too, also where Qt would otherwise pick Wayland.
    const bool hasX = !qEnvironmentVariableIsEmpty("DISPLAY");
    if (hasX && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    if (!hasX && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "greifholm: %s\n", kNoDisplay);
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("greifholm"));
    installFontSubstitutes();
    MessageBoxErrorReporter errors;
    if (!hasX)
        errors.reportFatal(QString::fromUtf8(kNoDisplay));

    std::optional<X11KeyState> keys;
    guarded(errors, [&] { keys.emplace(); });
    SteadyClock clock;
    ThreadSleeper sleeper;
    MersenneRandom random;
    SystemTimeOfDay timeOfDay;
    const Platform platform{clock, *keys, sleeper, random, timeOfDay, errors};
    const WindowsPaths paths = WindowsPaths::fromEnvironment();
    Module1 module;

    Form1 mainWindow(module, platform, paths);
    // A failing score file ends the program before the main window shows.
    guarded(errors, [&] { mainWindow.load(); });
    mainWindow.showMaximized();
    return app.exec();
}
