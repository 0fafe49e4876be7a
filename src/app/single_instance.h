#pragma once
// One running window per folder of user files. Two windows over the same
// settings and list files would each write their own lists over the other's
// at close (and with every auto-save), so a second start of the tool hands
// its paths and its --show to the window that runs already and ends.
//
// Which start runs the window is decided by a lock (flock) on a file in the
// user's runtime folder: the kernel lets one process hold it and takes it
// away when that process ends, however it ends, so a crash leaves nothing
// that keeps the next start out, and two starts at once never both win. The
// holder listens on a local socket beside the lock; every other start
// connects there, sends its request and waits for the answer. A socket left
// by a crash is removed by the next holder before it listens.
//
// Both names are made from the user id and a hash of the folder, spelled as
// the file system knows it, so every way of naming that folder meets at the
// same window and different folders never do.

#include "app/command_line.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

class QLocalServer;
class QLocalSocket;

namespace jl {

// What a second start asks of the running window: come to the front (as
// --show says, when it was given) and take the paths as a drop.
struct HandOffRequest {
    std::optional<StartUpShow> show;
    QStringList paths; // absolute
    // Absolute paths whose bytes are not valid in the system's encoding (the
    // window counts the files they stand for as left out).
    QList<QByteArray> undecodablePaths;
    bool operator==(const HandOffRequest&) const = default;
};

// The request as sent over the socket: a 4-byte big-endian length, then a
// version word, the show state ("" when not given) and each path as the file
// system spells it, every field ended by a NUL byte.
QByteArray encodeHandOff(const HandOffRequest& request);
enum class HandOffDecode { Complete, Incomplete, Invalid };
// Complete fills *request; Incomplete asks for more bytes; Invalid (a wrong
// version, a length past kMaxHandOffBytes, a malformed field) ends the
// connection.
HandOffDecode decodeHandOff(const QByteArray& bytes, HandOffRequest* request);
inline constexpr qsizetype kMaxHandOffBytes = qsizetype(64) * 1024 * 1024;
// The running window's answer once it holds the request, and the later
// start's confirmation that it is still there and ends now with success. The
// window acts on a request only once confirmed: a later start that gave up
// waiting (and told its user so) has its request dropped.
inline const QByteArray kHandOffAnswer = QByteArrayLiteral("taken\n");
inline const QByteArray kHandOffConfirmation = QByteArrayLiteral("go\n");

// How long a second start waits for the running window's answer.
inline constexpr std::chrono::milliseconds kHandOffTimeout{10000};

// The folder of the lock and the socket: $XDG_RUNTIME_DIR when it is an
// absolute path to a folder of this user that no one else may enter, else
// the system's temporary folder.
QString instanceRuntimeFolder(const QString& xdgRuntimeDir);
// "junkloupe-" + user id + "-" + 16 hex digits of a hash of the folder's
// canonical spelling (the deepest existing part resolved, links included).
QString instanceName(const QString& userFilesFolder);

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        Primary,    // this start runs the window (and listens)
        HandedOver, // the running window took the request: end with success
        NoAnswer,   // a window runs but did not answer in time: end with failure
    };

    // Lock runtimeFolder/name.lock, socket runtimeFolder/name.socket.
    SingleInstance(const QString& runtimeFolder, const QString& name, QObject* parent = nullptr);
    // Stops listening; the lock goes with the process (or with this object).
    ~SingleInstance() override;

    // Becomes the running window, or hands request over to the one that runs
    // (waiting at most timeout, retrying while that window starts or ends).
    // When the lock cannot be had at all (no runtime folder) this start runs
    // its window unguarded: Primary, with *problem telling why.
    Role start(const HandOffRequest& request, std::chrono::milliseconds timeout,
               QString* problem = nullptr);

    // While Primary: whether the socket listens.
    bool listening() const;
    // No more requests are taken (the window has closed): later starts wait
    // for this process to end and then run the window themselves.
    void stopListening();

    QString lockPath() const { return m_lockPath; }
    QString socketPath() const { return m_socketPath; }

signals:
    // A later start's request, taken and answered.
    void handedOver(const jl::HandOffRequest& request);

private:
    bool tryLock();
    bool listen(QString* problem);
    enum class Attempt { Taken, Retry };
    Attempt handOver(const QByteArray& message, std::chrono::milliseconds left);
    void takeConnection();
    void readFrom(QLocalSocket* socket);

    QString m_lockPath;
    QString m_socketPath;
    int m_lockFd = -1;
    QLocalServer* m_server = nullptr;
};

} // namespace jl
