#include "SystemErrorText.h"

#include <cerrno>

QString germanCause(int error) {
    struct Cause {
        int error;
        const char* text;
    };
    static constexpr Cause kCauses[] = {
        {ENOENT, "Datei oder Verzeichnis nicht gefunden"},
        {EACCES, "Zugriff verweigert"},
        {EPERM, "Zugriff verweigert"},
        {EISDIR, "Ist ein Verzeichnis"},
        {ENOTDIR, "Ein Teil des Pfades ist kein Verzeichnis"},
        {ENOSPC, "Kein Speicherplatz mehr auf dem Gerät"},
        {EDQUOT, "Speicherplatzkontingent überschritten"},
        {EFBIG, "Die Datei ist zu groß"},
        {EROFS, "Das Dateisystem ist nur lesbar"},
        {EEXIST, "Die Datei existiert bereits"},
        {EIO, "Ein-/Ausgabefehler"},
        {ENAMETOOLONG, "Der Dateiname ist zu lang"},
        {EMFILE, "Zu viele offene Dateien"},
        {ENFILE, "Zu viele offene Dateien"},
        {ELOOP, "Zu viele Ebenen symbolischer Verweise"},
        {ENXIO, "Kein solches Gerät"},
        {ENODEV, "Kein solches Gerät"},
        {ETXTBSY, "Die Datei ist in Benutzung"},
        {EBUSY, "Die Datei ist in Benutzung"},
        {EAGAIN, "Die Datei ist vorübergehend nicht verfügbar"},
        {EINTR, "Unterbrochen"},
        {EINVAL, "Ungültiges Argument"},
        {ENOMEM, "Nicht genügend Arbeitsspeicher"},
        {EBADF, "Ungültiger Dateideskriptor"},
        {ESTALE, "Die Datei ist auf dem Netzlaufwerk nicht mehr vorhanden"},
        {EOVERFLOW, "Der Wert ist zu groß für den Datentyp"},
        {EXDEV, "Verschieben zwischen Dateisystemen ist nicht möglich"},
        {EMLINK, "Zu viele Verknüpfungen"},
        {ENOTEMPTY, "Das Verzeichnis ist nicht leer"},
        {ENOLCK, "Keine Sperre verfügbar"},
        {EOPNOTSUPP, "Die Operation wird nicht unterstützt"},
        {ETIMEDOUT, "Zeitüberschreitung"},
        {EILSEQ, "Ungültige Zeichenfolge im Dateinamen"},
    };
    for (const Cause& cause : kCauses) {
        if (cause.error == error)
            return QString::fromUtf8(cause.text);
    }
    return QStringLiteral("Unerwarteter Systemfehler Nummer %1").arg(error);
}
