// Saves the X screen, or one window, as a PNG.
//   screenshot FILE.png [WINDOW_ID [--falling]]
// With --falling it waits (up to a minute) until a stick of the main window is half-way down
// its box, and saves that moment.
#include "ui/Twips.h"
#include "ui/main/Form1Layout.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <cstdio>

namespace {

bool stickHalfDown(const QImage& window) {
    const QColor red(255, 0, 0);
    const QColor white(255, 255, 255);
    for (const QRect& twips : {Form1Layout::Picture1, Form1Layout::Picture2}) {
        const QRect box = twipsRect(twips);
        // Right of the marks, inside the stick; half-way and near the bottom of the box.
        const int x = box.left() + box.width() / 2 + 10;
        if (window.pixelColor(x, box.top() + 300) == red &&
            window.pixelColor(x, box.top() + 600) == white)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: screenshot FILE.png [WINDOW_ID [--falling]]\n");
        return 2;
    }
    const WId window = argc >= 3 ? WId(QByteArray(argv[2]).toULongLong()) : 0;
    const bool waitForFall = argc == 4 && QByteArray(argv[3]) == "--falling";
    QScreen* screen = QGuiApplication::primaryScreen();
    QImage shot = screen->grabWindow(window).toImage();
    QElapsedTimer timer;
    timer.start();
    while (waitForFall && !stickHalfDown(shot)) {
        if (timer.elapsed() > 60000) {
            std::fprintf(stderr, "screenshot: no falling stick seen\n");
            return 1;
        }
        QThread::msleep(20);
        shot = screen->grabWindow(window).toImage();
    }
    return shot.save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
