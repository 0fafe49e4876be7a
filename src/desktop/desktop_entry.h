#pragma once
// Desktop entry files (the freedesktop ".desktop" format): writing the few
// entries the tool makes and reading back their Exec line, with the quoting
// rules of the format so that paths with blanks or special characters survive.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace jl {

// The string-value escapes of the format: "\" as "\\", line breaks and tabs
// as "\n", "\r", "\t", outer blanks as "\s".
QString escapeDesktopValue(const QString& value);
QString unescapeDesktopValue(const QString& value);

// One argument of an Exec line, always inside double quotes, with '"', '`',
// '$' and '\' escaped by a backslash and '%' doubled (before the string-value
// escapes are applied).
QString quoteExecArgument(const QString& argument);
// Splits an Exec value (string escapes already undone) into its arguments;
// "%%" gives "%", field codes such as "%F" stay as they are. No value for an
// unterminated quote.
std::optional<QStringList> splitExecLine(const QString& exec);

// The value of a key in the [Desktop Entry] group of a desktop entry file, the
// string escapes undone. No value when the group or the key is missing. Key
// names are case-sensitive, as the format says.
std::optional<QString> desktopEntryValue(const QByteArray& file, const QString& key);
bool hasDesktopEntryGroup(const QByteArray& file);

// An application entry starting command (a full Exec value, already quoted).
QByteArray applicationEntry(const QString& name, const QString& exec,
                            const QString& icon = QString(), bool withTerminalKey = false);

} // namespace jl
