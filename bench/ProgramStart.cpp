#include "Harness.h"

#include "ui/Twips.h"
#include "ui/main/Form1Layout.h"

#include <QDir>
#include <QFile>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The program as a user starts it: in a working directory with the template, with a data
// folder of its own.
class ProgramRun {
public:
    explicit ProgramRun(const QString& root) {
        QDir().mkpath(root + QStringLiteral("/work"));
        QFile::copy(QStringLiteral(GREIFHOLM_TEMPLATE), root + QStringLiteral("/work/spunkte.txt"));
        m_pid = fork();
        if (m_pid == 0) {
            setenv("XDG_DATA_HOME", qPrintable(root + QStringLiteral("/data")), 1);
            unsetenv("QT_QPA_PLATFORM");
            if (chdir(qPrintable(root + QStringLiteral("/work"))) != 0)
                _exit(126);
            execl(GREIFHOLM_EXECUTABLE, GREIFHOLM_EXECUTABLE, static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~ProgramRun() {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    pid_t pid() const { return m_pid; }

    // Peak resident memory so far, from the kernel's high-water mark.
    double peakRssMb() const {
        QFile status(QStringLiteral("/proc/%1/status").arg(m_pid));
        if (!status.open(QIODevice::ReadOnly))
            return 0.0;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
        }
        return 0.0;
    }

private:
    pid_t m_pid = -1;
};

// The visible top-level window with this title, or 0. Looks through the window manager's
// frames, one level below the root.
Window findViewable(Display* display, const char* title) {
    Window root = DefaultRootWindow(display);
    Window parent = 0;
    Window* frames = nullptr;
    unsigned int frameCount = 0;
    Window found = 0;
    if (!XQueryTree(display, root, &root, &parent, &frames, &frameCount))
        return 0;
    for (unsigned int i = 0; i < frameCount && !found; ++i) {
        Window* children = nullptr;
        unsigned int childCount = 0;
        XQueryTree(display, frames[i], &root, &parent, &children, &childCount);
        std::vector<Window> candidates{frames[i]};
        candidates.insert(candidates.end(), children, children + childCount);
        for (Window candidate : candidates) {
            char* name = nullptr;
            XWindowAttributes attributes{};
            if (XFetchName(display, candidate, &name) && name) {
                if (std::strcmp(name, title) == 0 &&
                    XGetWindowAttributes(display, candidate, &attributes) &&
                    attributes.map_state == IsViewable)
                    found = candidate;
                XFree(name);
            }
            if (found)
                break;
        }
        if (children)
            XFree(children);
    }
    if (frames)
        XFree(frames);
    return found;
}

Window waitForWindow(Display* display, const char* title, int timeoutMs) {
    SteadyClock clock;
    const std::int64_t end = clock.nowNs() + std::int64_t(timeoutMs) * 1'000'000;
    while (clock.nowNs() < end) {
        if (const Window window = findViewable(display, title))
            return window;
        usleep(1000);
    }
    return 0;
}

void clickAt(Display* display, Window window, int x, int y) {
    Window child = 0;
    int rootX = 0;
    int rootY = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY,
                          &child);
    XTestFakeMotionEvent(display, -1, rootX, rootY, 0);
    XTestFakeButtonEvent(display, 1, True, 0);
    XTestFakeButtonEvent(display, 1, False, 0);
    XFlush(display);
}

} // namespace

// From exec to the main window on screen, median of several starts; then the peak memory of
// the program over a whole series.
void measureProgram() {
    Display* display = XOpenDisplay(nullptr);
    SteadyClock clock;
    while (findViewable(display, "Greifholm-Programm"))
        usleep(1000);
    std::vector<double> startups;
    for (int i = 0; i < 7; ++i) {
        QTemporaryDir root;
        {
            const std::int64_t begin = clock.nowNs();
            ProgramRun run(root.path());
            if (!waitForWindow(display, "Greifholm-Programm", 20000)) {
                std::fprintf(stderr, "the program did not show its window\n");
                std::exit(1);
            }
            startups.push_back(double(clock.nowNs() - begin) / 1e6);
        }
        // The server removes a killed program's windows a moment later; the next start must
        // not find the old one.
        while (findViewable(display, "Greifholm-Programm"))
            usleep(1000);
    }
    print("startup_ms", percentile(startups, 50), "ms");

    QTemporaryDir root;
    ProgramRun run(root.path());
    const Window window = waitForWindow(display, "Greifholm-Programm", 20000);
    usleep(500'000);
    const QPoint start = twipsCentre(Form1Layout::Command1);
    clickAt(display, window, start.x(), start.y());
    if (!waitForWindow(display, "Ergebnis-Greifholmtest", 180000)) {
        std::fprintf(stderr, "the series did not end\n");
        std::exit(1);
    }
    print("rss_mb", run.peakRssMb(), "MB");
    XCloseDisplay(display);
}
