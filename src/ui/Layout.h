#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QWidget>

class QPushButton;

// Helpers the three windows share to lay out their controls.

// The windows are laid out in twips, 1/1440 inch: 15 twips per logical pixel.
inline constexpr int kTwipsPerPixel = 15;

inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
                 height / kTwipsPerPixel);
}

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

// Places a window of the given client size centred on its screen.
void centreOnScreen(QWidget* window, const QSize& clientSize);

// The layout names the fonts of the system it was designed on. "MS Sans Serif" is rarely
// installed here and would fall back to a much wider face that cuts the speed bar's caption;
// its metric stand-ins come first. ("Arial" resolves to Liberation Sans through fontconfig.)
void installFontSubstitutes();
