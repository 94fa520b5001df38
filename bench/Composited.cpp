#include "Participant.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <X11/Xlib.h>
#include <csignal>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

// Lets the program's window settle: the event loop runs for a while.
void settle(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents();
        usleep(10'000);
    }
}

void printRecorded(const std::string& prefix, const ParticipantFigures& figures) {
    print((prefix + "recorded_beyond_onset_ms_mean").c_str(), figures.recordedMean, "ms");
    print((prefix + "recorded_beyond_onset_ms_sd").c_str(), figures.recordedSd, "ms");
    print((prefix + "recorded_beyond_onset_ms_max").c_str(), figures.recordedMax, "ms");
    print((prefix + "corrected_beyond_onset_ms_mean").c_str(), figures.correctedMean, "ms");
    print((prefix + "corrected_beyond_onset_ms_sd").c_str(), figures.correctedSd, "ms");
    print((prefix + "corrected_beyond_onset_ms_min").c_str(), figures.correctedMin, "ms");
    print((prefix + "corrected_beyond_onset_ms_max").c_str(), figures.correctedMax, "ms");
    print((prefix + "falls_with_report").c_str(), figures.reported, "");
}

} // namespace

// What a zero-delay participant is recorded beyond the moment the stick visibly moves, on
// the plain X server and then on a composited desktop: GNOME's compositor, mutter, takes the
// benchmark's X server over as its compositing window manager (software GL, as on a machine
// without a GPU), and the participant reads the root window, which then holds what mutter
// composed, when it composed it. 30 falls at speed 1000 each. Run under with-xvfb.sh, whose
// openbox (WM_PID) gives way to mutter.
void measureComposited(BenchProgram& program) {
    constexpr int kFalls = 30;
    pinToCore(-1);
    printRecorded("plain_", participantFalls(program, kFalls, false));

    // openbox does not hand over to mutter's --replace by itself.
    const QByteArray windowManager = qgetenv("WM_PID");
    if (!windowManager.isEmpty())
        kill(pid_t(windowManager.toInt()), SIGTERM);
    QTemporaryDir runtime;
    QProcess mutter;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LIBGL_ALWAYS_SOFTWARE"), QStringLiteral("1"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    mutter.setProcessEnvironment(env);
    mutter.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    mutter.setStandardOutputFile(QProcess::nullDevice());
    mutter.start(QStringLiteral("dbus-run-session"),
                 {QStringLiteral("--"), QStringLiteral("mutter"), QStringLiteral("--x11"),
                  QStringLiteral("--replace")});
    Display* display = XOpenDisplay(nullptr);
    QElapsedTimer waited;
    waited.start();
    while (mutter.state() != QProcess::NotRunning && waited.elapsed() < 20'000 &&
           !X11WindowPainter::windowManagerSupports(display, "_NET_WM_FRAME_DRAWN"))
        settle(100);
    const bool composited = X11WindowPainter::windowManagerSupports(display, "_NET_WM_FRAME_DRAWN");
    XCloseDisplay(display);
    if (!composited) {
        std::printf("# mutter did not start as a compositing window manager (is it installed?)\n");
        return;
    }
    settle(1000); // the window is managed anew
    // The program gives its window the extended frame counter before showing it; here the
    // window is shown again for that.
    program.synchroniseFrames();
    settle(1000);
    printRecorded("composited_", participantFalls(program, kFalls, false));
    mutter.terminate();
    mutter.waitForFinished(5000);
    mutter.kill();
}
