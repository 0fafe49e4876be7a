#include "mime/mime_decoder.h"

#include "mime/charset_decoder.h"
#include "mime/encoded_words.h"
#include "mime/gmime_setup.h"

#include <gmime/gmime.h>

#include <QString>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace jl {

namespace {

constexpr size_t kChunk = 65536;

// What ended GMime's parse before the end of the file.
enum class ParseLimit { None, Bytes, Fields, DashLines };

// The bookkeeping of every read of the file, shared by the stream that GMime
// parses and the streams of the parts it makes from it.
struct ReadWatch {
    MimeDecoder::Progress progress;
    MimeLimits limits;
    qint64 total = 0;     // bytes read, parse and writing together
    qint64 parsedEnd = 0; // bytes handed to the parser
    int error = 0;
    bool cancelled = false;
    ParseLimit limit = ParseLimit::None;
    int fields = 0;
    int dashLines = 0;
    int dashState = 0; // at a line start: dashes seen so far; -1 elsewhere
    // The file's first bytes, read once (for the header): reads that fall
    // in them are served from memory, so a small message is read from the
    // file once however often GMime and the writing go over it.
    std::string_view front;

    // Copies what of [offset, offset + length) the front holds; returns how
    // many bytes that was (0 when offset lies past it).
    size_t fromFront(qint64 offset, char* buffer, size_t length) const {
        if (offset < 0 || offset >= qint64(front.size()))
            return 0;
        const size_t n = std::min(length, front.size() - size_t(offset));
        std::memcpy(buffer, front.data() + offset, n);
        return n;
    }

    // Reading ends for good; a limit ends only the parse.
    bool stopped() const { return cancelled || error != 0; }

    void counted(qint64 bytes) {
        total += bytes;
        if (progress && !progress(total))
            cancelled = true;
    }

    // Counts the lines that begin with "--" in what the parser reads next.
    void countDashLines(const char* data, size_t size) {
        const char* p = data;
        const char* const end = data + size;
        for (;;) {
            while (dashState >= 0 && p < end) {
                if (*p != '-') {
                    dashState = -1;
                    break;
                }
                ++p;
                if (++dashState == 2) {
                    dashState = -1;
                    if (++dashLines > limits.dashLines && limit == ParseLimit::None)
                        limit = ParseLimit::DashLines;
                }
            }
            if (p >= end)
                return;
            const void* newline = std::memchr(p, '\n', size_t(end - p));
            if (!newline)
                return;
            p = static_cast<const char*>(newline) + 1;
            dashState = 0;
        }
    }
};

// ---------------------------------------------------------------------------
// A GMime stream over the caller's descriptor that reads with pread (so the
// descriptor's offset never matters), tells the watch of every read, and
// ends (reads as end of file) once the watch has stopped.

struct WatchedStream {
    GMimeStreamFs parent;
    ReadWatch* watch;
    gboolean parsed; // the stream the parser reads: its lines are counted
};

struct WatchedStreamClass {
    GMimeStreamFsClass parentClass;
};

GType watchedStreamType();

WatchedStream* newWatchedStream(int fd, ReadWatch* watch, qint64 start, qint64 end, bool parsed) {
    auto* stream = static_cast<WatchedStream*>(g_object_new(watchedStreamType(), nullptr));
    g_mime_stream_construct(GMIME_STREAM(stream), start, end);
    stream->parent.fd = fd;
    stream->parent.owner = FALSE; // the descriptor is the caller's
    stream->parent.eos = FALSE;
    stream->watch = watch;
    stream->parsed = parsed ? TRUE : FALSE;
    return stream;
}

ssize_t watchedRead(GMimeStream* base, char* buffer, size_t length) {
    auto* stream = reinterpret_cast<WatchedStream*>(base);
    ReadWatch& watch = *stream->watch;
    if (watch.stopped() || (stream->parsed && watch.limit != ParseLimit::None) ||
        (base->bound_end != -1 && base->position >= base->bound_end)) {
        stream->parent.eos = TRUE;
        return 0;
    }
    if (base->bound_end != -1)
        length = size_t(std::min<gint64>(base->bound_end - base->position, gint64(length)));
    ssize_t got = ssize_t(watch.fromFront(base->position, buffer, length));
    while (got == 0) {
        got = ::pread(stream->parent.fd, buffer, length, off_t(base->position));
        if (got >= 0 || errno != EINTR)
            break;
        got = 0;
    }
    if (got < 0) {
        watch.error = errno;
        stream->parent.eos = TRUE;
        return 0;
    }
    if (got == 0) {
        stream->parent.eos = TRUE;
        return 0;
    }
    base->position += got;
    if (stream->parsed) {
        watch.parsedEnd = std::max<qint64>(watch.parsedEnd, base->position);
        watch.countDashLines(buffer, size_t(got));
    }
    watch.counted(got);
    return got;
}

GMimeStream* watchedSubstream(GMimeStream* base, gint64 start, gint64 end) {
    auto* stream = reinterpret_cast<WatchedStream*>(base);
    return GMIME_STREAM(newWatchedStream(stream->parent.fd, stream->watch, start, end, false));
}

void watchedStreamClassInit(gpointer klass, gpointer) {
    auto* streamClass = static_cast<GMimeStreamClass*>(klass);
    streamClass->read = watchedRead;
    streamClass->substream = watchedSubstream;
}

GType watchedStreamType() {
    static const GType type = g_type_register_static_simple(
        GMIME_TYPE_STREAM_FS, "JlWatchedStream", sizeof(WatchedStreamClass), watchedStreamClassInit,
        sizeof(WatchedStream), nullptr, GTypeFlags(0));
    return type;
}

// Counts every header field the parser reads: each costs it memory.
void countField(GMimeParser*, const char*, const char*, gint64, gpointer data) {
    auto& watch = *static_cast<ReadWatch*>(data);
    if (++watch.fields > watch.limits.fields && watch.limit == ParseLimit::None)
        watch.limit = ParseLimit::Fields;
}

// ---------------------------------------------------------------------------

template <typename T> struct GObjectRef {
    T* object = nullptr;
    GObjectRef() = default;
    explicit GObjectRef(T* o) : object(o) {}
    ~GObjectRef() {
        if (object)
            g_object_unref(object);
    }
    GObjectRef(const GObjectRef&) = delete;
    GObjectRef& operator=(const GObjectRef&) = delete;
};

std::string takeText(char* text) {
    std::string s = text ? std::string(text) : std::string();
    g_free(text);
    return s;
}

QString groupedNumber(qint64 n) {
    QString digits = QString::number(n);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(','));
    return digits;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    return true;
}

// Whether a part's body is read as text: text/*; message/* bodies that GMime
// did not take for messages (delivery reports and the like are lines of
// fields); and a part whose Content-Type names no valid type, which MIME
// reads as plain text while GMime calls it application/octet-stream.
bool readAsText(GMimeObject* part) {
    GMimeContentType* type = g_mime_object_get_content_type(part);
    if (g_mime_content_type_is_type(type, "text", "*") ||
        g_mime_content_type_is_type(type, "message", "*"))
        return true;
    if (!g_mime_content_type_is_type(type, "application", "octet-stream"))
        return false;
    const char* written = g_mime_object_get_header(part, "Content-Type");
    if (!written)
        return false;
    std::string_view value(written);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
        value.remove_prefix(1);
    return !startsWithNoCase(value, "application/octet-stream");
}

// Line breaks and other control characters of a name become blanks, so the
// line naming a part stays one line.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return text;
}

bool needsDecoding(GMimeContentEncoding encoding) {
    return encoding == GMIME_CONTENT_ENCODING_BASE64 ||
           encoding == GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE ||
           encoding == GMIME_CONTENT_ENCODING_UUENCODE;
}

// Quoted-printable keeps the lines of the text; base64 and uuencode do not.
bool keepsLines(GMimeContentEncoding encoding) {
    return !needsDecoding(encoding) || encoding == GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE;
}

} // namespace

// ---------------------------------------------------------------------------

struct MimeDecoder::Impl {
    int fd;
    qint64 size;
    ReadWatch watch;
    GObjectRef<GMimeStream> stream;
    GObjectRef<GMimeParser> parser;
    GObjectRef<GMimeObject> top;
    std::vector<Piece> pieces;
    std::vector<GMimeObject*> objects; // per piece: the part, or the header's owner
    std::vector<GMimeHeader*> fields;  // per piece: the header field, if a Field
    bool outputEnded = false;
    bool parsed = false;
    qint64 headEnd = -1;            // where the message's header ends (-1: not read yet)
    std::string front;              // the file's first bytes, up to limits.header
    std::unique_ptr<char[]> buffer; // for the pieces of the writing, made once

    void ensureParsed() {
        if (!parsed) {
            parsed = true;
            parse();
        }
    }
    void readHead();

    char* chunk() {
        if (!buffer)
            buffer = std::make_unique_for_overwrite<char[]>(kChunk);
        return buffer.get();
    }

    void parse();
    qint64 headerStart(qint64 parsed);
    void collect(GMimeObject* object, int depth);
    void collectFields(GMimeObject* object);
    void addPart(GMimeObject* object);
    bool locateField(GMimeHeader* header, qint64& begin, qint64& end);
    bool readAt(qint64 offset, char* buffer, size_t length, size_t& got);

    bool put(const Output& out, std::string_view piece) {
        if (outputEnded)
            return false;
        if (!piece.empty() && !out(piece))
            outputEnded = true;
        return !outputEnded;
    }
    bool going() const { return !watch.stopped() && !outputEnded; }
    bool copyRaw(qint64 from, qint64 to, const Output& out);
    bool writePart(size_t index, const Output& out, bool whole);
    bool writeOther(size_t index, const Output& out);
    GMimeStream* decodedContent(size_t index);
};

void MimeDecoder::Impl::parse() {
    ensureGMime();
    readHead(); // the file's first bytes, for GMime too
    const qint64 parsed = std::min(size, std::max<qint64>(watch.limits.bytes, 0));
    stream.object = GMIME_STREAM(newWatchedStream(fd, &watch, headerStart(parsed), parsed, true));
    parser.object = g_mime_parser_new_with_stream(stream.object);
    g_mime_parser_set_header_regex(parser.object, "^", countField, &watch);
    // The file is taken apart as a part, not as a message: GMime then keeps
    // every field of its header in the part's list and skips the work it does
    // for a message (reading addresses, dates), which made the parse take
    // nearly three times as long.
    top.object = g_mime_parser_construct_part(parser.object, nullptr);
    if (parsed < size && watch.limit == ParseLimit::None && !watch.stopped())
        watch.limit = ParseLimit::Bytes;
    if (top.object)
        collect(top.object, 0);
    // In file order; a stretch that overlaps the one before is left as it is.
    std::vector<size_t> order(pieces.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [this](size_t a, size_t b) { return pieces[a].begin < pieces[b].begin; });
    std::vector<Piece> sorted;
    std::vector<GMimeObject*> sortedObjects;
    std::vector<GMimeHeader*> sortedFields;
    // The message's header is written before the parse, from the file.
    qint64 reached = headEnd;
    for (const size_t i : order) {
        if (pieces[i].begin < reached || pieces[i].end > watch.parsedEnd)
            continue;
        reached = pieces[i].end;
        sorted.push_back(std::move(pieces[i]));
        sortedObjects.push_back(objects[i]);
        sortedFields.push_back(fields[i]);
    }
    pieces.swap(sorted);
    objects.swap(sortedObjects);
    fields.swap(sortedFields);
}

// The message's header: up to and with its first empty line; where no empty
// line comes within limits.header bytes, up to the last line end there.
void MimeDecoder::Impl::readHead() {
    if (headEnd >= 0)
        return;
    headEnd = 0;
    const qint64 cap = std::min(size, std::max<qint64>(watch.limits.header, 0));
    front.resize(size_t(cap));
    size_t got = 0;
    if (!readAt(0, front.data(), front.size(), got))
        got = 0;
    front.resize(got);
    watch.front = front;
    const bool whole = qint64(got) == size;
    size_t at = 0;
    for (;;) {
        const size_t newline = front.find('\n', at);
        if (newline == std::string::npos) {
            headEnd = qint64(whole ? front.size() : at);
            break;
        }
        const bool empty = newline == at || (newline == at + 1 && front[at] == '\r');
        at = newline + 1;
        if (empty) {
            headEnd = qint64(at);
            break;
        }
    }
}

// Where the header begins: after a first line "From ..." that a mailbox put
// before the message (it stands in the decoded text as it is).
qint64 MimeDecoder::Impl::headerStart(qint64 parsed) {
    constexpr std::string_view kFrom = "From ";
    char buffer[1024];
    size_t got = 0;
    if (!readAt(0, buffer, size_t(std::min<qint64>(parsed, qint64(sizeof buffer))), got) ||
        std::string_view(buffer, got).substr(0, kFrom.size()) != kFrom)
        return 0;
    const void* newline = std::memchr(buffer, '\n', got);
    return newline ? qint64(static_cast<const char*>(newline) - buffer) + 1 : 0;
}

void MimeDecoder::Impl::collect(GMimeObject* object, int depth) {
    // depth: the multipart and message parts around the object.
    if (depth > watch.limits.nesting)
        return; // left as it is in the file
    collectFields(object);
    if (GMIME_IS_MULTIPART(object)) {
        auto* multipart = GMIME_MULTIPART(object);
        const int count = g_mime_multipart_get_count(multipart);
        for (int i = 0; i < count; ++i)
            collect(g_mime_multipart_get_part(multipart, i), depth + 1);
    } else if (GMIME_IS_MESSAGE_PART(object)) {
        GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
        if (inner && depth + 1 <= watch.limits.nesting) {
            collectFields(GMIME_OBJECT(inner));
            if (GMimeObject* body = g_mime_message_get_mime_part(inner))
                collect(body, depth + 1);
        }
    } else if (GMIME_IS_PART(object)) {
        addPart(object);
    }
}

void MimeDecoder::Impl::collectFields(GMimeObject* object) {
    GMimeHeaderList* list = g_mime_object_get_header_list(object);
    if (!list)
        return;
    const int count = g_mime_header_list_get_count(list);
    for (int i = 0; i < count; ++i) {
        GMimeHeader* header = g_mime_header_list_get_header_at(list, i);
        const char* raw = g_mime_header_get_raw_value(header);
        if (!raw || !std::strstr(raw, "=?") || qint64(std::strlen(raw)) > watch.limits.decodedField)
            continue;
        Piece piece;
        piece.kind = PieceKind::Field;
        if (!locateField(header, piece.begin, piece.end))
            continue;
        pieces.push_back(std::move(piece));
        objects.push_back(object);
        fields.push_back(header);
    }
}

bool MimeDecoder::Impl::readAt(qint64 offset, char* buffer, size_t length, size_t& got) {
    got = watch.fromFront(offset, buffer, length);
    while (got < length) {
        const ssize_t n = ::pread(fd, buffer + got, length - got, off_t(offset + qint64(got)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            watch.error = errno;
            return false;
        }
        if (n == 0)
            break;
        got += size_t(n);
    }
    watch.counted(qint64(got));
    return true;
}

// Finds the field's value in the file, where GMime says the field starts.
// The name and the value's bytes are compared whole, so a field is only ever
// replaced where it really stands; one that is not found stays as it is.
bool MimeDecoder::Impl::locateField(GMimeHeader* header, qint64& begin, qint64& end) {
    const std::string_view name(g_mime_header_get_raw_name(header));
    const std::string_view value(g_mime_header_get_raw_value(header));
    const qint64 offset = g_mime_header_get_offset(header);
    if (name.empty() || offset < 0)
        return false;
    // The name, blanks before the colon (a few), the colon, the value.
    std::string bytes(name.size() + 64 + value.size(), '\0');
    size_t got = 0;
    if (!readAt(offset, bytes.data(), bytes.size(), got))
        return false;
    const std::string_view file(bytes.data(), got);
    if (file.substr(0, name.size()) != name)
        return false;
    const size_t colon = file.find_first_not_of(" \t", name.size());
    if (colon == std::string_view::npos || file[colon] != ':' ||
        file.substr(colon + 1, value.size()) != value)
        return false;
    begin = offset + qint64(colon) + 1;
    end = begin + qint64(value.size());
    return true;
}

void MimeDecoder::Impl::addPart(GMimeObject* object) {
    GMimeDataWrapper* wrapper = g_mime_part_get_content(GMIME_PART(object));
    GMimeStream* content = wrapper ? g_mime_data_wrapper_get_stream(wrapper) : nullptr;
    if (!content || !G_TYPE_CHECK_INSTANCE_TYPE(content, watchedStreamType()))
        return;
    Piece piece;
    piece.begin = content->bound_start;
    piece.end = content->bound_end;
    if (piece.begin < 0 || piece.end < piece.begin)
        return;
    piece.kind = readAsText(object) ? PieceKind::Text : PieceKind::Other;
    piece.mimeType =
        takeText(g_mime_content_type_get_mime_type(g_mime_object_get_content_type(object)));
    if (const char* encoding =
            g_mime_content_encoding_to_string(g_mime_data_wrapper_get_encoding(wrapper)))
        piece.encoding = encoding;
    if (const char* charset = g_mime_object_get_content_type_parameter(object, "charset"))
        piece.charset = charset;
    if (const char* name = g_mime_part_get_filename(GMIME_PART(object)))
        piece.fileName = oneLine(std::strstr(name, "=?") ? decodeEncodedWords(name) : name);
    pieces.push_back(std::move(piece));
    objects.push_back(object);
    fields.push_back(nullptr);
}

// The part's body with its transfer encoding undone (a new reference).
GMimeStream* MimeDecoder::Impl::decodedContent(size_t index) {
    GMimeDataWrapper* wrapper = g_mime_part_get_content(GMIME_PART(objects[index]));
    GMimeStream* content = g_mime_data_wrapper_get_stream(wrapper);
    g_mime_stream_reset(content);
    GMimeStream* filtered = g_mime_stream_filter_new(content);
    const GMimeContentEncoding encoding = g_mime_data_wrapper_get_encoding(wrapper);
    if (needsDecoding(encoding)) {
        GMimeFilter* filter = g_mime_filter_basic_new(encoding, FALSE);
        g_mime_stream_filter_add(GMIME_STREAM_FILTER(filtered), filter);
        g_object_unref(filter);
    }
    return filtered;
}

bool MimeDecoder::Impl::copyRaw(qint64 from, qint64 to, const Output& out) {
    char* const buffer = chunk();
    while (from < to && going()) {
        size_t got = 0;
        if (!readAt(from, buffer, size_t(std::min<qint64>(to - from, qint64(kChunk))), got))
            return false;
        if (got == 0)
            break; // the file got shorter
        if (!put(out, std::string_view(buffer, got)))
            return false;
        from += qint64(got);
    }
    return going();
}

bool MimeDecoder::Impl::writePart(size_t index, const Output& out, bool whole) {
    const GObjectRef<GMimeStream> decoded(decodedContent(index));
    GMimeDataWrapper* wrapper = g_mime_part_get_content(GMIME_PART(objects[index]));
    // Base64 text ends in a line end of its own; the file has one after it.
    const bool dropLastLineEnd = !whole && !keepsLines(g_mime_data_wrapper_get_encoding(wrapper));
    CharsetDecoder charset(pieces[index].charset);
    char* const buffer = chunk();
    std::string text;
    std::string held; // the last line end, written once more text follows
    for (;;) {
        const ssize_t got = g_mime_stream_read(decoded.object, buffer, kChunk);
        if (!going())
            return false;
        text.clear();
        if (got > 0)
            charset.decode(std::string_view(buffer, size_t(got)), text);
        else
            charset.finish(text);
        if (dropLastLineEnd && !text.empty()) {
            text.insert(0, held);
            held.clear();
            size_t cut = text.size();
            if (text.back() == '\n')
                --cut;
            if (cut > 0 && text[cut - 1] == '\r')
                --cut;
            held = text.substr(cut);
            text.resize(cut);
        }
        if (!put(out, text))
            return false;
        if (got <= 0)
            return true;
    }
}

bool MimeDecoder::Impl::writeOther(size_t index, const Output& out) {
    const Piece& piece = pieces[index];
    qint64 bytes = piece.end - piece.begin;
    GMimeDataWrapper* wrapper = g_mime_part_get_content(GMIME_PART(objects[index]));
    if (needsDecoding(g_mime_data_wrapper_get_encoding(wrapper))) {
        // The size is that of the decoded body.
        const GObjectRef<GMimeStream> decoded(decodedContent(index));
        char* const buffer = chunk();
        bytes = 0;
        for (ssize_t got; (got = g_mime_stream_read(decoded.object, buffer, kChunk)) > 0;)
            bytes += got;
        if (!going())
            return false;
    }
    // The type and the name go out as bytes, as the header text around them
    // does: a name that is not valid UTF-8 is not mended here but where the
    // text is shown, so that the decoded text holds what pieces() tells.
    std::string line = " *** Part not shown: " + piece.mimeType;
    if (!piece.fileName.empty())
        line += " \"" + piece.fileName + '"';
    line += ", " + groupedNumber(bytes).toStdString() + (bytes == 1 ? " byte" : " bytes");
    return put(out, line);
}

// ---------------------------------------------------------------------------

MimeDecoder::MimeDecoder(int fd, qint64 size, Progress progress, const MimeLimits& limits)
    : d(std::make_unique<Impl>()) {
    d->fd = fd;
    d->size = std::max<qint64>(size, 0);
    d->watch.progress = std::move(progress);
    d->watch.limits = limits;
}

MimeDecoder::~MimeDecoder() = default;

const std::vector<MimeDecoder::Piece>& MimeDecoder::pieces() const {
    d->ensureParsed();
    return d->pieces;
}

qint64 MimeDecoder::headerEnd() const {
    d->readHead();
    return d->headEnd;
}

qint64 MimeDecoder::parsedBytes() const {
    d->ensureParsed();
    return d->watch.parsedEnd;
}

bool MimeDecoder::limited() const {
    d->ensureParsed();
    return d->watch.limit != ParseLimit::None;
}

int MimeDecoder::readError() const {
    return d->watch.error;
}

bool MimeDecoder::cancelled() const {
    return d->watch.cancelled;
}

bool MimeDecoder::write(const Output& out) {
    d->readHead();
    if (d->watch.cancelled || d->watch.error != 0 ||
        !d->put(out, decodeHeaderFields(std::string_view(d->front).substr(0, size_t(d->headEnd)),
                                        size_t(d->watch.limits.decodedField))))
        return false;
    if (d->headEnd >= d->size)
        return true; // all header: nothing to parse
    d->ensureParsed();
    if (d->watch.cancelled || d->watch.error != 0)
        return false;
    // The limit that ended the parse is told where the parse ended.
    const ParseLimit limit = d->watch.limit;
    qint64 at = d->headEnd;
    for (size_t i = 0; i < d->pieces.size(); ++i) {
        const Piece& piece = d->pieces[i];
        if (!d->copyRaw(at, piece.begin, out))
            return false;
        bool going = true;
        if (piece.kind == PieceKind::Field)
            going = d->put(out, decodeEncodedWords(g_mime_header_get_raw_value(d->fields[i])));
        else if (piece.kind == PieceKind::Text)
            going = d->writePart(i, out, false);
        else
            going = d->writeOther(i, out);
        if (!going || !d->going())
            return false;
        at = piece.end;
    }
    const qint64 parsedEnd = std::max(d->watch.parsedEnd, at);
    if (!d->copyRaw(at, parsedEnd, out))
        return false;
    if (limit != ParseLimit::None) {
        QString why;
        switch (limit) {
        case ParseLimit::Bytes:
            why = QStringLiteral("the message is longer than ") +
                  groupedNumber(d->watch.limits.bytes) + QStringLiteral(" bytes");
            break;
        case ParseLimit::Fields:
            why = QStringLiteral("the message has more than ") +
                  groupedNumber(d->watch.limits.fields) + QStringLiteral(" header fields");
            break;
        case ParseLimit::DashLines:
            why = QStringLiteral("the message has more than ") +
                  groupedNumber(d->watch.limits.dashLines) +
                  QStringLiteral(" lines that begin with \"--\"");
            break;
        case ParseLimit::None:
            break;
        }
        const QString note = QStringLiteral("\n *** Decoding ends here: ") + why +
                             QStringLiteral("; the rest is shown as it stands in the file.\n");
        if (!d->put(out, note.toStdString()))
            return false;
    }
    return d->copyRaw(parsedEnd, d->size, out);
}

bool MimeDecoder::writeText(size_t piece, const Output& out) {
    if (piece >= d->pieces.size() || d->pieces[piece].kind != PieceKind::Text)
        return false;
    return d->writePart(piece, out, true);
}

} // namespace jl
