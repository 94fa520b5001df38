#include "platform/RuntimeError.h"
#include "platform/files/Files.h"
#include "platform/files/SystemErrorText.h"
#include "platform/files/WindowsPaths.h"
#include "storage/ScoreFile.h"
#include "support/ChildProcess.h"
#include "support/Fakes.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstddef>
#include <functional>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <optional>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
}

const QByteArray kTemplate("Greifholm-Punkte\r\n");

// Makes every later call of the system call `number` in this process fail with `error`
// (a seccomp filter); for a child process only, since it cannot be undone.
void failSystemCall(long number, int error) {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __u32(number), 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (__u32(error) & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
        ::_exit(3);
}

// Runs `failure` and then `work` in a child process; its exit status: 0 when `work` threw a
// RuntimeError naming `cause`, 1 when it did not fail, 2 when it failed otherwise.
int runFailing(const std::function<void()>& failure, const QString& cause,
               const std::function<void()>& work) {
    return inChildProcess([&] {
        failure();
        try {
            work();
        } catch (const RuntimeError& error) {
            return error.message().contains(cause) ? 0 : 2;
        }
        return 1;
    });
}

} // namespace

class TestScoreFile : public QObject {
    Q_OBJECT
private:
    // A data folder and a working directory of the test's own; the working directory holds
    // kTemplate, unless a test says otherwise.
    struct Fixture {
        TestEnvironment env{kTemplate};
        PollingLockWait lockWait;
        QString scorePath = env.scoreFile();
        QString templatePath = env.workDir() + QStringLiteral("/spunkte.txt");
        // Where no file is, and none may come to be.
        QString elsewhere = env.path(QStringLiteral("elsewhere"));
    };
    std::optional<Fixture> m_f;

    WindowsPaths paths() const { return m_f->env.paths(); }
    void startup() { ScoreFile::startupCheck(paths(), m_f->lockWait); }
    void append(qint16 points) {
        ScoreFile::appendScore(paths(), ScoreFile::kScoreFilePath, points, m_f->lockWait);
    }

private slots:
    void init() { m_f.emplace(); }
    void cleanup() { m_f.reset(); }

    // The first start creates the folder and installs the template.
    void missingFileGetsTemplate() {
        startup();
        QCOMPARE(readFile(m_f->scorePath), kTemplate);
        // No temporary file is left beside it, only the lock file.
        QCOMPARE(QDir(QFileInfo(m_f->scorePath).absolutePath())
                     .entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 QStringList({QStringLiteral(".spunkte.txt.lock"), QStringLiteral("spunkte.txt")}));
    }

    // Below 10 bytes the file is replaced by the template; from 10 bytes on it stays.
    void sizeThreshold_data() {
        QTest::addColumn<QByteArray>("existing");
        QTest::addColumn<bool>("replaced");
        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("9 bytes") << QByteArray("123456789") << true;
        QTest::newRow("10 bytes") << QByteArray(" 227\r\n 0\r\n") << false;
        QTest::newRow("longer") << QByteArray(" 227\r\n 0\r\n 350\r\n") << false;
    }
    void sizeThreshold() {
        QFETCH(QByteArray, existing);
        QFETCH(bool, replaced);
        writeFile(m_f->scorePath, existing);
        startup();
        QCOMPARE(readFile(m_f->scorePath), replaced ? kTemplate : existing);
    }

    // A short score file and no template: an error naming the template, the file untouched.
    void missingTemplateIsAnError() {
        QVERIFY(QFile::remove(m_f->templatePath));
        writeFile(m_f->scorePath, QByteArray(" 42\r\n"));
        try {
            startup();
            QFAIL("no error for a missing template");
        } catch (const RuntimeError& error) {
            QVERIFY2(error.message().contains(m_f->templatePath), qPrintable(error.message()));
            QVERIFY2(error.message().contains(QStringLiteral("nicht gefunden")),
                     qPrintable(error.message()));
        }
        // A cause the table does not know is still said in German.
        QCOMPARE(germanCause(12345), QStringLiteral("Unerwarteter Systemfehler Nummer 12345"));
        QCOMPARE(readFile(m_f->scorePath), QByteArray(" 42\r\n"));
    }

    // A folder where the score file or its folder should be is an error, not a success.
    void folderInPlaceOfFile() {
        QVERIFY(QDir().mkpath(m_f->scorePath));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, startup());
        QVERIFY_THROWS_EXCEPTION(RuntimeError, append(100));
    }
    // A file where the score file's folder should be: an error that names the folder.
    void fileInPlaceOfFolder() {
        m_f->env.blockScoreFolder();
        try {
            startup();
            QFAIL("no error for a file in place of the folder");
        } catch (const RuntimeError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("Programme")),
                     qPrintable(error.message()));
        }
    }

    // Each score is one line: a space, the digits, CR LF; lines are only ever appended, and
    // each starts a line of its own, whatever the file ended with.
    void appendLines_data() {
        QTest::addColumn<QByteArray>("existing");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("after a whole line")
            << kTemplate << kTemplate + QByteArray(" 227\r\n 0\r\n");
        QTest::newRow("empty file") << QByteArray() << QByteArray(" 227\r\n 0\r\n");
        QTest::newRow("last line unterminated")
            << QByteArray("Punkteliste") << QByteArray("Punkteliste\r\n 227\r\n 0\r\n");
        QTest::newRow("last line ends in LF")
            << QByteArray("Liste\n") << QByteArray("Liste\n 227\r\n 0\r\n");
        QTest::newRow("last line ends in CR")
            << QByteArray("Liste\r") << QByteArray("Liste\r\n 227\r\n 0\r\n");
        QTest::newRow("one byte, no line end")
            << QByteArray("x") << QByteArray("x\r\n 227\r\n 0\r\n");
    }
    void appendLines() {
        QFETCH(QByteArray, existing);
        QFETCH(QByteArray, expected);
        writeFile(m_f->scorePath, existing);
        append(227);
        append(0);
        QCOMPARE(readFile(m_f->scorePath), expected);
    }
    // A score file deleted during a series is created anew by the append.
    void appendCreatesMissingFile() {
        QDir().mkpath(QFileInfo(m_f->scorePath).absolutePath());
        append(350);
        QCOMPARE(readFile(m_f->scorePath), QByteArray(" 350\r\n"));
    }

    // A write or a sync that fails, while the template replaces a short file or a score is
    // appended, is reported and leaves the file as it was, so no later line is glued onto a
    // fragment: the copy is synced before it is renamed over the file, and a failed append
    // is cut back.
    void failedWriteOrSyncLeavesFile_data() {
        QTest::addColumn<std::function<void()>>("failure");
        QTest::addColumn<bool>("appending");
        QTest::addColumn<QString>("cause");
        const auto failing = [](long call, int error) {
            return std::function<void()>([=] { failSystemCall(call, error); });
        };
        // Room for " 3" of " 338"; without failWritesBeyondSizeLimit() the kernel's SIGXFSZ
        // would end the process mid-write.
        QTest::newRow("append: file size limit") << std::function<void()>([] {
            Files::failWritesBeyondSizeLimit();
            const rlimit limit{rlim_t(kTemplate.size() + 2), rlim_t(kTemplate.size() + 2)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }) << true << "Die Datei ist zu groß";
        QTest::newRow("append: sync") << failing(SYS_fsync, EIO) << true << "Ein-/Ausgabefehler";
        QTest::newRow("copy: write") << failing(SYS_write, ENOSPC) << false << "Kein Speicherplatz";
        QTest::newRow("copy: sync") << failing(SYS_fsync, EIO) << false << "Ein-/Ausgabefehler";
    }
    void failedWriteOrSyncLeavesFile() {
        QFETCH(std::function<void()>, failure);
        QFETCH(bool, appending);
        QFETCH(QString, cause);
        const QByteArray before = appending ? kTemplate : QByteArray(" 5\r\n");
        writeFile(m_f->scorePath, before);
        QCOMPARE(runFailing(failure, cause, [&] { appending ? append(283) : startup(); }), 0);
        QCOMPARE(readFile(m_f->scorePath), before);
        QCOMPARE(
            QDir(QFileInfo(m_f->scorePath).absolutePath()).entryList(QDir::Files | QDir::Hidden),
            QStringList({QStringLiteral(".spunkte.txt.lock"), QStringLiteral("spunkte.txt")}));
        if (appending) {
            append(5);
            QCOMPARE(readFile(m_f->scorePath), before + QByteArray(" 5\r\n"));
        }
    }

    // Another instance holds the lock while it replaces the file (flock(1) stands in for
    // it). Released in time, the append waits and lands in the new file instead of being
    // renamed away; held past the user's patience, the append fails, says which score was
    // not saved and leaves the file as it was.
    void appendWaitsForTheLock_data() {
        QTest::addColumn<QString>("holderMode");
        QTest::addColumn<int>("patienceMs");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("released in time") << "-x" << 10000 << kTemplate + QByteArray(" 338\r\n");
        QTest::newRow("held shared, released in time")
            << "-s" << 10000 << kTemplate + QByteArray(" 338\r\n");
        QTest::newRow("held too long") << "-x" << 100 << QByteArray();
    }
    void appendWaitsForTheLock() {
        QFETCH(QString, holderMode);
        QFETCH(int, patienceMs);
        QFETCH(QByteArray, expected);
        writeFile(m_f->scorePath, "");
        const QString acquired = m_f->env.path(QStringLiteral("acquired"));
        const QString replacement = m_f->env.path(QStringLiteral("replacement"));
        writeFile(replacement, kTemplate);
        QProcess holder;
        holder.start(QStringLiteral("flock"),
                     {holderMode, ScoreFile::lockPathFor(m_f->scorePath), QStringLiteral("sh"),
                      QStringLiteral("-c"),
                      QStringLiteral("touch \"$0\"; sleep 0.5; cp \"$1\" \"$2.new\"; "
                                     "mv \"$2.new\" \"$2\""),
                      acquired, replacement, m_f->scorePath});
        QTRY_VERIFY(QFileInfo::exists(acquired));
        m_f->lockWait.patienceMs = patienceMs;
        QString message;
        try {
            append(338);
            QCOMPARE(readFile(m_f->scorePath), expected);
        } catch (const RuntimeError& error) {
            message = error.message();
            QCOMPARE(readFile(m_f->scorePath), expected);
        }
        QVERIFY(holder.waitForFinished(10000));
        QCOMPARE(holder.exitCode(), 0);
        QCOMPARE(m_f->lockWait.waitedFor, QStringList{ScoreFile::lockPathFor(m_f->scorePath)});
        if (expected.isEmpty()) {
            QVERIFY2(message.contains(ScoreFile::lockPathFor(m_f->scorePath)), qPrintable(message));
            QVERIFY2(message.contains(QStringLiteral("Die Punktzahl 338 wurde nicht gespeichert")),
                     qPrintable(message));
            // The wait's own words: the user gave up, no lock failure of the system.
            QVERIFY2(message.contains(QStringLiteral("wurde abgebrochen")), qPrintable(message));
        }
    }

    // Two data folders whose score files link to one shared file (one list for a family)
    // take one lock, beside the shared file, so they never replace each other's lines.
    void linkedScoreFilesShareOneLock() {
        const QString shared = m_f->env.path(QStringLiteral("shared/spunkte.txt"));
        const QString second = m_f->env.path(QStringLiteral("second/spunkte.txt"));
        writeFile(shared, kTemplate);
        QDir().mkpath(QFileInfo(m_f->scorePath).absolutePath());
        QDir().mkpath(QFileInfo(second).absolutePath());
        QVERIFY(QFile::link(shared, m_f->scorePath));
        QVERIFY(QFile::link(shared, second));
        QCOMPARE(ScoreFile::lockPathFor(m_f->scorePath), ScoreFile::lockPathFor(second));
        QCOMPARE(ScoreFile::lockPathFor(m_f->scorePath),
                 QFileInfo(shared).canonicalPath() + QStringLiteral("/.spunkte.txt.lock"));
    }

    // A short score file is replaced by the template, but the scores it held stay.
    void shortFileKeepsScores_data() {
        QTest::addColumn<QByteArray>("templateContent");
        QTest::addColumn<QByteArray>("existing");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("score after the template")
            << QByteArray("Kopf\r\n") << QByteArray("Kopf\r\n 5\r\n")
            << QByteArray("Kopf\r\n 5\r\n");
        QTest::newRow("file deleted during a series")
            << kTemplate << QByteArray(" 338\r\n") << kTemplate + QByteArray(" 338\r\n");
        // An empty template never drops the lines after it, start after start.
        QTest::newRow("empty template")
            << QByteArray() << QByteArray(" 7\r\n 0\r\n") << QByteArray(" 7\r\n 0\r\n");
        // A template that is itself a score line is not counted twice.
        QTest::newRow("template like a score")
            << QByteArray(" 100\r\n") << QByteArray(" 100\r\n") << QByteArray(" 100\r\n");
        // Lines an editor saved with LF alone, or one cut short without a line end, are
        // scores too, written back with CR LF.
        QTest::newRow("LF and unterminated lines")
            << kTemplate << QByteArray(" 42\n 283") << kTemplate + QByteArray(" 42\r\n 283\r\n");
        QTest::newRow("template without a line end")
            << QByteArray("Kopf") << QByteArray(" 7\r\n") << QByteArray("Kopf\r\n 7\r\n");
        QTest::newRow("no score lines") << kTemplate << QByteArray("12345\r\n3 ") << kTemplate;
    }
    void shortFileKeepsScores() {
        QFETCH(QByteArray, templateContent);
        QFETCH(QByteArray, existing);
        QFETCH(QByteArray, expected);
        writeFile(m_f->templatePath, templateContent);
        writeFile(m_f->scorePath, existing);
        startup();
        QCOMPARE(readFile(m_f->scorePath), expected);
    }

    // Nothing but a regular file is read or replaced, and a FIFO never blocks the program.
    // Each row puts something in the way; "append too" rows also try the append.
    void specialFilesRefused_data() {
        QTest::addColumn<std::function<void(const Fixture&)>>("setup");
        QTest::addColumn<bool>("appendToo");
        QTest::addColumn<QString>("expected");
        const auto fifo = [](const QString& path) {
            QFile::remove(path);
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        };
        const auto link = [](const QString& target, const QString& path) {
            QFile::remove(path);
            QVERIFY(QFile::link(target, path));
        };
        const QString notRegular = QStringLiteral("keine reguläre Datei");
        QTest::newRow("FIFO as template")
            << std::function([=](const Fixture& f) { fifo(f.templatePath); }) << false
            << notRegular;
        QTest::newRow("FIFO as score file")
            << std::function([=](const Fixture& f) { fifo(f.scorePath); }) << true << notRegular;
        QTest::newRow("link to a device as score file") << std::function([=](const Fixture& f) {
            link(QStringLiteral("/dev/full"), f.scorePath);
        }) << true << notRegular;
        // Creating through it would put a file wherever it points.
        QTest::newRow("dangling link as score file")
            << std::function([=](const Fixture& f) { link(f.elsewhere, f.scorePath); }) << true
            << notRegular;
        QTest::newRow("template linking to /dev/zero") << std::function([=](const Fixture& f) {
            link(QStringLiteral("/dev/zero"), f.templatePath);
        }) << false << notRegular;
        QTest::newRow("template over 1 MiB") << std::function([](const Fixture& f) {
            writeFile(f.templatePath, QByteArray(ScoreFile::kTemplateLimit + 1, 'x'));
        }) << false << QStringLiteral("zu groß");
        // Refused, not passed over for an installed one: the name is there.
        QTest::newRow("dangling link as template")
            << std::function([=](const Fixture& f) { link(f.elsewhere, f.templatePath); }) << false
            << QStringLiteral("Verweis zeigt auf keine vorhandene Datei");
        // The lock file is never followed: nothing may be created where a link points.
        QTest::newRow("dangling link as lock file") << std::function([=](const Fixture& f) {
            link(f.elsewhere, ScoreFile::lockPathFor(f.scorePath));
        }) << true << QStringLiteral("symbolischer Verweis");
    }
    void specialFilesRefused() {
        QFETCH(std::function<void(const Fixture&)>, setup);
        QFETCH(bool, appendToo);
        QFETCH(QString, expected);
        QDir().mkpath(QFileInfo(m_f->scorePath).absolutePath());
        setup(*m_f);

        for (const bool appending : {false, true}) {
            if (appending && !appendToo)
                break;
            try {
                if (appending)
                    append(1);
                else
                    startup();
                QFAIL("no error");
            } catch (const RuntimeError& error) {
                QVERIFY2(error.message().contains(expected), qPrintable(error.message()));
            }
        }
        QVERIFY(!QFileInfo::exists(m_f->elsewhere));
        // Nothing is created beside a link's target that is no regular file (in /dev).
        const QString lock = ScoreFile::lockPathFor(m_f->scorePath);
        QVERIFY2(QFileInfo(lock).absolutePath() == QFileInfo(m_f->scorePath).absolutePath() ||
                     !QFileInfo::exists(lock),
                 qPrintable(lock));
        if (appendToo)
            QVERIFY(!QFileInfo(m_f->scorePath).isFile() || QFileInfo(m_f->scorePath).isSymLink());
    }

    // A symlinked score file is written through: the template and the append reach its
    // target, and the link stays a link.
    void symlinkedScoreFileWrittenThrough() {
        const QString target = m_f->env.path(QStringLiteral("elsewhere/spunkte.txt"));
        writeFile(target, " 9\r\n");
        QDir().mkpath(QFileInfo(m_f->scorePath).absolutePath());
        QVERIFY(QFile::link(target, m_f->scorePath));
        startup();
        append(250);
        QVERIFY(QFileInfo(m_f->scorePath).isSymLink());
        QCOMPARE(readFile(target), kTemplate + QByteArray(" 9\r\n 250\r\n"));
    }

    // A template copy cut short by a signal leaves a hidden temporary file beside the file it
    // replaces (for a symlinked score file, beside its target); the next start removes it,
    // whatever the score file holds now, and nothing else: a user's files of a like name stay.
    // A copy gets the permissions of any new file, not those of a temporary.
    void leftoversRemovedAndModeOfNewFile_data() {
        QTest::addColumn<QByteArray>("scoreFile"); // null: none
        QTest::addColumn<bool>("linked");          // the score file links to elsewhere/
        QTest::newRow("no score file") << QByteArray() << false;
        QTest::newRow("long score file") << QByteArray(" 227\r\n 0\r\n 350\r\n") << false;
        QTest::newRow("linked score file") << QByteArray(" 227\r\n 0\r\n 350\r\n") << true;
    }
    void leftoversRemovedAndModeOfNewFile() {
        QFETCH(QByteArray, scoreFile);
        QFETCH(bool, linked);
        const QString written =
            linked ? m_f->env.path(QStringLiteral("elsewhere/spunkte.txt")) : m_f->scorePath;
        if (linked) {
            QDir().mkpath(QFileInfo(m_f->scorePath).absolutePath());
            QVERIFY(QFile::link(written, m_f->scorePath));
        }
        if (!scoreFile.isNull())
            writeFile(written, scoreFile);
        const QString folder = QFileInfo(written).absolutePath();
        const QString leftover = folder + QStringLiteral("/.spunkte.txt.greifholm-tmp-a1B2c3");
        writeFile(leftover, "Greif");
        const QStringList lookAlikes{QStringLiteral(".spunkte.txt.Kopie1"),
                                     QStringLiteral(".SPUNKTE.TXT.alt"),
                                     QStringLiteral(".spunkte.txt.a1B2c3"),
                                     QStringLiteral(".SPUNKTE.TXT.GREIFHOLM-TMP-a1B2c3"),
                                     QStringLiteral(".spunkte.txt.greifholm-tmp-a1B2c3.bak"),
                                     QStringLiteral(".spunkte.txt.greifholm-tmp-a1.2c3")};
        for (const QString& name : lookAlikes)
            writeFile(folder + QLatin1Char('/') + name, "meins");
        const mode_t before = ::umask(022);
        startup();
        ::umask(before);
        QVERIFY(!QFileInfo::exists(leftover));
        for (const QString& name : lookAlikes)
            QVERIFY2(QFileInfo::exists(folder + QLatin1Char('/') + name), qPrintable(name));
        if (scoreFile.isNull()) {
            struct stat info = {};
            QCOMPARE(::stat(QFile::encodeName(m_f->scorePath).constData(), &info), 0);
            QCOMPARE(info.st_mode & 0777, mode_t(0644));
        }
    }

    // Started from a folder without a template, the program takes the installed one.
    void installedTemplateWhenNoneInWorkingDirectory() {
        QVERIFY(QFile::remove(m_f->templatePath));
        const QString installed = m_f->env.path(QStringLiteral("share/greifholm"));
        writeFile(installed + QStringLiteral("/spunkte.txt"), "Installierte Vorlage\r\n");
        ScoreFile::startupCheck(WindowsPaths(m_f->env.dataHome(), m_f->env.workDir(),
                                             {m_f->env.path(QStringLiteral("nowhere")), installed}),
                                m_f->lockWait);
        QCOMPARE(readFile(m_f->scorePath), QByteArray("Installierte Vorlage\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestScoreFile)
#include "tst_scorefile.moc"
