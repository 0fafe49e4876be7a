#pragma once
// The decoded text of one message file: the file as it lies, with what MIME
// encodes made readable in place. GMime takes the message apart; then
// - header fields keep their lines, their encoded words decoded;
// - the body of each text part (text/*, a part whose type is missing or
//   not valid, and the message/* parts that are not messages) stands where
//   its encoded body stood, decoded from base64 or quoted-printable and from
//   its charset to UTF-8; HTML stays text with its tags;
// - the body of any other part is one line naming the part: type, file name
//   and size;
// - a message/rfc822 part is a message again, decoded the same way down to
//   limits().nesting multipart and message parts around a part;
// - everything else (boundary lines, preambles, a leading "From " line, what
//   GMime could not make sense of) stands as it is in the file.
// So the view filter, the colour coding and the scan find in the decoded text
// what they find in the raw text, plus what the encodings hid.
//
// The message's own header (up to its first empty line, at most
// limits().header bytes) is decoded and written before GMime parses
// anything, so that a reader who stops there (the first-header view, a scan
// that found an item in the header) costs no parse.
//
// Bounded whatever the file holds: GMime is handed at most limits().bytes of
// the file and is stopped after limits().fields header fields or
// limits().dashLines lines that begin with "--" (each part costs it memory);
// the rest of the file then follows as it stands, after a line that says so.
// Depends on QtCore and GMime only.

#include <QtGlobal>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace jl {

struct MimeLimits {
    qint64 header = qint64{1024} * 1024;       // of the header written before the parse
    qint64 bytes = qint64{128} * 1024 * 1024;  // of the file that GMime parses
    int fields = 100'000;                      // header fields
    int dashLines = 100'000;                   // lines beginning with "--"
    int nesting = 1'000;                       // levels of multipart and message parts
    qint64 decodedField = qint64{1024} * 1024; // longer fields keep their encoded words
};

class MimeDecoder {
public:
    // Receives the decoded text in pieces, in order; false ends the writing.
    using Output = std::function<bool(std::string_view piece)>;
    // Told the bytes read from the file so far (the parse and the writing
    // read it once each); false stops the work where it is.
    using Progress = std::function<bool(qint64 bytesRead)>;

    enum class PieceKind { Field, Text, Other };
    // A stretch of the file that the decoded text replaces, in file order.
    struct Piece {
        qint64 begin = 0; // in the file
        qint64 end = 0;
        PieceKind kind = PieceKind::Text;
        std::string mimeType; // parts: type/subtype as GMime read it
        std::string charset;  // text parts: the charset parameter
        std::string encoding; // parts: the transfer encoding GMime follows ("7bit", "base64", ...)
        std::string fileName; // other parts
    };

    // For the message in the regular file open for reading at fd (size bytes
    // long); the descriptor stays the caller's and is read with pread.
    MimeDecoder(int fd, qint64 size, Progress progress = {}, const MimeLimits& limits = {});
    ~MimeDecoder();
    MimeDecoder(const MimeDecoder&) = delete;
    MimeDecoder& operator=(const MimeDecoder&) = delete;

    // The stretches after the message's header (headerEnd()); the first call
    // parses the file.
    const std::vector<Piece>& pieces() const;
    // Where the message's header ends in the file.
    qint64 headerEnd() const;
    // Where GMime stopped: the file's size unless a limit ended the parse.
    qint64 parsedBytes() const;
    // Whether a limit ended the parse (write() then says so where it ended).
    bool limited() const;

    // Writes the decoded text of the whole file. False when the output or
    // the progress asked to stop, or reading failed.
    bool write(const Output& out);
    // Writes the decoded text of one Text piece, whole (write() leaves out a
    // last line end that base64 decoded, since the file has one after it).
    bool writeText(size_t piece, const Output& out);

    // The system's error number when reading the file failed (0: it did not).
    int readError() const;
    // Whether the progress asked to stop.
    bool cancelled() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace jl
