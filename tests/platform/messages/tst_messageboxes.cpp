#include "platform/messages/MessageBoxErrorReporter.h"
#include "platform/messages/MessageBoxLockWait.h"
#include "support/ChildProcess.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <unistd.h>

// The real message boxes: the wait for a held lock, and the report that ends the program.
class TestMessageBoxes : public QObject {
    Q_OBJECT
private slots:
    // After its quiet seconds the wait shows its box, and closes it by itself once the lock
    // is free; the user need not click.
    void lockWaitClosesItsBoxWhenFree() {
        MessageBoxLockWait wait;
        bool boxSeen = false;
        // Should the box stay, it is cancelled, and the wait answers "gave up".
        QTimer rescue;
        rescue.setSingleShot(true);
        connect(&rescue, &QTimer::timeout, [] {
            if (QWidget* box = QApplication::activeModalWidget())
                box->close();
        });
        rescue.start(8000);
        const bool locked = wait.waitFor(QStringLiteral("/tmp/.spunkte.txt.lock"), [&] {
            boxSeen = boxSeen || QApplication::activeModalWidget();
            return boxSeen;
        });
        QVERIFY(boxSeen);
        QVERIFY(locked);
        QVERIFY(rescue.isActive());
    }

    // Behind the message of a fatal error nothing of the program goes on: a window's timer
    // does not tick while the box is shown. (The reporter ends the process, so in a child.)
    void fatalReportHaltsTheProgram() {
        int ticksDuringBox[2];
        QVERIFY(::pipe(ticksDuringBox) == 0);
        const int status = inChildProcess([&] {
            QWidget window;
            QTimer tick(&window);
            int ticks = 0;
            connect(&tick, &QTimer::timeout, [&] { ++ticks; });
            tick.start(0);
            while (ticks == 0)
                QCoreApplication::processEvents();
            const int atBox = ticks;
            QTimer closer; // no window's: it runs behind the halt
            closer.setSingleShot(true);
            connect(&closer, &QTimer::timeout, [&] {
                const int during = ticks - atBox;
                if (::write(ticksDuringBox[1], &during, sizeof during) != sizeof during)
                    ::_exit(3);
                if (QWidget* box = QApplication::activeModalWidget())
                    box->close();
            });
            closer.start(300);
            MessageBoxErrorReporter().reportFatal(QStringLiteral("Laufzeitfehler: Überlauf"));
            return 2; // not reached: the reporter ends the process
        });
        ::close(ticksDuringBox[1]);
        int during = -1;
        QCOMPARE(::read(ticksDuringBox[0], &during, sizeof during), ssize_t(sizeof during));
        ::close(ticksDuringBox[0]);
        QCOMPARE(status, 1);
        QCOMPARE(during, 0);
    }
};

QTEST_MAIN(TestMessageBoxes)
#include "tst_messageboxes.moc"
