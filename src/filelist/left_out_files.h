#pragma once
// Files that a command (Files in Directory, a drop, the paths of the command
// line) could not put into the file list because the list cannot hold their
// names, counted by reason, and the one notice that tells the user.

#include <QByteArray>
#include <QString>

#include <functional>
#include <map>
#include <set>

namespace jl {

// The reasons a file's name cannot stand in the file list.
QString undecodableNameReason(); // "the name is not valid in the system's encoding"
QString lineBreakNameReason();   // "the name holds a line break"
QString notRegularFileReason();  // a named pipe, a device or a socket

class LeftOutFiles {
public:
    // Counts the file at rawPath as left out for reason. A file is counted
    // once per command, however often it was named (a folder and a file in
    // it, say), under the reason first given.
    void add(const QString& reason, const QByteArray& rawPath);
    // Counts the files a name given from outside stands for: the file itself
    // (or a link to one), the regular files directly inside a directory,
    // nothing for anything else.
    void addFilesBehind(const QString& reason, const QByteArray& rawName);
    bool isEmpty() const { return m_counts.empty(); }
    // One line per reason, in the order of the reasons' texts, for example
    // "3 files were left out of the list (the name holds a line break)."; the
    // empty text when nothing was left out.
    QString notice() const;
    // What the directory enumerator calls for every name it leaves out.
    std::function<void(const QByteArray& rawPath, const QString& reason)> recorder();

private:
    std::map<QString, int> m_counts;
    std::set<QByteArray> m_counted; // absolute, no runs of "/"
};

} // namespace jl
