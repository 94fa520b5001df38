#pragma once

#include "RuntimeError.h"

#include <utility>

// Receives the run-time error that ends the program. The real reporter shows a message box,
// writes the text to standard error and exits with a non-zero status; it does not return.
class ErrorReporter {
public:
    virtual ~ErrorReporter() = default;
    virtual void reportFatal(const QString& message) = 0;
};

// Runs one event handler's work. Qt must not see an exception unwind through its event
// loop, so each handler that can fail catches here and hands the error to the reporter.
template <typename Work> void guarded(ErrorReporter& reporter, Work&& work) {
    try {
        std::forward<Work>(work)();
    } catch (const RuntimeError& error) {
        reporter.reportFatal(error.message());
    }
}
