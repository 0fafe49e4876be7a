#pragma once
// The built window program as a real process, over a program folder of its
// own: the executable is linked (or copied) into a temporary folder, so that
// its settings and list files are made there, and HOME, the XDG folders and
// the runtime folder (lock and socket) point into another temporary folder.
// The offscreen platform stands in for the display.

#include "support/temp_folder.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>

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

private:
    bool m_available = false;
};

// Waits for a started process to end.
Ended waitForEnd(QProcess& process, std::chrono::milliseconds timeout);
// Sends a signal to a started process.
void sendSignal(const QProcess& process, int signalNumber);
// Whether the process holds path open (looked up in /proc).
bool holdsOpen(const QProcess& process, const QString& path);

} // namespace jl::test
