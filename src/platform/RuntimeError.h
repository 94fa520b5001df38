#pragma once

#include <QString>
#include <exception>
#include <string>

// The one way the program fails: every run-time error (16-bit overflow, an index outside
// the trial table, a file that cannot be opened or written, a drawing failure) is thrown as
// a RuntimeError and caught at the event handler that started the work, which reports it
// and ends the program.
class RuntimeError : public std::exception {
public:
    explicit RuntimeError(QString message);

    // what: in German, what overflowed and what follows for the user; may be null.
    static RuntimeError overflow(const char* what = nullptr);
    static RuntimeError indexOutOfRange();
    // cause: why the operation failed, in German; path: the file it concerned.
    static RuntimeError fileError(const QString& what, const QString& path, const QString& cause);

    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.c_str(); }

private:
    QString m_message;
    std::string m_utf8;
};
