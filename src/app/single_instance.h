#pragma once
// One running window per folder of user files. Two windows over the same
// settings and list files would each write their own lists over the other's
// at close (and with every auto-save), so a second start of the tool hands
// its paths and its --show to the window that runs already and ends.
//
// Which start runs the window is decided by a lock (flock) on a file in a
// folder of the user's alone: the kernel lets one process hold it and takes
// it away when that process ends, however it ends, so a crash leaves nothing
// that keeps the next start out, and two starts at once never both win. The
// holder listens on a local socket beside the lock; every other start
// connects there, makes sure the listener runs as the same user, sends its
// request and waits for the answer. A socket left by a crash is removed by
// the next holder before it listens; a window that ends removes both.
//
// Both names are made from the user id and a hash of the folder, spelled as
// the file system knows it, so every way of naming that folder meets at the
// same window and different folders never do.

#include "app/command_line.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <QSet>

#include <chrono>
#include <functional>
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
// The most a request may carry after its length: far more than any command
// line (the system lets a process start with a few megabytes of arguments),
// and little enough that the window reads and decodes it in a moment.
inline constexpr qsizetype kMaxHandOffBytes = qsizetype(16) * 1024 * 1024;
// The running window's answer once it holds the request, and the later
// start's confirmation that it is still there and ends now with success. The
// window acts on a request only once confirmed: a later start that gave up
// waiting (and told its user so) has its request dropped.
inline const QByteArray kHandOffAnswer = QByteArrayLiteral("taken\n");
inline const QByteArray kHandOffConfirmation = QByteArrayLiteral("go\n");
// The running window's answer while it cannot take paths (its lists are not
// loaded yet, or it is closing): the later start keeps asking until the
// window takes them or has ended, when the later start runs the window.
inline const QByteArray kHandOffWait = QByteArrayLiteral("wait\n");

// How long a second start waits for the running window's answer.
inline constexpr std::chrono::milliseconds kHandOffTimeout{10000};

// The folder of the lock and the socket, always one of this user's alone (a
// real folder, no link, owned by the user, that no one else may enter):
//  - $XDG_RUNTIME_DIR when it is an absolute path to such a folder;
//  - else tempFolder/junkloupe-UID, made so when missing, as a session's
//    runtime folder is where the session gives none;
//  - when another user holds that name (a file, a folder, a link), or it is
//    not the user's alone, cacheFolder/junkloupe-runtime, made the same way.
// path is empty when none of them can be had; notice then says why, and
// says where the folder went when a place was passed over for another
// user's entry.
struct RuntimeFolder {
    QString path;
    QString notice;
};
RuntimeFolder instanceRuntimeFolder(const QString& xdgRuntimeDir, const QString& tempFolder,
                                    const QString& cacheFolder);
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
        TooBig,     // a window runs, but the request is past kMaxHandOffBytes
        Foreign,    // the socket's listener is another user's: nothing was sent
    };

    // Lock runtimeFolder/name.lock, socket runtimeFolder/name.socket.
    SingleInstance(const QString& runtimeFolder, const QString& name, QObject* parent = nullptr);
    // As end().
    ~SingleInstance() override;

    // Becomes the running window, or hands request over to the one that runs
    // (waiting at most timeout, retrying while that window starts or ends).
    // When the lock cannot be had at all (no runtime folder) this start runs
    // its window unguarded: Primary, with *error telling why. Foreign also
    // sets *error. Each "wait" of the running window gives the later start
    // timeout again (it answers, so it runs); waiting is called at the first.
    Role start(const HandOffRequest& request, std::chrono::milliseconds timeout,
               QString* error = nullptr, const std::function<void()>& waiting = {});

    // While Primary: whether the window can take a request now; when it says
    // no, the later start is answered "wait" and keeps asking. Unset: always.
    void setAccepting(std::function<bool()> accepting) { m_accepting = std::move(accepting); }
    // Runs events until every request answered "taken" has been confirmed
    // (and handedOver emitted) or given up by its later start: a window that
    // stops taking requests keeps the ones it answered.
    void settle();

    // While Primary: whether the socket listens.
    bool listening() const;
    // No more requests are taken (the window has closed): later starts wait
    // for this process to end and then run the window themselves.
    void stopListening();
    // The window's process ends: stops listening and removes the lock file
    // while still holding it (a start waiting on the removed file then
    // takes a new one). Also what the process does when it ends at once.
    void end();

    QString lockPath() const { return m_lockPath; }
    QString socketPath() const { return m_socketPath; }

signals:
    // A later start's request, taken and answered.
    void handedOver(const jl::HandOffRequest& request);
    // Every answered request is confirmed and handed on, or given up.
    void settledDown();

private:
    bool openLock(QString* error);
    bool tryLock();
    bool listen(QString* error);
    enum class Attempt { Taken, Wait, Retry, Foreign };
    Attempt handOver(const QByteArray& message, std::chrono::milliseconds left);
    void takeConnection();
    void readFrom(QLocalSocket* socket);
    bool settled() const { return m_unconfirmed.isEmpty() && m_undelivered == 0; }
    void forget(QLocalSocket* socket);

    QString m_folder;
    QString m_lockPath;
    QString m_socketPath;
    int m_lockFd = -1;
    bool m_holding = false;
    uint m_foreignUser = 0;
    QLocalServer* m_server = nullptr;
    std::function<bool()> m_accepting;
    QSet<QLocalSocket*> m_unconfirmed; // answered "taken", not confirmed yet
    int m_undelivered = 0;             // confirmed, handedOver not yet emitted
};

} // namespace jl
