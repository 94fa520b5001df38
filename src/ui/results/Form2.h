#pragma once

#include <QWidget>

class QListWidget;
class QPushButton;
class QLabel;
class Module1;
class WindowsPaths;
namespace Files {
class LockWait;
}

// The results window, "Ergebnis-Greifholmtest": the ten times of a series, the total time
// and the score, which it appends to the score file.
class Form2 final : public QWidget {
    Q_OBJECT
public:
    Form2(Module1& module, const WindowsPaths& paths, Files::LockWait& lockWait,
          QWidget* parent = nullptr);

    // Fills the list with the current series, appends its score to the score file and
    // shows the window. Every completed series calls it, whether the window is new or was
    // hidden, so no series is shown with another's results or goes unsaved. Throws a
    // RuntimeError on overflow or a file failure.
    void showSeries();

    // Appends the score to the file at the given Windows path.
    void speichern(const QString& path);

    qint16 totalTime() const { return m_totalTime; }
    qint16 points() const { return m_points; }

signals:
    // "Zurück" or the close control: the main window takes over again.
    void returned();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Command1_Click();

    Module1& m_module;
    const WindowsPaths& m_paths;
    Files::LockWait& m_lockWait;
    qint16 m_totalTime = 0;
    qint16 m_points = 0;

    QLabel* Label1 = nullptr;
    QPushButton* Command1 = nullptr;
    QListWidget* List1 = nullptr;
};
