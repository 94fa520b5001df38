#include "Form1.h"

#include "Form1Layout.h"
#include "StickBox.h"
#include "app/Module1.h"
#include "storage/ScoreFile.h"
#include "ui/Layout.h"
#include "ui/explanation/Form3.h"
#include "ui/results/Form2.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

namespace {

const QColor kWindowColour(192, 192, 255);
constexpr int kTimerIntervalMs = 2000;
constexpr int kInitialSpeed = 1000;

StickBox* makeStickBox(QWidget* parent, const char* name, const QRect& twips,
                       WindowPainter& painter) {
    auto* box = new StickBox(twips.size(), painter, parent);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(twipsRect(twips));
    return box;
}

} // namespace

Form1::Form1(Module1& module, const Platform& platform, const WindowsPaths& paths, QWidget* parent)
    : QWidget(parent)
    , m_module(module)
    , m_errors(platform.errors)
    , m_lockWait(platform.lockWait)
    , m_paths(paths)
    , m_series(module, platform, *this) {
    buildLayout(platform.painter);
}

Form1::~Form1() {
    // The other windows are top-level windows of their own, not children.
    delete m_form2;
    delete m_form3;
}

Form2* Form1::resultsWindow() const {
    return m_form2;
}

Form3* Form1::explanationWindow() const {
    return m_form3;
}

void Form1::buildLayout(WindowPainter& painter) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Greifholm-Programm"));
    setWindowColour(this, kWindowColour);
    resize(twipsSize(Form1Layout::kNormalClient));
    // The window's own font, which the credit line uses: the system's default face, not
    // whatever a minimal system falls back to.
    setFont(layoutFont(QStringLiteral("MS Sans Serif"), 8.25));

    const QFont sans975 = layoutFont(QStringLiteral("MS Sans Serif"), 9.75);
    const QFont sans975Bold = layoutFont(QStringLiteral("MS Sans Serif"), 9.75, true);
    const auto onWindow = [](const QFont& font, const QColor& text, bool wrap = false) {
        return LabelStyle{font, kWindowColour, text, Qt::AlignHCenter, wrap};
    };

    Picture1 = makeStickBox(this, "Picture1", Form1Layout::Picture1, painter);
    Command1 =
        makeButton(this, "Command1", QStringLiteral("Start"), twipsRect(Form1Layout::Command1));
    Command2 =
        makeButton(this, "Command2", QStringLiteral("Ende"), twipsRect(Form1Layout::Command2));
    Picture2 = makeStickBox(this, "Picture2", Form1Layout::Picture2, painter);
    Label1 =
        makeLabel(this, "Label1", QStringLiteral("10 Versuche"), twipsRect(Form1Layout::Label1),
                  onWindow(layoutFont(QStringLiteral("Arial"), 14.25), kBlack, true));

    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(twipsRect(Form1Layout::Text1));
    Text1->setFont(layoutFont(QStringLiteral("MS Sans Serif"), 12));
    Text1->setAlignment(Qt::AlignCenter);
    setColours(Text1, kWindowColour, kBlack);

    Label2 = makeLabel(this, "Label2", QStringLiteral("Benötigte Zeit in 1/1000 Sekunden"),
                       twipsRect(Form1Layout::Label2), onWindow(sans975Bold, kBlack, true));
    Command3 =
        makeButton(this, "Command3", QStringLiteral("Erklärung"), twipsRect(Form1Layout::Command3));
    Label3 = makeLabel(this, "Label3",
                       QStringLiteral("Greifholm – ein Reaktionstest mit fallenden Stäben"),
                       twipsRect(Form1Layout::Label3), onWindow(font(), kDarkBlue));

    HScroll1 = new QScrollBar(Qt::Horizontal, this);
    HScroll1->setObjectName(QStringLiteral("HScroll1"));
    HScroll1->setGeometry(twipsRect(Form1Layout::HScroll1));
    HScroll1->setRange(10, 10000);
    HScroll1->setSingleStep(10);
    HScroll1->setPageStep(100);
    // Tab reaches it in the table's order, and its arrow and page steps work from the keys.
    HScroll1->setFocusPolicy(Qt::StrongFocus);
    // Qt's scroll bars invert their keys for the vertical bar's sake, which turns ← and →
    // round on a horizontal one; here they move the thumb the way they point.
    HScroll1->installEventFilter(this);

    Label4 = makeLabel(this, "Label4", QStringLiteral("< schneller --  langsamer >"),
                       twipsRect(Form1Layout::Label4), onWindow(sans975, kBlack));
    Label5 = makeLabel(this, "Label5", QStringLiteral("Stabgeschwindigkeit"),
                       twipsRect(Form1Layout::Label5), onWindow(sans975Bold, kBlack));
    // The speed bar overlaps both labels and is drawn over them.
    HScroll1->raise();

    QWidget* const tabOrder[] = {Picture1, Command1, Command2, Picture2, Label1, Text1,
                                 Label2,   Command3, Label3,   HScroll1, Label4, Label5};
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kTimerIntervalMs);
    Timer1->setTimerType(Qt::PreciseTimer);

    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
}

void Form1::load() {
    m_series.resetCount();
    HScroll1->setValue(kInitialSpeed);
    ScoreFile::startupCheck(m_paths, m_lockWait);
}

void Form1::Command1_Click() {
    guarded(m_errors, [&] {
        m_series.startSeries(HScroll1->value());
        Timer1->start();
        setSeriesControlsEnabled(false);
    });
}

void Form1::Command2_Click() {
    QCoreApplication::exit(0);
}

void Form1::Command3_Click() {
    if (!m_form3)
        m_form3 = new Form3();
    m_form3->show();
    m_form3->raise();
    m_form3->activateWindow();
}

void Form1::Timer1_Timer() {
    // The regular spacing counts from this tick. QTimer would keep its old grid, so after a
    // drop that outlasts the interval the late tick would be followed by one that comes too
    // soon, and a choice of 3 would not delay the next choice by a whole interval.
    Timer1->start();
    guarded(m_errors, [&] {
        try {
            m_series.ChooseDrop();
        } catch (...) {
            // A series that ended in an error is over: while its message is shown, no tick
            // may start another trial, open the results or save a score.
            Timer1->stop();
            throw;
        }
    });
}

void Form1::closeEvent(QCloseEvent* event) {
    // Closing the main window ends the program, as "Ende" does: the other windows may be
    // hidden, and nothing else could end the process then.
    m_series.endSeries();
    event->accept();
    QCoreApplication::exit(0);
}

void Form1::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange)
        restoreDesignedSizeOnce();
    QWidget::changeEvent(event);
}

void Form1::resizeEvent(QResizeEvent* event) {
    restoreDesignedSizeOnce();
    QWidget::resizeEvent(event);
}

void Form1::restoreDesignedSizeOnce() {
    // The window opens maximised, and the first time it comes back from there it has its
    // designed size. A window manager that frames windows in a process of its own (mutter
    // since GNOME 44) notes the size to come back to before the frame exists, and so brings
    // the window back short by its title bar, the credit line at its foot cut off. What the
    // window manager says as it maps the window, before maximising it, does not count.
    const QSize designed = twipsSize(Form1Layout::kNormalClient);
    if (m_restoredOnce || windowState() & (Qt::WindowMinimized | Qt::WindowFullScreen))
        return;
    if (windowState() & Qt::WindowMaximized) {
        m_wasMaximised = m_wasMaximised || size() != designed;
        return;
    }
    if (!m_wasMaximised)
        return;
    m_restoredOnce = true;
    if (size() != designed)
        resize(designed);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == HScroll1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Left || key == Qt::Key_Right) {
            HScroll1->triggerAction(key == Qt::Key_Left ? QAbstractSlider::SliderSingleStepSub
                                                        : QAbstractSlider::SliderSingleStepAdd);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::setSeriesControlsEnabled(bool enabled) {
    Command1->setEnabled(enabled);
    Command2->setEnabled(enabled);
    HScroll1->setEnabled(enabled);
}

void Form1::returnFromResults() {
    show();
    setSeriesControlsEnabled(true);
}

DrawingSurface& Form1::surface(StickSide side) {
    return side == StickSide::Right ? Picture1->surface() : Picture2->surface();
}

void Form1::presentStick(StickSide side) {
    (side == StickSide::Right ? Picture1 : Picture2)->presentNow();
}

void Form1::presentTrialResult(const QString& time, const QString& count) {
    Text1->setText(time);
    Label1->setText(count);
    Text1->repaint();
    Label1->repaint();
}

void Form1::finishSeries() {
    Timer1->stop();
    if (!m_form2) {
        m_form2 = new Form2(m_module, m_paths, m_lockWait);
        connect(m_form2, &Form2::returned, this, &Form1::returnFromResults);
    }
    m_form2->showSeries();
}
