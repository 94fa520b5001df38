#include "MessageBoxErrorReporter.h"

#include "EventHalt.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

void MessageBoxErrorReporter::reportFatal(const QString& message) {
    std::fprintf(stderr, "greifholm: %s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        // Nothing of the program goes on behind the message: no tick, no trial, no window,
        // no write.
        QObjectList windows;
        for (QWidget* window : QApplication::topLevelWidgets())
            windows.append(window);
        EventHalt::install(windows);
        QMessageBox::critical(nullptr, QStringLiteral("Greifholm"), message);
    }
    // The handler that failed is half done; leave without running anything else of it,
    // no window's close handling, no destructors. Files are always closed between handlers.
    std::_Exit(1);
}
