#include "support/temp_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace jl::test {

TempFolder::TempFolder() : m_dir(QDir::tempPath() + QStringLiteral("/junkloupe-test-XXXXXX")) {}

QString TempFolder::path() const {
    return m_dir.path() + QLatin1Char('/');
}

QString TempFolder::file(const QString& name) const {
    return path() + name;
}

QString TempFolder::write(const QString& name, const QByteArray& bytes) const {
    const QString full = file(name);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile f(full);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    f.write(bytes);
    return full;
}

QByteArray TempFolder::read(const QString& name) const {
    QFile f(file(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QString TempFolder::mkdir(const QString& name) const {
    QDir().mkpath(file(name));
    return file(name) + QLatin1Char('/');
}

QString corpusDir() {
#ifdef JUNKLOUPE_CORPUS_DIR
    const QString dir = QStringLiteral(JUNKLOUPE_CORPUS_DIR);
    if (QFileInfo(dir).isDir())
        return QDir(dir).absolutePath() + QLatin1Char('/');
#endif
    return {};
}

} // namespace jl::test
