#include "Form3.h"

#include "ui/Layout.h"

#include <QLabel>
#include <QPushButton>

namespace {

const QColor kWindowColour(255, 255, 192);
const QColor kBlack(0, 0, 0);

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry,
                  qreal pointSize, Qt::Alignment alignment) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setFont(layoutFont(QStringLiteral("Arial"), pointSize));
    label->setAlignment(alignment | Qt::AlignTop);
    label->setWordWrap(true);
    setColours(label, kWindowColour, kBlack);
    return label;
}

} // namespace

Form3::Form3(QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Greifholm-Erklärung"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowColour(this, kWindowColour);

    Label1 = makeLabel(this, "Label1", QStringLiteral("Erklärung"), twipsRect(360, 120, 5295, 375),
                       15.75, Qt::AlignHCenter);
    Label2 = makeLabel(
        this, "Label2",
        QStringLiteral(
            "Zum Starten des Spieles bitte den Start-Button klicken. Nun erscheint auf der "
            "rechten und linken Seite jeweils ein Greifholm. Von diesen Greifholmen fällt nun "
            "zufällig der linke oder der rechte herunter. Vorsicht: Auch der zeitliche Abstand "
            "in dem die Stäbe fallen ist verschieden!"),
        twipsRect(360, 720, 5415, 1815), 12, Qt::AlignLeft);
    Label3 = makeLabel(
        this, "Label3",
        QStringLiteral("Das Ziel des Spiels ist es, die Greifholme so schnell wie möglich zu "
                       "stoppen. Die Greifholme werden gestoppt, in dem man die rechte "
                       "Pfeiltaste klickt, wenn der rechte Stab fällt,  und die linke "
                       "Pfeiltaste, wenn der linke Stab fällt."),
        twipsRect(360, 2760, 5535, 1575), 12, Qt::AlignLeft);

    Command1 =
        makeButton(this, "Command1", QStringLiteral("Zurück"), twipsRect(2280, 4440, 1455, 375));

    setTabOrder(Label1, Label2);
    setTabOrder(Label2, Label3);
    setTabOrder(Label3, Command1);

    connect(Command1, &QPushButton::clicked, this, &QWidget::hide);
    centreOnScreen(this, twipsRect(0, 0, 6195, 4980).size());
}
