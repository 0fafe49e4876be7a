#include "desktop/desktop_entry.h"

#include <QRegularExpression>

namespace jl {

QString escapeDesktopValue(const QString& value) {
    QString out;
    out.reserve(value.size() + 8);
    qsizetype first = 0;
    while (first < value.size() && value[first] == QLatin1Char(' '))
        ++first;
    qsizetype last = value.size();
    while (last > first && value[last - 1] == QLatin1Char(' '))
        --last;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c == QLatin1Char('\r'))
            out += QLatin1String("\\r");
        else if (c == QLatin1Char('\t'))
            out += QLatin1String("\\t");
        else if (c == QLatin1Char(' ') && (i < first || i >= last))
            out += QLatin1String("\\s");
        else
            out += c;
    }
    return out;
}

QString unescapeDesktopValue(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar n = value[++i];
        if (n == QLatin1Char('s'))
            out += QLatin1Char(' ');
        else if (n == QLatin1Char('n'))
            out += QLatin1Char('\n');
        else if (n == QLatin1Char('t'))
            out += QLatin1Char('\t');
        else if (n == QLatin1Char('r'))
            out += QLatin1Char('\r');
        else if (n == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        else
            out += QLatin1Char('\\') + QString(n);
    }
    return out;
}

QString quoteExecArgument(const QString& argument) {
    QString out = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        else if (c == QLatin1Char('%'))
            out += QLatin1Char('%');
        out += c;
    }
    out += QLatin1Char('"');
    return out;
}

std::optional<QStringList> splitExecLine(const QString& exec) {
    QStringList args;
    qsizetype i = 0;
    const qsizetype n = exec.size();
    const auto isBlank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (true) {
        while (i < n && isBlank(exec[i]))
            ++i;
        if (i >= n)
            break;
        QString arg;
        bool any = false;
        while (i < n && !isBlank(exec[i])) {
            any = true;
            const QChar c = exec[i];
            if (c == QLatin1Char('"')) {
                ++i;
                bool closed = false;
                while (i < n) {
                    const QChar q = exec[i];
                    if (q == QLatin1Char('"')) {
                        closed = true;
                        ++i;
                        break;
                    }
                    if (q == QLatin1Char('\\') && i + 1 < n) {
                        const QChar e = exec[i + 1];
                        if (e == QLatin1Char('"') || e == QLatin1Char('`') ||
                            e == QLatin1Char('$') || e == QLatin1Char('\\')) {
                            arg += e;
                            i += 2;
                            continue;
                        }
                    }
                    if (q == QLatin1Char('%') && i + 1 < n && exec[i + 1] == QLatin1Char('%'))
                        ++i;
                    arg += q;
                    ++i;
                }
                if (!closed)
                    return std::nullopt;
                continue;
            }
            if (c == QLatin1Char('%') && i + 1 < n && exec[i + 1] == QLatin1Char('%'))
                ++i;
            arg += exec[i];
            ++i;
        }
        if (any)
            args << arg;
    }
    return args;
}

namespace {

// The lines of the [Desktop Entry] group; no value when there is no group.
std::optional<QStringList> entryGroupLines(const QByteArray& file) {
    const QStringList lines =
        QString::fromUtf8(file).split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    std::optional<QStringList> group;
    bool inGroup = false;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            // Only the first group of that name counts.
            if (inGroup)
                break;
            inGroup = line == QLatin1String("[Desktop Entry]") && !group;
            if (inGroup)
                group = QStringList();
            continue;
        }
        if (inGroup)
            group->append(line);
    }
    return group;
}

} // namespace

bool hasDesktopEntryGroup(const QByteArray& file) {
    return entryGroupLines(file).has_value();
}

std::optional<QString> desktopEntryValue(const QByteArray& file, const QString& key) {
    const std::optional<QStringList> lines = entryGroupLines(file);
    if (!lines)
        return std::nullopt;
    for (const QString& line : *lines) {
        if (line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0 || line.left(eq).trimmed() != key)
            continue;
        return unescapeDesktopValue(line.mid(eq + 1).trimmed());
    }
    return std::nullopt;
}

QByteArray applicationEntry(const QString& name, const QString& exec, const QString& icon,
                            bool withTerminalKey) {
    QString text = QStringLiteral("[Desktop Entry]\n"
                                  "Type=Application\n");
    text += QStringLiteral("Name=") + escapeDesktopValue(name) + QLatin1Char('\n');
    text += QStringLiteral("Exec=") + escapeDesktopValue(exec) + QLatin1Char('\n');
    if (!icon.isEmpty())
        text += QStringLiteral("Icon=") + escapeDesktopValue(icon) + QLatin1Char('\n');
    if (withTerminalKey)
        text += QStringLiteral("Terminal=false\n");
    return text.toUtf8();
}

} // namespace jl
