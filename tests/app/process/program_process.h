#pragma once
// The built window program as a real process, over a program folder of its
// own: the executable is linked (or copied) into a temporary folder, so that
// its settings and list files are made there, and HOME, the XDG folders and
// the runtime folder (lock and socket) point into another temporary folder.
// The offscreen platform stands in for the display.

#include "support/temp_folder.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include <sys/types.h>

namespace jl::test {

struct Ended {
    bool ended = false; // within the time given
    int status = -1;    // exit status when it exited
    int signal = 0;     // the signal that ended it, if one did
    QByteArray err;     // standard error
};

class ProgramFolderProcesses {
public:
    ProgramFolderProcesses();
    // Whether the program is there to run (the suite can be built without it).
    bool available() const { return m_available; }

    TempFolder folder; // the executable and the user's files
    TempFolder home;   // HOME, XDG folders, runtime folder

    QString settingsFile() const { return folder.file(QStringLiteral("Junkloupe.ini")); }
    QByteArray fileList() const { return folder.read(QStringLiteral("Junkloupe.ini_file")); }

    // The program runs as this user from now on; the program folder and the
    // home folder become the user's.
    void runAs(uid_t user, gid_t group);
    // Changes the environment the program starts with, after the folders
    // above are set in it.
    std::function<void(QProcessEnvironment&)> adjustEnvironment;

    // Starts the program with arguments in workingDirectory (default: the
    // home folder); childSetup runs in the child before the program starts.
    std::unique_ptr<QProcess> start(const QStringList& arguments,
                                    const std::function<void()>& childSetup = {},
                                    const QString& workingDirectory = QString()) const;
    // Starts the program and waits for it to end.
    Ended run(const QStringList& arguments, std::chrono::milliseconds timeout,
              const QString& workingDirectory = QString()) const;
    // Waits until the running window takes a request with nothing in it, as
    // from a later start: the window's events run.
    bool waitUntilAnswering(std::chrono::milliseconds timeout = std::chrono::seconds(60)) const;
    // Waits until the running window answers such a request with "wait": it
    // runs its events but cannot take paths (a box of its start-up or the
    // close's question is open).
    bool waitUntilWaiting(std::chrono::milliseconds timeout = std::chrono::seconds(60)) const;

private:
    bool waitForAnswer(const QByteArray& expected, std::chrono::milliseconds timeout) const;
    bool m_available = false;
    std::optional<std::pair<uid_t, gid_t>> m_user;
};

// Waits for a started process to end.
Ended waitForEnd(QProcess& process, std::chrono::milliseconds timeout);
// Sends a signal to a started process.
void sendSignal(const QProcess& process, int signalNumber);
// Whether the process holds path open (looked up in /proc).
bool holdsOpen(const QProcess& process, const QString& path);

} // namespace jl::test
