#include "platform/ErrorReporter.h"
#include "platform/messages/EventHalt.h"
#include "support/Fakes.h"

#include <QTest>
#include <QTimer>
#include <stdexcept>

// How an event handler's error reaches the reporter that ends the program.
class TestErrorReporter : public QObject {
    Q_OBJECT
private slots:
    // A handler's error reaches the reporter once, and the rest of the handler does not run.
    void guardedReportsAndStops() {
        RecordingErrorReporter reporter;
        bool after = false;
        const auto check = [](int value) {
            if (value > 32767)
                throw RuntimeError::overflow();
        };
        QVERIFY_THROWS_EXCEPTION(RecordingErrorReporter::Reported, guarded(reporter, [&] {
                                     check(32768);
                                     after = true;
                                 }));
        QCOMPARE(reporter.messages, QStringList{QStringLiteral("Laufzeitfehler: Überlauf")});
        QVERIFY(!after);

        guarded(reporter, [&] { after = true; });
        QVERIFY(after);
        QCOMPARE(reporter.messages.size(), 1);
    }

    // What the standard library throws is reported too: nothing but the reporter ends the
    // program, and no exception unwinds through Qt's event loop.
    void guardedReportsStandardExceptions_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("memory") << 0 << "Laufzeitfehler: Nicht genügend Arbeitsspeicher";
        QTest::newRow("other") << 1 << "Laufzeitfehler: kaputt";
    }
    void guardedReportsStandardExceptions() {
        QFETCH(int, kind);
        QFETCH(QString, message);
        RecordingErrorReporter reporter;
        QVERIFY_THROWS_EXCEPTION(RecordingErrorReporter::Reported, guarded(reporter, [&] {
                                     if (kind == 0)
                                         throw std::bad_alloc();
                                     throw std::runtime_error("kaputt");
                                 }));
        QCOMPARE(reporter.messages, QStringList{message});
    }

    // Once halted, the program's objects get no tick and no queued call while the message
    // is shown; what is made after the halt (the message box) runs as usual.
    void haltStopsTheProgramsEvents() {
        QObject window;
        QTimer tick(&window);
        QTimer messageBox;
        int ticks = 0;
        int calls = 0;
        int boxTicks = 0;
        connect(&tick, &QTimer::timeout, [&] { ++ticks; });
        connect(&messageBox, &QTimer::timeout, [&] { ++boxTicks; });
        tick.start(0);
        QTRY_VERIFY(ticks > 0);

        EventHalt::install({&window});
        const int ticksAtHalt = ticks;
        const auto call = [&] { ++calls; };
        QMetaObject::invokeMethod(&window, call, Qt::QueuedConnection);
        messageBox.start(0);
        QTRY_VERIFY(boxTicks > 10);
        QCOMPARE(ticks, ticksAtHalt);
        QCOMPARE(calls, 0);
    }
};

QTEST_GUILESS_MAIN(TestErrorReporter)
#include "tst_errorreporter.moc"
