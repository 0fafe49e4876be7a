// The message reader and its line filter, fed any bytes in any chunking,
// against a byte-by-byte model of the line table:
// - a line ends at CR, at an LF that does not follow a CR, and at the end of
//   the input when some byte came since the last line end;
// - a line keeps the bytes 0x20..0x7A; its labels are looked for in the
//   upper-cased kept bytes;
// - the first row that holds decides the line: Received, Message-ID (the
//   first-header filter stops there), all text, inside a shown stretch.
// The same lines then go through a capped view text, and once in a while the
// input is written to a file and read by Load_File_Into_View.

#include "fuzz_support.h"

#include "view/message_reader.h"

#include <QFile>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

using jl::fuzz::printable;

// The filter option asked at each line end, from a schedule that repeats.
// Values outside 0..2 (-1 is "no item chosen") must act as neither the
// first-header nor the all-text filter.
class Schedule {
public:
    explicit Schedule(std::vector<int> values) : m_values(std::move(values)) {}
    std::function<int()> function() {
        return [this] { return m_values[m_next++ % m_values.size()]; };
    }
    size_t asked() const { return m_next; }

private:
    std::vector<int> m_values;
    size_t m_next = 0;
};

struct ModelRead {
    std::vector<std::string> lines;
    size_t consumed = 0; // bytes examined, up to and including a stopping CR
    bool stopped = false;
};

ModelRead modelRead(std::string_view bytes, const std::function<int()>& filter, size_t lineCap) {
    ModelRead out;
    std::string raw;
    bool pending = false;
    bool lastCr = false;
    bool inBlock = false;
    bool stop = false;

    auto endLine = [&] {
        std::string test = raw;
        for (char& c : test)
            if (c >= 'a' && c <= 'z')
                c = char(c - 'a' + 'A');
        const bool received = test.find("RECEIVED:") != std::string::npos;
        const bool messageId = !received && test.find("MESSAGE-ID:") != std::string::npos;
        const int f = filter();
        const std::string shown = raw.substr(0, lineCap);
        if (received) {
            out.lines.push_back("");
            out.lines.push_back(shown);
            inBlock = true;
        } else if (messageId) {
            out.lines.push_back("");
            out.lines.push_back(shown);
            if (f != 0) {
                out.lines.push_back("");
                out.lines.push_back("");
            }
            inBlock = false;
            stop = f == 0;
        } else if (f == 2) {
            out.lines.push_back("");
            out.lines.push_back(shown);
            inBlock = true;
        } else if (inBlock) {
            out.lines.push_back(shown);
        }
        raw.clear();
        pending = false;
    };

    size_t i = 0;
    while (i < bytes.size() && !stop) {
        const auto b = static_cast<unsigned char>(bytes[i++]);
        if (b == '\r') {
            endLine();
            lastCr = true;
        } else if (b == '\n') {
            if (lastCr)
                lastCr = false;
            else
                endLine();
        } else {
            pending = true;
            lastCr = false;
            if (b >= 0x20 && b <= 0x7A)
                raw += char(b);
        }
    }
    out.consumed = i;
    if (pending && !stop)
        endLine();
    out.stopped = stop;
    return out;
}

class RecordingSink : public jl::LineSink {
public:
    void appendLine(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += '\n';
        text += lines[i];
    }
    return text;
}

std::string describeLines(const std::vector<std::string>& lines) {
    std::string out;
    for (size_t i = 0; i < lines.size() && i < 40; ++i)
        out += "  [" + std::to_string(i) + "] " + printable(lines[i], 120) + "\n";
    if (lines.size() > 40)
        out += "  ... " + std::to_string(lines.size()) + " lines\n";
    return out;
}

std::string describe(std::string_view input, const std::vector<std::string>& expected,
                     const std::vector<std::string>& actual) {
    return "input " + printable(input) + "\nmodel:\n" + describeLines(expected) + "reader:\n" +
           describeLines(actual);
}

// The capped view text: lines joined by '\n' while the text stays within the
// cap; past it, what fits of the joined lines and one last line saying that
// the view was cut.
void checkCappedView(std::string_view input, const std::vector<std::string>& lines,
                     const jl::ViewTextBuilder& view, qsizetype cap) {
    const std::string full = joined(lines);
    const std::string& text = view.text();
    const std::string detail = "cap " + std::to_string(cap) + ", input " + printable(input) +
                               "\nfull  " + printable(full) + "\nview  " + printable(text);
    if (qsizetype(full.size()) <= cap) {
        FUZZ_CHECK(!view.wasCut(), detail);
        FUZZ_CHECK(text == full, detail);
        return;
    }
    FUZZ_CHECK(view.wasCut(), detail);
    const std::string noteStart = " *** The view was cut here";
    const size_t note = text.rfind(noteStart);
    FUZZ_CHECK(note != std::string::npos, detail);
    FUZZ_CHECK(note == 0 || text[note - 1] == '\n', detail);
    const std::string kept = text.substr(0, note == 0 ? 0 : note - 1);
    FUZZ_CHECK(qsizetype(kept.size()) <= cap, detail);
    // Nothing that fitted was dropped: at most the separator before the cut.
    FUZZ_CHECK(qsizetype(kept.size()) + 1 >= cap, detail);
    FUZZ_CHECK(full.compare(0, kept.size(), kept) == 0, detail);
}

// One file rewritten for every input that is also read through the file.
class ScratchFile {
public:
    ScratchFile() {
        char pattern[] = "/tmp/jl-fuzz-reader-XXXXXX";
        m_fd = ::mkstemp(pattern);
        if (m_fd < 0) {
            std::perror("mkstemp");
            std::abort();
        }
        m_path = QString::fromLocal8Bit(pattern);
    }
    ~ScratchFile() {
        ::close(m_fd);
        ::unlink(QFile::encodeName(m_path).constData());
    }
    const QString& write(std::string_view bytes) {
        if (::ftruncate(m_fd, 0) != 0 ||
            ::pwrite(m_fd, bytes.data(), bytes.size(), 0) != ssize_t(bytes.size())) {
            std::perror("scratch file");
            std::abort();
        }
        return m_path;
    }

private:
    int m_fd = -1;
    QString m_path;
};

void checkLoad(std::string_view content, const std::vector<int>& filters) {
    static ScratchFile scratch;
    const QString& path = scratch.write(content);

    Schedule modelSchedule(filters);
    const ModelRead model = modelRead(content, modelSchedule.function(), std::string::npos);

    Schedule schedule(filters);
    jl::ViewTextBuilder view;
    size_t pumps = 0;
    qint64 range = -1;
    std::vector<qint64> progress;
    jl::ReaderHooks hooks;
    hooks.filter = schedule.function();
    hooks.pumpEvents = [&pumps] { ++pumps; };
    hooks.gaugeRange = [&range](qint64 maximum) { range = maximum; };
    hooks.gaugeProgress = [&progress](qint64 value) { progress.push_back(value); };
    const jl::LoadResult result = jl::Load_File_Into_View(path, view, hooks);

    const std::string detail = "content " + printable(content) + "\nstatus " +
                               std::to_string(int(result.status)) + " " +
                               result.error.toStdString() + "\nview " + printable(view.text()) +
                               "\nmodel " + printable(joined(model.lines));
    if (content.empty()) {
        FUZZ_CHECK(result.status == jl::LoadStatus::Empty, detail);
        FUZZ_CHECK(view.lineCount() == 0 && pumps == 0 && range == -1, detail);
        return;
    }
    FUZZ_CHECK(result.status == jl::LoadStatus::Read, detail);
    FUZZ_CHECK(view.text() == joined(model.lines), detail);
    FUZZ_CHECK(schedule.asked() == modelSchedule.asked(), detail);
    // Events run once after the gauge is set up, then after every 10,001
    // bytes examined.
    FUZZ_CHECK(pumps == 1 + model.consumed / 10001, detail + "\npumps " + std::to_string(pumps));
    FUZZ_CHECK(range == qint64(content.size()), detail);
    FUZZ_CHECK(!progress.empty() && progress.back() == qint64(content.size()), detail);
    FUZZ_CHECK(std::is_sorted(progress.begin(), progress.end()), detail);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);

    // The filter: one fixed option, or a schedule that changes it between
    // line ends (as a click on the option group does while a file is read).
    std::vector<int> filters;
    const uint8_t mode = in.ConsumeIntegral<uint8_t>();
    if ((mode & 3) != 3) {
        filters.push_back(mode & 3);
    } else {
        const size_t n = in.ConsumeIntegralInRange<size_t>(1, 8);
        for (size_t i = 0; i < n; ++i)
            filters.push_back(in.ConsumeIntegralInRange<int>(-1, 3));
    }
    const bool throughFile = (mode & 4) != 0;

    // The chunk sizes, repeated over the input.
    std::vector<size_t> chunks;
    const size_t chunkCount = in.ConsumeIntegralInRange<size_t>(1, 8);
    for (size_t i = 0; i < chunkCount; ++i) {
        const uint8_t c = in.ConsumeIntegral<uint8_t>();
        chunks.push_back(c == 0 ? 32768 : c % 64 + 1);
    }
    // A line cap for the filter, and a cap for the view text.
    const uint16_t lineCapPick = in.ConsumeIntegral<uint16_t>();
    const size_t lineCap =
        (lineCapPick & 0x8000) ? lineCapPick % 100 : jl::ViewTextBuilder::DefaultCap;
    const qsizetype viewCap = in.ConsumeIntegralInRange<qsizetype>(0, 600);

    const std::string content = in.ConsumeRemainingBytesAsString();

    // 1. The line filter in the drawn chunking, lines recorded as they come.
    Schedule modelSchedule(filters);
    const ModelRead model = modelRead(content, modelSchedule.function(), lineCap);
    {
        Schedule schedule(filters);
        RecordingSink sink;
        jl::LineFilter filter(sink, schedule.function(), qsizetype(lineCap));
        size_t offset = 0;
        size_t consumed = 0;
        for (size_t k = 0; offset < content.size(); ++k) {
            const size_t piece = std::min(chunks[k % chunks.size()], content.size() - offset);
            const size_t used = filter.feed(content.data() + offset, piece);
            FUZZ_CHECK(used <= piece, printable(content));
            consumed += used;
            offset += piece;
            if (filter.stopped())
                break;
        }
        filter.finish();
        FUZZ_CHECK(sink.lines == model.lines, describe(content, model.lines, sink.lines));
        FUZZ_CHECK(consumed == model.consumed, "consumed " + std::to_string(consumed) + " model " +
                                                   std::to_string(model.consumed) + " input " +
                                                   printable(content));
        FUZZ_CHECK(filter.stopped() == model.stopped, printable(content));
        FUZZ_CHECK(schedule.asked() == modelSchedule.asked(), printable(content));
    }

    // 2. The same lines into a capped view text, through the sink's room.
    {
        Schedule schedule(filters);
        Schedule fullSchedule(filters);
        const ModelRead full = modelRead(content, fullSchedule.function(), std::string::npos);
        jl::ViewTextBuilder view(viewCap);
        jl::LineFilter filter(view, schedule.function());
        size_t offset = 0;
        for (size_t k = 0; offset < content.size() && !filter.stopped(); ++k) {
            const size_t piece = std::min(chunks[k % chunks.size()], content.size() - offset);
            filter.feed(content.data() + offset, piece);
            offset += piece;
        }
        filter.finish();
        checkCappedView(content, full.lines, view, viewCap);
    }

    // 3. The whole reader on a file, now and then (file input costs time).
    if (throughFile)
        checkLoad(content, filters);
    return 0;
}
