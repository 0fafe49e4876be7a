// Very large message files: a 1 GiB file made of one line, and a 4 GiB
// sparse file. Reading them takes memory in proportion to the view's cap,
// not to the file: the peak resident size of a child process that reads the
// file is measured against the size it had before (not under the address
// sanitizer, whose shadow memory and quarantine say nothing of the reader).

#include "fault_support.h"
#include "support/window_fixture.h"
#include "util/qstring_printer.h"

#include "view/message_reader.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace jl::test {
namespace {

constexpr qint64 kMiB = qint64(1024) * 1024;
constexpr qint64 kGiB = 1024 * kMiB;

// Writes a file of size bytes: head, then fill up to the place of tail,
// then tail. fill 0 leaves a hole (a sparse file, no disk used).
bool makeFile(const QString& path, qint64 size, const QByteArray& head, char fill,
              const QByteArray& tail) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    bool ok = ::ftruncate(fd, size) == 0 &&
              ::pwrite(fd, head.constData(), size_t(head.size()), 0) == head.size();
    if (ok && fill != 0) {
        const QByteArray block(int(8 * kMiB), fill);
        for (qint64 at = head.size(); ok && at < size - tail.size(); at += block.size()) {
            const qint64 n = std::min<qint64>(block.size(), size - tail.size() - at);
            ok = ::pwrite(fd, block.constData(), size_t(n), at) == n;
        }
    }
    ok = ok &&
         ::pwrite(fd, tail.constData(), size_t(tail.size()), size - tail.size()) == tail.size();
    ::close(fd);
    return ok;
}

struct LargeRead {
    ChildReport report;
    long long growthKb() const { return report.number("peak-kb") - report.number("before-kb"); }
};

// Reads path in a child under the filter with the default view cap and
// reports the status, the view and the memory taken.
LargeRead readInChild(const QString& path, int filter) {
    LargeRead read;
    read.report = runInChild(
        [&]() -> std::string {
            std::string out;
            out += "reset=" + std::to_string(resetPeakResidentSize()) + "\n";
            out += "before-kb=" + std::to_string(statusKilobytes("VmRSS")) + "\n";
            QElapsedTimer timer;
            timer.start();
            qint64 range = -1;
            qint64 progress = -1;
            qint64 readBefore = 0; // bytes read when the reader stopped
            ReaderHooks hooks;
            hooks.filter = [filter] { return filter; };
            hooks.gaugeRange = [&range](qint64 maximum) { range = maximum; };
            hooks.gaugeProgress = [&](qint64 value) {
                readBefore = progress < 0 ? 0 : progress;
                progress = value;
            };
            ViewTextBuilder view;
            const LoadResult result = Load_File_Into_View(path, view, hooks);
            out += "ms=" + std::to_string(timer.elapsed()) + "\n";
            out += "peak-kb=" + std::to_string(statusKilobytes("VmHWM")) + "\n";
            out += std::string("outcome=") +
                   (result.status == LoadStatus::Read ? "read" : "failed") + "\n";
            out += "cut=" + std::to_string(view.wasCut()) + "\n";
            out += "cut-lines=" + std::to_string(view.cutLines()) + "\n";
            out += "chars=" + std::to_string(view.text().size()) + "\n";
            out += "lines=" + std::to_string(view.lineCount()) + "\n";
            out += "range=" + std::to_string(range) + "\n";
            out += "progress=" + std::to_string(progress) + "\n";
            out += "read=" + std::to_string(readBefore) + "\n";
            const std::string& text = view.text();
            std::string head = text.substr(0, 40);
            std::replace(head.begin(), head.end(), '\n', '|');
            out += "head=" + head + "\n";
            const size_t last = text.rfind('\n');
            out += "last=" + (last == std::string::npos ? text : text.substr(last + 1)) + "\n";
            return out;
        },
        120);
    if (builtWithAddressSanitizer() || read.report.value("reset") != "1")
        std::printf("[ note     ] memory not checked: sanitizer build or no peak reset\n");
    std::printf("[ figures  ] %s: %lld ms, resident %lld KB before, peak %lld KB (+%lld KB)\n",
                qPrintable(path.section(QLatin1Char('/'), -1)), read.report.number("ms"),
                read.report.number("before-kb"), read.report.number("peak-kb"), read.growthKb());
    return read;
}

// What the cap lets the view hold, and what a line and the text may take on
// the way: the line being built and the text, each up to the cap.
constexpr long long kCapBytes = ViewTextBuilder::DefaultCap;
constexpr long long kBoundKb = (2 * kCapBytes + 64 * kMiB) / 1024;
const std::string kCutNote =
    " *** The view was cut here: the text is longer than 67,108,864 characters.";
// One line is capped well below the whole text.
constexpr long long kLineCapBytes = ViewTextBuilder::DefaultLineCap;

TEST(LargeFiles, OneGibibyteLine) {
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("one-line.eml"));
    // The Received label comes at the very end of the line, far past the cap:
    // it still makes the line a Received line. The line is cut, and the line
    // after it is shown.
    ASSERT_TRUE(makeFile(path, kGiB, "Return-Path: <x@example.com>\r\n", 'x',
                         " Received: at the end\r\nafter\r\n"));
    const LargeRead read = readInChild(path, AllHeaders);
    ASSERT_TRUE(read.report.exitedNormally) << read.report.text;
    EXPECT_EQ(read.report.value("outcome"), "read");
    EXPECT_EQ(read.report.value("cut"), "0");
    EXPECT_EQ(read.report.value("cut-lines"), "1");
    EXPECT_EQ(read.report.value("head"), "|" + std::string(39, 'x'));
    EXPECT_EQ(read.report.value("last"), "after");
    EXPECT_LE(read.report.number("chars"), kLineCapBytes + 200);
    EXPECT_EQ(read.report.number("range"), kGiB);
    EXPECT_EQ(read.report.number("progress"), kGiB);
    if (!builtWithAddressSanitizer() && read.report.value("reset") == "1") {
        EXPECT_LE(read.growthKb(), kBoundKb);
    }
}

TEST(LargeFiles, FourGibibyteSparseFile) {
    TempFolder folder;
    // Text lines at the start, more than the view takes, then a hole of
    // zeros to 4 GiB and a last line: reading ends at the cap. The lines are
    // long enough that the text reaches its cap before the line count does.
    const QByteArray line =
        "Received: from relay.example.com by mx.example.org; " + QByteArray(1000, 'y') + "\r\n";
    QByteArray head;
    while (head.size() < 70 * kMiB)
        head += line;
    const QString lined = folder.file(QStringLiteral("sparse-lined.eml"));
    ASSERT_TRUE(makeFile(lined, 4 * kGiB, head, 0, "\r\nlast line\r\n"));
    const LargeRead read = readInChild(lined, AllText);
    ASSERT_TRUE(read.report.exitedNormally) << read.report.text;
    EXPECT_EQ(read.report.value("outcome"), "read");
    EXPECT_EQ(read.report.value("cut"), "1");
    EXPECT_EQ(read.report.value("last"), kCutNote);
    EXPECT_EQ(read.report.number("range"), 4 * kGiB);
    EXPECT_EQ(read.report.number("progress"), 4 * kGiB);
    // Reading ended once the view was full, long before the hole.
    EXPECT_LE(read.report.number("read"), 70 * kMiB + 32768);
    if (!builtWithAddressSanitizer() && read.report.value("reset") == "1") {
        EXPECT_LE(read.growthKb(), kBoundKb);
    }
}

} // namespace
} // namespace jl::test
