#include "MessageBoxLockWait.h"

#include <QElapsedTimer>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

namespace {
constexpr qint64 kQuietWaitMs = 3000;
constexpr int kPollMs = 50;
} // namespace

bool MessageBoxLockWait::waitFor(const QString& lockPath, const std::function<bool()>& tryLock) {
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < kQuietWaitMs) {
        QThread::msleep(kPollMs);
        if (tryLock())
            return true;
    }

    QMessageBox box(QMessageBox::Information, QStringLiteral("Greifholm"),
                    QStringLiteral("Greifholm wartet auf die Punktedatei: Ein anderes Programm "
                                   "hält ihre Sperrdatei „%1“. Sobald sie frei ist, geht es von "
                                   "selbst weiter.\n\n„Abbrechen“ beendet Greifholm.")
                        .arg(lockPath),
                    QMessageBox::Cancel);
    bool locked = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &box, [&] {
        if (tryLock()) {
            locked = true;
            box.accept();
        }
    });
    poll.start(kPollMs);
    box.exec();
    return locked;
}
