#pragma once
// The list-file format: one entry per line, every entry followed by CR LF,
// no header, no trailer, written as UTF-8. Reading splits at CR LF, a lone CR
// or a lone LF; a last line without a line end is still an entry; a NUL byte
// ends the text; a line that is not valid UTF-8 is read as Windows-1252 so
// lists brought from the Windows tool still load.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace jl {

QStringList decodeListFile(const QByteArray& bytes);
QByteArray encodeListFile(const QStringList& entries);

enum class ListFileRead { Ok, Missing, Unreadable };
struct ListFileContents {
    ListFileRead status = ListFileRead::Missing;
    QStringList entries;
    QString error; // the system's reason when Unreadable
};
ListFileContents readListFile(const QString& path);

} // namespace jl
