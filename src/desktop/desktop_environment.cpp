#include "desktop/desktop_environment.h"

#include "util/file_helpers.h"
#include "util/program_folder.h"

#include <QDir>
#include <QProcessEnvironment>

namespace jl {

namespace {

QString withoutTrailingSlash(QString path) {
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

// user-dirs.dirs holds a handful of short lines.
constexpr qint64 kUserDirsSizeLimit = qint64(1) << 20;

QString absoluteOr(const QString& value, const QString& fallback) {
    if (value.isEmpty() || !QDir::isAbsolutePath(value))
        return withoutTrailingSlash(fallback);
    return withoutTrailingSlash(value);
}

// One line of user-dirs.dirs: XDG_DESKTOP_DIR="$HOME/Desktop" (shell syntax:
// a double-quoted text that is either absolute or starts with $HOME/).
QString parseUserDirValue(const QString& value, const QString& home) {
    QString v = value.trimmed();
    if (v.size() < 2 || !v.startsWith(QLatin1Char('"')) || !v.endsWith(QLatin1Char('"')))
        return QString();
    v = v.mid(1, v.size() - 2);
    QString unescaped;
    for (qsizetype i = 0; i < v.size(); ++i) {
        if (v[i] == QLatin1Char('\\') && i + 1 < v.size())
            ++i;
        unescaped += v[i];
    }
    if (unescaped == QLatin1String("$HOME"))
        return home;
    if (unescaped.startsWith(QLatin1String("$HOME/")))
        return home + unescaped.mid(5);
    if (QDir::isAbsolutePath(unescaped))
        return unescaped;
    return QString();
}

} // namespace

DesktopEnvironment DesktopEnvironment::fromProcess() {
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    DesktopEnvironment e;
    e.home = env.value(QStringLiteral("HOME"), QDir::homePath());
    e.xdgConfigHome = env.value(QStringLiteral("XDG_CONFIG_HOME"));
    e.xdgConfigDirs = env.value(QStringLiteral("XDG_CONFIG_DIRS"));
    e.xdgDataHome = env.value(QStringLiteral("XDG_DATA_HOME"));
    e.path = env.value(QStringLiteral("PATH"));
    return e;
}

QString DesktopEnvironment::configHome() const {
    return userConfigHome(xdgConfigHome, home);
}

QString DesktopEnvironment::dataHome() const {
    return absoluteOr(xdgDataHome, home + QStringLiteral("/.local/share"));
}

QString DesktopEnvironment::systemConfigDir() const {
    for (const QString& dir : xdgConfigDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(dir))
            return withoutTrailingSlash(dir);
    }
    return QStringLiteral("/etc/xdg");
}

QString DesktopEnvironment::desktopDir() const {
    QString fallback = withoutTrailingSlash(home) + QStringLiteral("/Desktop");
    // Through the one reader: a pipe or device in the file's place is not
    // waited on, and a file of absurd size is not read.
    const RegularFileContents file =
        readRegularFile(configHome() + QStringLiteral("/user-dirs.dirs"), kUserDirsSizeLimit);
    if (file.status != RegularFileRead::Ok)
        return fallback;
    const QString h = withoutTrailingSlash(home);
    // The file is read by a shell: a later assignment wins.
    QString found;
    for (const QByteArray& raw : file.bytes.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0 || line.left(eq).trimmed() != QLatin1String("XDG_DESKTOP_DIR"))
            continue;
        found = parseUserDirValue(line.mid(eq + 1), h);
    }
    return found.isEmpty() ? fallback : withoutTrailingSlash(found);
}

} // namespace jl
