#pragma once
// Turns one message file into the lines of the message view. The file is read
// in 32,768-byte chunks; each line keeps only bytes 0x20..0x7A; a line ends at
// CR, at an LF that does not follow a CR, and at the end of the file when at
// least one byte has come since the last line end. Each line is decided by the
// line table of the view filter (first header, all headers, all text).
// With decodeMime the lines are those of the file's decoded text instead
// (mime/mime_decoder.h: encoded words, base64 and quoted-printable bodies and
// charsets decoded in place), taken by the same line table.
// Depends on QtCore and the MIME decoder, so the window and the command-line
// program share it.

#include <QString>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>

namespace jl {

class LockTable;

enum ViewFilter : int { FirstHeaderOnly = 0, AllHeaders = 1, AllText = 2 };

// Receives the view lines (without line ends) in order.
class LineSink {
public:
    virtual ~LineSink() = default;
    virtual void appendLine(std::string_view line) = 0;
    // emptyBefore empty lines, the line, then emptyAfter empty lines: what
    // as many calls of appendLine give, in one call.
    virtual void appendLines(int emptyBefore, std::string_view line, int emptyAfter);
    // How many more characters the sink takes before it cuts the text (a
    // line longer than that is cut by the sink); the reader caps the line
    // it builds to room() + 1 so that memory stays bounded.
    virtual qsizetype room() const { return std::numeric_limits<qsizetype>::max(); }
    // True once the sink takes nothing more; the reader then stops reading.
    virtual bool full() const { return false; }
};

// The view text of one load: lines joined by '\n', capped three ways, each
// cut saying so on a line of its own:
// - one line: a text widget lays a line out as a whole, so a single line of
//   tens of millions of characters costs gigabytes to show. A longer line
//   keeps its first lineCap characters, a note line follows, and the text
//   goes on with the next line;
// - the number of lines: a text widget spends a few hundred bytes and some
//   microseconds on every line, so millions of short lines take minutes.
//   Past maxLines lines the note line ends the text;
// - the whole text: past cap characters the note line ends the text.
// A text that has ended (full()) takes nothing more, and the reader stops.
class ViewTextBuilder : public LineSink {
public:
    static constexpr qsizetype DefaultCap = qsizetype{64} * 1024 * 1024; // characters
    static constexpr qsizetype DefaultLineCap = qsizetype{256} * 1024;   // characters of one line
    static constexpr int DefaultMaxLines = 256 * 1024;                   // lines
    // Keep::Nothing counts the text against the cap without holding it; a
    // subclass sees every line the text takes in took().
    enum class Keep { Text, Nothing };
    explicit ViewTextBuilder(qsizetype cap = DefaultCap, Keep keep = Keep::Text,
                             qsizetype lineCap = DefaultLineCap, int maxLines = DefaultMaxLines);
    void appendLine(std::string_view line) override;
    void appendLines(int emptyBefore, std::string_view line, int emptyAfter) override;
    qsizetype room() const override;
    bool full() const override { return m_cut; }
    // The text has ended at one of its caps.
    bool wasCut() const { return m_cut; }
    // Lines cut at the line cap (the text went on after each).
    int cutLines() const { return m_cutLines; }
    int lineCount() const { return m_lines; }
    // Lines joined by '\n' (no line end after the last line); empty when
    // the text is not kept.
    const std::string& text() const { return m_text; }
    QString toQString() const {
        return QString::fromLatin1(m_text.data(), qsizetype(m_text.size()));
    }

protected:
    // Every line as the text takes it: a whole line, what fits of a line that
    // is cut, and every note.
    virtual void took(std::string_view /*line*/) {}
    // The kept text, for a subclass that takes it away (the counts and caps
    // go on as if it were still there).
    std::string& keptText() { return m_text; }

private:
    void take(std::string_view line);
    void end(const QString& why);
    std::string m_text;
    qsizetype m_cap;
    qsizetype m_lineCap;
    int m_maxLines;
    qsizetype m_size = 0; // of the text, kept or not
    int m_lines = 0;
    int m_cutLines = 0;
    bool m_cut = false;
    bool m_keep = true;
};

// The byte-level line filter: feed it bytes in any chunking, then finish().
class LineFilter {
public:
    // filter() is asked at every line end, so a change of the option while
    // a file is read takes effect from the next line.
    // lineCap bounds the kept bytes of one line (besides the sink's room).
    LineFilter(LineSink& sink, std::function<int()> filter,
               qsizetype lineCap = ViewTextBuilder::DefaultCap);
    // Consumes bytes; returns the number consumed (less than size only when
    // reading stopped: the first-header filter ended, or the sink is full).
    size_t feed(const char* data, size_t size);
    // Ends the line in progress if any byte came since the last line end.
    void finish();
    bool stopped() const { return m_stop; }

private:
    void endLine(std::string_view line);
    void appendKept(const char* data, size_t size);
    void scanOverflow(const char* data, size_t size);
    size_t lineLimit() const;
    LineSink& m_sink;
    std::function<int()> m_filter;
    qsizetype m_lineCap;
    size_t m_smallLine;          // lines up to this length skip the room check
    std::string m_raw;           // kept bytes of the current line, capped
    std::string m_overTail;      // last bytes past the limit (label context)
    bool m_overflow = false;     // the current line went past its cap
    bool m_overReceived = false; // labels found in the part past the limit
    bool m_overMessageId = false;
    bool m_inBlock = false;
    bool m_stop = false;
    bool m_pendingBytes = false; // a byte came since the last line end
    bool m_lastWasCr = false;
    bool m_colon = false; // the current line may hold a colon
};

// Hooks into the window while a file is read; all optional.
struct ReaderHooks {
    std::function<int()> filter;      // defaults to AllHeaders
    bool decodeMime = false;          // read the decoded text, not the bytes
    std::function<void()> pumpEvents; // after gauge set-up, every 10,001 bytes (read,
                                      // when decoding)
    std::function<void(qint64 maximum)> gaugeRange;
    std::function<void(qint64 progress)> gaugeProgress;
    // Asked after every pump: true ends the reading there (the window that
    // reads has closed); what was read so far stands.
    std::function<bool()> stop;
    // A batch of reads: the lock table that tells which files need the
    // in-use probe (util/lock_table.h). Without one every file is probed.
    LockTable* locks = nullptr;
    // The path was just listed as a regular file, not a link (its directory's
    // own record of the entry said so): it is opened without being looked at
    // first, and never through a link. Anything else found there (a link, no
    // file, a file that cannot be opened or is no longer regular) takes the
    // usual way, so the outcome is what it would have been without the hint.
    bool listedRegular = false;
};

// What became of one load.
enum class LoadStatus {
    Read,       // the file was read (also when the first-header filter stopped it early)
    Empty,      // the file's size is 0; nothing read
    InUse,      // held by another process; nothing read
    ReadError,  // reading failed part-way; the lines before it stand (error says why)
    CannotRead, // could not be opened, or is not a regular file (error says why)
};

struct LoadResult {
    LoadStatus status = LoadStatus::Read;
    QString error; // the system's reason, for ReadError and CannotRead
};

LoadResult Load_File_Into_View(const QString& path, LineSink& sink, const ReaderHooks& hooks = {});

} // namespace jl
