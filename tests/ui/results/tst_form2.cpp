#include "app/Module1.h"
#include "platform/RuntimeError.h"
#include "support/Fakes.h"
#include "support/LayoutCheck.h"
#include "support/TestEnvironment.h"
#include "ui/results/Form2.h"

#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <optional>

namespace {

const QColor kWindow(255, 224, 192);

QStringList itemsOf(Form2& form) {
    auto* list = form.findChild<QListWidget*>(QStringLiteral("List1"));
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

} // namespace

class TestForm2 : public QObject {
    Q_OBJECT
private:
    // Each test's own data folder with the score file's folder in place, and the window.
    struct Fixture {
        Module1 module;
        TestEnvironment env;
        WindowsPaths paths = env.paths();
        PollingLockWait lockWait;
        bool folderMade = QDir().mkpath(QFileInfo(env.scoreFile()).absolutePath());
        Form2 form{module, paths, lockWait};
    };
    std::optional<Fixture> m_f;

private slots:
    void init() { m_f.emplace(); }
    void cleanup() { m_f.reset(); }

    // The results window's controls as laid out.
    void layout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<ControlRow>("row");
        const QString arial = QStringLiteral("Arial");
        QTest::newRow("Label1") << "Label1" << ControlRow{"QLabel",     {2400, 240, 1815, 375},
                                                          "Auswertung", arial,
                                                          15.75,        true,
                                                          kWindow,      QColor(0, 0, 64)};
        QTest::newRow("Command1")
            << "Command1"
            << ControlRow{"QPushButton", {2640, 4320, 1215, 615}, "Zurück", arial, 12};
        QTest::newRow("List1")
            << "List1"
            << ControlRow{"QListWidget",         {360, 720, 5985, 3300}, "", arial, 12, false,
                          QColor(255, 255, 255), QColor(0, 0, 128)};
    }
    void layout() {
        QFETCH(QString, name);
        QFETCH(ControlRow, row);
        checkControl(&m_f->form, name, row);
    }

    // The window's title, size, colour, tab order, and an empty list before any series.
    void window() {
        QCOMPARE(m_f->form.windowTitle(), QStringLiteral("Ergebnis-Greifholmtest"));
        QCOMPARE(m_f->form.size(), QSize(442, 339));
        QCOMPARE(m_f->form.palette().color(QPalette::Window), kWindow);
        QCOMPARE(tabOrderOf(&m_f->form, {"Label1", "Command1", "List1"}),
                 QStringList({"Label1", "Command1", "List1"}));
        QVERIFY(m_f->form.findChild<QListWidget*>(QStringLiteral("List1"))->count() == 0);
    }

    // The twelve items of one series, its score appended; the next series replaces them.
    void itemsAndScoreLines() {
        m_f->module.TrialTimes = {245, 300, 180, 220, 260, 199, 201, 310, 150, 275};

        m_f->form.showSeries();
        const QStringList expected{
            "1. Versuch:  245 1/1000 s",
            "2. Versuch:  300 1/1000 s",
            "3. Versuch:  180 1/1000 s",
            "4. Versuch:  220 1/1000 s",
            "5. Versuch:  260 1/1000 s",
            "6. Versuch:  199 1/1000 s",
            "7. Versuch:  201 1/1000 s",
            "8. Versuch:  310 1/1000 s",
            "9. Versuch:  150 1/1000 s",
            "10. Versuch:  275 1/1000 s",
            "Die benötigte Gesamtzeit beträgt:  2.34 Sekunden",
            "Die Gesamtpunktzahl beträgt:       283",
        };
        QCOMPARE(itemsOf(m_f->form), expected);
        QCOMPARE(m_f->form.totalTime(), qint16(2340));
        QCOMPARE(m_f->form.points(), qint16(283));
        QVERIFY(m_f->form.isVisible());
        QCOMPARE(m_f->env.scoreFileContent(), QByteArray(" 283\r\n"));

        m_f->module.TrialTimes.fill(800);
        m_f->form.showSeries();
        const QStringList items = itemsOf(m_f->form);
        QCOMPARE(items.size(), 12);
        QCOMPARE(items[0], QStringLiteral("1. Versuch:  800 1/1000 s"));
        QCOMPARE(items[10], QStringLiteral("Die benötigte Gesamtzeit beträgt:  8 Sekunden"));
        QCOMPARE(items[11], QStringLiteral("Die Gesamtpunktzahl beträgt:       0"));
        QCOMPARE(m_f->env.scoreFileContent(), QByteArray(" 283\r\n 0\r\n"));
    }

    // An overflowing series is an error that says what overflowed, and saves nothing.
    void overflowSavesNothing() {
        m_f->module.TrialTimes.fill(3300);
        try {
            m_f->form.showSeries();
            QFAIL("no overflow");
        } catch (const RuntimeError& error) {
            QVERIFY(error.message().startsWith(
                QStringLiteral("Laufzeitfehler: Überlauf. Die Gesamtzeit der Versuchsreihe")));
        }
        QCOMPARE(m_f->env.scoreFileContent(), QByteArray());
    }

    // "Zurück" and the close control both hand back to the main window.
    void returnPaths() {
        QSignalSpy returned(&m_f->form, &Form2::returned);

        m_f->form.showSeries();
        m_f->form.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        QCOMPARE(returned.count(), 1);
        QVERIFY(!m_f->form.isVisible());

        m_f->form.showSeries();
        QVERIFY(m_f->form.close());
        QCOMPARE(returned.count(), 2);
        QVERIFY(!m_f->form.isVisible());
    }
};

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
