#pragma once

#include "ui/Layout.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

// One row of a window's layout table, as the tests compare it with the real controls.
struct ControlRow {
    QString className{};
    QRect twips{};
    QString text{};
    QString fontFamily{}; // empty: the window's default font
    qreal pointSize = 0;
    bool bold = false;
    QColor background{}; // invalid: the platform's default
    QColor foreground{};
};
Q_DECLARE_METATYPE(ControlRow)

inline QString textOf(const QWidget* widget) {
    if (auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (auto* edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text();
    return QString();
}

// Compares one control with its row; call from a test function (it uses QCOMPARE).
inline void checkControl(QWidget* window, const QString& name, const ControlRow& row) {
    auto* control = window->findChild<QWidget*>(name);
    QVERIFY2(control, qPrintable(name));
    QCOMPARE(control->metaObject()->className(), row.className);
    QCOMPARE(control->geometry(),
             twipsRect(row.twips.x(), row.twips.y(), row.twips.width(), row.twips.height()));
    QCOMPARE(textOf(control), row.text);
    if (!row.fontFamily.isEmpty()) {
        QCOMPARE(control->font().family(), row.fontFamily);
        QCOMPARE(control->font().pointSizeF(), row.pointSize);
        QCOMPARE(control->font().bold(), row.bold);
        QVERIFY(!control->font().italic());
        QVERIFY(!control->font().underline());
        QVERIFY(!control->font().strikeOut());
    }
    if (row.background.isValid()) {
        QVERIFY(control->autoFillBackground());
        const QPalette::ColorRole backgroundRole =
            qobject_cast<QLineEdit*>(control) ? QPalette::Base : control->backgroundRole();
        QCOMPARE(control->palette().color(backgroundRole), row.background);
    }
    if (row.foreground.isValid()) {
        const QPalette::ColorRole textRole =
            qobject_cast<QLineEdit*>(control) ? QPalette::Text : control->foregroundRole();
        QCOMPARE(control->palette().color(textRole), row.foreground);
    }
}

// The named controls in the order the Tab key visits them.
inline QStringList tabOrderOf(QWidget* window, const QStringList& names) {
    QStringList order;
    QWidget* first = window->findChild<QWidget*>(names.first());
    QWidget* widget = first;
    do {
        if (names.contains(widget->objectName()) && !order.contains(widget->objectName()))
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget && widget != first);
    return order;
}
