#include "DisplayCheck.h"

#include "X11KeyState.h"
#include "platform/messages/GermanQtTexts.h"
#include "platform/messages/MessageBoxErrorReporter.h"
#include "platform/wayland/WaylandSession.h"

#include <QApplication>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

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
    return qtWaylandInstalled() ? "wayland" : nullptr;
}

} // namespace

void requireX11Display(int& qtArgc, char** qtArgv) {
    const QString problem = x11Problem();
    if (!problem.isEmpty()) {
        const char* platform = platformForMessage();
        if (!platform) {
            std::fprintf(stderr, "greifholm: %s\n", problem.toLocal8Bit().constData());
            std::exit(1);
        }
        qputenv("QT_QPA_PLATFORM", platform);
        QApplication app(qtArgc, qtArgv);
        QTranslator qtTexts;
        installGermanQtTexts(qtTexts);
        MessageBoxErrorReporter().reportFatal(problem);
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
}
