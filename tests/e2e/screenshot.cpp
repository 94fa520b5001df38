// Saves the X screen, or one window, as a PNG.
//   screenshot FILE.png [WINDOW_ID [--falling]]
// With --falling it waits (up to a minute) until a stick of the main window is half-way down
// its box, and saves that moment.
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
    for (const int boxLeft : {168, 600}) {
        const int x = boxLeft + 138;
        if (window.pixelColor(x, 24 + 300) == red && window.pixelColor(x, 24 + 600) == white)
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
