#include "app/single_instance.h"

#include "util/file_helpers.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jl {

namespace {

const QByteArray kVersionWord = QByteArrayLiteral("junkloupe-hand-off-1");

struct ShowWord {
    StartUpShow show;
    const char* word;
};
constexpr ShowWord kShowWords[] = {{StartUpShow::Normal, "normal"},
                                   {StartUpShow::Minimized, "minimized"},
                                   {StartUpShow::Maximized, "maximized"}};

// The folder as the file system knows it: its deepest existing part with
// every link resolved, the parts not made yet appended as written.
QString canonicalSpelling(const QString& folder) {
    QString path = QDir::cleanPath(QDir(folder).absolutePath());
    QString existing = path;
    QStringList rest;
    for (;;) {
        const QString canonical = QFileInfo(existing).canonicalFilePath();
        if (!canonical.isEmpty()) {
            rest.prepend(canonical);
            return QDir::cleanPath(rest.join(QLatin1Char('/')));
        }
        const QFileInfo info(existing);
        if (info.isRoot() || existing.isEmpty())
            return path;
        rest.prepend(info.fileName());
        existing = info.path();
    }
}

int milliseconds(const QDeadlineTimer& deadline) {
    return int(std::clamp<qint64>(deadline.remainingTime(), 0, 60000));
}

// Why path is not a folder of this user's alone (a real folder, owned by the
// user, that no one else may enter), or an empty text when it is. With make,
// a folder is made there first when nothing is.
QString whyNotPrivate(const QString& path, bool make) {
    const QByteArray name = QFile::encodeName(path);
    const bool made = make && ::mkdir(name.constData(), 0700) == 0;
    if (make && !made && errno != EEXIST)
        return systemReason(errno);
    // Looked at through a descriptor, so that what is checked and what is
    // changed are the same folder.
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        struct stat info {};
        if (::lstat(name.constData(), &info) == 0 && S_ISLNK(info.st_mode))
            return QStringLiteral("a link");
        return error == ENOTDIR ? QStringLiteral("not a folder") : systemReason(error);
    }
    struct stat info {};
    QString why;
    if (made)
        ::fchmod(fd, 0700); // whatever the umask took away
    if (::fstat(fd, &info) != 0)
        why = systemReason(errno);
    else if (info.st_uid != ::geteuid())
        why = QStringLiteral("it belongs to user %1").arg(info.st_uid);
    else if ((info.st_mode & 077) != 0)
        why = QStringLiteral("others may enter it (mode %1)")
                  .arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'));
    ::close(fd);
    return why;
}

// The user id of the process at the other end of a local socket.
std::optional<uid_t> peerUser(qintptr socket) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(int(socket), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return std::nullopt;
    return credentials.uid;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

QByteArray encodeHandOff(const HandOffRequest& request) {
    // Built in one piece, the length filled in at the end: a long request is
    // held once.
    QByteArray message(4, '\0');
    message += kVersionWord + '\0';
    if (request.show) {
        for (const ShowWord& w : kShowWords) {
            if (w.show == *request.show)
                message += w.word;
        }
    }
    message += '\0';
    const auto add = [&message](const QByteArray& name) {
        if (!name.isEmpty() && !name.contains('\0')) {
            message += name;
            message += '\0';
        }
    };
    for (const QString& path : request.paths)
        add(QFile::encodeName(path));
    for (const QByteArray& name : request.undecodablePaths)
        add(name);
    qToBigEndian<quint32>(quint32(std::min<qsizetype>(message.size() - 4, UINT32_MAX)),
                          message.data());
    return message;
}

HandOffDecode decodeHandOff(const QByteArray& bytes, HandOffRequest* request) {
    if (bytes.size() < 4)
        return HandOffDecode::Incomplete;
    const qint64 length = qFromBigEndian<quint32>(bytes.constData());
    if (length > kMaxHandOffBytes)
        return HandOffDecode::Invalid;
    if (bytes.size() < 4 + length)
        return HandOffDecode::Incomplete;
    if (bytes.size() > 4 + length || length == 0 || bytes.back() != '\0')
        return HandOffDecode::Invalid;

    // Every field ends with a NUL: split and drop the empty piece after the last.
    QList<QByteArray> fields = bytes.mid(4).split('\0');
    fields.removeLast();
    if (fields.size() < 2 || fields[0] != kVersionWord)
        return HandOffDecode::Invalid;
    HandOffRequest result;
    if (!fields[1].isEmpty()) {
        for (const ShowWord& w : kShowWords) {
            if (fields[1] == w.word)
                result.show = w.show;
        }
        if (!result.show)
            return HandOffDecode::Invalid;
    }
    for (qsizetype i = 2; i < fields.size(); ++i) {
        if (!fields[i].startsWith('/'))
            return HandOffDecode::Invalid;
        if (isUndecodableName(fields[i]))
            result.undecodablePaths.append(fields[i]);
        else
            result.paths.append(QFile::decodeName(fields[i]));
    }
    *request = result;
    return HandOffDecode::Complete;
}

RuntimeFolder instanceRuntimeFolder(const QString& xdgRuntimeDir, const QString& tempFolder,
                                    const QString& cacheFolder) {
    if (!xdgRuntimeDir.isEmpty() && QDir::isAbsolutePath(xdgRuntimeDir) &&
        whyNotPrivate(xdgRuntimeDir, false).isEmpty())
        return {QDir::cleanPath(xdgRuntimeDir), QString()};

    const QString inTemp =
        QDir::cleanPath(tempFolder + QStringLiteral("/junkloupe-%1").arg(::geteuid()));
    const QString tempProblem = whyNotPrivate(inTemp, true);
    if (tempProblem.isEmpty())
        return {inTemp, QString()};
    const QString inCache = QDir::cleanPath(cacheFolder + QStringLiteral("/junkloupe-runtime"));
    QString cacheProblem;
    if (!QDir::isAbsolutePath(cacheFolder) || !QDir().mkpath(cacheFolder))
        cacheProblem = QStringLiteral("cannot be made");
    else
        cacheProblem = whyNotPrivate(inCache, true);
    if (cacheProblem.isEmpty())
        return {inCache, QStringLiteral("%1 cannot hold the lock of the running window (%2): it "
                                        "goes to %3 instead")
                             .arg(inTemp, tempProblem, inCache)};
    return {QString(), QStringLiteral("neither %1 (%2) nor %3 (%4) can hold the lock of the "
                                      "running window")
                           .arg(inTemp, tempProblem, inCache, cacheProblem)};
}

QString instanceName(const QString& userFilesFolder) {
    const QByteArray hash = QCryptographicHash::hash(
        QFile::encodeName(canonicalSpelling(userFilesFolder)), QCryptographicHash::Sha256);
    return QStringLiteral("junkloupe-%1-%2")
        .arg(::geteuid())
        .arg(QString::fromLatin1(hash.toHex().left(16)));
}

SingleInstance::SingleInstance(const QString& runtimeFolder, const QString& name, QObject* parent)
    : QObject(parent), m_folder(runtimeFolder),
      m_lockPath(runtimeFolder + QLatin1Char('/') + name + QStringLiteral(".lock")),
      m_socketPath(runtimeFolder + QLatin1Char('/') + name + QStringLiteral(".socket")) {}

SingleInstance::~SingleInstance() {
    end();
}

void SingleInstance::end() {
    stopListening();
    if (m_lockFd < 0)
        return;
    // Removed while held, and only when it is still the file at that name.
    struct stat held {};
    struct stat named {};
    if (m_holding && ::fstat(m_lockFd, &held) == 0 &&
        ::lstat(QFile::encodeName(m_lockPath).constData(), &named) == 0 && sameFile(held, named))
        ::unlink(QFile::encodeName(m_lockPath).constData());
    ::close(m_lockFd);
    m_lockFd = -1;
    m_holding = false;
}

bool SingleInstance::openLock(QString* error) {
    // The lock file is this user's own: never a link, never someone else's.
    if (!m_folder.isEmpty())
        m_lockFd = ::open(QFile::encodeName(m_lockPath).constData(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    else
        errno = ENOENT;
    struct stat info {};
    if (m_lockFd >= 0 &&
        (::fstat(m_lockFd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid())) {
        ::close(m_lockFd);
        m_lockFd = -1;
        errno = EPERM;
    }
    if (m_lockFd >= 0)
        return true;
    if (error)
        *error = QStringLiteral("cannot use %1 (%2): a second window over the same files "
                                "is not kept out")
                     .arg(m_lockPath, systemReason(errno));
    return false;
}

bool SingleInstance::tryLock() {
    if (::flock(m_lockFd, LOCK_EX | LOCK_NB) != 0)
        return false;
    // The holder before removes the file while it still holds it: a lock on
    // a removed file keeps no one out, so the file there now is taken.
    struct stat held {};
    struct stat named {};
    if (::fstat(m_lockFd, &held) == 0 &&
        ::lstat(QFile::encodeName(m_lockPath).constData(), &named) == 0 && sameFile(held, named)) {
        m_holding = true;
        return true;
    }
    ::close(m_lockFd);
    m_lockFd = -1;
    return false;
}

SingleInstance::Role SingleInstance::start(const HandOffRequest& request,
                                           std::chrono::milliseconds timeout, QString* error,
                                           const std::function<void()>& waiting) {
    const QByteArray message = encodeHandOff(request);
    QDeadlineTimer deadline(timeout);
    bool toldWaiting = false;
    for (;;) {
        if (m_lockFd < 0 && !openLock(error))
            return Role::Primary;
        // Whoever holds the lock runs the window; a holder that ends (or
        // crashes) while we wait lets this start take over.
        if (tryLock()) {
            listen(error);
            return Role::Primary;
        }
        if (m_lockFd < 0)
            continue; // the file was removed meanwhile: the one there now
        if (message.size() - 4 > kMaxHandOffBytes)
            return Role::TooBig;
        switch (handOver(message, std::chrono::milliseconds(deadline.remainingTime()))) {
        case Attempt::Taken:
            return Role::HandedOver;
        case Attempt::Foreign:
            if (error)
                *error = QStringLiteral("%1 is served by user %2, not by you: nothing was "
                                        "handed over")
                             .arg(m_socketPath)
                             .arg(m_foreignUser);
            return Role::Foreign;
        case Attempt::Wait:
            // The window runs and will take the request once it can, or end.
            deadline.setRemainingTime(timeout);
            if (!toldWaiting && waiting)
                waiting();
            toldWaiting = true;
            QThread::msleep(200);
            continue;
        case Attempt::Retry:
            break;
        }
        if (deadline.hasExpired())
            return Role::NoAnswer;
        QThread::msleep(50);
    }
}

SingleInstance::Attempt SingleInstance::handOver(const QByteArray& message,
                                                 std::chrono::milliseconds left) {
    const QDeadlineTimer deadline(std::max(left, std::chrono::milliseconds(0)));
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(milliseconds(deadline)))
        return Attempt::Retry;
    // The paths go only to a window of this user's.
    const std::optional<uid_t> listener = peerUser(socket.socketDescriptor());
    if (!listener)
        return Attempt::Retry;
    if (*listener != ::geteuid()) {
        m_foreignUser = *listener;
        return Attempt::Foreign;
    }
    socket.write(message);
    QByteArray answer;
    while (!deadline.hasExpired() && answer.size() < kHandOffAnswer.size() &&
           answer != kHandOffWait) {
        const bool progressed = socket.bytesToWrite() > 0
                                    ? socket.waitForBytesWritten(milliseconds(deadline))
                                    : socket.waitForReadyRead(milliseconds(deadline));
        answer += socket.readAll();
        if (!progressed)
            break;
    }
    if (answer.startsWith(kHandOffWait))
        return Attempt::Wait;
    if (!answer.startsWith(kHandOffAnswer))
        return Attempt::Retry;
    // Committed: the confirmation goes out whatever the time left.
    socket.write(kHandOffConfirmation);
    if (!socket.waitForBytesWritten(1000) && socket.bytesToWrite() > 0)
        return Attempt::Retry;
    return Attempt::Taken;
}

bool SingleInstance::listen(QString* error) {
    // The lock is ours: a socket there now was left by a process that ended.
    QLocalServer::removeServer(m_socketPath);
    auto server = std::make_unique<QLocalServer>(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(m_socketPath)) {
        if (error)
            *error = QStringLiteral("cannot listen on %1 (%2): a second start will not reach "
                                    "this window")
                         .arg(m_socketPath, server->errorString());
        return false;
    }
    m_server = server.release();
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::takeConnection);
    return true;
}

bool SingleInstance::listening() const {
    return m_server && m_server->isListening();
}

void SingleInstance::stopListening() {
    if (!m_server)
        return;
    m_server->close();
    delete m_server;
    m_server = nullptr;
}

void SingleInstance::settle() {
    if (settled())
        return;
    // Each socket ends by the hand-off time at the latest.
    QEventLoop loop;
    connect(this, &SingleInstance::settledDown, &loop, &QEventLoop::quit);
    QTimer::singleShot(kHandOffTimeout + std::chrono::seconds(1), &loop, &QEventLoop::quit);
    loop.exec();
}

void SingleInstance::forget(QLocalSocket* socket) {
    if (m_unconfirmed.remove(socket) && settled())
        emit settledDown();
}

void SingleInstance::takeConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        // The socket is the server's child; it goes when the peer hangs up,
        // or after the hand-off time when the peer never finishes.
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QObject::destroyed, this, [this, socket] { forget(socket); });
        if (peerUser(socket->socketDescriptor()) != std::optional<uid_t>(::geteuid())) {
            socket->abort(); // requests come from this user's starts only
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        QTimer::singleShot(kHandOffTimeout, socket, [socket] { socket->abort(); });
        if (socket->bytesAvailable() > 0)
            readFrom(socket);
    }
}

void SingleInstance::readFrom(QLocalSocket* socket) {
    // The socket buffers what came so far; the request waiting for its
    // confirmation is held in the socket's own property.
    const char* const kRequest = "handOffRequest";
    const QVariant held = socket->property(kRequest);
    if (held.isValid()) {
        if (socket->bytesAvailable() < kHandOffConfirmation.size())
            return;
        const QByteArray confirmation = socket->readAll();
        socket->setProperty(kRequest, QVariant());
        const bool confirmed = confirmation == kHandOffConfirmation;
        if (confirmed)
            ++m_undelivered;
        forget(socket);
        socket->disconnectFromServer();
        if (!confirmed)
            return;
        const HandOffRequest request = held.value<HandOffRequest>();
        // Handed on from the event loop: what the window does with it (a drop
        // that lets events run) never runs inside this socket's own signal.
        QMetaObject::invokeMethod(
            this,
            [this, request] {
                // Counted as delivered first: the window may close (and
                // settle) while it takes this very request.
                --m_undelivered;
                emit handedOver(request);
                if (settled())
                    emit settledDown();
            },
            Qt::QueuedConnection);
        return;
    }
    // The length first; the request is read in one piece once all of it is
    // there, so a long one costs one copy, and one past the limit is refused
    // before it is read.
    char head[4];
    if (socket->peek(head, 4) < 4)
        return;
    const qint64 length = qFromBigEndian<quint32>(head);
    if (length > kMaxHandOffBytes) {
        socket->abort();
        return;
    }
    if (socket->bytesAvailable() < 4 + length)
        return;
    HandOffRequest request;
    if (socket->bytesAvailable() > 4 + length ||
        decodeHandOff(socket->readAll(), &request) != HandOffDecode::Complete) {
        socket->abort();
        return;
    }
    if (m_accepting && !m_accepting()) {
        // Not now: the later start asks again.
        socket->write(kHandOffWait);
        socket->flush();
        socket->disconnectFromServer();
        return;
    }
    socket->setProperty(kRequest, QVariant::fromValue(request));
    m_unconfirmed.insert(socket);
    socket->write(kHandOffAnswer);
    socket->flush();
}

} // namespace jl
