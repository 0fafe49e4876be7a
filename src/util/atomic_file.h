#pragma once
// Replaces a file only by a complete new copy: the bytes go to a temporary
// file beside the target, are flushed to disk, and the temporary file is
// renamed over the target. A failure at any step leaves the old file whole.
//
// The target keeps its owner, group and permissions. Where a new file cannot
// have them (the file belongs to another user, or to a group the user is not
// in), or where the file has other names (hard links, which must go on seeing
// the same file), the existing file is rewritten in place instead, as careful
// editors do: its old and new contents first go to a flushed copy beside it;
// the old undo a failed rewrite, and the next start finishes a rewrite that
// was cut off (see own_files.h). Links at the path are followed only under
// the rule of own_files.h.

#include <QByteArray>
#include <QString>

namespace jl {

// Returns true on success; on failure fills *error (if given) with the reason.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// Whether writeFileAtomically may put a new copy at path, as far as the file
// system's permissions tell: an existing file (links followed) is a regular
// file this process may write, and its folder exists and takes new files.
bool canReplaceFile(const QString& path);

} // namespace jl
