#include "app/single_instance.h"

#include "util/file_helpers.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
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

} // namespace

QByteArray encodeHandOff(const HandOffRequest& request) {
    QByteArray payload = kVersionWord + '\0';
    if (request.show) {
        for (const ShowWord& w : kShowWords) {
            if (w.show == *request.show)
                payload += w.word;
        }
    }
    payload += '\0';
    QList<QByteArray> names;
    for (const QString& path : request.paths)
        names.append(QFile::encodeName(path));
    for (const QByteArray& name : names + request.undecodablePaths) {
        if (!name.isEmpty() && !name.contains('\0'))
            payload += name + '\0';
    }
    QByteArray message(4, '\0');
    qToBigEndian<quint32>(quint32(payload.size()), message.data());
    return message + payload;
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

QString instanceRuntimeFolder(const QString& xdgRuntimeDir) {
    struct stat info {};
    if (!xdgRuntimeDir.isEmpty() && QDir::isAbsolutePath(xdgRuntimeDir) &&
        ::lstat(QFile::encodeName(xdgRuntimeDir).constData(), &info) == 0 &&
        S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0)
        return QDir::cleanPath(xdgRuntimeDir);
    return QDir::cleanPath(QDir::tempPath());
}

QString instanceName(const QString& userFilesFolder) {
    const QByteArray hash = QCryptographicHash::hash(
        QFile::encodeName(canonicalSpelling(userFilesFolder)), QCryptographicHash::Sha256);
    return QStringLiteral("junkloupe-%1-%2")
        .arg(::geteuid())
        .arg(QString::fromLatin1(hash.toHex().left(16)));
}

SingleInstance::SingleInstance(const QString& runtimeFolder, const QString& name, QObject* parent)
    : QObject(parent),
      m_lockPath(runtimeFolder + QLatin1Char('/') + name + QStringLiteral(".lock")),
      m_socketPath(runtimeFolder + QLatin1Char('/') + name + QStringLiteral(".socket")) {}

SingleInstance::~SingleInstance() {
    stopListening();
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

bool SingleInstance::tryLock() {
    return ::flock(m_lockFd, LOCK_EX | LOCK_NB) == 0;
}

SingleInstance::Role SingleInstance::start(const HandOffRequest& request,
                                           std::chrono::milliseconds timeout, QString* problem) {
    // The lock file is this user's own: never a link, never someone else's.
    m_lockFd = ::open(QFile::encodeName(m_lockPath).constData(),
                      O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    struct stat info {};
    if (m_lockFd >= 0 &&
        (::fstat(m_lockFd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid())) {
        ::close(m_lockFd);
        m_lockFd = -1;
        errno = EPERM;
    }
    if (m_lockFd < 0) {
        if (problem)
            *problem = QStringLiteral("cannot use %1 (%2): a second window over the same files "
                                      "is not kept out")
                           .arg(m_lockPath, systemReason(errno));
        return Role::Primary;
    }

    const QByteArray message = encodeHandOff(request);
    const QDeadlineTimer deadline(timeout);
    for (;;) {
        // Whoever holds the lock runs the window; a holder that ends (or
        // crashes) while we wait lets this start take over.
        if (tryLock()) {
            listen(problem);
            return Role::Primary;
        }
        if (handOver(message, std::chrono::milliseconds(deadline.remainingTime())) ==
            Attempt::Taken)
            return Role::HandedOver;
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
    socket.write(message);
    QByteArray answer;
    while (!deadline.hasExpired() && answer.size() < kHandOffAnswer.size()) {
        const bool progressed = socket.bytesToWrite() > 0
                                    ? socket.waitForBytesWritten(milliseconds(deadline))
                                    : socket.waitForReadyRead(milliseconds(deadline));
        answer += socket.readAll();
        if (!progressed)
            break;
    }
    if (!answer.startsWith(kHandOffAnswer))
        return Attempt::Retry;
    // Committed: the confirmation goes out whatever the time left.
    socket.write(kHandOffConfirmation);
    if (!socket.waitForBytesWritten(1000) && socket.bytesToWrite() > 0)
        return Attempt::Retry;
    return Attempt::Taken;
}

bool SingleInstance::listen(QString* problem) {
    // The lock is ours: a socket there now was left by a process that ended.
    QLocalServer::removeServer(m_socketPath);
    auto server = std::make_unique<QLocalServer>(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(m_socketPath)) {
        if (problem)
            *problem = QStringLiteral("cannot listen on %1 (%2): a second start will not reach "
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

void SingleInstance::takeConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        // The socket is the server's child; it goes when the peer hangs up,
        // or after the hand-off time when the peer never finishes.
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        QTimer::singleShot(kHandOffTimeout, socket, [socket] { socket->abort(); });
        if (socket->bytesAvailable() > 0)
            readFrom(socket);
    }
}

void SingleInstance::readFrom(QLocalSocket* socket) {
    // The socket's own properties hold what came so far and the request
    // waiting for its confirmation.
    const char* const kBuffer = "handOffBuffer";
    const char* const kRequest = "handOffRequest";
    QByteArray buffer = socket->property(kBuffer).toByteArray() + socket->readAll();
    const QVariant held = socket->property(kRequest);
    if (held.isValid()) {
        if (buffer.size() < kHandOffConfirmation.size()) {
            socket->setProperty(kBuffer, buffer);
            return;
        }
        socket->setProperty(kRequest, QVariant());
        socket->disconnectFromServer();
        if (buffer != kHandOffConfirmation)
            return;
        const HandOffRequest request = held.value<HandOffRequest>();
        // Handed on from the event loop: what the window does with it (a drop
        // that lets events run) never runs inside this socket's own signal.
        QMetaObject::invokeMethod(
            this, [this, request] { emit handedOver(request); }, Qt::QueuedConnection);
        return;
    }
    HandOffRequest request;
    switch (decodeHandOff(buffer, &request)) {
    case HandOffDecode::Incomplete:
        socket->setProperty(kBuffer, buffer);
        return;
    case HandOffDecode::Invalid:
        socket->abort();
        return;
    case HandOffDecode::Complete:
        break;
    }
    socket->setProperty(kBuffer, QByteArray());
    socket->setProperty(kRequest, QVariant::fromValue(request));
    socket->write(kHandOffAnswer);
    socket->flush();
}

} // namespace jl
