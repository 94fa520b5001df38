#include "RuntimeError.h"

RuntimeError::RuntimeError(QString message)
    : m_message(std::move(message))
    , m_utf8(m_message.toStdString()) {}

RuntimeError RuntimeError::overflow(const char* what) {
    const QString message = QStringLiteral("Laufzeitfehler: Überlauf");
    return RuntimeError(what ? message + QStringLiteral(". ") + QString::fromUtf8(what) : message);
}

RuntimeError RuntimeError::indexOutOfRange() {
    return RuntimeError(QStringLiteral("Laufzeitfehler: Index außerhalb des gültigen Bereichs"));
}

RuntimeError RuntimeError::fileError(const QString& what, const QString& path,
                                     const QString& cause) {
    return RuntimeError(QStringLiteral("Laufzeitfehler: %1 „%2“: %3").arg(what, path, cause));
}
