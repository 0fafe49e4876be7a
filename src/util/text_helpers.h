#pragma once
// Small text and path routines shared by several commands. Paths use "/".

#include <QByteArrayView>
#include <QString>

namespace jl {

// Every occurrence of search replaced; see the implementation for the rules
// (a marker round when search occurs inside replacement, leftmost-first
// rescanning otherwise, an empty search leaves the subject unchanged).
QString Replace_All_Text(const QString& subject, const QString& search, const QString& replacement);

// The last component of a path (after its last "/").
QString Get_File_Name(const QString& path);
// The file name with every occurrence of its extension text removed.
QString Get_File_Base_Name(const QString& path);

// A directory text ending in exactly one "/", runs of "/" collapsed; the
// empty text for "", "/", ".", "..", "./" and "../". Directory_With_Separator
// first trims every character of code 32 or below from both ends of the text;
// Untrimmed_Directory_With_Separator keeps them, as a name may hold them.
QString Directory_With_Separator(const QString& directory);
QString Untrimmed_Directory_With_Separator(const QString& directory);

// Bytes as text, UTF-8 where they are: valid UTF-8 (no overlong forms, no
// surrogates, nothing past U+10FFFF) is read as such, a U+FEFF at its start
// kept as a character; any other bytes are read as Windows-1252, the code
// page of text the Windows tool wrote. Callers decide line by line, so one
// stray byte spoils one line only.
QString decodeUtf8OrWindows1252(QByteArrayView bytes);

// Removes every leading and trailing character whose code is 32 or below.
QString Trim_Control(const QString& text);

// Keeps "+-0123456789", drops every sign but one in first position and reads
// the rest as a signed decimal; empty gives 0. A lone sign or a number
// outside 32 bits throws Failure("'<reduced>' is not a valid integer value").
int Parse_Signed_Digits(const QString& text);
// Field n (from 1) of a line split at single separators, read with
// Parse_Signed_Digits; a field past the last gives the last.
int Get_Field_As_Integer(const QString& line, const QString& separator, int n);

} // namespace jl
