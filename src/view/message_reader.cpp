#include "view/message_reader.h"

#include "mime/mime_decoder.h"
#include "util/file_helpers.h"
#include "util/lock_table.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace jl {

namespace {

constexpr size_t kChunkSize = 32768;
constexpr int kPumpEvery = 10001; // bytes examined between two event pumps
// Lines up to this length are built without asking the sink for its room.
constexpr size_t kSmallLine = 65536;

constexpr char kCr = '\r';
constexpr char kLf = '\n';

// Byte kept in a view line: blank to 'z'.
constexpr bool isKept(unsigned char b) {
    return b >= 0x20 && b <= 0x7A;
}

constexpr std::array<unsigned char, 256> makeUpperTable() {
    std::array<unsigned char, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[size_t(i)] = (i >= 'a' && i <= 'z') ? (unsigned char)(i - 'a' + 'A') : (unsigned char)i;
    return t;
}
constexpr std::array<unsigned char, 256> kUpper = makeUpperTable();

// Length of the leading run of kept bytes of [p, end): sixteen bytes at a
// time where SSE2 is there, then eight at a time, then byte by byte. Sets
// colon when the run may hold a colon (both labels end in one, so a line
// without any needs no label test); a colon just past the run may count too.
size_t keptRun(const unsigned char* p, const unsigned char* end, bool& colon) {
    const unsigned char* start = p;
#if defined(__SSE2__)
    // With the top bit flipped, unsigned order becomes signed order, so the
    // range test is two signed byte comparisons.
    const __m128i flip = _mm_set1_epi8(char(0x80));
    const __m128i low = _mm_set1_epi8(char(0x20 ^ 0x80));
    const __m128i high = _mm_set1_epi8(char(0x7A ^ 0x80));
    const __m128i colons = _mm_set1_epi8(':');
    __m128i seen = _mm_setzero_si128();
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i v = _mm_xor_si128(bytes, flip);
        const int dropped =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmplt_epi8(v, low), _mm_cmpgt_epi8(v, high)));
        seen = _mm_or_si128(seen, _mm_cmpeq_epi8(bytes, colons));
        if (dropped != 0) {
            colon = colon || _mm_movemask_epi8(seen) != 0;
            return size_t(p - start) + size_t(__builtin_ctz(unsigned(dropped)));
        }
        p += 16;
    }
    colon = colon || _mm_movemask_epi8(seen) != 0;
#endif
    constexpr uint64_t ones = 0x0101010101010101ULL;
    constexpr uint64_t highs = 0x8080808080808080ULL;
    while (end - p >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        // A high bit per byte that is below 0x20, above 0x7A or at/above 0x80.
        const uint64_t below = (w - ones * 0x20) & ~w & highs;
        const uint64_t above = ((w + ones * (127 - 0x7A)) | w) & highs;
        if (below | above)
            break;
        const uint64_t x = w ^ (ones * ':');
        if ((x - ones) & ~x & highs)
            colon = true;
        p += 8;
    }
    while (p < end && isKept(*p)) {
        colon = colon || *p == ':';
        ++p;
    }
    return size_t(p - start);
}

bool endsWithLabel(const char* lineStart, size_t colon, std::string_view word) {
    if (colon < word.size())
        return false;
    const char* p = lineStart + colon - word.size();
    for (size_t i = 0; i < word.size(); ++i)
        if (kUpper[(unsigned char)p[i]] != (unsigned char)word[i])
            return false;
    return true;
}

// Whether the upper-cased bytes hold "RECEIVED:" and "MESSAGE-ID:"; both
// labels end in a colon, so only the colons are visited.
void findLabels(std::string_view bytes, bool& received, bool& messageId) {
    const char* data = bytes.data();
    size_t from = 0;
    while (!(received && messageId) && from < bytes.size()) {
        const void* hit = std::memchr(data + from, ':', bytes.size() - from);
        if (!hit)
            break;
        const size_t colon = size_t(static_cast<const char*>(hit) - data);
        if (!received && endsWithLabel(data, colon, "RECEIVED"))
            received = true;
        else if (!messageId && endsWithLabel(data, colon, "MESSAGE-ID"))
            messageId = true;
        from = colon + 1;
    }
}

constexpr size_t kLabelContext = 10; // "MESSAGE-ID" before the colon

QString groupedNumber(qint64 n) {
    QString digits = QString::number(n);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(','));
    return digits;
}

// Grows a string's capacity for size more bytes, doubling as usual but never
// past most, so that a text near its cap does not briefly take twice the cap.
// (The standard string's reserve() itself doubles; a fresh string takes the
// exact capacity asked for.)
void growFor(std::string& s, size_t size, size_t most) {
    const size_t needed = s.size() + size;
    if (needed <= s.capacity())
        return;
    std::string bigger;
    bigger.reserve(std::max(needed, std::min(2 * s.capacity(), most)));
    bigger.append(s);
    s.swap(bigger);
}

QString notRegularReason(mode_t mode) {
    if (S_ISDIR(mode))
        return systemReason(EISDIR);
    if (S_ISFIFO(mode))
        return QStringLiteral("Not a regular file (a named pipe)");
    if (S_ISSOCK(mode))
        return QStringLiteral("Not a regular file (a socket)");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("Not a regular file (a device)");
    return QStringLiteral("Not a regular file");
}

} // namespace

// ---------------------------------------------------------------------------
// LineSink

void LineSink::appendLines(int emptyBefore, std::string_view line, int emptyAfter) {
    for (int i = 0; i < emptyBefore; ++i)
        appendLine({});
    appendLine(line);
    for (int i = 0; i < emptyAfter; ++i)
        appendLine({});
}

// ---------------------------------------------------------------------------
// ViewTextBuilder

ViewTextBuilder::ViewTextBuilder(qsizetype cap, Keep keep, qsizetype lineCap, int maxLines)
    : m_cap(std::max<qsizetype>(cap, 0)), m_lineCap(std::max<qsizetype>(lineCap, 0)),
      m_maxLines(std::max(maxLines, 0)), m_keep(keep == Keep::Text) {}

qsizetype ViewTextBuilder::room() const {
    if (m_cut || m_lines >= m_maxLines)
        return 0;
    const qsizetype used = m_size + (m_lines > 0 ? 1 : 0);
    return std::min(std::max<qsizetype>(m_cap - used, 0), m_lineCap);
}

void ViewTextBuilder::take(std::string_view piece) {
    if (m_keep) {
        // Room for the cap and a note or two past it, no more.
        growFor(m_text, piece.size() + 1, size_t(m_cap) + 256);
        if (m_lines > 0)
            m_text.push_back('\n');
        m_text.append(piece);
    }
    m_size += (m_lines > 0 ? 1 : 0) + qsizetype(piece.size());
    ++m_lines;
    took(piece);
}

void ViewTextBuilder::end(const QString& why) {
    m_cut = true;
    take((QStringLiteral(" *** The view was cut here: ") + why).toStdString());
}

void ViewTextBuilder::appendLine(std::string_view line) {
    if (m_cut)
        return;
    if (m_lines >= m_maxLines) {
        end(QStringLiteral("the text has more than ") + groupedNumber(m_maxLines) +
            QStringLiteral(" lines."));
        return;
    }
    // The separator counts against the cap too: with the text already at the
    // cap even an empty line does not fit (else a run of empty lines would
    // grow the text without bound).
    const qsizetype textFits = m_cap - m_size - (m_lines > 0 ? 1 : 0);
    if (qsizetype(line.size()) <= std::min(textFits, m_lineCap)) {
        take(line);
        return;
    }
    if (qsizetype(line.size()) > m_lineCap && m_lineCap < textFits) {
        // Only this line is too long: keep its start, say where it was cut,
        // and go on with the next line. The note may take the text a little
        // past its cap; the next line then ends it.
        take(line.substr(0, size_t(m_lineCap)));
        ++m_cutLines;
        take((QStringLiteral(" *** The line above was cut: it is longer than ") +
              groupedNumber(m_lineCap) + QStringLiteral(" characters."))
                 .toStdString());
        return;
    }
    // The text reaches its cap: keep what fits of this line, then say where
    // the view stops.
    if (textFits > 0)
        take(line.substr(0, size_t(textFits)));
    end(QStringLiteral("the text is longer than ") + groupedNumber(m_cap) +
        QStringLiteral(" characters."));
}

void ViewTextBuilder::appendLines(int emptyBefore, std::string_view line, int emptyAfter) {
    // Most lines reach no cap: then the lines go in at once.
    const int count = emptyBefore + 1 + emptyAfter;
    const qsizetype separators = count - (m_lines == 0 ? 1 : 0);
    const qsizetype grown = m_size + separators + qsizetype(line.size());
    if (m_cut || m_lines > m_maxLines - count || grown > m_cap ||
        qsizetype(line.size()) > m_lineCap) {
        LineSink::appendLines(emptyBefore, line, emptyAfter);
        return;
    }
    if (m_keep) {
        growFor(m_text, size_t(separators) + line.size(), size_t(m_cap) + 256);
        m_text.append(size_t(separators - emptyAfter), '\n');
        m_text.append(line);
        m_text.append(size_t(emptyAfter), '\n');
    }
    m_size = grown;
    m_lines += count;
    for (int i = 0; i < emptyBefore; ++i)
        took({});
    took(line);
    for (int i = 0; i < emptyAfter; ++i)
        took({});
}

// ---------------------------------------------------------------------------
// LineFilter

LineFilter::LineFilter(LineSink& sink, std::function<int()> filter, qsizetype lineCap)
    : m_sink(sink), m_filter(std::move(filter)), m_lineCap(std::max<qsizetype>(lineCap, 0)),
      m_smallLine(std::min(size_t(m_lineCap), kSmallLine)) {}

size_t LineFilter::lineLimit() const {
    // One byte more than the sink takes, so that the sink sees the line is too
    // long and cuts it itself.
    const qsizetype room = m_sink.room();
    const qsizetype sinkLimit = room >= std::numeric_limits<qsizetype>::max() - 1 ? room : room + 1;
    return size_t(std::min(m_lineCap, sinkLimit));
}

size_t LineFilter::feed(const char* data, size_t size) {
    if (m_stop)
        return 0;
    const auto* const begin = reinterpret_cast<const unsigned char*>(data);
    const auto* const end = begin + size;
    const unsigned char* p = begin;
    while (p < end) {
        // A line that lies whole in this piece, kept bytes only, goes to the
        // line table straight from the piece.
        std::string_view direct;
        const size_t run = keptRun(p, end, m_colon);
        if (run > 0) {
            const unsigned char* after = p + run;
            if (m_raw.empty() && !m_overflow && run <= m_smallLine && after < end &&
                (*after == kCr || *after == kLf))
                direct = std::string_view(reinterpret_cast<const char*>(p), run);
            else
                appendKept(reinterpret_cast<const char*>(p), run);
            p = after;
            m_pendingBytes = true;
            m_lastWasCr = false;
            if (p == end)
                break;
        }
        const unsigned char b = *p++;
        if (b == kCr) {
            endLine(direct.data() ? direct : std::string_view(m_raw));
            m_lastWasCr = true;
            if (m_stop)
                return size_t(p - begin);
        } else if (b == kLf) {
            if (m_lastWasCr) {
                // The LF of a CR LF pair belongs to the line end already made.
                m_lastWasCr = false;
            } else {
                endLine(direct.data() ? direct : std::string_view(m_raw));
                if (m_stop)
                    return size_t(p - begin);
            }
        } else {
            // A dropped byte: not shown, but the line in progress is not empty.
            m_pendingBytes = true;
            m_lastWasCr = false;
        }
    }
    return size;
}

void LineFilter::finish() {
    if (m_pendingBytes && !m_stop)
        endLine(m_raw);
    m_lastWasCr = false;
}

void LineFilter::appendKept(const char* data, size_t size) {
    if (!m_overflow) {
        if (m_raw.size() + size <= m_smallLine) {
            m_raw.append(data, size);
            return;
        }
        const size_t limit = lineLimit();
        const size_t fits = limit > m_raw.size() ? std::min(size, limit - m_raw.size()) : 0;
        growFor(m_raw, fits, limit);
        m_raw.append(data, fits);
        if (fits == size)
            return;
        // The line goes past its cap: keep only enough to find the labels in
        // the rest.
        m_overflow = true;
        const size_t context = std::min(kLabelContext, m_raw.size());
        m_overTail.assign(m_raw, m_raw.size() - context, context);
        data += fits;
        size -= fits;
    }
    scanOverflow(data, size);
}

void LineFilter::scanOverflow(const char* data, size_t size) {
    if (m_overReceived && m_overMessageId)
        return;
    std::string window = m_overTail;
    window.append(data, size);
    findLabels(window, m_overReceived, m_overMessageId);
    const size_t context = std::min(kLabelContext, window.size());
    m_overTail.assign(window, window.size() - context, context);
}

void LineFilter::endLine(std::string_view line) {
    bool received = m_overReceived;
    bool messageId = m_overMessageId;
    if (!received && m_colon)
        findLabels(line, received, messageId);
    const int filter = m_filter ? m_filter() : AllHeaders;

    // A Received line opens a block; with every line shown, so does any line
    // but a Message-ID line.
    if (received || (!messageId && filter == AllText)) {
        m_sink.appendLines(1, line, 0);
        m_inBlock = true;
    } else if (messageId) {
        m_sink.appendLines(1, line, filter != FirstHeaderOnly ? 2 : 0);
        m_inBlock = false;
        if (filter == FirstHeaderOnly)
            m_stop = true;
    } else if (m_inBlock) {
        m_sink.appendLines(0, line, 0);
    }

    // A sink that takes nothing more ends the reading as the first-header
    // filter does.
    if (m_sink.full())
        m_stop = true;

    if (m_raw.capacity() > 2 * kSmallLine)
        std::string().swap(m_raw); // give back the memory of a very long line
    else
        m_raw.clear();
    m_overTail.clear();
    m_overflow = m_overReceived = m_overMessageId = false;
    m_pendingBytes = false;
    m_colon = false;
}

// ---------------------------------------------------------------------------
// Load_File_Into_View

namespace {

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    void reset(int fd = -1) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

// O_NONBLOCK guards against a path swapped for a fifo since it was looked at;
// reading only, so the open neither changes the file nor tells anyone that it
// may have been written.
int openForReading(const QByteArray& native, int flags = 0) {
    return ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | flags);
}

// Whether another process holds the file, asked on the descriptor that reads
// it: the lock test of Get_File_Status without opening the file a second
// time, on the files the lock table names (all of them without a table). The
// rare positive answer is checked against Get_File_Status itself, which also
// decides the cases this quick test cannot see from a descriptor open for
// reading only (a file we may not write is never "OPEN" there). Paths of 128
// characters or more are not tested, as there.
bool inUse(const QString& path, int fd, const struct stat& opened, int openError,
           LockTable* locks) {
    if (path.size() >= 128)
        return false;
    const bool suspect = fd >= 0
                             ? (!locks || locks->mayBeLocked(fd, opened)) && isLockedByAnother(fd)
                             : openError == EWOULDBLOCK;
    return suspect && Get_File_Status(path) == QLatin1String("OPEN");
}

// The chunk buffer of the calling thread, handed out to one read at a time
// (a read started from events pumped inside another gets a buffer of its
// own); not cleared between files, since only the bytes read are looked at.
class ChunkBuffer {
public:
    ChunkBuffer()
        : m_data(spare() ? std::move(spare())
                         : std::make_unique_for_overwrite<char[]>(kChunkSize)) {}
    ~ChunkBuffer() { spare() = std::move(m_data); }
    ChunkBuffer(const ChunkBuffer&) = delete;
    ChunkBuffer& operator=(const ChunkBuffer&) = delete;
    char* get() const { return m_data.get(); }

private:
    static std::unique_ptr<char[]>& spare() {
        thread_local std::unique_ptr<char[]> buffer;
        return buffer;
    }
    std::unique_ptr<char[]> m_data;
};

// Feeds the decoded text of the file into lines. The decoder reads the file
// twice (to take it apart, then to write it), so the gauge moves at half the
// bytes read. Returns the error number of a failed read (0: none).
int readDecoded(int fd, qint64 size, LineFilter& lines, LineSink& sink, const ReaderHooks& hooks) {
    qint64 sincePump = 0;
    qint64 lastRead = 0;
    const MimeDecoder::Progress progress = [&](qint64 bytesRead) {
        if (hooks.gaugeProgress)
            hooks.gaugeProgress(std::min(size, bytesRead / 2));
        sincePump += bytesRead - lastRead;
        lastRead = bytesRead;
        if (sincePump >= kPumpEvery) {
            sincePump = 0;
            if (hooks.pumpEvents)
                hooks.pumpEvents();
            if (hooks.stop && hooks.stop())
                return false;
        }
        return true;
    };
    MimeDecoder decoder(fd, size, progress);
    decoder.write([&](std::string_view piece) {
        lines.feed(piece.data(), piece.size());
        return !lines.stopped() && !sink.full();
    });
    if (decoder.readError() == 0)
        lines.finish();
    return decoder.readError();
}

} // namespace

LoadResult Load_File_Into_View(const QString& path, LineSink& sink, const ReaderHooks& hooks) {
    LoadResult result;
    const QByteArray native = QFile::encodeName(path);

    // One descriptor answers whether the file is in use and then reads it.
    Fd fd;
    int openError = 0;
    struct stat opened {};
    // Opens the path; true when the descriptor reads a regular file.
    auto openRegular = [&](int flags) {
        fd.reset(openForReading(native, flags));
        openError = fd.get() < 0 ? errno : 0;
        return fd.get() >= 0 && ::fstat(fd.get(), &opened) == 0 && S_ISREG(opened.st_mode);
    };
    // A file just listed as regular is opened straight away (a link put in
    // its place is not followed); the usual way below decides anything else.
    bool regular = hooks.listedRegular && !path.isEmpty() && openRegular(O_NOFOLLOW);
    qint64 size = qint64(opened.st_size);
    if (!regular) {
        fd.reset();
        opened = {};
        // Only regular files are read: a named pipe, socket or device could
        // block the window for ever. Decided before anything opens the path.
        struct stat info {};
        if (path.isEmpty() || ::stat(native.constData(), &info) != 0) {
            result.status = LoadStatus::CannotRead;
            result.error = systemReason(path.isEmpty() ? ENOENT : errno);
            return result;
        }
        if (!S_ISREG(info.st_mode)) {
            result.status = LoadStatus::CannotRead;
            result.error = notRegularReason(info.st_mode);
            return result;
        }
        size = qint64(info.st_size);
        if (size == 0) {
            result.status = LoadStatus::Empty;
            return result;
        }
        regular = openRegular(0);
    } else if (size == 0) {
        result.status = LoadStatus::Empty;
        return result;
    }
    if (inUse(path, regular ? fd.get() : -1, opened, fd.get() < 0 ? openError : 0, hooks.locks)) {
        result.status = LoadStatus::InUse;
        return result;
    }

    auto pump = [&hooks] {
        if (hooks.pumpEvents)
            hooks.pumpEvents();
    };
    auto progress = [&hooks](qint64 value) {
        if (hooks.gaugeProgress)
            hooks.gaugeProgress(value);
    };
    if (hooks.gaugeRange)
        hooks.gaugeRange(size);
    if (hooks.pumpEvents) {
        pump();
        // The events may have removed, replaced or changed the file: what is
        // read is what is at the path now.
        fd.reset(openForReading(native));
        openError = fd.get() < 0 ? errno : 0;
        opened = {};
        regular = fd.get() >= 0 && ::fstat(fd.get(), &opened) == 0 && S_ISREG(opened.st_mode);
        if (hooks.stop && hooks.stop())
            return result;
    }
    if (fd.get() < 0) {
        result.status = LoadStatus::CannotRead;
        result.error = systemReason(openError);
        progress(size);
        return result;
    }
    if (!regular) {
        result.status = LoadStatus::CannotRead;
        result.error = notRegularReason(opened.st_mode);
        progress(size);
        return result;
    }

    std::function<int()> filter = hooks.filter ? hooks.filter : [] { return int(AllHeaders); };
    LineFilter lines(sink, std::move(filter));
    if (hooks.decodeMime) {
        const int readError = readDecoded(fd.get(), size, lines, sink, hooks);
        progress(size);
        if (readError != 0) {
            result.status = LoadStatus::ReadError;
            result.error = systemReason(readError);
        }
        return result;
    }
    const ChunkBuffer chunk;
    qint64 done = 0;
    int sincePump = 0;
    int readError = 0;
    bool stopped = false;

    for (;;) {
        const ssize_t got = ::read(fd.get(), chunk.get(), kChunkSize);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            readError = errno;
            break;
        }
        if (got == 0)
            break;
        // Feed the chunk in pieces that end where the pump counter passes
        // 10,000, so that events run after exactly every 10,001 bytes.
        size_t offset = 0;
        const size_t count = size_t(got);
        while (offset < count) {
            const size_t piece = std::min(count - offset, size_t(kPumpEvery - sincePump));
            const size_t used = lines.feed(chunk.get() + offset, piece);
            offset += used;
            sincePump += int(used);
            if (sincePump >= kPumpEvery) {
                sincePump = 0;
                pump();
                if (hooks.stop && hooks.stop()) {
                    stopped = true;
                    break;
                }
            }
            if (used < piece || lines.stopped())
                break;
        }
        done += got;
        progress(done);
        if (stopped || lines.stopped() || sink.full())
            break;
        // A short read that reaches the size the file had when it was opened
        // found its end: no read is needed to hear so.
        if (count < kChunkSize && done >= qint64(opened.st_size))
            break;
    }

    if (readError == 0)
        lines.finish();
    progress(size);
    if (readError != 0) {
        result.status = LoadStatus::ReadError;
        result.error = systemReason(readError);
    }
    return result;
}

} // namespace jl
