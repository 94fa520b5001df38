#include "Form2.h"

#include "Form2Layout.h"
#include "Scoring.h"
#include "app/Module1.h"
#include "platform/files/WindowsPaths.h"
#include "storage/ScoreFile.h"
#include "ui/Layout.h"

#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace {
const QColor kWindowColour(255, 224, 192);
} // namespace

Form2::Form2(Module1& module, const WindowsPaths& paths, Files::LockWait& lockWait, QWidget* parent)
    : QWidget(parent)
    , m_module(module)
    , m_paths(paths)
    , m_lockWait(lockWait) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Ergebnis-Greifholmtest"));
    setWindowColour(this, kWindowColour);

    Label1 = makeLabel(
        this, "Label1", QStringLiteral("Auswertung"), twipsRect(Form2Layout::Label1),
        LabelStyle{layoutFont(QStringLiteral("Arial"), 15.75, true), kWindowColour, kDarkBlue});

    Command1 =
        makeButton(this, "Command1", QStringLiteral("Zurück"), twipsRect(Form2Layout::Command1));

    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setGeometry(twipsRect(Form2Layout::List1));
    List1->setFont(layoutFont(QStringLiteral("Arial"), 12));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setSortingEnabled(false);
    setColours(List1, QColor(255, 255, 255), QColor(0, 0, 128));

    setTabOrder(Label1, Command1);
    setTabOrder(Command1, List1);

    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    centreOnScreen(this, twipsSize(Form2Layout::kClient));
}

void Form2::showSeries() {
    List1->clear();
    List1->addItems(Scoring::trialItems(m_module.TrialTimes));
    m_totalTime = Scoring::totalTime(m_module.TrialTimes);
    m_points = Scoring::points(m_totalTime);
    List1->addItem(Scoring::totalItem(m_totalTime));
    List1->addItem(Scoring::pointsItem(m_points));
    speichern(ScoreFile::kScoreFilePath);
    show();
    raise();
    activateWindow();
}

void Form2::speichern(const QString& path) {
    ScoreFile::appendScore(m_paths, path, m_points, m_lockWait);
}

void Form2::Command1_Click() {
    hide();
    emit returned();
}

void Form2::closeEvent(QCloseEvent* event) {
    // Closed by the window manager: the same as "Zurück", so "Start" and "Ende" come back.
    event->accept();
    emit returned();
}
