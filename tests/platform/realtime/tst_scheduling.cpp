#include "platform/realtime/RealtimeKit.h"
#include "platform/realtime/RealtimeScheduling.h"
#include "support/ChildProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <csignal>
#include <cstring>
#include <functional>
#include <sched.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

// A child's exit status when the system grants no real-time class here.
constexpr int kRefused = 77;

bool inRealtimeClass() {
    const int policy = sched_getscheduler(0) & ~SCHED_RESET_ON_FORK;
    return policy == SCHED_FIFO || policy == SCHED_RR;
}

// Whether the system grants this process the real-time class directly, found out apart from
// the service under test (and given back at once).
bool systemGrantsRealtime() {
    const sched_param fifo{1};
    const sched_param normal{0};
    return sched_setscheduler(0, SCHED_FIFO, &fifo) == 0 &&
           sched_setscheduler(0, SCHED_OTHER, &normal) == 0;
}

// A system bus that accepts connections and never answers, as a stuck daemon does: a
// listening socket on which nobody accepts.
class SilentBus {
public:
    SilentBus() {
        // Reachable by another user too, for the child that gives up root.
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                QFile::ReadOther | QFile::ExeOther);
        const QByteArray path = QFile::encodeName(m_dir.filePath(QStringLiteral("bus")));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        m_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_fd, 16) != 0)
            qFatal("no silent bus");
        ::chmod(path.constData(), 0777);
        m_address = "unix:path=" + path.toStdString();
    }
    ~SilentBus() { ::close(m_fd); }
    const std::string& address() const { return m_address; }

private:
    QTemporaryDir m_dir;
    int m_fd = -1;
    std::string m_address;
};

} // namespace

// The real scheduling service: the real-time class a fall runs in, where the system grants
// one, and a series that is never held up or ended by it.
class TestScheduling : public QObject {
    Q_OBJECT
private slots:
    // Each row runs in a child and exits 0 when the service behaved; rows that need a
    // real-time class are skipped where the system grants none directly (RealtimeKit is not
    // asked for it here), and fail where it does and the service does not take it.
    void realClass_data() {
        QTest::addColumn<std::function<int()>>("scenario");
        QTest::newRow("every fall in the class, the pause out of it") << std::function([] {
            if (!systemGrantsRealtime())
                return kRefused;
            RealtimeScheduling scheduling;
            scheduling.prepare();
            if (inRealtimeClass())
                return 9; // finding the way left the thread in the class
            if (!scheduling.enterRealtime())
                return 10;
            for (int fall = 1; fall <= 2; ++fall) {
                if (fall == 2 && !scheduling.enterRealtime())
                    return 10;
                if (!inRealtimeClass())
                    return 10 + fall;
                scheduling.leaveRealtime();
                if (inRealtimeClass())
                    return 20 + fall;
            }
            return 0;
        });
        // The kernel sends SIGXCPU to a real-time thread that runs past its time limit; the
        // thread leaves the class instead of being ended.
        QTest::newRow("time limit reached: out of the class, not ended") << std::function([] {
            const rlimit limit{10'000, 5'000'000}; // µs: 10 ms soft, 5 s hard
            if (::setrlimit(RLIMIT_RTTIME, &limit) != 0 || !systemGrantsRealtime())
                return kRefused;
            RealtimeScheduling scheduling;
            scheduling.prepare();
            if (!scheduling.enterRealtime())
                return 2;
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
            while (std::chrono::steady_clock::now() < until) {
            }
            return inRealtimeClass() ? 1 : 0;
        });
        // The signal may reach any thread of the process; the falling one leaves the class.
        QTest::newRow("time limit signalled to another thread") << std::function([] {
            if (!systemGrantsRealtime())
                return kRefused;
            RealtimeScheduling scheduling;
            scheduling.prepare();
            if (!scheduling.enterRealtime())
                return 2;
            std::thread([] { ::raise(SIGXCPU); }).join();
            return inRealtimeClass() ? 1 : 0;
        });
        // Without the privilege to take the class directly the program asks RealtimeKit; a
        // bus that never answers may not hold up the start of a series or of a fall.
        QTest::newRow("silent bus: nobody waits") << std::function([] {
            static SilentBus bus;
            ::setenv("DBUS_SYSTEM_BUS_ADDRESS", bus.address().c_str(), 1);
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                return 2;
            RealtimeScheduling scheduling;
            QElapsedTimer timer;
            timer.start();
            scheduling.prepare();
            for (int fall = 0; fall < 3; ++fall) {
                if (scheduling.enterRealtime())
                    return kRefused; // the class granted directly after all
                scheduling.leaveRealtime();
            }
            return timer.elapsed() < 200 ? 0 : 1;
        });
    }
    void realClass() {
        QFETCH(std::function<int()>, scenario);
        // In a child: limits, signal handlers and the user cannot be changed back.
        const int status = inChildProcess(scenario);
        if (status == kRefused)
            QSKIP("the system grants no real-time class here");
        QCOMPARE(status, 0);
    }

    // RealtimeKit's connection gives up on a bus that never answers, its handshake included.
    void silentBusGivesUp() {
        SilentBus bus;
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!RealtimeKit::connect(bus.address(), 300));
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestScheduling)
#include "tst_scheduling.moc"
