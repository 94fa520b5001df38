#pragma once

#include "RuntimeError.h"

#include <utility>

#include <exception>
#include <new>

// Receives the run-time error that ends the program. The real reporter shows a message box,
// writes the text to standard error and exits with a non-zero status. It must not return:
// the handler that failed is half done, and the program start goes on as if it had not
// failed (a test's reporter throws instead).
class ErrorReporter {
public:
    virtual ~ErrorReporter() = default;
    [[noreturn]] virtual void reportFatal(const QString& message) = 0;
};

// Runs one event handler's work. Qt must not see an exception unwind through its event
// loop, so each handler that can fail catches here and hands the error to the reporter;
// also what the standard library throws (memory running out), which is no less fatal.
template <typename Work> void guarded(ErrorReporter& reporter, Work&& work) {
    try {
        std::forward<Work>(work)();
    } catch (const RuntimeError& error) {
        reporter.reportFatal(error.message());
    } catch (const std::bad_alloc&) {
        reporter.reportFatal(QStringLiteral("Laufzeitfehler: Nicht genügend Arbeitsspeicher"));
    } catch (const std::exception& error) {
        reporter.reportFatal(
            QStringLiteral("Laufzeitfehler: %1").arg(QString::fromLocal8Bit(error.what())));
    }
}
