#include "Twips.h"

#include <QFont>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>

void centreOnScreen(QWidget* window, const QSize& clientSize) {
    window->resize(clientSize);
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    window->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, clientSize,
                                            screen->availableGeometry()));
}

void installFontSubstitutes() {
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                                QStringLiteral("Liberation Sans")});
}
