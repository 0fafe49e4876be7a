#include "about/memory_status.h"

#include "util/file_helpers.h"

#include <QList>

#include <cmath>
#include <map>

namespace jl {

double freeMemoryPercentage(const MemoryStatus& s) {
    const double numerator = static_cast<double>(s.availablePhysical >> 10) +
                             static_cast<double>(s.availablePageFile) / 1024.0;
    const double denominator =
        static_cast<double>(s.totalPhysical >> 10) + static_cast<double>(s.totalPageFile) / 1024.0;
    if (denominator <= 0.0)
        return 0.0;
    return numerator / denominator * 100.0;
}

QString freeMemoryText(const MemoryStatus& status) {
    return QString::number(std::llround(freeMemoryPercentage(status))) + QLatin1Char('%');
}

std::optional<MemoryStatus> parseMeminfo(const QByteArray& text) {
    std::map<QByteArray, quint64> kib;
    for (const QByteArray& line : text.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QList<QByteArray> fields = line.mid(colon + 1).simplified().split(' ');
        bool ok = false;
        const quint64 value = fields.value(0).toULongLong(&ok);
        if (ok)
            kib[line.left(colon).trimmed()] = value;
    }
    const auto get = [&kib](const char* key) -> std::optional<quint64> {
        const auto it = kib.find(QByteArray(key));
        if (it == kib.end())
            return std::nullopt;
        return it->second;
    };
    const std::optional<quint64> total = get("MemTotal");
    if (!total)
        return std::nullopt;
    std::optional<quint64> available = get("MemAvailable");
    if (!available)
        available =
            get("MemFree").value_or(0) + get("Buffers").value_or(0) + get("Cached").value_or(0);
    MemoryStatus s;
    s.totalPhysical = *total * 1024;
    s.availablePhysical = *available * 1024;
    s.totalPageFile = get("SwapTotal").value_or(0) * 1024;
    s.availablePageFile = get("SwapFree").value_or(0) * 1024;
    return s;
}

QByteArray readMeminfo(const QString& path) {
    // Through the one reader, which reads /proc files (of no stated size) to
    // their end and never waits on a pipe put in their place.
    const RegularFileContents file = readRegularFile(path, qint64(1) << 20);
    return file.status == RegularFileRead::Ok ? file.bytes : QByteArray();
}

std::optional<MemoryStatus> currentMemoryStatus() {
    return parseMeminfo(readMeminfo());
}

} // namespace jl
