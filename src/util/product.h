#pragma once
// The product's name and version: the window caption, the About dialog and
// the --version output of both programs show them. The build reads the
// version from the kProductVersion line for the package and the manual pages,
// so keep that definition on one line with the version in double quotes.

#include <QString>

namespace jl {

inline constexpr char kProductVersion[] = "1.0f";

// "Junkloupe v1.0f": the main window's caption and the About dialog's product
// name.
inline QString productCaption() {
    return QStringLiteral("Junkloupe v") + QLatin1String(kProductVersion);
}

// The line both programs print for --version: "<program> <version>".
inline QString versionLine(const QString& program) {
    return program + QLatin1Char(' ') + QLatin1String(kProductVersion) + QLatin1Char('\n');
}

} // namespace jl
