// The MIME decoder, fed any bytes as a message under any limits, checked
// against how its output is made up:
// - first the message's header, each field's encoded words decoded;
// - the stretches it replaces lie in file order, apart, after the header and
//   inside what GMime parsed, which is inside the file;
// - between them the file's bytes come through unchanged, then the line that
//   tells a limit, then the rest of the file unchanged;
// - a header value becomes its encoded words decoded, and never gains a line
//   break; a text part becomes its own decoded text (base64 without its last
//   line end); any other part becomes one line naming it.
// Besides, text in a charset decoded in two pieces comes out as it does whole
// and is valid UTF-8.

#include "fuzz_support.h"

#include "mime/charset_decoder.h"
#include "mime/encoded_words.h"
#include "mime/mime_decoder.h"

#include <QString>

#include <algorithm>
#include <cctype>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

namespace {

using jl::fuzz::printable;
using Piece = jl::MimeDecoder::Piece;
using Kind = jl::MimeDecoder::PieceKind;

bool validUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size())).toUtf8() ==
           QByteArray(text.data(), qsizetype(text.size()));
}

size_t lineBreaks(std::string_view text) {
    return size_t(std::count(text.begin(), text.end(), '\n') +
                  std::count(text.begin(), text.end(), '\r'));
}

void checkCharset(FuzzedDataProvider& in) {
    static const char* const charsets[] = {"utf-8",     "",           "iso-8859-1",  "windows-1252",
                                           "shift_jis", "utf-16",     "iso-2022-jp", "gb2312",
                                           "utf-7",     "no-such-one"};
    const char* charset = charsets[in.ConsumeIntegralInRange<size_t>(0, std::size(charsets) - 1)];
    const std::string bytes = in.ConsumeRandomLengthString(256);
    const size_t cut = in.ConsumeIntegralInRange<size_t>(0, bytes.size());
    const std::string whole = jl::CharsetDecoder::toUtf8(bytes, charset);
    jl::CharsetDecoder decoder(charset);
    std::string pieces;
    decoder.decode(std::string_view(bytes).substr(0, cut), pieces);
    decoder.decode(std::string_view(bytes).substr(cut), pieces);
    decoder.finish(pieces);
    FUZZ_CHECK(pieces == whole, std::string(charset) + " cut at " + std::to_string(cut) + ": " +
                                    printable(pieces) + " vs " + printable(whole));
    FUZZ_CHECK(validUtf8(whole), std::string(charset) + ": " + printable(whole));
}

void checkMessage(FuzzedDataProvider& in) {
    jl::MimeLimits limits;
    if (in.ConsumeBool()) {
        limits.fields = in.ConsumeIntegralInRange<int>(0, 20);
        limits.dashLines = in.ConsumeIntegralInRange<int>(0, 20);
        limits.nesting = in.ConsumeIntegralInRange<int>(0, 5);
        limits.bytes = in.ConsumeIntegralInRange<qint64>(0, 20000);
        limits.decodedField = in.ConsumeIntegralInRange<qint64>(0, 200);
        limits.header = in.ConsumeIntegralInRange<qint64>(0, 2000);
    }
    const std::string message = in.ConsumeRemainingBytesAsString();
    const int fd = ::memfd_create("message", MFD_CLOEXEC);
    if (fd < 0 || ::write(fd, message.data(), message.size()) != ssize_t(message.size()))
        std::abort();
    const qint64 size = qint64(message.size());
    jl::MimeDecoder decoder(fd, size, {}, limits);
    std::string out;
    FUZZ_CHECK(decoder.write([&](std::string_view piece) {
        out += piece;
        return true;
    }),
               printable(message));

    const qint64 headerEnd = decoder.headerEnd();
    FUZZ_CHECK(headerEnd >= 0 && headerEnd <= size &&
                   headerEnd <= std::max<qint64>(limits.header, 0),
               std::to_string(headerEnd));
    const bool parsedAtAll = headerEnd < size; // else nothing was parsed
    const std::vector<Piece> pieces = parsedAtAll ? decoder.pieces() : std::vector<Piece>{};
    const qint64 parsed = parsedAtAll ? std::max(decoder.parsedBytes(), headerEnd) : size;
    FUZZ_CHECK(parsed >= 0 && parsed <= size, std::to_string(parsed));
    // Walk the output along the file.
    size_t at = 0; // in out
    qint64 from = headerEnd;
    auto raw = [&](qint64 begin, qint64 end) {
        return std::string_view(message).substr(size_t(begin), size_t(end - begin));
    };
    auto expect = [&](std::string_view text, const char* what) {
        FUZZ_CHECK(out.compare(at, text.size(), text) == 0,
                   std::string(what) + " at " + std::to_string(at) + ": expected " +
                       printable(text) + "\ngot " + printable(std::string_view(out).substr(at)) +
                       "\nmessage " + printable(message));
        at += text.size();
    };
    const std::string_view header = raw(0, headerEnd);
    const std::string decodedHeader = jl::decodeHeaderFields(header, size_t(limits.decodedField));
    FUZZ_CHECK(lineBreaks(decodedHeader) <= lineBreaks(header), printable(header));
    expect(decodedHeader, "the header");
    for (size_t i = 0; i < pieces.size(); ++i) {
        const Piece& piece = pieces[i];
        FUZZ_CHECK(piece.begin >= from && piece.end >= piece.begin && piece.end <= parsed,
                   "piece " + std::to_string(i) + " [" + std::to_string(piece.begin) + ", " +
                       std::to_string(piece.end) + ") after " + std::to_string(from));
        expect(raw(from, piece.begin), "the file between two pieces");
        const std::string_view body = raw(piece.begin, piece.end);
        if (piece.kind == Kind::Field) {
            const std::string value = jl::decodeEncodedWords(body);
            FUZZ_CHECK(lineBreaks(value) <= lineBreaks(body), printable(body));
            expect(value, "a header value");
        } else if (piece.kind == Kind::Text) {
            std::string text;
            decoder.writeText(i, [&](std::string_view t) {
                text += t;
                return true;
            });
            if (piece.encoding == "base64" || piece.encoding == "x-uuencode") {
                if (!text.empty() && text.back() == '\n')
                    text.pop_back();
                if (!text.empty() && text.back() == '\r')
                    text.pop_back();
            }
            expect(text, "a text part");
        } else {
            std::string line = " *** Part not shown: " + piece.mimeType;
            if (!piece.fileName.empty())
                line += " \"" + piece.fileName + "\"";
            expect(line + ", ", "the line naming a part");
            while (at < out.size() &&
                   (std::isdigit(static_cast<unsigned char>(out[at])) || out[at] == ','))
                ++at;
            expect(out.compare(at, 6, " bytes") == 0 ? " bytes" : " byte", "the size");
        }
        from = piece.end;
    }
    expect(raw(from, parsed), "the file after the last piece");
    if (parsedAtAll && decoder.limited()) {
        expect("\n *** Decoding ends here: ", "the line telling the limit");
        at = out.find('\n', at) + 1;
    }
    expect(raw(parsed, size), "the rest of the file");
    FUZZ_CHECK(at == out.size(), "more output: " + printable(std::string_view(out).substr(at)));
    ::close(fd);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    if (in.ConsumeIntegralInRange<int>(0, 7) == 0)
        checkCharset(in);
    else
        checkMessage(in);
    return 0;
}
