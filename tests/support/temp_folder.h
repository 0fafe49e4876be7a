#pragma once
// Temporary folders and files for tests; nothing outside them is touched.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace jl::test {

class TempFolder {
public:
    TempFolder();
    // The folder with a trailing "/".
    QString path() const;
    // path() + name.
    QString file(const QString& name) const;
    // Writes bytes to path() + name (creating folders on the way); returns the full path.
    QString write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;
    QString mkdir(const QString& name) const;

private:
    QTemporaryDir m_dir;
};

// The shared corpus folder, or an empty text when it is not there.
QString corpusDir();

} // namespace jl::test
