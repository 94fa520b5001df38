#pragma once

#include "ReactionSeries.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QTimer;
class Form2;
class Form3;
class Module1;
class StickBox;
class WindowsPaths;

// The main window, "Greifholm-Programm": two stick boxes, the series buttons, the speed bar,
// the time box and the trial counter. It stays open for the whole run.
class Form1 final : public QWidget, private TrialView {
    Q_OBJECT
public:
    Form1(Module1& module, const Platform& platform, const WindowsPaths& paths,
          QWidget* parent = nullptr);
    ~Form1() override;

    // The load handler: counter 0, speed bar 1000, the score file's start-up check. The
    // program runs it before the window is first shown; it throws on failure.
    void load();

    ReactionSeries& series() { return m_series; }
    // The other windows, or null while they do not exist.
    Form2* resultsWindow() const;
    Form3* explanationWindow() const;

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLayout(WindowPainter& painter);
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Timer1_Timer();
    void returnFromResults();
    void setSeriesControlsEnabled(bool enabled);
    void restoreDesignedSizeOnce();

    // TrialView
    DrawingSurface& surface(StickSide side) override;
    void presentStick(StickSide side) override;
    void presentTrialResult(const QString& time, const QString& count) override;
    void finishSeries() override;

    Module1& m_module;
    ErrorReporter& m_errors;
    Files::LockWait& m_lockWait;
    const WindowsPaths& m_paths;
    ReactionSeries m_series;

    StickBox* Picture1 = nullptr; // right stick
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    StickBox* Picture2 = nullptr; // left stick
    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* Command3 = nullptr;
    QLabel* Label3 = nullptr;
    QScrollBar* HScroll1 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QTimer* Timer1 = nullptr;

    QPointer<Form2> m_form2;
    QPointer<Form3> m_form3;
    bool m_wasMaximised = false; // by the window manager, at a size of its own
    bool m_restoredOnce = false;
};
