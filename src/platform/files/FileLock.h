#pragma once

#include <QString>
#include <functional>

namespace Files {

// What happens while another process holds a lock the program needs. The real one waits a
// few seconds quietly, then tells the user what the program is waiting for.
class LockWait {
public:
    virtual ~LockWait() = default;
    // Called when the lock at lockPath is held elsewhere. Calls tryLock now and then until it
    // returns true (return true: the attempt is over, its outcome known to the caller) or the
    // user gives up (return false). tryLock never throws.
    virtual bool waitFor(const QString& lockPath, const std::function<bool()>& tryLock) = 0;
};

// An exclusive lock on the lock file at path, held for the object's lifetime. The file is
// created when missing and opened for reading only, which is all an advisory lock needs (a
// lock file left by another user still works). It is never followed through a symlink: a
// link, or anything else that is not a regular file, in its place is refused. While another
// process holds it, `wait` decides; giving up is an error.
class Lock {
public:
    Lock(const QString& path, LockWait& wait);
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    int m_fd;
};

} // namespace Files
