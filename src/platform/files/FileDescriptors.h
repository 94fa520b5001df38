#pragma once

#include <QByteArray>
#include <QString>
#include <unistd.h>
#include <utility>

// What the file operations share: a descriptor closed on every path, the native name, whole
// writes and syncs, and the German errors that name the file and the cause.
namespace Files {

// Closes the descriptor on every path out of a function; close() itself is checked where
// the data's arrival depends on it.
class Descriptor {
public:
    explicit Descriptor(int fd)
        : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

QByteArray native(const QString& path);
[[noreturn]] void fail(const QString& what, const QString& path, int error);
[[noreturn]] void failNotRegular(const QString& path, const QString& detail = QString());
// Writes all of bytes, or throws.
void writeAll(int fd, const QByteArray& bytes, const QString& path);
// fsync, then close, each checked: the data has arrived when it returns.
void syncAndClose(Descriptor& fd, const QString& path);
// Throws unless the descriptor is a regular file.
void requireRegular(int fd, const QString& path);

} // namespace Files
