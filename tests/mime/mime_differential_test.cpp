// The MIME decoder against an independent one: Python's standard email
// package (policy.default, get_content(); tests/mime/email_text_parts.py)
// over every message of the corpus. Every text part must decode to the same
// text once line ends are made alike (and a run of U+FFFD counts as one: how
// many stand for one bad sequence is the codec's affair). Where the two differ
// by choice, the difference must be one of the cases named below, each
// checked by a rule of its own; any other difference fails.

#include "mime/charset_decoder.h"
#include "mime/mime_decoder.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Every way the two decoders differ by choice, and which result we keep.
enum class Choice {
    UnknownCharset,
    EightBitWithoutCharset,
    CharsetTables,
    LoneCr,
    InvalidQuotedPrintable,
    FieldWithoutColon,
    Base64WithText,
    Unclosed,
    BoundaryNotFound,
    BoundaryInsidePart,
    NoHeader,
};

const std::map<Choice, const char*> kChoices = {
    {Choice::UnknownCharset,
     "a charset nobody knows (iso-7163-9, %CHARSET, unknown-8bit): Python refuses the part; "
     "we read it as UTF-8, so its text can be read and scanned"},
    {Choice::EightBitWithoutCharset,
     "8-bit bytes in a part without a charset or under us-ascii: Python reads ASCII and "
     "replaces every other byte; we read UTF-8, so UTF-8 sent under the wrong label keeps its "
     "characters (the ASCII of both is the same)"},
    {Choice::CharsetTables,
     "a legacy charset read by another table (gb2312, big5, ks_c_5601-1987): where Python's "
     "table lacks a pair it replaces the lead byte and reads the trail byte as a letter; the "
     "system's iconv reads the superset the senders meant (GBK, CP949) and makes fewer "
     "replacement characters and no stray letters: we keep iconv's"},
    {Choice::LoneCr,
     "a lone CR in a body: Python's parser breaks the line there, so a CR before a soft line "
     "break becomes a line of its own; GMime keeps the CR where it stands (the view ends a line "
     "at a CR either way): we keep GMime's"},
    {Choice::InvalidQuotedPrintable,
     "an '=' that starts no quoted-printable escape (\"==3D\"): both keep it but resume after "
     "it differently; GMime keeps every '=' of the file: we keep GMime's"},
    {Choice::FieldWithoutColon,
     "a header line without a colon: Python ends the header there and reads the rest as the "
     "body; GMime reads on to the blank line (the line still stands in the decoded text, where "
     "it was): we keep GMime's"},
    {Choice::Base64WithText,
     "a base64 body followed by plain text (a mailing list's footer): Python gives up and "
     "hands out the base64 undecoded; GMime decodes it and passes over what is no base64: we "
     "keep GMime's, whose text can be read"},
    {Choice::Unclosed,
     "a multipart that the file ends inside (no closing boundary): Python leaves the last line "
     "end out of the last part, GMime keeps it as the file has it: we keep GMime's"},
    {Choice::BoundaryNotFound,
     "a boundary Python does not find (unquoted and holding '='): Python reads no part; GMime "
     "finds the parts and decodes them: we keep GMime's"},
    {Choice::BoundaryInsidePart,
     "boundary lines of an outer part inside an inner one: the two split the body differently; "
     "we keep GMime's"},
    {Choice::NoHeader,
     "a file with no header field: Python reads it whole as a plain text body; GMime finds no "
     "message, so the decoded text is the file as it stands: the same text"},
};

struct PythonPart {
    std::string type;
    std::string charset;
    std::optional<std::string> text; // none: Python could not decode it
    std::string error;
};

struct PythonMessage {
    std::vector<std::string> defects;
    std::vector<PythonPart> parts;
    std::string error;
    bool hasDefect(const char* name) const {
        return std::find(defects.begin(), defects.end(), name) != defects.end();
    }
};

struct OurPart {
    std::string charset;
    std::string encoding;
    std::string raw; // the part's body in the file
    std::string text;
};

std::string normalised(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    static constexpr std::string_view replacement = "\xEF\xBF\xBD";
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out.push_back('\n');
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (text.substr(i, 3) == replacement) {
            if (out.size() < 3 || std::string_view(out).substr(out.size() - 3) != replacement)
                out.append(replacement);
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::string without(std::string_view text, std::string_view drop) {
    std::string out;
    for (const char c : text)
        if (drop.find(c) == std::string_view::npos)
            out.push_back(c);
    return out;
}

std::string asciiOf(std::string_view text) {
    std::string out;
    for (const char c : normalised(text))
        if (static_cast<unsigned char>(c) < 0x80)
            out.push_back(c);
    return out;
}

size_t replacements(std::string_view text) {
    size_t n = 0;
    for (size_t at = text.find("\xEF\xBF\xBD"); at != std::string_view::npos;
         at = text.find("\xEF\xBF\xBD", at + 3))
        ++n;
    return n;
}

bool isSubsequence(std::string_view part, std::string_view whole) {
    size_t j = 0;
    for (size_t i = 0; i < whole.size() && j < part.size(); ++i)
        if (whole[i] == part[j])
            ++j;
    return j == part.size();
}

bool hasLoneCr(std::string_view raw) {
    for (size_t i = 0; i < raw.size(); ++i)
        if (raw[i] == '\r' && (i + 1 == raw.size() || raw[i + 1] != '\n'))
            return true;
    return false;
}

bool hasInvalidEscape(std::string_view raw) {
    auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '=')
            continue;
        const bool lineEnd = i + 1 == raw.size() || raw[i + 1] == '\n' || raw[i + 1] == '\r';
        if (!lineEnd && !(i + 2 < raw.size() && hex(raw[i + 1]) && hex(raw[i + 2])))
            return true;
    }
    return false;
}

std::string lower(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Why a text part decodes differently, if by one of the named choices.
std::optional<Choice> explainPart(const PythonMessage& message, const PythonPart& theirs,
                                  const OurPart& ours) {
    const std::string charset = lower(ours.charset);
    if (!theirs.text)
        return theirs.error.rfind("LookupError", 0) == 0 && !jl::CharsetDecoder(charset).known()
                   ? std::optional(Choice::UnknownCharset)
                   : std::nullopt;
    const std::string a = normalised(*theirs.text);
    const std::string b = normalised(ours.text);
    if (hasLoneCr(ours.raw) && without(a, "\n") == without(b, "\n"))
        return Choice::LoneCr;
    auto trimmed = [](std::string text) {
        text.erase(text.find_last_not_of('\n') + 1);
        return text;
    };
    if (ours.encoding == "base64" && without(a, "\n") == without(normalised(ours.raw), "\n"))
        return Choice::Base64WithText;
    if (message.hasDefect("CloseBoundaryNotFoundDefect") && trimmed(a) == trimmed(b))
        return Choice::Unclosed;
    if (message.hasDefect("MissingHeaderBodySeparatorDefect") &&
        a.ends_with(b.substr(std::min(b.find_first_not_of('\n'), b.size()))))
        return Choice::FieldWithoutColon;
    if (ours.encoding == "quoted-printable" && hasInvalidEscape(ours.raw) &&
        without(a, "=\n") == without(b, "=\n"))
        return Choice::InvalidQuotedPrintable;
    const bool unlabelled = charset.empty() || charset == "us-ascii" || charset == "ascii";
    if (unlabelled && asciiOf(a) == asciiOf(b))
        return Choice::EightBitWithoutCharset;
    if (!unlabelled && replacements(b) <= replacements(a) && isSubsequence(asciiOf(b), asciiOf(a)))
        return Choice::CharsetTables;
    return std::nullopt;
}

// Why the two find different text parts, if by one of the named choices.
std::optional<Choice> explainParts(const PythonMessage& message) {
    if (message.hasDefect("StartBoundaryNotFoundDefect"))
        return Choice::BoundaryNotFound;
    if (message.hasDefect("CloseBoundaryNotFoundDefect"))
        return Choice::BoundaryInsidePart;
    if (message.hasDefect("MissingHeaderBodySeparatorDefect"))
        return Choice::NoHeader;
    return std::nullopt;
}

std::vector<OurPart> ourTextParts(const QString& path) {
    std::vector<OurPart> parts;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return parts;
    }
    jl::MimeDecoder decoder(fd, qint64(info.st_size));
    for (size_t i = 0; i < decoder.pieces().size(); ++i) {
        const jl::MimeDecoder::Piece& piece = decoder.pieces()[i];
        // GMime's message/* parts that are no messages are Python's blocks.
        if (piece.kind != jl::MimeDecoder::PieceKind::Text ||
            lower(piece.mimeType).rfind("message/", 0) == 0)
            continue;
        OurPart part{piece.charset, piece.encoding, {}, {}};
        part.raw.resize(size_t(piece.end - piece.begin));
        EXPECT_EQ(::pread(fd, part.raw.data(), part.raw.size(), off_t(piece.begin)),
                  ssize_t(part.raw.size()));
        decoder.writeText(i, [&](std::string_view text) {
            part.text += text;
            return true;
        });
        parts.push_back(std::move(part));
    }
    ::close(fd);
    return parts;
}

PythonMessage pythonMessage(const QJsonObject& object) {
    PythonMessage message;
    message.error = object.value("error").toString().toStdString();
    for (const QJsonValue defect : object.value("defects").toArray())
        message.defects.push_back(defect.toString().toStdString());
    for (const QJsonValue value : object.value("parts").toArray()) {
        const QJsonObject entry = value.toObject();
        PythonPart part;
        part.type = entry.value("type").toString().toStdString();
        part.charset = entry.value("charset").toString().toStdString();
        if (entry.contains("text"))
            part.text = entry.value("text").toString().toStdString();
        part.error = entry.value("error").toString().toStdString();
        message.parts.push_back(std::move(part));
    }
    return message;
}

QStringList corpusMessages(const QString& corpus) {
    QFile manifest(corpus + "/MANIFEST.tsv");
    QStringList paths;
    if (!manifest.open(QIODevice::ReadOnly))
        return paths;
    manifest.readLine(); // the column names
    while (!manifest.atEnd()) {
        const QByteArray line = manifest.readLine();
        const qsizetype tab = line.indexOf('\t');
        if (tab > 0)
            paths << corpus + '/' + QString::fromUtf8(line.left(tab));
    }
    return paths;
}

TEST(MimeDifferential, EveryCorpusTextPartAsPythonsEmailPackageReadsIt) {
    const QString corpus = QStringLiteral(JUNKLOUPE_CORPUS_DIR);
    const QStringList paths = corpusMessages(corpus);
    if (paths.isEmpty())
        GTEST_SKIP() << "no corpus at " << corpus.toStdString();
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        GTEST_SKIP() << "python3 is not installed (scripts/install-deps.sh installs it)";

    QProcess process;
    process.start(python, {QStringLiteral(JUNKLOUPE_MIME_SCRIPT)});
    ASSERT_TRUE(process.waitForStarted());
    process.write((paths.join('\n') + '\n').toUtf8());
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForFinished(600'000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const QList<QByteArray> lines = process.readAllStandardOutput().split('\n');

    std::map<Choice, int> chosen;
    int same = 0, compared = 0, unexplained = 0;
    auto report = [&](const QString& path, const std::string& what) {
        if (++unexplained <= 10)
            ADD_FAILURE() << path.toStdString() << ": " << what;
    };
    for (const QByteArray& line : lines) {
        if (line.isEmpty())
            continue;
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        const QString path = object.value("path").toString();
        const PythonMessage theirs = pythonMessage(object);
        if (!theirs.error.empty()) {
            report(path, "Python could not read it: " + theirs.error);
            continue;
        }
        const std::vector<OurPart> ours = ourTextParts(path);
        if (ours.size() != theirs.parts.size()) {
            if (const std::optional<Choice> choice = explainParts(theirs))
                ++chosen[*choice];
            else
                report(path, "Python finds " + std::to_string(theirs.parts.size()) +
                                 " text parts, we find " + std::to_string(ours.size()));
            continue;
        }
        for (size_t i = 0; i < ours.size(); ++i) {
            ++compared;
            const PythonPart& part = theirs.parts[i];
            if (part.text && normalised(*part.text) == normalised(ours[i].text)) {
                ++same;
            } else if (const std::optional<Choice> choice = explainPart(theirs, part, ours[i])) {
                ++chosen[*choice];
            } else {
                const std::string a = normalised(part.text.value_or(part.error));
                const std::string b = normalised(ours[i].text);
                const size_t at = size_t(
                    std::mismatch(a.begin(), a.begin() + qsizetype(std::min(a.size(), b.size())),
                                  b.begin())
                        .first -
                    a.begin());
                const size_t from = at > 40 ? at - 40 : 0;
                report(path, "part " + std::to_string(i + 1) + " (" + part.type + ", charset '" +
                                 part.charset + "') differs:\n  Python: " + a.substr(from, 100) +
                                 "\n  ours:   " + b.substr(from, 100));
            }
        }
    }
    EXPECT_EQ(unexplained, 0);
    // The named choices must stay exceptions.
    EXPECT_GE(same * 100, compared * 95) << same << " of " << compared << " parts the same";
    std::printf("%d of %d text parts decode the same; by choice:\n", same, compared);
    for (const auto& [choice, count] : chosen)
        std::printf("  %4d  %s\n", count, kChoices.at(choice));
}

} // namespace
