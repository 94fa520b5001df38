#include "app/Module1.h"
#include "platform/RuntimeError.h"
#include "support/Fakes.h"
#include "support/LayoutCheck.h"
#include "support/TestEnvironment.h"
#include "ui/results/Form2.h"

#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>

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
    Module1* m_module = nullptr;
    TestEnvironment* m_env = nullptr;
    WindowsPaths* m_paths = nullptr;
    PollingLockWait m_lockWait;
    Form2* m_form = nullptr;

private slots:
    void init() {
        m_module = new Module1;
        m_env = new TestEnvironment;
        m_paths = new WindowsPaths(m_env->paths());
        QDir().mkpath(QFileInfo(m_env->scoreFile()).absolutePath());
        m_form = new Form2(*m_module, *m_paths, m_lockWait);
    }
    void cleanup() {
        delete m_form;
        delete m_paths;
        delete m_env;
        delete m_module;
    }

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
        checkControl(m_form, name, row);
    }

    // The window's title, size, colour, tab order, and an empty list before any series.
    void window() {
        QCOMPARE(m_form->windowTitle(), QStringLiteral("Ergebnis-Greifholmtest"));
        QCOMPARE(m_form->size(), QSize(442, 339));
        QCOMPARE(m_form->palette().color(QPalette::Window), kWindow);
        QCOMPARE(tabOrderOf(m_form, {"Label1", "Command1", "List1"}),
                 QStringList({"Label1", "Command1", "List1"}));
        QVERIFY(m_form->findChild<QListWidget*>(QStringLiteral("List1"))->count() == 0);
    }

    // The twelve items of one series, its score appended; the next series replaces them.
    void itemsAndScoreLines() {
        m_module->TrialTimes = {245, 300, 180, 220, 260, 199, 201, 310, 150, 275};

        m_form->showSeries();
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
        QCOMPARE(itemsOf(*m_form), expected);
        QCOMPARE(m_form->totalTime(), qint16(2340));
        QCOMPARE(m_form->points(), qint16(283));
        QVERIFY(m_form->isVisible());
        QCOMPARE(m_env->scoreFileContent(), QByteArray(" 283\r\n"));

        m_module->TrialTimes.fill(800);
        m_form->showSeries();
        const QStringList items = itemsOf(*m_form);
        QCOMPARE(items.size(), 12);
        QCOMPARE(items[0], QStringLiteral("1. Versuch:  800 1/1000 s"));
        QCOMPARE(items[10], QStringLiteral("Die benötigte Gesamtzeit beträgt:  8 Sekunden"));
        QCOMPARE(items[11], QStringLiteral("Die Gesamtpunktzahl beträgt:       0"));
        QCOMPARE(m_env->scoreFileContent(), QByteArray(" 283\r\n 0\r\n"));
    }

    // An overflowing series is an error and saves nothing.
    void overflowSavesNothing() {
        m_module->TrialTimes.fill(3300);
        QVERIFY_THROWS_EXCEPTION(RuntimeError, m_form->showSeries());
        QCOMPARE(m_env->scoreFileContent(), QByteArray());
    }

    // "Zurück" and the close control both hand back to the main window.
    void returnPaths() {
        QSignalSpy returned(m_form, &Form2::returned);

        m_form->showSeries();
        m_form->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        QCOMPARE(returned.count(), 1);
        QVERIFY(!m_form->isVisible());

        m_form->showSeries();
        QVERIFY(m_form->close());
        QCOMPARE(returned.count(), 2);
        QVERIFY(!m_form->isVisible());
    }
};

QTEST_MAIN(TestForm2)
#include "tst_form2.moc"
