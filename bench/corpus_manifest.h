#pragma once
// The shared corpus as the benchmark programs use it: every message file its
// manifest names, in manifest order.

#include <QFile>
#include <QLatin1Char>
#include <QString>
#include <QStringList>

namespace jl::bench {

inline QStringList corpusMessages(const QString& corpus) {
    QFile manifest(corpus + QStringLiteral("/MANIFEST.tsv"));
    if (!manifest.open(QIODevice::ReadOnly))
        return {};
    QStringList paths;
    manifest.readLine(); // the header
    while (!manifest.atEnd()) {
        const QByteArray line = manifest.readLine();
        const qsizetype tab = line.indexOf('\t');
        if (tab > 0)
            paths << corpus + QLatin1Char('/') + QString::fromUtf8(line.left(tab));
    }
    return paths;
}

} // namespace jl::bench
