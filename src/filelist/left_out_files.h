#pragma once
// Files that a command (Files in Directory, a drop, the paths of the command
// line) could not put into the file list because the list cannot hold their
// names, counted by reason, and the one notice that tells the user.

#include <QByteArray>
#include <QString>

#include <functional>
#include <map>

namespace jl {

// The reasons a file's name cannot stand in the file list.
QString undecodableNameReason(); // "the name is not valid in the system's encoding"
QString lineBreakNameReason();   // "the name holds a line break"

// The files a name given from outside stands for: 1 for a regular file (or a
// link to one), the regular files directly inside for a directory, 0 for
// anything else or nothing.
int filesBehindName(const QByteArray& rawName);

class LeftOutFiles {
public:
    // Counts files left out for reason (nothing when files is 0).
    void add(const QString& reason, int files = 1);
    bool isEmpty() const { return m_counts.empty(); }
    // One line per reason, in the order of the reasons' texts, for example
    // "3 files were left out of the list (the name holds a line break)."; the
    // empty text when nothing was left out.
    QString notice() const;
    // What the directory enumerator calls for every name it leaves out.
    std::function<void(const QByteArray& rawPath, const QString& reason)> recorder();

private:
    std::map<QString, int> m_counts;
};

} // namespace jl
