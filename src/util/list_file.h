#pragma once
// The list-file format: one entry per line, every entry followed by CR LF,
// no header, no trailer, written as UTF-8. Reading splits at CR LF, a lone CR
// or a lone LF; a last line without a line end is still an entry; a NUL ends
// the text. A file that starts with a UTF-16 byte-order mark (little or big
// endian) is read as UTF-16, one with the UTF-8 mark as UTF-8; any other file
// is read line by line as UTF-8, a line that is not valid UTF-8 as
// Windows-1252, so lists brought from the Windows tool still load.
//
// What the writer writes, the reader reads back as the same entries: an entry
// may hold anything but a NUL, a line break and half of a UTF-16 surrogate
// pair (listEntryFault), and a first entry that begins with U+FEFF is written
// after a byte-order mark, so the reader does not take its U+FEFF for one.

#include "util/file_stamp.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace jl {

// Why a text cannot be kept as one entry of a list file, if it cannot.
enum class EntryFault {
    None,
    LineBreak,       // a CR or LF: the reader would split it
    Nul,             // the reader would stop at it
    BrokenCharacter, // a lone UTF-16 surrogate: no encoding can write it
};
EntryFault listEntryFault(const QString& text);

struct DecodedListFile {
    QStringList entries;
    // Empty when the whole file was read; otherwise where and why reading
    // stopped early ("reading stopped at line 687, which holds a NUL
    // character"). The entries are those before that point.
    QString shortfall;
};
DecodedListFile decodeListFileText(const QByteArray& bytes);
QStringList decodeListFile(const QByteArray& bytes); // decodeListFileText(...).entries
QByteArray encodeListFile(const QStringList& entries);

// List files may be large, but a file larger than this is not read: it would
// not fit in memory as a list anyway.
constexpr qint64 kListFileSizeLimit = qint64(256) << 20;

enum class ListFileRead {
    Ok,
    Missing,    // no file (or only a directory): an empty list
    Partial,    // read, but not whole: see shortfall
    TooLarge,   // larger than kListFileSizeLimit, not read; error says so
    Refused,    // a link that is not followed (own_files.h); error says why
    Unreadable, // cannot be read at all; error is the reason
};
struct ListFileContents {
    ListFileRead status = ListFileRead::Missing;
    QStringList entries;
    QString shortfall; // when Partial
    QString error;     // when TooLarge, Refused or Unreadable
    FileStamp stamp;   // the file as read (Ok, Partial) or its absence (Missing)
};
// Reads a list file of the tool (links followed under the own-file rule).
ListFileContents readListFile(const QString& path);

} // namespace jl
