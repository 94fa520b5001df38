#pragma once

#include "Twips.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QWidget>

class QLabel;
class QPushButton;

// Helpers the three windows share to lay out their controls.

// Colours more than one window uses.
inline const QColor kBlack(0, 0, 0);
inline const QColor kDarkBlue(0, 0, 64);

inline QFont layoutFont(const QString& family, qreal pointSize, bool bold = false) {
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

// Background and text colour of a control; filled, so labels look like part of the window.
inline void setColours(QWidget* widget, const QColor& background, const QColor& text) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::Base, background);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// The window's own background colour.
void setWindowColour(QWidget* window, const QColor& colour);

// A button as all windows have them: named, placed, in Arial 12 pt.
QPushButton* makeButton(QWidget* parent, const char* name, const QString& text,
                        const QRect& geometry);

// A label as the windows have them: named, placed, its own font and colours (the background
// usually the window's, so that it looks part of it), top-aligned, wrapping when asked to.
struct LabelStyle {
    QFont font;
    QColor background;
    QColor text;
    Qt::Alignment alignment = Qt::AlignHCenter;
    bool wrap = false;
};
QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry,
                  const LabelStyle& style);

// Places a window of the given client size centred on its screen.
void centreOnScreen(QWidget* window, const QSize& clientSize);

// The layout names the fonts of the system it was designed on. "MS Sans Serif" is rarely
// installed here and would fall back to a much wider face that cuts the speed bar's caption;
// its metric stand-ins come first. ("Arial" resolves to Liberation Sans through fontconfig.)
void installFontSubstitutes();
