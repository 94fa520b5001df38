#include "app/Module1.h"
#include "support/Fakes.h"
#include "support/LayoutCheck.h"
#include "support/TestEnvironment.h"
#include "ui/explanation/Form3.h"
#include "ui/main/Form1.h"
#include "ui/main/TrialTiming.h"
#include "ui/results/Form2.h"

#include <QCloseEvent>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <optional>

namespace {

const QColor kWindow(192, 192, 255);
const QColor kBlackText(0, 0, 0);
constexpr int kBaseline = kBaselineReads;

} // namespace

class TestForm1 : public QObject {
    Q_OBJECT
private:
    struct Fixture {
        TestEnvironment env;
        FakePlatform fakes;
        Module1 module;
        WindowsPaths paths = env.paths();
        Form1 form{module, fakes.platform(), paths};
    };
    std::optional<Fixture> m_f;

    template <typename T> T* control(const char* name) {
        auto* widget = m_f->form.findChild<T*>(QLatin1String(name));
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }

    // Every trial is ended at its first frame by the matching key, after `delayMs`.
    void pressEveryTrialAfter(int delayMs) {
        m_f->fakes.keys.setScript([this, delayMs](int, int read) -> qint16 {
            if (read % (kBaseline + 1) != kBaseline)
                return 0;
            m_f->fakes.clock.advance(std::int64_t(delayMs) * 1'000'000);
            return kKeyDown | kPressedSinceLastQuery;
        });
    }

    // Lets the series timer run fast so that a series passes within the test.
    void runSeries(int delayMs) {
        pressEveryTrialAfter(delayMs);
        control<QPushButton>("Command1")->click();
        auto* timer = control<QTimer>("Timer1");
        timer->setInterval(1);
        QTRY_VERIFY(!timer->isActive());
    }

private slots:
    void init() {
        m_f.emplace();
        m_f->form.load();
        m_f->form.show();
        m_f->fakes.random.values.assign(100, 0.1f); // every tick drops the left stick
    }
    void cleanup() { m_f.reset(); }

    // Every control of the main window: type, place, text, font, colours.
    void layout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<ControlRow>("row");
        const QString arial = QStringLiteral("Arial");
        const QString sans = QStringLiteral("MS Sans Serif");
        QTest::newRow("Picture1") << "Picture1"
                                  << ControlRow{"StickBox", {9000, 360, 3855, 9495}, ""};
        QTest::newRow("Command1") << "Command1"
                                  << ControlRow{
                                         "QPushButton", {7080, 600, 1455, 495}, "Start", arial, 12};
        QTest::newRow("Command2") << "Command2"
                                  << ControlRow{
                                         "QPushButton", {7080, 1320, 1455, 495}, "Ende", arial, 12};
        QTest::newRow("Picture2") << "Picture2"
                                  << ControlRow{"StickBox", {2520, 360, 3855, 9495}, ""};
        QTest::newRow("Label1") << "Label1" << ControlRow{"QLabel",      {7080, 2160, 1455, 735},
                                                          "10 Versuche", arial,
                                                          14.25,         false,
                                                          kWindow,       kBlackText};
        QTest::newRow("Text1") << "Text1" << ControlRow{"QLineEdit", {7320, 4080, 735, 405},
                                                        "",          sans,
                                                        12,          false,
                                                        kWindow,     kBlackText};
        QTest::newRow("Label2") << "Label2" << ControlRow{"QLabel",
                                                          {6720, 3480, 2055, 495},
                                                          "Benötigte Zeit in 1/1000 Sekunden",
                                                          sans,
                                                          9.75,
                                                          true,
                                                          kWindow,
                                                          kBlackText};
        QTest::newRow("Command3")
            << "Command3"
            << ControlRow{"QPushButton", {7080, 9480, 1455, 375}, "Erklärung", arial, 12};
        QTest::newRow("HScroll1") << "HScroll1"
                                  << ControlRow{"QScrollBar", {6480, 5280, 2415, 255}, ""};
        QTest::newRow("Label4") << "Label4" << ControlRow{"QLabel",
                                                          {6480, 5520, 2415, 255},
                                                          "< schneller --  langsamer >",
                                                          sans,
                                                          9.75,
                                                          false,
                                                          kWindow};
        QTest::newRow("Label5") << "Label5" << ControlRow{"QLabel",
                                                          {6480, 5040, 2415, 255},
                                                          "Stabgeschwindigkeit",
                                                          sans,
                                                          9.75,
                                                          true,
                                                          kWindow};
    }
    void layout() {
        QFETCH(QString, name);
        QFETCH(ControlRow, row);
        checkControl(&m_f->form, name, row);
    }

    // The window itself, the credit line, the speed bar's settings and the tab order.
    void windowAndSettings() {
        QCOMPARE(m_f->form.windowTitle(), QStringLiteral("Greifholm-Programm"));
        QCOMPARE(m_f->form.palette().color(QPalette::Window), kWindow);
        auto* credit = control<QLabel>("Label3");
        QCOMPARE(credit->geometry(), twipsRect(4920, 10320, 5415, 255));
        QVERIFY(!credit->text().isEmpty());
        QCOMPARE(credit->palette().color(QPalette::WindowText), QColor(0, 0, 64));
        QCOMPARE(credit->palette().color(QPalette::Window), kWindow);
        QVERIFY(control<QLabel>("Label1")->wordWrap());
        QVERIFY(control<QLabel>("Label2")->wordWrap());

        auto* bar = control<QScrollBar>("HScroll1");
        QCOMPARE(bar->orientation(), Qt::Horizontal);
        QCOMPARE(bar->minimum(), 10);
        QCOMPARE(bar->maximum(), 10000);
        QCOMPARE(bar->singleStep(), 10);
        QCOMPARE(bar->pageStep(), 100);
        // Tab reaches the speed bar, and its keys work: ← towards the faster left end, →
        // towards the slower right end, as the caption under the bar says.
        QCOMPARE(bar->focusPolicy(), Qt::StrongFocus);
        QTest::keyClick(bar, Qt::Key_Right);
        QCOMPARE(bar->value(), 1010);
        QTest::keyClick(bar, Qt::Key_Left);
        QTest::keyClick(bar, Qt::Key_Left);
        QCOMPARE(bar->value(), 990);
        QTest::keyClick(bar, Qt::Key_PageDown);
        QCOMPARE(bar->value(), 1090);
        // Restored from maximised, the window still shows the right stick box whole, also
        // where the window manager brings it back short by its title bar (mutter 48, which
        // says "normal" as it maps the window, before maximising it); later restores keep the
        // size the window manager gives, the user's own.
        const QSize normal = twipsRect(0, 0, 12855, 10665).size();
        const QSize shortened = normal - QSize(0, 39);
        m_f->form.overrideWindowState(Qt::WindowNoState);
        QCOMPARE(m_f->form.size(), normal);
        for (int restore = 0; restore < 2; ++restore) {
            m_f->form.resize(1280, 985);
            m_f->form.overrideWindowState(Qt::WindowMaximized);
            m_f->form.resize(shortened);
            m_f->form.overrideWindowState(Qt::WindowNoState);
            QCOMPARE(m_f->form.size(), restore == 0 ? normal : shortened);
        }

        auto* timer = control<QTimer>("Timer1");
        QCOMPARE(timer->interval(), 2000);

        const QStringList order{"Picture1", "Command1", "Command2", "Picture2", "Label1", "Text1",
                                "Label2",   "Command3", "Label3",   "HScroll1", "Label4", "Label5"};
        QCOMPARE(tabOrderOf(&m_f->form, order), order);
    }

    // After load: idle, speed 1000, nothing falls, the score file holds the template.
    void idleAfterLoad() {
        QCOMPARE(control<QScrollBar>("HScroll1")->value(), 1000);
        QVERIFY(control<QPushButton>("Command1")->isEnabled());
        QVERIFY(control<QPushButton>("Command2")->isEnabled());
        QVERIFY(control<QPushButton>("Command3")->isEnabled());
        QVERIFY(control<QScrollBar>("HScroll1")->isEnabled());
        QVERIFY(!control<QTimer>("Timer1")->isActive());
        QCOMPARE(m_f->form.series().trialCount(), qint16(0));
        QCOMPARE(m_f->env.scoreFileContent(), QByteArray("Greifholm-Punkte\r\n"));
    }

    // "Start" runs the timer, locks the series controls and asks the compositor to stand
    // aside; "Erklärung" stays usable. Closing the window gives the desktop back.
    void startLocksControls() {
        control<QPushButton>("Command1")->click();
        QVERIFY(m_f->fakes.painter.compositorBypassed);
        auto* timer = control<QTimer>("Timer1");
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 2000);
        QVERIFY(!control<QPushButton>("Command1")->isEnabled());
        QVERIFY(!control<QPushButton>("Command2")->isEnabled());
        QVERIFY(!control<QScrollBar>("HScroll1")->isEnabled());
        QVERIFY(control<QPushButton>("Command3")->isEnabled());
        // Nothing has fallen yet: the first choice comes with the first tick.
        QCOMPARE(m_f->fakes.keys.readCount(kVkLeft) + m_f->fakes.keys.readCount(kVkRight), 0);
        m_f->form.close();
        QVERIFY(!m_f->fakes.painter.compositorBypassed);
    }

    // The speed bar is read at "Start" only.
    void speedReadAtStart() {
        auto* bar = control<QScrollBar>("HScroll1");
        bar->setValue(500);
        control<QPushButton>("Command1")->click();
        bar->setValue(7000);
        QCOMPARE(m_f->form.series().speedSetting(), 500);
    }

    // A tick that draws 3 drops nothing; one that draws 1 runs a trial on the left stick.
    void ticksChooseDrops() {
        m_f->fakes.random.values.assign(100, 0.9f);
        m_f->fakes.random.values[1] = 0.1f;
        pressEveryTrialAfter(120);
        control<QPushButton>("Command1")->click();
        control<QTimer>("Timer1")->setInterval(1);
        QTRY_COMPARE(m_f->form.series().trialCount(), qint16(1));
        QCOMPARE(m_f->fakes.random.seeds.size() >= 2, true);
        QCOMPARE(m_f->module.TrialTimes[0], qint16(120));
        QCOMPARE(control<QLineEdit>("Text1")->text(), QStringLiteral("120"));
        QCOMPARE(control<QLabel>("Label1")->text(), QStringLiteral("1"));
        QCOMPARE(m_f->fakes.keys.readCount(kVkRight), 0);
    }

    // Ticks that fall due while a trial blocks are not queued up: one late tick follows the
    // trial at once, and the regular spacing resumes from it, so a late tick that chooses 3
    // delays the next choice by a whole interval (not to the timer's old grid).
    void lateTickThenWholeInterval() {
        using std::chrono::milliseconds;
        m_f->fakes.random.values.assign(100, 0.9f);
        m_f->fakes.random.values[0] = 0.1f;
        m_f->fakes.sleeper.realSleepMs = 300; // the trial outlasts one interval but not two
        pressEveryTrialAfter(100);
        control<QPushButton>("Command1")->click();
        control<QTimer>("Timer1")->setInterval(200);
        QTRY_COMPARE(m_f->fakes.random.seedTimes.size(), size_t(3));
        const auto& ticks = m_f->fakes.random.seedTimes;
        QVERIFY(ticks[1] - ticks[0] >= milliseconds(300));
        QVERIFY(ticks[1] - ticks[0] < milliseconds(500));
        const auto spacing = std::chrono::duration_cast<milliseconds>(ticks[2] - ticks[1]);
        QVERIFY2(spacing >= milliseconds(195), qPrintable(QString::number(spacing.count())));
    }

    // Ten trials: the timer stops, the results show, the score is saved; "Start" stays
    // locked until "Zurück".
    void seriesEndsInResults() {
        runSeries(100);
        QCOMPARE(control<QLabel>("Label1")->text(), QStringLiteral("10"));
        Form2* results = m_f->form.resultsWindow();
        QVERIFY(results);
        QVERIFY(results->isVisible());
        QVERIFY(!m_f->fakes.painter.compositorBypassed);
        QCOMPARE(results->points(), qint16(350));
        QCOMPARE(m_f->env.scoreFileContent(), QByteArray("Greifholm-Punkte\r\n 350\r\n"));
        QVERIFY(!control<QPushButton>("Command1")->isEnabled());
        QVERIFY(!control<QPushButton>("Command2")->isEnabled());

        results->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        QVERIFY(!results->isVisible());
        QVERIFY(control<QPushButton>("Command1")->isEnabled());
        QVERIFY(control<QPushButton>("Command2")->isEnabled());
        QVERIFY(control<QScrollBar>("HScroll1")->isEnabled());
    }

    // Each series shows and saves its own results, whether the results window was hidden
    // by "Zurück" or closed with the close control.
    void everySeriesShownAndSaved() {
        runSeries(100);
        Form2* results = m_f->form.resultsWindow();
        results->findChild<QPushButton*>(QStringLiteral("Command1"))->click();

        runSeries(200);
        QCOMPARE(m_f->form.resultsWindow(), results);
        QVERIFY(results->isVisible());
        auto* list = results->findChild<QListWidget*>(QStringLiteral("List1"));
        QCOMPARE(list->count(), 12);
        QCOMPARE(list->item(0)->text(), QStringLiteral("1. Versuch:  200 1/1000 s"));
        QCOMPARE(list->item(11)->text(), QStringLiteral("Die Gesamtpunktzahl beträgt:       300"));

        results->close();
        QVERIFY(!results->isVisible());
        QVERIFY(control<QPushButton>("Command1")->isEnabled());
        QVERIFY(control<QPushButton>("Command2")->isEnabled());

        runSeries(300);
        QVERIFY(m_f->form.resultsWindow()->isVisible());
        QCOMPARE(m_f->env.scoreFileContent(),
                 QByteArray("Greifholm-Punkte\r\n 350\r\n 300\r\n 250\r\n"));
    }

    // "Erklärung" twice leaves one window; a closed one is created anew.
    void explanationWindow() {
        auto* button = control<QPushButton>("Command3");
        button->click();
        QPointer<Form3> first = m_f->form.explanationWindow();
        QVERIFY(first);
        QVERIFY(first->isVisible());
        button->click();
        QCOMPARE(m_f->form.explanationWindow(), first.data());
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(
            std::count_if(windows.begin(), windows.end(),
                          [](QWidget* w) { return w->objectName() == QLatin1String("Form3"); }),
            1);

        first->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        QVERIFY(first);
        QVERIFY(!first->isVisible());
        button->click();
        QCOMPARE(m_f->form.explanationWindow(), first.data());
        QVERIFY(first->isVisible());

        first->close();
        QTRY_VERIFY(!first); // deleted
        button->click();
        QVERIFY(m_f->form.explanationWindow());
        QVERIFY(m_f->form.explanationWindow()->isVisible());
    }

    // The explanation window opens during a series without stopping it.
    void explanationDuringSeries() {
        control<QPushButton>("Command1")->click();
        control<QPushButton>("Command3")->click();
        QVERIFY(m_f->form.explanationWindow()->isVisible());
        QVERIFY(control<QTimer>("Timer1")->isActive());
    }

    // A trial that ends in an error ends the series: while the message is shown, no tick
    // starts another trial, no results open and no score is saved.
    void errorEndsSeries() {
        m_f->fakes.keys.setScript([this](int, int read) -> qint16 {
            if (read == kBaseline) // the first frame: the process stood still for 40 s
                m_f->fakes.clock.advance(40'000'000'000);
            return 0;
        });
        control<QPushButton>("Command1")->click();
        auto* timer = control<QTimer>("Timer1");
        QVERIFY_THROWS_EXCEPTION(RecordingErrorReporter::Reported,
                                 QMetaObject::invokeMethod(timer, "timeout"));
        QCOMPARE(m_f->fakes.errors.messages,
                 QStringList{QStringLiteral("Laufzeitfehler: Überlauf. Ein Versuch dauerte länger "
                                            "als 32767 Millisekunden; die Versuchsreihe wurde "
                                            "nicht gespeichert.")});
        QVERIFY(!timer->isActive());
        QVERIFY(!m_f->fakes.painter.compositorBypassed);
        QVERIFY(!m_f->form.resultsWindow());
        QCOMPARE(m_f->env.scoreFileContent(), QByteArray("Greifholm-Punkte\r\n"));
    }

    // A failing score file at load is an error, not a silent start.
    void loadFailsOnBrokenScoreFolder() {
        TestEnvironment env;
        env.blockScoreFolder();
        const WindowsPaths paths = env.paths();
        Form1 form(m_f->module, m_f->fakes.platform(), paths);
        QVERIFY_THROWS_EXCEPTION(RuntimeError, form.load());
    }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
