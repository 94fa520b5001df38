#include "support/LayoutCheck.h"
#include "ui/explanation/Form3.h"

#include <QPushButton>

namespace {
const QColor kWindow(255, 255, 192);
const QColor kBlackText(0, 0, 0);
} // namespace

class TestForm3 : public QObject {
    Q_OBJECT
private slots:
    // The explanation window's controls and its two paragraphs, verbatim.
    void layout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<ControlRow>("row");
        const QString arial = QStringLiteral("Arial");
        QTest::newRow("Label1") << "Label1"
                                << ControlRow{.className = "QLabel",
                                              .twips = {360, 120, 5295, 375},
                                              .text = "Erklärung",
                                              .fontFamily = arial,
                                              .pointSize = 15.75,
                                              .bold = false,
                                              .background = kWindow,
                                              .foreground = kBlackText};
        QTest::newRow("Label2") << "Label2"
                                << ControlRow{
                                       .className = "QLabel",
                                       .twips = {360, 720, 5415, 1815},
                                       .text = "Zum Starten des Spieles bitte den Start-Button "
                                               "klicken. Nun erscheint auf der "
                                               "rechten und linken Seite jeweils ein Greifholm. "
                                               "Von diesen Greifholmen fällt "
                                               "nun zufällig der linke oder der rechte herunter. "
                                               "Vorsicht: Auch der zeitliche "
                                               "Abstand in dem die Stäbe fallen ist verschieden!",
                                       .fontFamily = arial,
                                       .pointSize = 12,
                                       .bold = false,
                                       .background = kWindow,
                                       .foreground = kBlackText};
        QTest::newRow("Label3") << "Label3"
                                << ControlRow{.className = "QLabel",
                                              .twips = {360, 2760, 5535, 1575},
                                              .text = "Das Ziel des Spiels ist es, die Greifholme "
                                                      "so schnell wie möglich zu stoppen. "
                                                      "Die Greifholme werden gestoppt, in dem man "
                                                      "die rechte Pfeiltaste klickt, wenn "
                                                      "der rechte Stab fällt,  und die linke "
                                                      "Pfeiltaste, wenn der linke Stab fällt.",
                                              .fontFamily = arial,
                                              .pointSize = 12,
                                              .bold = false,
                                              .background = kWindow,
                                              .foreground = kBlackText};
        QTest::newRow("Command1") << "Command1"
                                  << ControlRow{.className = "QPushButton",
                                                .twips = {2280, 4440, 1455, 375},
                                                .text = "Zurück",
                                                .fontFamily = arial,
                                                .pointSize = 12};
    }
    void layout() {
        QFETCH(QString, name);
        QFETCH(ControlRow, row);
        Form3 form;
        checkControl(&form, name, row);
    }

    // The window's title, size and colour.
    void window() {
        Form3 form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Greifholm-Erklärung"));
        QCOMPARE(form.size(), QSize(413, 332));
        QCOMPARE(form.palette().color(QPalette::Window), kWindow);
        const QStringList order{"Label1", "Label2", "Label3", "Command1"};
        QCOMPARE(tabOrderOf(&form, order), order);
        const auto* paragraph = form.findChild<QLabel*>(QStringLiteral("Label2"));
        QVERIFY(paragraph->wordWrap());
        QVERIFY(paragraph->alignment() & Qt::AlignLeft);
        QVERIFY(form.findChild<QLabel*>(QStringLiteral("Label1"))->alignment() & Qt::AlignHCenter);
    }

    // "Zurück" hides the window without destroying it.
    void backHides() {
        QPointer<Form3> form = new Form3;
        form->show();
        form->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        QVERIFY(!form->isVisible());
        QCoreApplication::processEvents();
        QVERIFY(form);
        delete form;
    }
};

QTEST_MAIN(TestForm3)
#include "tst_form3.moc"
