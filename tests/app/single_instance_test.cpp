// One window per folder of user files, in one process: the hand-off message
// both ways, the names every spelling of a folder meets at, and the lock and
// socket between a running window and later starts (a second start taken,
// one that gets no answer, a socket left by a crash). The same with real
// processes is in tests/app/process.

#include "app/single_instance.h"
#include "app/termination_signals.h"
#include "support/temp_folder.h"
#include "util/qstring_printer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QRandomGenerator>
#include <QSemaphore>
#include <QThread>
#include <QtEndian>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include <csignal>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace jl::test {
namespace {

using namespace std::chrono_literals;

TEST(HandOff, EveryRequestComesBackWholeAndDamagedOnesAreRefused) {
    QRandomGenerator random(12);
    const std::optional<StartUpShow> shows[] = {std::nullopt, StartUpShow::Normal,
                                                StartUpShow::Minimized, StartUpShow::Maximized};
    for (int round = 0; round < 300; ++round) {
        HandOffRequest request;
        request.show = shows[random.bounded(4)];
        const int count = random.bounded(6);
        for (int i = 0; i < count; ++i) {
            QString path = QStringLiteral("/");
            const int length = 1 + random.bounded(40);
            for (int j = 0; j < length; ++j) // any character but NUL, line breaks included
                path += QChar(char16_t(1 + random.bounded(0x2FF)));
            request.paths.append(path);
        }
        // Names whose bytes no text gives back travel as they are.
        for (int i = random.bounded(3); i > 0; --i) {
            QByteArray raw("/\xff");
            for (int j = random.bounded(20); j > 0; --j)
                raw += char(1 + random.bounded(255));
            request.undecodablePaths.append(raw);
        }
        const QByteArray message = encodeHandOff(request);
        HandOffRequest decoded;
        ASSERT_EQ(decodeHandOff(message, &decoded), HandOffDecode::Complete);
        EXPECT_EQ(decoded, request);
        // Any cut is incomplete; anything after the end is refused.
        const qsizetype cut = random.bounded(int(message.size()));
        EXPECT_EQ(decodeHandOff(message.left(cut), &decoded), HandOffDecode::Incomplete);
        EXPECT_EQ(decodeHandOff(message + 'x', &decoded), HandOffDecode::Invalid);
    }

    auto framed = [](const QByteArray& payload) {
        QByteArray message(4, '\0');
        qToBigEndian<quint32>(quint32(payload.size()), message.data());
        return message + payload;
    };
    HandOffRequest decoded;
    const QByteArray refused[] = {
        framed(QByteArray("junkloupe-hand-off-2\0\0", 22)),           // another version
        framed(QByteArray("junkloupe-hand-off-1\0sideways\0", 30)),   // no such state
        framed(QByteArray("junkloupe-hand-off-1\0\0relative\0", 31)), // not absolute
        framed(QByteArray("junkloupe-hand-off-1\0\0/a", 24)),         // not ended
        framed(QByteArray()),
        QByteArray("\xff\xff\xff\xff", 4), // past the limit
    };
    for (const QByteArray& message : refused)
        EXPECT_EQ(decodeHandOff(message, &decoded), HandOffDecode::Invalid)
            << message.toHex().data();
}

TEST(InstanceName, EverySpellingOfAFolderMeetsAndOtherFoldersDoNot) {
    TempFolder tmp;
    const QString real = tmp.mkdir("real");
    ASSERT_TRUE(QFile::link(real, tmp.file("link")));
    const QString name = instanceName(real);
    EXPECT_TRUE(name.startsWith(QStringLiteral("junkloupe-%1-").arg(::geteuid())))
        << qPrintable(name);
    for (const QString& spelling : {real + "/", real + "//", tmp.file("link"), tmp.file("link/"),
                                    tmp.file("real/../real"), tmp.path() + "./real"})
        EXPECT_EQ(instanceName(spelling), name) << qPrintable(spelling);
    EXPECT_NE(instanceName(tmp.mkdir("other")), name);
    // A folder not made yet (the configuration folder before the first save)
    // meets the same folder once it exists, also through a link above it.
    const QString later = instanceName(tmp.file("link/later/junkloupe"));
    tmp.mkdir("real/later/junkloupe");
    EXPECT_EQ(instanceName(tmp.file("real/later/junkloupe")), later);
}

TEST(InstanceName, RuntimeFolderIsAlwaysOneOfTheUsersAlone) {
    TempFolder tmp;
    const auto mode = [](const QString& path) {
        struct stat info {};
        return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode : 0;
    };
    const QString own = tmp.mkdir("own");
    ::chmod(QFile::encodeName(own).constData(), 0700);
    const QString open = tmp.mkdir("open"); // 0755, as the umask makes it
    const QString shared = tmp.mkdir("shared");
    ::chmod(QFile::encodeName(shared).constData(), 01777); // as /tmp
    ASSERT_TRUE(QFile::link(own, tmp.file("link-to-own")));

    // What stands at temp/junkloupe-UID before the start.
    enum Planted { Nothing, File, Link, OpenFolder };
    const QString uid = QString::number(::geteuid());
    const struct {
        QString xdg;
        Planted planted;
        const char* where; // "xdg", "temp", "cache" or "" for none
    } cases[] = {
        {own, Nothing, "xdg"},
        {QString(), Nothing, "temp"},
        {QStringLiteral("relative/run"), Nothing, "temp"},
        {open, Nothing, "temp"},
        {shared, Nothing, "temp"},
        {tmp.file("missing"), Nothing, "temp"},
        {tmp.file("link-to-own"), Nothing, "temp"},
        {QString(), File, "cache"},
        {QString(), Link, "cache"},
        {QString(), OpenFolder, "cache"},
    };
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(round);
        const QString temp = tmp.mkdir(QStringLiteral("temp%1").arg(round));
        const QString cache = tmp.file(QStringLiteral("cache%1/deeper").arg(round++));
        const QString inTemp = temp + "junkloupe-" + uid;
        if (c.planted == File)
            tmp.write(QStringLiteral("temp%1/junkloupe-%2").arg(round - 1).arg(uid), "x");
        else if (c.planted == Link)
            QFile::link(own, inTemp);
        else if (c.planted == OpenFolder)
            QDir().mkdir(inTemp);
        const mode_t umask = ::umask(0777); // a folder it makes is 0700 all the same
        const RuntimeFolder folder = instanceRuntimeFolder(c.xdg, temp, cache);
        ::umask(umask);
        const QString expected = QString::fromLatin1(c.where) == "xdg" ? QDir::cleanPath(own)
                                 : QString::fromLatin1(c.where) == "temp"
                                     ? inTemp
                                     : cache + "/junkloupe-runtime";
        EXPECT_EQ(folder.path, expected);
        EXPECT_EQ(mode(folder.path), S_IFDIR | 0700) << std::oct << mode(folder.path);
        // Passing over the temporary folder's name is told.
        EXPECT_EQ(folder.notice.isEmpty(), c.planted == Nothing) << folder.notice.toStdString();
    }
    // Nowhere to go: no folder, and the reason.
    const QString temp = tmp.mkdir("temp-last");
    tmp.write("temp-last/junkloupe-" + uid, "x");
    tmp.write("cache-file", "x");
    const RuntimeFolder none = instanceRuntimeFolder(QString(), temp, tmp.file("cache-file"));
    EXPECT_TRUE(none.path.isEmpty());
    EXPECT_TRUE(none.notice.contains("not a folder")) << none.notice.toStdString();
}

class InstanceTest : public ::testing::Test {
protected:
    TempFolder run;
    QString name = QStringLiteral("junkloupe-test");
    HandOffRequest request{StartUpShow::Maximized, {QStringLiteral("/m/a.eml")}, {"/m/\xff.eml"}};

    // A later start, on a thread of its own (its waits block), while this
    // thread runs the events of the running window.
    struct Later {
        std::unique_ptr<QThread> thread;
        SingleInstance::Role role = SingleInstance::Role::NoAnswer;
    };
    std::unique_ptr<Later> startLater(std::chrono::milliseconds timeout) {
        auto later = std::make_unique<Later>();
        Later* l = later.get();
        later->thread.reset(QThread::create([this, timeout, l] {
            SingleInstance instance(run.path(), name);
            l->role = instance.start(request, timeout);
        }));
        later->thread->start();
        return later;
    }
    // Hands request over from a later start to the running one; what that
    // one took.
    std::optional<HandOffRequest> handOverTo(SingleInstance& running,
                                             std::chrono::milliseconds timeout) {
        std::optional<HandOffRequest> taken;
        const auto connection = QObject::connect(&running, &SingleInstance::handedOver,
                                                 [&](const HandOffRequest& r) { taken = r; });
        auto later = startLater(timeout);
        EXPECT_EQ(await(*later), SingleInstance::Role::HandedOver);
        for (int i = 0; i < 10 && !taken; ++i)
            QCoreApplication::processEvents();
        QObject::disconnect(connection);
        return taken;
    }
    static SingleInstance::Role await(Later& later, bool runEvents = true) {
        const QDeadlineTimer deadline(30s);
        while (!later.thread->wait(1) && !deadline.hasExpired()) {
            if (runEvents)
                QCoreApplication::processEvents();
        }
        return later.role;
    }
};

TEST_F(InstanceTest, LaterStartHandsItsRequestToTheRunningOne) {
    SingleInstance first(run.path(), name);
    ASSERT_EQ(first.start({}, 1s), SingleInstance::Role::Primary);
    EXPECT_TRUE(first.listening());
    EXPECT_EQ(handOverTo(first, 10s), request);

    // Once the window has closed it takes nothing more: a later start waits
    // for the process to end and then runs its own window.
    first.stopListening();
    EXPECT_FALSE(QFile::exists(first.socketPath()));
    auto afterClose = startLater(300ms);
    EXPECT_EQ(await(*afterClose), SingleInstance::Role::NoAnswer);
}

// A window that cannot take paths yet (its lists are not loaded, or it is
// closing) answers "wait": the later start keeps asking past its time-out,
// for the window answers, and hands over once it is taken. A window that
// stops taking them delivers those it answered first.
TEST_F(InstanceTest, LaterStartWaitsWhileTheWindowCannotTakeItsPaths) {
    SingleInstance first(run.path(), name);
    ASSERT_EQ(first.start({}, 1s), SingleInstance::Role::Primary);
    bool accepting = false;
    first.setAccepting([&accepting] { return accepting; });
    std::vector<HandOffRequest> taken;
    std::vector<qint64> settleTook;
    QObject::connect(&first, &SingleInstance::handedOver, [&](const HandOffRequest& r) {
        taken.push_back(r);
        // The window may close (and settle) while it takes the request: the
        // one being taken counts as delivered.
        QElapsedTimer clock;
        clock.start();
        first.settle();
        settleTook.push_back(clock.elapsed());
    });

    auto later = startLater(500ms);
    const QDeadlineTimer waited(2s);
    while (!waited.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_FALSE(later->thread->isFinished()) << "the later start gave up on a window that answers";
    EXPECT_TRUE(taken.empty());

    accepting = true;
    EXPECT_EQ(await(*later), SingleInstance::Role::HandedOver);
    // Stopping now: what was answered is delivered without further events.
    accepting = false;
    first.settle();
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0], request);
    ASSERT_EQ(settleTook.size(), 1u);
    EXPECT_LT(settleTook[0], 5000) << "settle waited for the request it was called from";
}

TEST_F(InstanceTest, LaterStartWithoutAnAnswerGivesUpInTime) {
    SingleInstance first(run.path(), name);
    ASSERT_EQ(first.start({}, 1s), SingleInstance::Role::Primary);
    // The running one lets no events run: connections wait unanswered.
    const auto started = std::chrono::steady_clock::now();
    SingleInstance later(run.path(), name);
    EXPECT_EQ(later.start(request, 500ms), SingleInstance::Role::NoAnswer);
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_GE(took, 500ms);
    EXPECT_LT(took, 5s);
}

TEST_F(InstanceTest, ALeftSocketOrAnEndedHolderLetsTheNextStartRun) {
    // A crash leaves the socket file behind, bound by no one.
    const QString socketPath = run.file(name + ".socket");
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, QFile::encodeName(socketPath).constData(),
                     sizeof address.sun_path - 1);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }
    ASSERT_TRUE(QFile::exists(socketPath));
    auto first = std::make_unique<SingleInstance>(run.path(), name);
    ASSERT_EQ(first->start({}, 1s), SingleInstance::Role::Primary);
    EXPECT_TRUE(first->listening());

    // A later start that waits while the holder ends takes over.
    auto later = startLater(10s);
    QThread::msleep(200);
    first.reset();
    EXPECT_EQ(await(*later, false), SingleInstance::Role::Primary);
}

TEST_F(InstanceTest, TheLockGoesWithTheWindowAndAStartWaitingOnItMeetsTheNextOne) {
    auto first = std::make_unique<SingleInstance>(run.path(), name);
    ASSERT_EQ(first->start({}, 1s), SingleInstance::Role::Primary);
    const QString lock = first->lockPath();
    ASSERT_TRUE(QFile::exists(lock));

    // A later start waits on the lock file while the window ends and removes
    // it; that start runs the next window and stays.
    std::atomic<int> role{-1};
    QSemaphore release;
    std::unique_ptr<QThread> second(QThread::create([&] {
        SingleInstance instance(run.path(), name);
        role = int(instance.start(request, 20s));
        release.acquire();
    }));
    second->start();
    QThread::msleep(300);
    first.reset();
    const QDeadlineTimer deadline(20s);
    while (role < 0 && !deadline.hasExpired())
        QThread::msleep(10);
    ASSERT_EQ(role, int(SingleInstance::Role::Primary));
    // A third start finds that window (which lets no events run), not a
    // removed file that nobody holds.
    SingleInstance third(run.path(), name);
    EXPECT_EQ(third.start(request, 300ms), SingleInstance::Role::NoAnswer);
    release.release();
    second->wait();
    EXPECT_FALSE(QFile::exists(lock));
    EXPECT_FALSE(QFile::exists(third.socketPath()));
}

TEST_F(InstanceTest, ARequestPastTheLimitIsNeitherSentNorRead) {
    SingleInstance first(run.path(), name);
    ASSERT_EQ(first.start({}, 1s), SingleInstance::Role::Primary);

    // The version word, an empty show and the path, each ended by a NUL.
    const qsizetype fixed = encodeHandOff({}).size() - 4 + 1;
    request = HandOffRequest{{}, {"/" + QString(kMaxHandOffBytes - fixed - 1, 'a')}, {}};
    ASSERT_EQ(encodeHandOff(request).size(), 4 + kMaxHandOffBytes);
    EXPECT_EQ(handOverTo(first, 20s), request);

    int taken = 0;
    QObject::connect(&first, &SingleInstance::handedOver, [&] { ++taken; });
    request.paths[0] += 'a';
    SingleInstance later(run.path(), name);
    EXPECT_EQ(later.start(request, 10s), SingleInstance::Role::TooBig);
    // A length past the limit ends the connection unread.
    QLocalSocket socket;
    socket.connectToServer(first.socketPath());
    ASSERT_TRUE(socket.waitForConnected(5000));
    QByteArray head(4, '\0');
    qToBigEndian<quint32>(quint32(kMaxHandOffBytes + 1), head.data());
    socket.write(head);
    socket.flush();
    const QDeadlineTimer deadline(10s);
    while (socket.state() == QLocalSocket::ConnectedState && !deadline.hasExpired()) {
        QCoreApplication::processEvents();
        socket.waitForDisconnected(10);
    }
    EXPECT_NE(socket.state(), QLocalSocket::ConnectedState);
    EXPECT_EQ(taken, 0);
}

TEST_F(InstanceTest, LockFileOfSomeoneElseOrALinkIsNeverUsed) {
    // A link planted where the lock goes is not followed.
    const QString target = run.write("target", "keep");
    ASSERT_TRUE(QFile::link(target, run.file(name + ".lock")));
    SingleInstance first(run.path(), name);
    QString problem;
    EXPECT_EQ(first.start({}, 1s, &problem), SingleInstance::Role::Primary);
    EXPECT_FALSE(problem.isEmpty());
    EXPECT_FALSE(first.listening());
    EXPECT_EQ(run.read("target"), QByteArray("keep"));
}

TEST(TerminationSignals, EachSignalArrivesAsAnEventAndAnIgnoredOneStaysIgnored) {
    ::signal(SIGHUP, SIG_IGN); // as under nohup
    {
        TerminationSignals caught;
        std::vector<int> received;
        QObject::connect(&caught, &TerminationSignals::received,
                         [&](int number) { received.push_back(number); });
        EXPECT_FALSE(caught.catches(SIGHUP));
        EXPECT_TRUE(caught.catches(SIGTERM));
        EXPECT_TRUE(caught.catches(SIGINT));
        ::raise(SIGTERM);
        ::raise(SIGHUP);
        ::raise(SIGINT);
        ::raise(SIGTERM);
        EXPECT_TRUE(received.empty()); // nothing happens inside the handler
        for (int i = 0; i < 10 && received.size() < 3; ++i)
            QCoreApplication::processEvents();
        EXPECT_EQ(received, (std::vector<int>{SIGTERM, SIGINT, SIGTERM}));
    }
    // The handlers that were there before are back.
    struct sigaction action {};
    ::sigaction(SIGTERM, nullptr, &action);
    EXPECT_EQ(action.sa_handler, SIG_DFL);
    ::sigaction(SIGHUP, nullptr, &action);
    EXPECT_EQ(action.sa_handler, SIG_IGN);
    ::signal(SIGHUP, SIG_DFL);
}

} // namespace
} // namespace jl::test
