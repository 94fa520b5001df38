#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// The explanation window, "Greifholm-Erklärung": the rules of the test. "Zurück" hides it;
// the close control destroys it, and the next "Erklärung" creates it anew.
class Form3 final : public QWidget {
    Q_OBJECT
public:
    explicit Form3(QWidget* parent = nullptr);

private:
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* Command1 = nullptr;
};
