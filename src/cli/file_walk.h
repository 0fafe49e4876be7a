#pragma once
// The files that the names given to junkloupe-cli stand for, and the reports
// about inputs that could not be examined.

#include "filelist/directory_walk.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <vector>

namespace jl::cli {

// Messages on standard error, one line each, "junkloupe-cli: " first.
class Diagnostics {
public:
    explicit Diagnostics(std::FILE* err) : m_err(err) {}
    // An input that could not be examined; the run ends in trouble.
    void problem(const QByteArray& path, const QString& reason);
    void problem(const QString& text);
    // Something worth telling that is no trouble.
    void note(const QByteArray& text);
    bool trouble() const { return m_problems > 0; }
    qint64 problems() const { return m_problems; }

private:
    void line(const QByteArray& text);
    std::FILE* m_err;
    qint64 m_problems = 0;
};

// Appends the files that the names stand for, spelt as given: a directory
// gives the regular files (and links to regular files) inside it as name +
// "/" + entry, the files of its sub-directories too when recursive; anything
// else gives itself. A directory reached twice (named twice, or through
// links) is walked once, under a name without a link where there is one.
// Names that cannot be examined (names of nothing, entries that cannot be
// looked at, directories that cannot be listed) are reported. With
// listedRegular, a flag is appended for each file: whether its directory
// listed it as a regular file (not a link), which spares the reader a look.
// onFile, when given, is told each file as it is appended.
void expandNames(const QList<QByteArray>& names, const WalkOptions& options,
                 Diagnostics& diagnostics, QStringList& files, QList<bool>* listedRegular = nullptr,
                 const std::function<void(const QString& file, bool listedRegular)>& onFile = {});

// Drops every name that spells the same path as an earlier one, once made
// absolute and rid of "." and ".." steps. Returns where each name kept was.
std::vector<qsizetype> dropRepeatedPaths(QStringList& names);

// Puts texts in the order of the window's lists (locale-aware, letter case
// ignored); texts equal under it keep code point order, so the order does not
// depend on the order they came in. Returns where each text was.
std::vector<qsizetype> sortInListOrder(QStringList& texts);

// Reads the records separated by separator from the descriptor, calling
// onRecord for each (without the separator; ended is false for bytes after
// the last separator) until it returns false. False, with the system's
// reason in *error, when a read fails.
bool readRecords(int fd, char separator,
                 const std::function<bool(const QByteArray& record, bool ended)>& onRecord,
                 QString* error = nullptr);

// Reads names separated by separator from the descriptor, calling onName for
// each non-empty one (with '\n' as separator, a CR before it is dropped).
// False, with the system's reason in *error, when a read fails.
bool readNames(int fd, char separator, const std::function<void(const QByteArray&)>& onName,
               QString* error = nullptr);

} // namespace jl::cli
