#include "platform/x11/X11KeyState.h"
#include "support/XdoTool.h"

#include <QTest>

namespace {

void send(const QStringList& arguments) {
    int exitCode = -1;
    xdotool(arguments, &exitCode);
    QCOMPARE(exitCode, 0);
}

// Reads until the state is not zero (the server may deliver a moment after xdotool ends).
qint16 firstChange(KeyState& keys, int virtualKey) {
    for (int i = 0; i < 200; ++i) {
        const qint16 state = keys.asyncKeyState(virtualKey);
        if (state != 0)
            return state;
        QTest::qWait(10);
    }
    return 0;
}

} // namespace

// The global key state on a real X server, keys sent through XTEST as a user's would arrive.
class TestX11KeyState : public QObject {
    Q_OBJECT
private slots:
    // Down while held, pressed-since bit once, cleared by the query.
    void holdAndRelease() {
        X11KeyState keys;
        QCOMPARE(keys.asyncKeyState(kVkLeft), qint16(0));
        send({QStringLiteral("keydown"), QStringLiteral("Left")});
        QCOMPARE(firstChange(keys, kVkLeft), qint16(kKeyDown | kPressedSinceLastQuery));
        QCOMPARE(keys.asyncKeyState(kVkLeft), kKeyDown);
        QCOMPARE(keys.asyncKeyState(kVkRight), qint16(0));
        send({QStringLiteral("keyup"), QStringLiteral("Left")});
        QTRY_COMPARE(keys.asyncKeyState(kVkLeft), qint16(0));
    }

    // A press and release between two queries still leaves the pressed-since bit.
    void tapBetweenQueries() {
        X11KeyState keys;
        send({QStringLiteral("key"), QStringLiteral("Right")});
        QCOMPARE(firstChange(keys, kVkRight), kPressedSinceLastQuery);
        QCOMPARE(keys.asyncKeyState(kVkRight), qint16(0));
    }

    // A press while nobody queries (the event loop drains it meanwhile) is still reported by
    // the next query.
    void pressWhileIdleIsKept() {
        X11KeyState keys;
        send({QStringLiteral("key"), QStringLiteral("Left")});
        QTest::qWait(300);
        QCOMPARE(keys.asyncKeyState(kVkLeft), kPressedSinceLastQuery);
        QCOMPARE(keys.asyncKeyState(kVkLeft), qint16(0));
    }

    // Each key keeps its own pressed-since bit; other keys leave both alone.
    void keysAreSeparate() {
        X11KeyState keys;
        send({QStringLiteral("key"), QStringLiteral("Left"), QStringLiteral("a"),
              QStringLiteral("Up")});
        QCOMPARE(firstChange(keys, kVkLeft), kPressedSinceLastQuery);
        QCOMPARE(keys.asyncKeyState(kVkRight), qint16(0));
    }

    // A key already held when the program starts counts as down.
    void heldAtStart() {
        send({QStringLiteral("keydown"), QStringLiteral("Right")});
        QTest::qWait(100);
        X11KeyState keys;
        QCOMPARE(keys.asyncKeyState(kVkRight), kKeyDown);
        send({QStringLiteral("keyup"), QStringLiteral("Right")});
        QTRY_COMPARE(keys.asyncKeyState(kVkRight), qint16(0));
    }
};

QTEST_GUILESS_MAIN(TestX11KeyState)
#include "tst_x11keystate.moc"
