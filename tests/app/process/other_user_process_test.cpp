// Other users of the machine against a user's window, as real processes: the
// window runs as an unprivileged user; what another user planted where its
// lock and socket might go (a file, a folder with a listener, a link) is
// passed over, so a later start still reaches the window and no path goes to
// the other user; a request from another user is not taken; a listener of
// another user gets nothing; the window leaves no lock behind. Acting as two
// users needs root: elsewhere these tests are skipped.

#include "program_process.h"

#include "app/single_instance.h"
#include "util/list_file.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace jl::test {
namespace {

using namespace std::chrono_literals;

constexpr uid_t kUser = 65534;     // nobody: the window's user
constexpr uid_t kIntruder = 65533; // any other unprivileged id

// Another user's doings, in a child process running as that user: it plants
// folders (mode 0777), files and links, then listens on sockets, answers
// whatever comes as a running window does and counts the bytes it was sent.
class Intruder {
public:
    struct Plan {
        std::vector<QByteArray> folders;
        std::vector<QByteArray> files;
        std::vector<std::pair<QByteArray, QByteArray>> links; // path, target
        std::vector<QByteArray> sockets;
    };
    ~Intruder() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_report >= 0)
            ::close(m_report);
    }
    // Whether everything was planted and the sockets listen.
    bool start(const Plan& plan) {
        std::vector<sockaddr_un> addresses(plan.sockets.size());
        for (size_t i = 0; i < plan.sockets.size(); ++i) {
            addresses[i].sun_family = AF_UNIX;
            if (size_t(plan.sockets[i].size()) >= sizeof addresses[i].sun_path)
                return false;
            std::memcpy(addresses[i].sun_path, plan.sockets[i].constData(),
                        size_t(plan.sockets[i].size()));
        }
        int ready[2];
        int report[2];
        if (::pipe2(ready, O_CLOEXEC) != 0 || ::pipe2(report, O_CLOEXEC) != 0)
            return false;
        m_pid = ::fork();
        if (m_pid == 0) {
            // Only calls that are safe after a fork from here on.
            if (::setgroups(0, nullptr) != 0 || ::setresgid(kIntruder, kIntruder, kIntruder) != 0 ||
                ::setresuid(kIntruder, kIntruder, kIntruder) != 0)
                ::_exit(1);
            ::umask(0);
            for (const QByteArray& path : plan.folders)
                ::mkdir(path.constData(), 0777);
            for (const QByteArray& path : plan.files)
                ::close(::open(path.constData(), O_CREAT | O_WRONLY, 0666));
            for (const auto& [path, target] : plan.links)
                ::symlink(target.constData(), path.constData());
            std::array<pollfd, 64> fds{};
            size_t listening = 0;
            for (const sockaddr_un& address : addresses) {
                const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
                if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
                    ::listen(fd, 16) != 0)
                    ::_exit(1);
                fds[listening++] = {fd, POLLIN, 0};
            }
            ::write(ready[1], "r", 1);
            size_t used = listening;
            for (;;) {
                ::poll(fds.data(), used, -1);
                for (size_t i = 0; i < used; ++i) {
                    if (fds[i].revents == 0)
                        continue;
                    if (i < listening) {
                        const int connection = ::accept(fds[i].fd, nullptr, nullptr);
                        if (connection >= 0 && used < fds.size())
                            fds[used++] = {connection, POLLIN, 0};
                        continue;
                    }
                    char buffer[65536];
                    const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
                    if (got <= 0) {
                        ::close(fds[i].fd);
                        fds[i].fd = -1;
                        continue;
                    }
                    ::write(report[1], &got, sizeof got);
                    ::send(fds[i].fd, "taken\n", 6, MSG_NOSIGNAL);
                }
            }
        }
        ::close(ready[1]);
        ::close(report[1]);
        m_report = report[0];
        ::fcntl(m_report, F_SETFL, O_NONBLOCK);
        char word = 0;
        const bool started = m_pid > 0 && ::read(ready[0], &word, 1) == 1;
        ::close(ready[0]);
        return started;
    }
    // The bytes sent to the listeners so far.
    qint64 received() {
        ssize_t got = 0;
        while (::read(m_report, &got, sizeof got) == sizeof got)
            m_received += got;
        return m_received;
    }

private:
    pid_t m_pid = -1;
    int m_report = -1;
    qint64 m_received = 0;
};

// The folder where a window holds its lock file open, once it does (empty
// when it does not within the time given).
QString lockFolderOf(const QProcess& window, const QString& lockName,
                     std::chrono::milliseconds timeout) {
    const QString fds = QStringLiteral("/proc/%1/fd").arg(window.processId());
    const QDeadlineTimer deadline(timeout);
    while (!deadline.hasExpired()) {
        for (const QFileInfo& fd : QDir(fds).entryInfoList(QDir::AllEntries | QDir::System)) {
            const QString target = fd.symLinkTarget();
            if (target.endsWith(QLatin1Char('/') + lockName))
                return QFileInfo(target).path();
        }
        QThread::msleep(20);
    }
    return QString();
}

bool waitForFile(const QString& path, std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(timeout);
    while (!QFile::exists(path) && !deadline.hasExpired())
        QThread::msleep(20);
    return QFile::exists(path);
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

class OtherUserProcessTest : public ::testing::Test, public ProgramFolderProcesses {
protected:
    void SetUp() override {
        if (!available())
            GTEST_SKIP() << "the program is not built";
        if (::geteuid() != 0)
            GTEST_SKIP() << "acting as two other users needs root";
        runAs(kUser, kUser);
    }
    // The name the window's user gives the lock and the socket.
    QString name() const {
        return instanceName(folder.path())
            .replace(QStringLiteral("junkloupe-%1-").arg(::geteuid()),
                     QStringLiteral("junkloupe-%1-").arg(kUser));
    }
    QString message(const QString& name) const {
        const QString path = folder.write(QStringLiteral("messages/") + name,
                                          "Received: from a\r\nMessage-ID: <m>\r\n");
        ::chown(QFile::encodeName(path).constData(), kUser, kUser);
        return path;
    }
    QStringList listed() const { return decodeListFile(fileList()); }
};

TEST_F(OtherUserProcessTest, WhatAnotherUserPlantsIsNeverTheLockOrTheSocket) {
    enum Planted { Nothing, Files, FolderWithListener, Links };
    // The runtime folder each start is given, from the environment.
    enum Runtime { Unset, Relative, SharedTemp, OpenToOthers };
    const struct {
        Runtime runtime;
        Planted planted;
    } rounds[] = {{Unset, Nothing},
                  {Relative, Files},
                  {SharedTemp, FolderWithListener},
                  {OpenToOthers, Links}};
    int number = 0;
    for (const auto& round : rounds) {
        SCOPED_TRACE(number++);
        // The system's temporary folder: everyone may write, no one may
        // remove what is another's.
        TempFolder temp;
        ASSERT_EQ(::chmod(QFile::encodeName(temp.path()).constData(), 01777), 0);
        const QByteArray base = QFile::encodeName(temp.path());
        const QByteArray own = base + "junkloupe-" + QByteArray::number(kUser);
        const QByteArray flat = base + QFile::encodeName(name());
        Intruder::Plan plan;
        switch (round.planted) {
        case Nothing:
            break;
        case Files:
            plan.files = {flat + ".lock", own};
            break;
        case FolderWithListener:
            plan.folders = {own};
            plan.files = {own + "/" + QFile::encodeName(name()) + ".lock"};
            plan.sockets = {flat + ".socket", own + "/" + QFile::encodeName(name()) + ".socket"};
            break;
        case Links:
            plan.folders = {base + "intruder"};
            plan.links = {{flat + ".lock", base + "intruder/lock"}, {own, base + "intruder"}};
            plan.sockets = {base + "intruder/" + QFile::encodeName(name()) + ".socket"};
            break;
        }
        Intruder intruder;
        ASSERT_TRUE(intruder.start(plan));

        const QString open = home.file(QStringLiteral("open"));
        ::mkdir(QFile::encodeName(open).constData(), 0755);
        ::chown(QFile::encodeName(open).constData(), kUser, kUser);
        adjustEnvironment = [&](QProcessEnvironment& env) {
            env.insert("TMPDIR", temp.path());
            env.remove("XDG_RUNTIME_DIR");
            if (round.runtime == Relative)
                env.insert("XDG_RUNTIME_DIR", "run");
            else if (round.runtime == SharedTemp)
                env.insert("XDG_RUNTIME_DIR", temp.path());
            else if (round.runtime == OpenToOthers)
                env.insert("XDG_RUNTIME_DIR", open);
        };
        const QString used = round.planted == Nothing
                                 ? QFile::decodeName(own)
                                 : home.file(QStringLiteral(".cache/junkloupe-runtime"));

        QFile::remove(folder.file("Junkloupe.ini_file"));
        auto window = start({});
        // The window is ready once it listens beside its lock.
        const QString lockFolder = lockFolderOf(*window, name() + ".lock", 30s);
        EXPECT_EQ(lockFolder, used);
        waitForFile(lockFolder + "/" + name() + ".socket", 30s);
        const QString path = message(QStringLiteral("m%1.eml").arg(number));
        const Ended later = run({path}, 30s);
        EXPECT_TRUE(later.ended) << "a second window runs";
        EXPECT_EQ(later.status, 0) << later.err.constData();
        sendSignal(*window, SIGTERM);
        const Ended ended = waitForEnd(*window, 30s);
        EXPECT_EQ(ended.status, 0) << ended.err.constData();
        EXPECT_EQ(listed(), QStringList{path});
        EXPECT_EQ(intruder.received(), 0);
        // The window's own folder: private, and empty once it has ended.
        struct stat info {};
        EXPECT_EQ(::lstat(QFile::encodeName(used).constData(), &info), 0);
        EXPECT_EQ(info.st_uid, kUser);
        EXPECT_EQ(info.st_mode, S_IFDIR | 0700);
        EXPECT_EQ(entries(used), QStringList());
    }
}

TEST_F(OtherUserProcessTest, ARequestFromAnotherUserIsNotTaken) {
    auto window = start({});
    const QString socket = home.file(QStringLiteral("run/")) + name() + ".socket";
    ASSERT_TRUE(waitForFile(socket, 60s));
    const QString own = message("own.eml");
    EXPECT_EQ(run({own}, 30s).status, 0); // the window answers its own user

    // The test runs as root, who may reach the socket: still another user.
    QLocalSocket other;
    other.connectToServer(socket);
    ASSERT_TRUE(other.waitForConnected(5000));
    HandOffRequest request;
    request.paths = {message("other.eml")};
    other.write(encodeHandOff(request));
    QByteArray answer;
    while (other.waitForReadyRead(3000))
        answer += other.readAll();
    EXPECT_EQ(answer, QByteArray());
    other.write(kHandOffConfirmation);
    other.waitForBytesWritten(1000);

    sendSignal(*window, SIGTERM);
    EXPECT_EQ(waitForEnd(*window, 30s).status, 0);
    EXPECT_EQ(listed(), QStringList{own});
}

TEST(OtherUserListener, GetsNoPathFromALaterStart) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as another user needs root";
    // A folder another user may write to; a window of this user holds the
    // lock, but the socket beside it is the other user's.
    TempFolder run;
    ASSERT_EQ(::chmod(QFile::encodeName(run.path()).constData(), 01777), 0);
    const QString name = QStringLiteral("junkloupe-test");
    const int lock = ::open(QFile::encodeName(run.file(name + ".lock")).constData(),
                            O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    Intruder intruder;
    ASSERT_TRUE(intruder.start({{}, {}, {}, {QFile::encodeName(run.file(name + ".socket"))}}));

    SingleInstance later(run.path(), name);
    HandOffRequest request;
    request.paths = {QStringLiteral("/m/a.eml")};
    QString problem;
    EXPECT_EQ(later.start(request, 5s, &problem), SingleInstance::Role::Foreign);
    EXPECT_TRUE(problem.contains(QStringLiteral("is served by user %1").arg(kIntruder)))
        << problem.toStdString();
    EXPECT_EQ(intruder.received(), 0);
    ::close(lock);
}

} // namespace
} // namespace jl::test
