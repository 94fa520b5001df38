#pragma once

#include "platform/ErrorReporter.h"

// Shows the error in a message box, writes it to standard error and ends the program with
// exit status 1.
class MessageBoxErrorReporter final : public ErrorReporter {
public:
    [[noreturn]] void reportFatal(const QString& message) override;
};
