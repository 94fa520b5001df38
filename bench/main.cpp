// Measures the drop trial of the program's own main window on a real X server: the cost of
// one frame, how long whole falls take, how punctually frames start, how soon a falling
// stick shows on the screen as a second X client sees it, and how soon an arrow key sent
// through XTEST is seen; then the real program's start-up time and its peak memory over a
// series. Starts its own Xvfb (through the tests' with-xvfb.sh) when no display is set.
//
// Prints one figure per line: name value unit. Options: --falls stops after the fall and
// screen figures, --busy measures only the quiet and busy machine's added latency,
// --composited [DESKTOP...] what a participant is recorded on the plain X server and under each
// desktop's compositor (all, or those named: plain, picom, xfwm4, kwin_x11_no_hint, kwin_x11,
// mutter_x11, mutter_wayland); with
// BENCH_DEBUG set it also prints (as # lines) how frame lateness is spread. Each measurement lives
// in a file of its own; Harness.h holds what they share.
#include "Harness.h"

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::vector<char*> command{const_cast<char*>(GREIFHOLM_WITH_XVFB), argv[0]};
        command.insert(command.end(), argv + 1, argv + argc);
        command.push_back(nullptr);
        execv(command[0], command.data());
        std::perror("with-xvfb.sh");
        return 1;
    }
    // The child on a nested Wayland desktop runs natively there when its name says so.
    const bool nestedChild = argc == 6 && QByteArray(argv[1]) == "--nested-wayland-child";
    const bool native = nestedChild && QByteArray(argv[5]).endsWith("_native");
    qputenv("QT_QPA_PLATFORM", native ? "wayland" : "xcb");
    // A folder of the benchmark's own where the session has none (Qt and the compositors want
    // one).
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    QApplication app(argc, argv);
    std::printf("# greifholm trial benchmark: %s (build/bench/greifholm_bench)\n", argv[0]);

    if (nestedChild) {
        watchedScreen() = {argv[2], QPoint(atoi(argv[3]), atoi(argv[4]))};
        BenchProgram program(native);
        measureNestedWayland(program, argv[5], native);
        return 0;
    }
    BenchProgram program;
    measureMachineStalls(program.clock);
    if (argc > 1 && QByteArray(argv[1]) == "--busy") {
        measureBusyMachine(program);
        return 0;
    }
    if (argc > 1 && QByteArray(argv[1]) == "--composited") {
        QStringList desktops;
        for (int i = 2; i < argc; ++i)
            desktops << QString::fromLocal8Bit(argv[i]);
        measureComposited(program, desktops);
        return 0;
    }
    measureFrameCost(program);
    measureFalls(program);
    measureOnset(program);
    if (argc > 1 && QByteArray(argv[1]) == "--falls")
        return 0;
    measureKeyLatency(program);
    measureBusyMachine(program);
    program.closeWindow();
    measureProgram();
    return 0;
}
