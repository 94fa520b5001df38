#include "X11ConnectionLoss.h"

#include <QString>
#include <X11/Xlib.h>
#include <cstdio>
#include <cstdlib>

namespace {

const char kConnectionLost[] =
    "greifholm: Laufzeitfehler: Die Verbindung zum X-Server ist abgebrochen; das Programm "
    "endet. Eine angefangene Versuchsreihe wurde nicht gespeichert.\n";

QtMessageHandler g_qtHandler = nullptr;

void sayLoss() {
    std::fputs(kConnectionLost, stderr);
    std::fflush(stderr);
}

// Qt's xcb connection reports the loss this way and then ends the program itself.
void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QLatin1String("The X11 connection broke"))) {
        sayLoss();
        return;
    }
    if (g_qtHandler)
        g_qtHandler(type, context, message);
}

// The program's own Xlib connections (key state, window painter): the handler must not
// return.
int onXlibConnectionLoss(Display*) {
    sayLoss();
    std::_Exit(1);
}

} // namespace

void sayX11ConnectionLossInGerman() {
    g_qtHandler = qInstallMessageHandler(onQtMessage);
    XSetIOErrorHandler(onXlibConnectionLoss);
}
