#pragma once
// The free-memory share the About dialog shows: available physical memory
// plus free swap, over total physical memory plus total swap.

#include <QByteArray>
#include <QString>

#include <optional>

namespace jl {

// The four figures in bytes, as a global memory status gives them.
struct MemoryStatus {
    quint64 availablePhysical = 0;
    quint64 totalPhysical = 0;
    quint64 availablePageFile = 0;
    quint64 totalPageFile = 0;
};

// numerator = availablePhysical >> 10 (whole KiB) + availablePageFile / 1024
// (not truncated); denominator likewise from the totals; the result is
// numerator / denominator × 100. Zero when there is no memory at all.
double freeMemoryPercentage(const MemoryStatus& status);

// The percentage in fixed notation without decimals (rounded half away from
// zero) followed by "%", e.g. "57%".
QString freeMemoryText(const MemoryStatus& status);

// The figures from the text of /proc/meminfo. The kernel gives KiB there:
// MemAvailable and MemTotal stand for physical memory, SwapFree and SwapTotal
// for the page file, each multiplied by 1024 (so that the formula's >> 10 gives
// the kernel's KiB back exactly). Without MemAvailable (kernels before 3.14)
// MemFree + Buffers + Cached stands in. No swap lines mean no swap. No value
// without a MemTotal line.
std::optional<MemoryStatus> parseMeminfo(const QByteArray& text);

// The text of a meminfo file (normally /proc/meminfo); empty when unreadable.
QByteArray readMeminfo(const QString& path = QStringLiteral("/proc/meminfo"));

// parseMeminfo(readMeminfo()).
std::optional<MemoryStatus> currentMemoryStatus();

} // namespace jl
