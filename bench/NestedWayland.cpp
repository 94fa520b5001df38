#include "Participant.h"

#include "platform/wayland/WaylandWindowPainter.h"
#include "ui/main/StickBox.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <QWidget>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <cstdio>
#include <sched.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr unsigned long kRed = 0xff0000;
constexpr int kOutputWidth = 1024;
constexpr int kOutputHeight = 768;
const char* const kSocket = "greifholm-bench";
// Above the program's fall (10) and the benchmark's own real-time threads (20).
constexpr int kRigPriority = 30;

bool isRed(unsigned long pixel) {
    return (pixel & 0xffffff) == kRed;
}

// Whether the host shows red at a point of the watched screen.
bool hostShowsRed(Display* host, const QPoint& at) {
    XImage* image =
        XGetImage(host, DefaultRootWindow(host), at.x(), at.y(), 1, 1, AllPlanes, ZPixmap);
    const bool red = image && isRed(XGetPixel(image, 0, 0));
    if (image)
        XDestroyImage(image);
    return red;
}

// The nested compositor's output as the host shows it.
QImage hostOutput(Display* host) {
    const QPoint origin = watchedScreen().offset;
    XImage* image = XGetImage(host, DefaultRootWindow(host), origin.x(), origin.y(), kOutputWidth,
                              kOutputHeight, AllPlanes, ZPixmap);
    QImage output(kOutputWidth, kOutputHeight, QImage::Format_RGB32);
    for (int y = 0; image && y < kOutputHeight; ++y) {
        for (int x = 0; x < kOutputWidth; ++x)
            output.setPixel(x, y, QRgb(XGetPixel(image, x, y)));
    }
    if (image)
        XDestroyImage(image);
    return output;
}

// The top-left corner of what shows red in the host's picture of the output (and did not in
// `before`, where given), or nothing.
std::optional<QPoint> redOnHost(const QImage& output, const QImage& before = QImage()) {
    int left = kOutputWidth;
    int top = kOutputHeight;
    for (int y = 0; y < output.height(); ++y) {
        for (int x = 0; x < output.width(); ++x) {
            if (isRed(output.pixel(x, y)) && (before.isNull() || !isRed(before.pixel(x, y)))) {
                left = std::min(left, x);
                top = std::min(top, y);
            }
        }
    }
    if (left == kOutputWidth)
        return std::nullopt;
    return watchedScreen().offset + QPoint(left, top);
}

// A native window's place on the compositor's output is its own business on Wayland: the
// watched screen is moved so that the participant reads the left stick where the host shows
// it. The sticks at rest are the only red there; the left one's corner is the leftmost.
bool findProgramOnHost(BenchProgram& program) {
    program.series().startSeries(1000);
    program.settle(1500);
    Display* host = XOpenDisplay(watchedScreen().display.constData());
    const std::optional<QPoint> shown = redOnHost(hostOutput(host));
    XCloseDisplay(host);
    const QImage& image = static_cast<StickBox&>(program.leftBox()).surface().image();
    QPoint drawn(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (isRed(image.pixel(x, y)))
                drawn = QPoint(std::min(drawn.x(), x), std::min(drawn.y(), y));
        }
    }
    if (!shown)
        return false;
    const QPoint box =
        program.leftBox().mapToGlobal(QPoint(0, 0)) * program.leftBox().devicePixelRatioF();
    watchedScreen().offset = *shown - drawn - box;
    return true;
}

// How long a bare X window's change takes to show on the host: a window of its own on Xwayland
// turns from white to red, and the host's screen is read until it shows red. What the nested
// compositor and its host window add, with no correction at all.
std::vector<double> plainWindowLagMs(SteadyClock& clock, int flips) {
    Display* own = XOpenDisplay(nullptr);
    const WatchedScreen& screen = watchedScreen();
    Display* host = XOpenDisplay(screen.display.constData());
    const unsigned long white = WhitePixel(own, DefaultScreen(own));
    const Window window =
        XCreateSimpleWindow(own, DefaultRootWindow(own), 0, 0, 200, 200, 0, white, white);
    XMapRaised(own, window);
    XSync(own, False);
    QThread::msleep(1500); // placed and shown by the compositor
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(own, window, DefaultRootWindow(own), 100, 100, &x, &y, &child);
    std::vector<double> lags;
    for (int flip = 0; flip < flips; ++flip) {
        XSetWindowBackground(own, window, white);
        XClearWindow(own, window);
        XSync(own, False);
        QThread::msleep(300);
        XSetWindowBackground(own, window, kRed);
        XClearWindow(own, window);
        XFlush(own);
        const std::int64_t flipped = clock.nowNs();
        watchBehind([&] {
            while (!hostShowsRed(host, screen.offset + QPoint(x, y)) &&
                   clock.nowNs() - flipped < 1'000'000'000) {
            }
        });
        lags.push_back(double(clock.nowNs() - flipped) / 1e6);
    }
    XDestroyWindow(own, window);
    XCloseDisplay(own);
    XCloseDisplay(host);
    return lags;
}

// The same for a bare native client that knows when its frame was presented: a window of its
// own turns from white to red through the program's painter (a sub-surface committed with a
// presentation feedback), and the lag runs from the presented time to the host showing red.
// What remains beyond the program's own correction in this rig: the host window's lag.
//
// With `besideAFall`, each change is as small as the stick's first move and committed from a
// fall of the program's own, right before the frame that makes that move. A fall's frame loop
// takes a third of one of this machine's two cores in the real-time class and keeps the
// compositor repainting, both of which slow what a compositor drawing in software and its host
// do after the time it reports; the change then meets what the fall's first frame meets. No
// participant watches: the stick falls to the bottom.
std::vector<double> nativeWindowLagMs(BenchProgram& program, int flips, bool besideAFall = false) {
    QWidget window;
    window.resize(200, 200);
    window.setWindowTitle(QStringLiteral("bare"));
    window.show();
    program.settle(1000);
    WaylandWindowPainter painter(*program.wayland(), program.clock);
    QImage white(200, 200, QImage::Format_RGB32);
    white.fill(Qt::white);
    QImage red(200, 200, QImage::Format_RGB32);
    red.fill(QColor(255, 0, 0));
    const QRect all(0, 0, 200, 200);
    const unsigned long id = window.winId();
    // Where it shows: what turns red as it does (the program's sticks may be red beside it).
    Display* host = XOpenDisplay(watchedScreen().display.constData());
    painter.put(id, white, all, QPoint(0, 0));
    program.settle(1000);
    const QImage before = hostOutput(host);
    painter.put(id, red, all, QPoint(0, 0));
    program.settle(1000);
    const std::optional<QPoint> corner = redOnHost(hostOutput(host), before);
    // Beside a fall, no more changes than the stick's first move: a row as wide as it.
    const QRect change = besideAFall ? QRect(80, 99, 40, 2) : all;
    QImage changed = white;
    for (int y = change.top(); y <= change.bottom(); ++y) {
        for (int x = change.left(); x <= change.right(); ++x)
            changed.setPixel(x, y, red.pixel(x, y));
    }
    std::vector<double> lags;
    for (int flip = 0; corner && flip < flips; ++flip) {
        if (besideAFall)
            program.startSeriesBefore(flip, 1000);
        painter.put(id, white, all, QPoint(0, 0));
        program.settle(300);
        painter.startFall();
        painter.markNextFrame();
        // Beside a fall, committed on the fall's thread, which is this one.
        std::int64_t committed = 0;
        const auto turnRed = [&] {
            painter.put(id, changed, change, change.topLeft());
            committed = program.clock.nowNs();
        };
        std::int64_t seen = 0;
        const auto watch = [&] {
            watchBehind([&] {
                const std::int64_t started = program.clock.nowNs();
                while (program.clock.nowNs() - started < 3'000'000'000) {
                    if (hostShowsRed(host, *corner + QPoint(100, 100))) {
                        seen = program.clock.nowNs();
                        return;
                    }
                }
            });
        };
        if (besideAFall) {
            program.beforeMarkedFrame = turnRed;
            std::thread watcher(watch);
            program.series().DropStick(StickSide::Left);
            watcher.join();
            program.beforeMarkedFrame = nullptr;
        } else {
            turnRed();
            watch();
        }
        const std::optional<std::int64_t> late =
            painter.markedFrameShownLateNs(seen, std::chrono::milliseconds(200));
        if (seen != 0 && committed != 0 && late)
            lags.push_back(double(seen - (committed + *late)) / 1e6);
    }
    XCloseDisplay(host);
    return lags;
}

void printSpread(const std::string& name, const std::vector<double>& values) {
    double sum = 0.0;
    for (double v : values)
        sum += v / double(values.size());
    print((name + "_mean").c_str(), sum, "ms");
    print((name + "_min").c_str(), percentile(values, 0), "ms");
    print((name + "_max").c_str(), percentile(values, 100), "ms");
    print((name + "_count").c_str(), double(values.size()), "flips");
}

void printParticipant(const std::string& prefix, const ParticipantFigures& f) {
    print((prefix + "recorded_beyond_onset_ms_mean").c_str(), f.recordedMean, "ms");
    print((prefix + "recorded_beyond_onset_ms_max").c_str(), f.recordedMax, "ms");
    print((prefix + "beyond_onset_ms_mean").c_str(), f.correctedMean, "ms");
    print((prefix + "beyond_onset_ms_sd").c_str(), f.correctedSd, "ms");
    print((prefix + "beyond_onset_ms_min").c_str(), f.correctedMin, "ms");
    print((prefix + "beyond_onset_ms_max").c_str(), f.correctedMax, "ms");
    print((prefix + "falls_timed_from_report").c_str(), f.reported, "falls");
    if (f.reported > 0)
        print((prefix + "shown_to_seen_ms_mean").c_str(), f.shownToSeenMean, "ms");
    print((prefix + "key_dated_after_press_ms_mean").c_str(), f.keyDatedAfterPressMean, "ms");
    print((prefix + "series_ended_with_results").c_str(), f.seriesWithResults, "series");
    print((prefix + "score_lines_added").c_str(), f.scoreLinesAdded, "lines");
}

// A Wayland desktop's compositor, nested in a window of the benchmark's X server.
struct NestedDesktop {
    const char* name;
    const char* title;
    QStringList command;
};

// The nested compositor's output window on the host: the first managed window of its size.
Window outputWindow(Display* host) {
    const Atom clients = XInternAtom(host, "_NET_CLIENT_LIST", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(host, DefaultRootWindow(host), clients, 0, 1024, False, XA_WINDOW, &type,
                       &format, &count, &after, &data);
    Window found = 0;
    for (unsigned long i = 0; data && i < count && !found; ++i) {
        const Window window = reinterpret_cast<Window*>(data)[i];
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(host, window, &attributes) && attributes.width == kOutputWidth &&
            attributes.height == kOutputHeight)
            found = window;
    }
    if (data)
        XFree(data);
    return found;
}

// Runs the benchmark once more as a program on the nested desktop, natively or on its
// Xwayland (`kind` ends in "native" or "xwayland" and names its figures); false where it did
// not finish.
bool runChild(const NestedDesktop& desktop, Display* host, const QPoint& offset,
              const QString& kind, const QProcessEnvironment& env) {
    QProcess bench;
    bench.setProcessEnvironment(env);
    bench.setProcessChannelMode(QProcess::ForwardedChannels);
    bench.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--nested-wayland-child"),
                 QString::fromLocal8Bit(DisplayString(host)), QString::number(offset.x()),
                 QString::number(offset.y()),
                 QString::fromLatin1(desktop.name) + QLatin1Char('_') + kind});
    return bench.waitForFinished(900'000) && bench.exitCode() == 0;
}

// The process's parent, from its /proc entry; 0 where it has gone.
pid_t parentOf(const QString& pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    // After the name in brackets: the state, then the parent.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 1 ? pid_t(fields[1].toInt()) : 0;
}

// Every thread of the given processes and of all they started, in a scheduling class; false
// where one of them could not be put there.
bool scheduleAll(std::vector<pid_t> processes, int policy, int priority) {
    const QStringList all = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (size_t i = 0; i < processes.size(); ++i) {
        for (const QString& pid : all) {
            if (pid.toInt() > 0 && parentOf(pid) == processes[i])
                processes.push_back(pid_t(pid.toInt()));
        }
    }
    const sched_param param{priority};
    bool scheduled = true;
    for (const pid_t process : processes) {
        const QStringList threads = QDir(QStringLiteral("/proc/%1/task").arg(process))
                                        .entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString& thread : threads)
            scheduled = sched_setscheduler(thread.toInt(), policy, &param) == 0 && scheduled;
    }
    return scheduled;
}

// Starts the desktop's compositor nested on the host (a copy of its binary where the original
// refuses to start, as KWin does without the privileges its file capabilities ask for), and
// measures the program on it natively and on its Xwayland. Says which of them it measured.
std::string measureDesktop(const NestedDesktop& desktop, Display* host) {
    const QString log = QStringLiteral("/tmp/greifholm-bench-%1.log").arg(desktop.name);
    const QString xwaylandFile =
        QStringLiteral("/tmp/greifholm-bench-%1.xwayland").arg(desktop.name);
    QFile::remove(xwaylandFile);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MUTTER_DEBUG_DUMMY_MODE_SPECS"), QStringLiteral("1024x768"));
    env.insert(QStringLiteral("GREIFHOLM_XWAYLAND_FILE"), xwaylandFile);
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    QProcess compositor;
    QStringList command = desktop.command;
    QElapsedTimer waited;
    Window output = 0;
    for (int attempt = 0; attempt < 2 && !output; ++attempt) {
        if (attempt == 1) {
            const QString copy = QStringLiteral("/tmp/greifholm-bench-%1").arg(desktop.name);
            QFile::remove(copy);
            QFile::copy(QStandardPaths::findExecutable(command.front()), copy);
            QFile(copy).setPermissions(QFile::ExeOwner | QFile::ReadOwner);
            command.front() = copy;
        }
        compositor.setProcessEnvironment(env);
        compositor.setProcessChannelMode(QProcess::MergedChannels);
        compositor.setStandardOutputFile(log);
        compositor.start(command.front(), command.mid(1));
        waited.start();
        while (compositor.state() != QProcess::NotRunning && waited.elapsed() < 30'000 && !output) {
            BenchProgram::settle(200);
            output = outputWindow(host);
        }
    }
    // mutter names its Xwayland in its log; KWin's is named by the helper it runs.
    QString xwayland;
    QString auth;
    waited.start();
    while (output && xwayland.isEmpty() && waited.elapsed() < 20'000) {
        BenchProgram::settle(200);
        QFile named(log);
        if (named.open(QIODevice::ReadOnly))
            xwayland = QRegularExpression(QStringLiteral("Using public X11 display (:[0-9]+)"))
                           .match(QString::fromLocal8Bit(named.readAll()))
                           .captured(1);
        QFile helper(xwaylandFile);
        if (xwayland.isEmpty() && helper.open(QIODevice::ReadOnly)) {
            const QStringList words =
                QString::fromLocal8Bit(helper.readAll()).split(QLatin1Char(' '));
            xwayland = words.value(0).trimmed();
            auth = words.value(1).trimmed();
        }
    }
    const QStringList mutterAuth =
        QDir(qEnvironmentVariable("XDG_RUNTIME_DIR"))
            .entryList({QStringLiteral(".mutter-Xwaylandauth.*")}, QDir::Files | QDir::Hidden);
    if (auth.isEmpty() && !mutterAuth.isEmpty())
        auth = qEnvironmentVariable("XDG_RUNTIME_DIR") + QLatin1Char('/') + mutterAuth.front();
    std::string measured;
    if (output) {
        BenchProgram::settle(2000);
        int x = 0;
        int y = 0;
        Window child = 0;
        XTranslateCoordinates(host, output, DefaultRootWindow(host), 0, 0, &x, &y, &child);
        // The host's keyboard goes to the nested desktop, as a real keyboard's to a session.
        XRaiseWindow(host, output);
        XSetInputFocus(host, output, RevertToParent, CurrentTime);
        XSync(host, False);
        QProcessEnvironment native = env;
        native.insert(QStringLiteral("WAYLAND_DISPLAY"), QString::fromLatin1(kSocket));
        if (runChild(desktop, host, QPoint(x, y), QStringLiteral("native"), native))
            measured += "native";
        // What comes after the compositor's presented time stands for the screen here: what the
        // nested compositor still does in software after that time, and the host X server. A
        // real screen shows a presented frame whatever the processor does; these share the
        // machine's two cores with the fall's real-time loop, which holds them back. Measured
        // once more with them ahead of the fall, as the X server is on the busy machine, so
        // that what the rig adds cannot grow with the fall.
        const std::vector<pid_t> rig{pid_t(compositor.processId()),
                                     pid_t(qEnvironmentVariableIntValue("XVFB_PID"))};
        if (rig.back() > 0 && scheduleAll(rig, SCHED_FIFO, kRigPriority) &&
            runChild(desktop, host, QPoint(x, y), QStringLiteral("rig_ahead_native"), native))
            measured += ", natively with the rig ahead of the fall";
        scheduleAll(rig, SCHED_OTHER, 0);
        if (!xwayland.isEmpty()) {
            QProcessEnvironment onXwayland = env;
            onXwayland.insert(QStringLiteral("DISPLAY"), xwayland);
            if (!auth.isEmpty())
                onXwayland.insert(QStringLiteral("XAUTHORITY"), auth);
            if (runChild(desktop, host, QPoint(x, y), QStringLiteral("xwayland"), onXwayland))
                measured += measured.empty() ? "Xwayland" : " and Xwayland";
        }
    }
    compositor.terminate();
    if (!compositor.waitForFinished(5000))
        compositor.kill();
    return measured.empty() ? "did not start here (see " + log.toStdString() + ")" : measured;
}

} // namespace

// Run by the composited measurement as a program of its own on a nested Wayland desktop,
// natively or on its Xwayland, the participant reading the host's screen where the compositor
// shows its output and pressing the host's keys, which pass the compositor as a real
// keyboard's do. The host window adds a lag of its own, which no program knows: a bare
// client's lag is measured beside the program's falls, before and after them (natively from
// its own presentation feedback, on Xwayland from its X request). The program's figures are
// printed as recorded (no correction) and as the trial records them.
void measureNestedWayland(BenchProgram& program, const std::string& prefix, bool native) {
    const auto bareLag = [&] {
        return native ? nativeWindowLagMs(program, 15) : plainWindowLagMs(program.clock, 15);
    };
    printSpread(prefix + "_bare_window_lag_ms", bareLag());
    if (native && !findProgramOnHost(program)) {
        std::printf("# %s: the program's sticks were not found on the host's screen\n",
                    prefix.c_str());
        return;
    }
    printParticipant(prefix + "_at_once_", participantFalls(program, 20, Watcher::Behind));
    printParticipant(prefix + "_after_150ms_", participantFalls(program, 20, Watcher::Behind, 150));
    printSpread(prefix + "_bare_window_lag_after_ms", bareLag());
    if (native)
        printSpread(prefix + "_bare_window_lag_beside_a_fall_ms",
                    nativeWindowLagMs(program, 20, true));
}

// The Wayland desktops Debian runs, each nested in a window of the benchmark's X server (its
// output 1024 × 768): GNOME's mutter, and KDE's kwin_wayland where it is installed.
std::vector<std::pair<std::string, std::string>>
measureNestedWaylandDesktops(Display* host, const QStringList& only) {
    const QString socket = QString::fromLatin1(kSocket);
    // KWin runs this once its Xwayland stands, with the display and its authority.
    const QString helper = QStringLiteral("/tmp/greifholm-bench-xwayland-helper.sh");
    QFile script(helper);
    if (script.open(QIODevice::WriteOnly | QIODevice::Truncate))
        script.write("#!/bin/sh\necho \"$DISPLAY $XAUTHORITY\" > \"$GREIFHOLM_XWAYLAND_FILE\"\n"
                     "exec sleep 100000\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    const std::vector<NestedDesktop> desktops = {
        {"mutter_wayland",
         "GNOME on Wayland: mutter --wayland --nested",
         {QStringLiteral("mutter"), QStringLiteral("--wayland"), QStringLiteral("--nested"),
          QStringLiteral("--wayland-display"), socket}},
        {"kwin_wayland",
         "KDE Plasma on Wayland: kwin_wayland nested",
         {QStringLiteral("kwin_wayland"), QStringLiteral("--x11-display"),
          QString::fromLocal8Bit(DisplayString(host)), QStringLiteral("--width"),
          QString::number(kOutputWidth), QStringLiteral("--height"), QString::number(kOutputHeight),
          QStringLiteral("--socket"), socket, QStringLiteral("--xwayland"), helper}},
    };
    std::vector<std::pair<std::string, std::string>> rows;
    for (const NestedDesktop& desktop : desktops) {
        if (!only.isEmpty() && !only.contains(QLatin1String(desktop.name)))
            continue;
        if (QStandardPaths::findExecutable(desktop.command.front()).isEmpty()) {
            rows.emplace_back(desktop.title, "not installed");
            continue;
        }
        rows.emplace_back(desktop.title, measureDesktop(desktop, host));
    }
    return rows;
}
