#include "Participant.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kFalls = 20;
constexpr int kHumanReactionMs = 150;

// A desktop's compositor as its users run it: as the window manager (picom beside openbox).
struct Desktop {
    const char* name;
    const char* title;
    QStringList command; // empty: the plain X server with openbox
    bool bypassCompositor = true;
    bool replacesWindowManager = true;
};

Atom atom(Display* display, const char* name) {
    return XInternAtom(display, name, False);
}

// Whether a compositing manager holds the screen's _NET_WM_CM_S0 selection.
bool compositorRuns(Display* display) {
    return XGetSelectionOwner(display, atom(display, "_NET_WM_CM_S0")) != None;
}

// KWin says on the session bus whether it composes; nothing where no KWin answers.
std::string kwinCompositing() {
    QProcess ask;
    ask.start(QStringLiteral("dbus-send"),
              {QStringLiteral("--session"), QStringLiteral("--print-reply"),
               QStringLiteral("--dest=org.kde.KWin"), QStringLiteral("/Compositor"),
               QStringLiteral("org.freedesktop.DBus.Properties.Get"),
               QStringLiteral("string:org.kde.kwin.Compositing"), QStringLiteral("string:active")});
    ask.waitForFinished(3000);
    const QByteArray reply = ask.readAllStandardOutput();
    return reply.contains("true") ? "composing" : reply.contains("false") ? "suspended" : "unknown";
}

struct Row {
    std::string title;
    std::string state;
    ParticipantFigures atOnce;
    ParticipantFigures human;
};

void printFigures(const std::string& prefix, const ParticipantFigures& f) {
    print((prefix + "beyond_onset_ms_mean").c_str(), f.correctedMean, "ms");
    print((prefix + "beyond_onset_ms_sd").c_str(), f.correctedSd, "ms");
    print((prefix + "beyond_onset_ms_min").c_str(), f.correctedMin, "ms");
    print((prefix + "beyond_onset_ms_max").c_str(), f.correctedMax, "ms");
    if (f.reported > 0)
        print((prefix + "falls_timed_from_report").c_str(), f.reported, "falls");
}

Row measure(BenchProgram& program, const Desktop& desktop, Display* display) {
    Row row{desktop.title, compositorRuns(display) ? "composing" : "no compositor", {}, {}};
    program.bypassCompositor = desktop.bypassCompositor;
    row.atOnce = participantFalls(program, kFalls, Watcher::Behind);
    row.human = participantFalls(program, kFalls, Watcher::Behind, kHumanReactionMs);
    if (std::string(desktop.name).rfind("kwin", 0) == 0) {
        // Asked during a series, and again once it is over.
        program.series().startSeries(1000);
        program.settle(2000);
        row.state = "during a series " + kwinCompositing();
        program.series().endSeries();
        program.settle(2000);
        row.state += ", 2 s after it " + kwinCompositing();
    }
    const std::string prefix = std::string(desktop.name) + "_";
    printFigures(prefix + "at_once_", row.atOnce);
    printFigures(prefix + "after_150ms_", row.human);
    return row;
}

// Starts the desktop's compositor and waits until it composes; false where it cannot start.
bool start(QProcess& process, const Desktop& desktop, Display* display) {
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardOutputFile(
        QStringLiteral("/tmp/greifholm-bench-%1.log").arg(QString::fromLatin1(desktop.name)));
    process.start(desktop.command.front(), desktop.command.mid(1));
    QElapsedTimer waited;
    waited.start();
    while (process.state() != QProcess::NotRunning && waited.elapsed() < 20'000 &&
           !compositorRuns(display))
        BenchProgram::settle(100);
    return compositorRuns(display);
}

void stop(QProcess& process, Display* display) {
    process.terminate();
    if (!process.waitForFinished(5000))
        process.kill();
    process.waitForFinished(2000);
    for (int i = 0; i < 50 && compositorRuns(display); ++i)
        BenchProgram::settle(100);
}

} // namespace

// What a participant is recorded beyond the moment the stick visibly moves, desktop by
// desktop: the plain X server, then each compositor Debian's desktops run, as their window
// manager (software GL, as on a machine without a GPU). The participant reads the root window,
// which holds what the compositor composed when it composed it, and presses at once or 150 ms
// after the sight, as a person would; 20 falls each at speed 1000. Run under with-xvfb.sh,
// whose openbox (WM_PID) gives way to the window managers that replace it.
void measureComposited(BenchProgram& program, const QStringList& only) {
    pinToCore(-1);
    qputenv("LIBGL_ALWAYS_SOFTWARE", "1");
    // One session bus for the compositors that want one, and for asking KWin.
    QProcess bus;
    bus.setStandardErrorFile(QProcess::nullDevice());
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--nofork"),
               QStringLiteral("--print-address=1")});
    if (bus.waitForReadyRead(5000))
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.readLine().trimmed());

    const auto cmd = [](const char* line) {
        return QString::fromLatin1(line).split(QLatin1Char(' '));
    };
    const std::vector<Desktop> desktops = {
        {"plain", "plain X server, openbox", {}, true, false},
        {"picom", "openbox with picom --backend xrender", cmd("picom --backend xrender"), true,
         false},
        {"xfwm4", "Xfce: xfwm4 --compositor=on", cmd("xfwm4 --compositor=on --replace")},
        {"kwin_x11_no_hint", "KDE Plasma on X11: kwin_x11, no bypass asked",
         cmd("kwin_x11 --replace"), false},
        {"kwin_x11", "KDE Plasma on X11: kwin_x11, bypass asked (the program)",
         cmd("kwin_x11 --replace")},
        {"mutter_x11", "GNOME on X11: mutter --x11", cmd("mutter --x11 --replace")},
    };
    Display* display = XOpenDisplay(nullptr);
    std::vector<Row> rows;
    const auto wanted = [&](const char* name) {
        return only.isEmpty() || only.contains(QLatin1String(name));
    };
    // Beside the plain X server's window manager, whose window it is.
    QStringList nested;
    for (const char* name : {"mutter_wayland", "kwin_wayland"}) {
        if (wanted(name))
            nested << QLatin1String(name);
    }
    const std::vector<std::pair<std::string, std::string>> wayland =
        nested.isEmpty() ? std::vector<std::pair<std::string, std::string>>()
                         : measureNestedWaylandDesktops(display, nested);
    std::unique_ptr<QProcess> running;
    std::string runningCommand;
    for (const Desktop& desktop : desktops) {
        if (!wanted(desktop.name))
            continue;
        const std::string command = desktop.command.join(QLatin1Char(' ')).toStdString();
        if (running && command != runningCommand) {
            stop(*running, display);
            running.reset();
        }
        if (!desktop.command.isEmpty() && !running) {
            if (desktop.replacesWindowManager) {
                // openbox does not hand over to another's --replace by itself.
                const QByteArray windowManager = qgetenv("WM_PID");
                if (!windowManager.isEmpty())
                    kill(pid_t(windowManager.toInt()), SIGTERM);
            }
            running = std::make_unique<QProcess>();
            if (!start(*running, desktop, display)) {
                std::printf("# %s: did not start as a compositor here (is it installed?)\n",
                            desktop.title);
                rows.push_back({desktop.title, "did not start", {}, {}});
                stop(*running, display);
                running.reset();
                continue;
            }
            runningCommand = command;
            // The window is managed anew; the program looks at the desktop anew as each series
            // starts, and so uses a compositor that took over since it started.
            BenchProgram::settle(2000);
        }
        rows.push_back(measure(program, desktop, display));
    }
    if (running)
        stop(*running, display);
    XCloseDisplay(display);
    bus.terminate();
    bus.waitForFinished(2000);

    std::printf("\n# What a participant is recorded beyond the stick's visible move, in ms "
                "(mean / sd / max over %d falls; reports: falls timed from the compositor's "
                "report)\n",
                kFalls);
    std::printf("# %-58s | %-27s | %-27s | %s\n", "desktop", "presses at once",
                "presses after 150 ms", "state");
    for (const Row& row : rows) {
        const auto cell = [](const ParticipantFigures& f) {
            char text[64];
            std::snprintf(text, sizeof text, "%.2f / %.2f / %.2f, %d reports", f.correctedMean,
                          f.correctedSd, f.correctedMax, f.reported);
            return std::string(text);
        };
        std::printf("# %-58s | %-27s | %-27s | %s\n", row.title.c_str(), cell(row.atOnce).c_str(),
                    cell(row.human).c_str(), row.state.c_str());
    }
    for (const auto& [title, measured] : wayland)
        std::printf("# %-58s | %s (its lines above)\n", title.c_str(), measured.c_str());
}
