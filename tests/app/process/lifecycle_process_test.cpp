// The window program's lifecycle as real processes: one window per folder of
// user files (later starts hand over and end, two starts at once give one
// window, a crash keeps no one out, a window that does not answer is
// reported) and the endings by signal (each saves as Exit does, also while
// the first file is read; a failed save keeps the window, and a second signal
// ends it after one more try).

#include "program_process.h"

#include "util/list_file.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jl::test {
namespace {

using namespace std::chrono_literals;

class LifecycleProcessTest : public ::testing::Test, public ProgramFolderProcesses {
protected:
    void SetUp() override {
        if (!available())
            GTEST_SKIP() << "the program is not built";
    }
    QStringList listed() const { return decodeListFile(fileList()); }
    // A small message file in the messages folder; returns its path.
    QString message(const QString& name) const {
        return folder.write(QStringLiteral("messages/") + name,
                            "Received: from a\r\nMessage-ID: <" + name.toUtf8() + ">\r\n");
    }
    // What is left in the folder of the lock and the socket.
    QStringList runtimeEntries() const {
        return QDir(home.file("run"))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    // Ends the window with SIGTERM and waits for the process.
    Ended terminate(QProcess& window) const {
        sendSignal(window, SIGTERM);
        return waitForEnd(window, 30s);
    }
};

TEST_F(LifecycleProcessTest, LaterStartsHandTheirPathsToTheRunningWindowAndEnd) {
    const QString a = message("a.eml");
    message("dir/b.eml");
    message("dir/c.eml");
    auto window = start({});
    ASSERT_TRUE(waitUntilAnswering());

    // A relative path is taken from the later start's own folder.
    const Ended relative = run({"a.eml"}, 30s, folder.file("messages"));
    EXPECT_TRUE(relative.ended);
    EXPECT_EQ(relative.status, 0) << relative.err.constData();
    const Ended withShow = run({"--show=maximized", folder.file("messages/dir")}, 30s);
    EXPECT_EQ(withShow.status, 0) << withShow.err.constData();
    EXPECT_EQ(window->state(), QProcess::Running);

    const Ended ended = terminate(*window);
    ASSERT_TRUE(ended.ended);
    EXPECT_EQ(ended.status, 0) << ended.err.constData();
    EXPECT_EQ(listed(), (QStringList{a, folder.file("messages/dir/b.eml"),
                                     folder.file("messages/dir/c.eml")}));
}

TEST_F(LifecycleProcessTest, StartsAtTheSameMomentGiveOneWindowThatGetsEveryPath) {
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        QStringList paths;
        std::vector<std::unique_ptr<QProcess>> starts;
        for (int i = 0; i < 3; ++i) {
            paths << message(QStringLiteral("r%1-%2.eml").arg(round).arg(i));
            starts.push_back(start({paths.back()}));
        }
        // All but one end with success; the one left runs the window.
        QProcess* window = nullptr;
        const QDeadlineTimer deadline(60s);
        int ended = 0;
        while (ended < 2 && !deadline.hasExpired()) {
            ended = 0;
            for (auto& process : starts) {
                if (process->state() == QProcess::NotRunning || process->waitForFinished(50)) {
                    ++ended;
                    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
                    EXPECT_EQ(process->exitCode(), 0) << process->readAllStandardError().data();
                }
            }
        }
        ASSERT_EQ(ended, 2);
        for (auto& process : starts) {
            if (process->state() == QProcess::Running)
                window = process.get();
        }
        ASSERT_NE(window, nullptr);
        QThread::msleep(300);
        EXPECT_EQ(window->state(), QProcess::Running);
        const Ended end = terminate(*window);
        EXPECT_EQ(end.status, 0) << end.err.constData();
        for (const QString& path : paths)
            EXPECT_TRUE(listed().contains(path)) << path.toStdString();
    }
}

TEST_F(LifecycleProcessTest, AWindowKilledLeavesNothingThatKeepsTheNextStartOut) {
    auto crashed = start({});
    ASSERT_TRUE(waitUntilAnswering());
    sendSignal(*crashed, SIGKILL);
    ASSERT_TRUE(waitForEnd(*crashed, 30s).ended);
    ASSERT_FALSE(folder.path().isEmpty());
    // Its socket is still there; the next start runs the window all the same.
    const QString a = message("a.eml");
    auto window = start({a});
    ASSERT_TRUE(waitUntilAnswering());
    EXPECT_EQ(window->state(), QProcess::Running);
    EXPECT_EQ(terminate(*window).status, 0);
    EXPECT_EQ(listed(), QStringList{a});
}

TEST_F(LifecycleProcessTest, AWindowThatDoesNotAnswerIsReportedAndTheLaterStartFails) {
    auto window = start({});
    ASSERT_TRUE(waitUntilAnswering());
    sendSignal(*window, SIGSTOP);
    const auto started = std::chrono::steady_clock::now();
    const Ended later = run({message("a.eml")}, 60s);
    const auto took = std::chrono::steady_clock::now() - started;
    sendSignal(*window, SIGCONT);
    EXPECT_TRUE(later.ended);
    EXPECT_EQ(later.status, 1);
    EXPECT_TRUE(later.err.contains("is already running with the files in " +
                                   QFile::encodeName(folder.path()) +
                                   ", but that window does not answer."))
        << later.err.constData();
    EXPECT_GE(took, 9s);
    // The running window goes on and ends as usual, without the path.
    EXPECT_EQ(terminate(*window).status, 0);
    EXPECT_EQ(listed(), QStringList());
}

TEST_F(LifecycleProcessTest, EachTerminationSignalSavesAsExitDoes) {
    for (const int signalNumber : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(signalNumber);
        QFile::remove(folder.file("Junkloupe.ini_file"));
        QFile::remove(settingsFile());
        const QString path = message(QStringLiteral("s%1.eml").arg(signalNumber));
        auto window = start({path});
        ASSERT_TRUE(waitUntilAnswering());
        sendSignal(*window, signalNumber);
        const Ended ended = waitForEnd(*window, 30s);
        ASSERT_TRUE(ended.ended);
        EXPECT_EQ(ended.status, 0) << ended.err.constData();
        EXPECT_EQ(listed(), QStringList{path});
        EXPECT_TRUE(QFile::exists(settingsFile()));
        EXPECT_EQ(runtimeEntries(), QStringList()); // no lock left behind
    }
}

TEST_F(LifecycleProcessTest, SignalWhileTheFirstFileIsReadSavesAndEndsTheProcess) {
    // Many megabytes of header lines: reading takes a while.
    QByteArray line = "Received: from relay.example (relay [192.0.2.1]) by mx; x\r\n";
    QByteArray big;
    big.reserve(qsizetype(64) * 1024 * 1024);
    while (big.size() < qsizetype(60) * 1024 * 1024)
        big += line;
    const QString path = folder.write("messages/big.eml", big);
    big.clear();

    auto window = start({path});
    const QDeadlineTimer opened(60s);
    while (!holdsOpen(*window, path) && !opened.hasExpired() &&
           window->state() == QProcess::Running)
        QThread::msleep(5);
    const auto signalled = std::chrono::steady_clock::now();
    sendSignal(*window, SIGTERM);
    const Ended ended = waitForEnd(*window, 60s);
    ASSERT_TRUE(ended.ended) << "the process did not end after the signal";
    EXPECT_EQ(ended.status, 0) << ended.err.constData();
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, 30s);
    EXPECT_EQ(listed(), QStringList{path});
}

TEST_F(LifecycleProcessTest, FailedSaveKeepsTheWindowAndASecondSignalEndsItAfterOneMoreTry) {
    for (const bool roomMade : {true, false}) {
        SCOPED_TRACE(roomMade ? "room made before the second signal" : "disk still full");
        // The last session's file list, too big for the "disk" below.
        QStringList before;
        for (int i = 0; i < 3000; ++i)
            before << QStringLiteral("/old/messages/entry-%1.eml").arg(i, 5, 10, QChar('0'));
        folder.write("Junkloupe.ini_file", encodeListFile(before));
        folder.write("Junkloupe.ini", "[Junkloupe]\r\nSelected_File_Num=-1\r\n");
        const QByteArray savedList = fileList();

        // Files past 64 KiB cannot be written (EFBIG, as on a full disk).
        auto window = start({}, [] {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{rlim_t(64) * 1024, RLIM_INFINITY};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
        ASSERT_TRUE(waitUntilAnswering());
        const QString added = message(roomMade ? "new-1.eml" : "new-2.eml");
        ASSERT_EQ(run({added}, 30s).status, 0);

        sendSignal(*window, SIGTERM);
        QThread::msleep(1500);
        EXPECT_EQ(window->state(), QProcess::Running) << "a failed save must not end the window";
        EXPECT_EQ(fileList(), savedList);

        if (roomMade) {
            const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
            ASSERT_EQ(::prlimit(pid_t(window->processId()), RLIMIT_FSIZE, &unlimited, nullptr), 0)
                << std::strerror(errno);
        }
        sendSignal(*window, SIGTERM);
        const Ended ended = waitForEnd(*window, 30s);
        ASSERT_TRUE(ended.ended);
        if (roomMade) {
            EXPECT_EQ(ended.status, 0) << ended.err.constData();
            EXPECT_EQ(listed(), QStringList(before) << added);
        } else {
            EXPECT_EQ(ended.status, 1);
            EXPECT_TRUE(ended.err.contains("could not be saved")) << ended.err.constData();
            EXPECT_EQ(fileList(), savedList);
        }
        EXPECT_EQ(runtimeEntries(), QStringList()); // also when ended at once
    }
}

TEST_F(LifecycleProcessTest, AStartWithMoreNamesThanAHandOverCarriesSaysSoAndFails) {
    const QString kept = message("kept.eml");
    auto window = start({kept});
    ASSERT_TRUE(waitUntilAnswering());
    // A short command line of relative names, each made absolute in a deep
    // folder: some 21 MB to hand over.
    QString deep = folder.file("messages");
    for (const char letter : {'d', 'e', 'f', 'g', 'h'})
        deep += QLatin1Char('/') + QString(200, QLatin1Char(letter));
    message(deep.mid(folder.file("messages/").size()) + "/x.eml");
    const Ended later = run(QStringList(20000, QStringLiteral("x.eml")), 60s, deep);
    EXPECT_TRUE(later.ended);
    EXPECT_EQ(later.status, 1);
    EXPECT_TRUE(later.err.contains("but the 20000 names given to this start are more than it "
                                   "takes from another start (16 MB of names at most). None of "
                                   "them was added."))
        << later.err.constData();
    // The window goes on as it was.
    EXPECT_EQ(window->state(), QProcess::Running);
    EXPECT_EQ(terminate(*window).status, 0);
    EXPECT_EQ(listed(), QStringList{kept});
}

// A signal while a box of the start-up is open (the settings notice, the
// auto-run question, the file list's boxes) once wrote empty lists over both
// list files. Each file stays byte for byte as it was; a later start meanwhile
// waits, and runs the next window with its path once this one has ended.
TEST_F(LifecycleProcessTest, ASignalDuringAStartUpBoxLeavesTheListFilesAsTheyWere) {
    const QByteArray listBytes = "/m/one.eml\r\n/m/tw.eml"; // 20 bytes
    const QByteArray items = "spam\r\nfoo.bar\r\n";         // 15 bytes
    const QString fileListPath = folder.file("Junkloupe.ini_file");
    const QString autostart = home.file("etc-xdg/autostart/junkloupe.desktop");
    const struct {
        const char* box;
        int signalNumber;
        std::function<void()> arrange;
    } boxes[] = {
        {"the settings notice", SIGTERM,
         [&] {
             ASSERT_EQ(::truncate(QFile::encodeName(settingsFile()).constData(), 5LL << 30), 0);
         }},
        {"the auto-run question", SIGHUP,
         [&] {
             home.write("etc-xdg/autostart/junkloupe.desktop",
                        "[Desktop Entry]\nType=Application\nName=junkloupe\n"
                        "Exec=/elsewhere/junkloupe\n");
         }},
        {"the file list not read whole", SIGINT,
         [&] { folder.write("Junkloupe.ini_file", QByteArray("/m/one.eml\r\n\0/m/tw.eml", 20)); }},
        {"the file list that cannot be opened", SIGTERM,
         [&] {
             QFile::remove(fileListPath);
             ASSERT_EQ(::mkfifo(QFile::encodeName(fileListPath).constData(), 0600), 0);
         }},
    };
    for (const auto& box : boxes) {
        SCOPED_TRACE(box.box);
        QFile::remove(fileListPath);
        QFile::remove(autostart);
        folder.write("Junkloupe.ini", "[Junkloupe]\r\n");
        folder.write("Junkloupe.ini_file", listBytes);
        folder.write("Junkloupe.ini_int", items);
        box.arrange();
        const QByteArray fileListBefore = QFileInfo(fileListPath).isFile() ? fileList() : "";

        auto window = start({});
        ASSERT_TRUE(waitUntilWaiting()) << "no box came up";
        std::unique_ptr<QProcess> later;
        const QString path = message("later.eml");
        if (box.signalNumber == SIGHUP) {
            later = start({path});
            QThread::msleep(1500);
            EXPECT_EQ(later->state(), QProcess::Running) << "the later start did not wait";
            QFile::remove(autostart); // its own window asks nothing
        }
        sendSignal(*window, box.signalNumber);
        const Ended ended = waitForEnd(*window, 30s);
        ASSERT_TRUE(ended.ended);
        EXPECT_EQ(ended.status, 0) << ended.err.constData();
        EXPECT_EQ(folder.read("Junkloupe.ini_int"), items);
        if (QFileInfo(fileListPath).isFile()) {
            EXPECT_EQ(fileList(), fileListBefore);
        } else {
            struct stat st {};
            EXPECT_TRUE(::stat(QFile::encodeName(fileListPath).constData(), &st) == 0 &&
                        S_ISFIFO(st.st_mode));
        }
        if (later) {
            // The later start runs the window now, over the lists as they were.
            ASSERT_TRUE(waitUntilAnswering());
            const Ended laterEnded = terminate(*later);
            EXPECT_EQ(laterEnded.status, 0) << laterEnded.err.constData();
            EXPECT_TRUE(laterEnded.err.contains("waiting until it can")) << laterEnded.err.data();
            EXPECT_EQ(listed(), (QStringList{"/m/one.eml", "/m/tw.eml", path}));
            EXPECT_EQ(folder.read("Junkloupe.ini_int"), items);
        }
    }
    QFile::remove(fileListPath);
}

// A later start whose paths came while the close asked its question used to
// end with success while the paths were lost. It waits instead: when the
// window ends, it runs the next window with them; the window's own list,
// which the answer kept beside the file another program changed, is whole.
TEST_F(LifecycleProcessTest, AStartDuringTheClosesQuestionWaitsAndNoPathIsLost) {
    const QString a = message("a.eml");
    const QString b = message("b.eml");
    auto window = start({});
    ASSERT_TRUE(waitUntilAnswering());
    ASSERT_EQ(run({a}, 30s).status, 0);
    // Another program writes the file list: the close asks before replacing it.
    folder.write("Junkloupe.ini_file", "/outside/x.eml\r\n");
    sendSignal(*window, SIGTERM);
    ASSERT_TRUE(waitUntilWaiting()) << "the close asked nothing";

    auto later = start({b});
    QThread::msleep(1500);
    EXPECT_EQ(later->state(), QProcess::Running) << "the later start ended while unanswered";
    // A second signal answers the question No and ends the window.
    sendSignal(*window, SIGTERM);
    const Ended ended = waitForEnd(*window, 30s);
    ASSERT_TRUE(ended.ended);
    EXPECT_EQ(ended.status, 0) << ended.err.constData();
    const QStringList beside =
        QDir(folder.path()).entryList({"Junkloupe.ini_file.window-*"}, QDir::Files);
    ASSERT_EQ(beside.size(), 1);
    EXPECT_EQ(decodeListFile(folder.read(beside[0])), QStringList{a});

    ASSERT_TRUE(waitUntilAnswering());
    const Ended laterEnded = terminate(*later);
    EXPECT_EQ(laterEnded.status, 0) << laterEnded.err.constData();
    EXPECT_EQ(listed(), (QStringList{"/outside/x.eml", b}));
}

} // namespace
} // namespace jl::test
