// The MIME decoder: what each kind of part becomes in the decoded text, what
// stands as it is, malformed input, and the limits that bound the parse.

#include "mime/charset_decoder.h"
#include "mime/encoded_words.h"
#include "mime/mime_decoder.h"

#include <gtest/gtest.h>

#include <string>

#include <sys/mman.h>
#include <unistd.h>

namespace {

// A descriptor over bytes held in memory, as the decoder reads a file.
class MemoryFile {
public:
    explicit MemoryFile(const std::string& bytes) : m_fd(::memfd_create("message", MFD_CLOEXEC)) {
        EXPECT_GE(m_fd, 0);
        EXPECT_EQ(::write(m_fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    ~MemoryFile() { ::close(m_fd); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

std::string decoded(const std::string& message, const jl::MimeLimits& limits = {}) {
    const MemoryFile file(message);
    jl::MimeDecoder decoder(file.fd(), qint64(message.size()), {}, limits);
    std::string text;
    EXPECT_TRUE(decoder.write([&](std::string_view piece) {
        text += piece;
        return true;
    }));
    return text;
}

struct Case {
    const char* name;
    std::string message;
    std::string expected; // the decoded text
};

const std::string kMultipartHead = "Subject: s\nContent-Type: multipart/mixed; boundary=\"B\"\n\n";

TEST(MimeDecoder, EachKindOfPartInPlace) {
    const Case cases[] = {
        {"quoted-printable soft breaks join the words they cut",
         "Subject: s\nContent-Transfer-Encoding: quoted-printable\n\n"
         "Please do =\nnot=20click <b=\nr> http://a.example/=3Dx\n",
         "Subject: s\nContent-Transfer-Encoding: quoted-printable\n\n"
         "Please do not click <br> http://a.example/=x\n"},
        {"base64 html keeps its tags; its own last line end goes",
         kMultipartHead + "--B\nContent-Type: text/html\nContent-Transfer-Encoding: base64\n\n"
                          "PGEgaHJlZj0iaHR0cDovL2guZXhhbXBsZS8iPng8L2E+Cg==\n--B--\n",
         kMultipartHead + "--B\nContent-Type: text/html\nContent-Transfer-Encoding: base64\n\n"
                          "<a href=\"http://h.example/\">x</a>\n--B--\n"},
        {"a charset becomes UTF-8",
         "Content-Type: text/plain; charset=iso-8859-1\n"
         "Content-Transfer-Encoding: quoted-printable\n\ncaf=E9\n",
         "Content-Type: text/plain; charset=iso-8859-1\n"
         "Content-Transfer-Encoding: quoted-printable\n\ncaf\xC3\xA9\n"},
        {"another part is one line: type, file name, decoded size",
         kMultipartHead +
             "--B\nContent-Type: image/png; name=\"a.png\"\nContent-Transfer-Encoding: base64\n\n"
             "iVBORw0KGgo=\n--B\nContent-Type: application/zip\n\nPK\n--B--\n",
         kMultipartHead + "--B\nContent-Type: image/png; name=\"a.png\"\n"
                          "Content-Transfer-Encoding: base64\n\n"
                          " *** Part not shown: image/png \"a.png\", 8 bytes\n"
                          "--B\nContent-Type: application/zip\n\n"
                          " *** Part not shown: application/zip, 2 bytes\n--B--\n"},
        {"a name that is not valid UTF-8 stays the bytes it was",
         kMultipartHead +
             "--B\nContent-Type: image/gif; name=\"=?x \xF6\xBC\x90\x91\"\n\nGIF\n--B--\n",
         kMultipartHead +
             "--B\nContent-Type: image/gif; name=\"=?x \xF6\xBC\x90\x91\"\n\n"
             " *** Part not shown: image/gif \"=?x \xF6\xBC\x90\x91\", 3 bytes\n--B--\n"},
        {"a part without a type, or with one that is not valid, is text",
         kMultipartHead + "--B\nContent-Transfer-Encoding: base64\n\naGk=\n"
                          "--B\nContent-Type: garbage\nContent-Transfer-Encoding: base64\n\naG8=\n"
                          "--B--\n",
         kMultipartHead + "--B\nContent-Transfer-Encoding: base64\n\nhi\n"
                          "--B\nContent-Type: garbage\nContent-Transfer-Encoding: base64\n\nho\n"
                          "--B--\n"},
        {"a message part is a message again",
         kMultipartHead + "--B\nContent-Type: message/rfc822\n\n"
                          "Subject: =?utf-8?Q?inner?=\nContent-Transfer-Encoding: base64\n\n"
                          "Ym9keQ==\n--B--\n",
         kMultipartHead + "--B\nContent-Type: message/rfc822\n\n"
                          "Subject: inner\nContent-Transfer-Encoding: base64\n\nbody\n--B--\n"},
        {"encoded words decoded, folds and other text kept",
         "Subject: =?iso-8859-1?Q?Caf=E9?= and\n =?utf-8?B?4pyTIGRvbmU=?=\n"
         "\t=?utf-8?B?IQ==?= =?x-unknown?Q?=C3=A9?=\nFrom: a <b@c>\n\nx\n",
         "Subject: Caf\xC3\xA9 and\n \xE2\x9C\x93 done!\xC3\xA9\nFrom: a <b@c>\n\nx\n"},
        {"a leading From line stands, the fields after it are found",
         "From x@y Mon Sep  2 12:19:25 2002\nSubject: =?utf-8?B?aGk=?=\n\nx\n",
         "From x@y Mon Sep  2 12:19:25 2002\nSubject: hi\n\nx\n"},
        {"preamble, boundary lines and epilogue stand",
         "Content-Type: multipart/mixed; boundary=B\n\npre =?utf-8?B?aGk=?=\n"
         "--B\n\nx=3D\n--B--\npost\n",
         "Content-Type: multipart/mixed; boundary=B\n\npre =?utf-8?B?aGk=?=\n"
         "--B\n\nx=3D\n--B--\npost\n"},
        {"a boundary that never comes leaves the body as it is",
         "Content-Type: multipart/mixed; boundary=NONE\n\n--B\nContent-Transfer-Encoding: "
         "base64\n\naGk=\n",
         "Content-Type: multipart/mixed; boundary=NONE\n\n--B\nContent-Transfer-Encoding: "
         "base64\n\naGk=\n"},
        {"bad base64 gives what it can", "Content-Transfer-Encoding: base64\n\naGVs!!bG8=\n",
         "Content-Transfer-Encoding: base64\n\nhello"},
        {"no header at all: the file as it is", "just text\n=?utf-8?B?aGk=?=\n",
         "just text\n=?utf-8?B?aGk=?=\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(decoded(c.message), c.expected) << c.name;
}

TEST(MimeDecoder, LimitsEndTheParseAndTheRestStandsAsItIs) {
    // Each limit: the text decoded up to where the parse ended (the header at
    // least, which is written before the parse), a line that says why, the
    // rest of the file as it is (here a base64 part).
    const std::string head =
        "Subject: =?utf-8?B?aGk=?=\nContent-Type: multipart/mixed; boundary=B\n\n";
    const std::string tail = "--B\nContent-Transfer-Encoding: base64\n\naGk=\n--B--\n";
    std::string fields = "--B\n";
    for (int i = 0; i < 5000; ++i)
        fields += "X: y\n";
    fields += "\nx\n";
    std::string dashes;
    for (int i = 0; i < 5000; ++i)
        dashes += "--\n";
    jl::MimeLimits fewFields, fewDashLines, fewBytes;
    fewFields.fields = 3;
    fewDashLines.dashLines = 3;
    fewBytes.bytes = 40;
    const struct {
        std::string body;
        jl::MimeLimits limits;
        const char* why;
    } limited[] = {
        {fields, fewFields, "has more than 3 header fields"},
        {dashes, fewDashLines, "has more than 3 lines that begin with \"--\""},
        {fields, fewBytes, "is longer than 40 bytes"},
    };
    for (const auto& c : limited) {
        const std::string text = decoded(std::string(head).append(c.body).append(tail), c.limits);
        EXPECT_EQ(text.substr(0, 12), "Subject: hi\n") << c.why;
        EXPECT_NE(text.find(std::string(" *** Decoding ends here: the message ") + c.why +
                            "; the rest is shown as it stands in the file.\n"),
                  std::string::npos)
            << c.why;
        EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << c.why;
    }

    // Nesting: the part below the limit is left as it stands.
    const std::string nested =
        "Content-Type: multipart/mixed; boundary=A\n\n--A\n"
        "Content-Type: multipart/mixed; boundary=B\n\n--B\nContent-Transfer-Encoding: base64\n\n"
        "aGk=\n--B--\n--A--\n";
    jl::MimeLimits limits;
    limits.nesting = 2;
    EXPECT_NE(decoded(nested, limits).find("\n\nhi\n--B--"), std::string::npos);
    limits.nesting = 1;
    EXPECT_NE(decoded(nested, limits).find("\n\naGk=\n--B--"), std::string::npos);
}

// Thousands of parts and parts nested a thousand deep are all decoded.
TEST(MimeDecoder, ManyPartsAndDeepNesting) {
    std::string wide = kMultipartHead;
    for (int i = 0; i < 10000; ++i)
        wide += "--B\nContent-Transfer-Encoding: base64\n\naGk=\n";
    wide += "--B--\n";
    const std::string text = decoded(wide);
    size_t his = 0;
    for (size_t at = text.find("\n\nhi\n"); at != std::string::npos;
         at = text.find("\n\nhi\n", at + 1))
        ++his;
    EXPECT_EQ(his, 10000u);

    std::string deep = "Content-Type: multipart/mixed; boundary=b0\n\n";
    const int depth = 999;
    for (int i = 1; i <= depth; ++i)
        deep += "--b" + std::to_string(i - 1) + "\nContent-Type: multipart/mixed; boundary=b" +
                std::to_string(i) + "\n\n";
    deep += "--b" + std::to_string(depth) + "\nContent-Transfer-Encoding: base64\n\naGk=\n";
    for (int i = depth; i >= 0; --i)
        deep += "--b" + std::to_string(i) + "--\n";
    EXPECT_NE(decoded(deep).find("\n\nhi\n--b999--"), std::string::npos);
}

TEST(MimeDecoder, ProgressCanStopTheWork) {
    std::string message = "Content-Transfer-Encoding: base64\n\n";
    for (int i = 0; i < 20000; ++i)
        message += "aGVsbG8gd29ybGQgaGVsbG8gd29ybGQgaGVsbG8gd29ybGQgaGVsbG8gd29y\n";
    const MemoryFile file(message);
    qint64 seen = 0;
    jl::MimeDecoder decoder(file.fd(), qint64(message.size()), [&](qint64 read) {
        seen = read;
        return read < qint64(message.size()) + 100000; // into the writing
    });
    std::string text;
    EXPECT_FALSE(decoder.write([&](std::string_view piece) {
        text += piece;
        return true;
    }));
    EXPECT_TRUE(decoder.cancelled());
    EXPECT_GT(text.size(), 0u);
    EXPECT_LT(text.size(), message.size() * 3 / 4);
    EXPECT_GE(seen, qint64(message.size()));

    // A reader that has what it wants from the header costs no parse.
    qint64 read = 0;
    jl::MimeDecoder early(file.fd(), qint64(message.size()), [&](qint64 r) {
        read = r;
        return true;
    });
    EXPECT_FALSE(early.write([](std::string_view) { return false; }));
    EXPECT_LE(read, jl::MimeLimits{}.header);
}

// Header values: encoded words never make lines of their own.
TEST(EncodedWords, ControlCharactersBecomeBlanks) {
    EXPECT_EQ(jl::decodeEncodedWords(" =?utf-8?Q?a=0D=0AReceived:_b?=\r\n"), " a  Received: b\r\n");
    EXPECT_EQ(jl::decodeEncodedWords(" =?utf-8?Q?x?=y =?bad =?utf-8?B?aGk?="), " xy =?bad hi");
}

// Text decoded in pieces comes out as it does whole, wherever the pieces end.
TEST(CharsetDecoder, PiecesAnywhereGiveTheWholeText) {
    const struct {
        const char* charset;
        std::string bytes;
        std::string utf8;
    } cases[] = {
        {"utf-8", "a\xC3\xA9\xE2\x9C\x93\xF0\x9F\x98\x80z",
         "a\xC3\xA9\xE2\x9C\x93\xF0\x9F\x98\x80z"},
        {"utf-8",
         "a\xE2\x9C"
         "b\xC0\xAF"
         "c\xED\xA0\x80",
         "a\xEF\xBF\xBD"
         "b\xEF\xBF\xBD\xEF\xBF\xBD"
         "c\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"", "x\xE2\x9C", "x\xEF\xBF\xBD"},   // cut at the end
        {"us-ascii", "\xC3\xA9", "\xC3\xA9"}, // UTF-8 under the wrong label
        {"no-such-charset", "\xC3\xA9\xE9", "\xC3\xA9\xEF\xBF\xBD"},
        {"iso-8859-1", "caf\xE9", "caf\xC3\xA9"},
        {"windows-1252", "\x93q\x94\x81", "\xE2\x80\x9Cq\xE2\x80\x9D\xEF\xBF\xBD"},
        {"shift_jis", "\x82\xA0\x82\xA2x", "\xE3\x81\x82\xE3\x81\x84x"},
        {"utf-16le", std::string("h\0i\0", 4), "hi"},
        {"shift_jis", "a\x82", "a\xEF\xBF\xBD"}, // cut inside a character
    };
    for (const auto& c : cases) {
        EXPECT_EQ(jl::CharsetDecoder::toUtf8(c.bytes, c.charset), c.utf8) << c.charset;
        for (size_t cut = 0; cut <= c.bytes.size(); ++cut) {
            jl::CharsetDecoder decoder(c.charset);
            std::string out;
            decoder.decode(std::string_view(c.bytes).substr(0, cut), out);
            decoder.decode(std::string_view(c.bytes).substr(cut), out);
            decoder.finish(out);
            EXPECT_EQ(out, c.utf8) << c.charset << " cut at " << cut;
        }
    }
}

} // namespace
