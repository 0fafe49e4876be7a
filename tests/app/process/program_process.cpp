#include "program_process.h"

#include "app/single_instance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcessEnvironment>
#include <QThread>

#include <csignal>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jl::test {

namespace {

const QString kBuiltProgram = QStringLiteral(JUNKLOUPE_BIN_DIR "/junkloupe");

int milliseconds(std::chrono::milliseconds timeout) {
    return int(timeout.count());
}

} // namespace

ProgramFolderProcesses::ProgramFolderProcesses() {
    if (!QFileInfo::exists(kBuiltProgram))
        return;
    const QString exe = folder.file(QStringLiteral("junkloupe"));
    // A hard link costs nothing; a copy where the folders lie apart.
    m_available = ::link(QFile::encodeName(kBuiltProgram).constData(),
                         QFile::encodeName(exe).constData()) == 0 ||
                  QFile::copy(kBuiltProgram, exe);
    ::mkdir(QFile::encodeName(home.file(QStringLiteral("run"))).constData(), 0700);
}

void ProgramFolderProcesses::runAs(uid_t user, gid_t group) {
    m_user = {user, group};
    for (const QString& root : {folder.path(), home.path()}) {
        ::lchown(QFile::encodeName(root).constData(), user, group);
        QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            // The program is a link to the built one: it stays as it is.
            const QString path = it.next();
            if (path != folder.file(QStringLiteral("junkloupe")))
                ::lchown(QFile::encodeName(path).constData(), user, group);
        }
    }
}

std::unique_ptr<QProcess> ProgramFolderProcesses::start(const QStringList& arguments,
                                                        const std::function<void()>& childSetup,
                                                        const QString& workingDirectory) const {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString root = home.path();
    env.insert("HOME", root);
    env.insert("XDG_CONFIG_HOME", root + ".config");
    env.insert("XDG_DATA_HOME", root + ".local/share");
    env.insert("XDG_CACHE_HOME", root + ".cache");
    env.insert("XDG_CONFIG_DIRS", root + "etc-xdg");
    env.insert("XDG_RUNTIME_DIR", root + "run");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    if (adjustEnvironment)
        adjustEnvironment(env);
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(workingDirectory.isEmpty() ? root : workingDirectory);
    process->setChildProcessModifier([user = m_user, childSetup] {
        if (user && (::setgroups(0, nullptr) != 0 ||
                     ::setresgid(user->second, user->second, user->second) != 0 ||
                     ::setresuid(user->first, user->first, user->first) != 0))
            ::_exit(126);
        if (childSetup)
            childSetup();
    });
    process->start(folder.file(QStringLiteral("junkloupe")), arguments);
    process->waitForStarted();
    return process;
}

Ended ProgramFolderProcesses::run(const QStringList& arguments, std::chrono::milliseconds timeout,
                                  const QString& workingDirectory) const {
    const auto process = start(arguments, {}, workingDirectory);
    return waitForEnd(*process, timeout);
}

bool ProgramFolderProcesses::waitUntilAnswering(std::chrono::milliseconds timeout) const {
    return waitForAnswer(kHandOffAnswer, timeout);
}

bool ProgramFolderProcesses::waitUntilWaiting(std::chrono::milliseconds timeout) const {
    return waitForAnswer(kHandOffWait, timeout);
}

bool ProgramFolderProcesses::waitForAnswer(const QByteArray& expected,
                                           std::chrono::milliseconds timeout) const {
    // A request with nothing in it, sent as a later start sends it; a later
    // start itself could become the window when it comes first.
    const QString socketPath =
        home.file(QStringLiteral("run/")) + instanceName(folder.path()) + QStringLiteral(".socket");
    const QDeadlineTimer deadline(timeout);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(1000)) {
            socket.write(encodeHandOff({}));
            QByteArray answer;
            while (answer.size() < expected.size() && socket.waitForReadyRead(5000))
                answer += socket.readAll();
            if (answer.startsWith(expected))
                return true;
        }
        QThread::msleep(50);
    }
    return false;
}

Ended waitForEnd(QProcess& process, std::chrono::milliseconds timeout) {
    Ended ended;
    if (!process.waitForFinished(milliseconds(timeout))) {
        ended.err = process.readAllStandardError();
        return ended;
    }
    ended.ended = true;
    if (process.exitStatus() == QProcess::NormalExit)
        ended.status = process.exitCode();
    else
        ended.signal = process.exitCode(); // QProcess gives the signal there
    ended.err = process.readAllStandardError();
    return ended;
}

void sendSignal(const QProcess& process, int signalNumber) {
    if (process.processId() > 0)
        ::kill(pid_t(process.processId()), signalNumber);
}

bool holdsOpen(const QProcess& process, const QString& path) {
    const QString fds = QStringLiteral("/proc/%1/fd").arg(process.processId());
    for (const QFileInfo& fd :
         QDir(fds).entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        if (fd.symLinkTarget() == path)
            return true;
    }
    return false;
}

} // namespace jl::test
