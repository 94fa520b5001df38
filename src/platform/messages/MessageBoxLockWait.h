#pragma once

#include "platform/files/Files.h"

// Waits a few seconds quietly, as another instance copying the template on a slow disk holds
// the lock that long; then tells the user in a box what the program is waiting for and
// carries on by itself as soon as the lock is free. "Abbrechen" gives up.
class MessageBoxLockWait final : public Files::LockWait {
public:
    bool waitFor(const QString& lockPath, const std::function<bool()>& tryLock) override;
};
