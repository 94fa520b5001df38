#include "Form3.h"

#include "Form3Layout.h"
#include "ui/Layout.h"

#include <QLabel>
#include <QPushButton>

namespace {

const QColor kWindowColour(255, 255, 192);

LabelStyle arial(qreal pointSize, Qt::Alignment alignment) {
    return LabelStyle{layoutFont(QStringLiteral("Arial"), pointSize), kWindowColour, kBlack,
                      alignment, true};
}

} // namespace

Form3::Form3(QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Greifholm-Erklärung"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowColour(this, kWindowColour);

    Label1 = makeLabel(this, "Label1", QStringLiteral("Erklärung"), twipsRect(Form3Layout::Label1),
                       arial(15.75, Qt::AlignHCenter));
    Label2 = makeLabel(
        this, "Label2",
        QStringLiteral(
            "Zum Starten des Spieles bitte den Start-Button klicken. Nun erscheint auf der "
            "rechten und linken Seite jeweils ein Greifholm. Von diesen Greifholmen fällt nun "
            "zufällig der linke oder der rechte herunter. Vorsicht: Auch der zeitliche Abstand "
            "in dem die Stäbe fallen ist verschieden!"),
        twipsRect(Form3Layout::Label2), arial(12, Qt::AlignLeft));
    Label3 = makeLabel(
        this, "Label3",
        QStringLiteral("Das Ziel des Spiels ist es, die Greifholme so schnell wie möglich zu "
                       "stoppen. Die Greifholme werden gestoppt, in dem man die rechte "
                       "Pfeiltaste klickt, wenn der rechte Stab fällt,  und die linke "
                       "Pfeiltaste, wenn der linke Stab fällt."),
        twipsRect(Form3Layout::Label3), arial(12, Qt::AlignLeft));

    Command1 =
        makeButton(this, "Command1", QStringLiteral("Zurück"), twipsRect(Form3Layout::Command1));

    setTabOrder(Label1, Label2);
    setTabOrder(Label2, Label3);
    setTabOrder(Label3, Command1);

    connect(Command1, &QPushButton::clicked, this, &QWidget::hide);
    centreOnScreen(this, twipsSize(Form3Layout::kClient));
}
