#include "util/failure.h"
#include "util/text_helpers.h"

#include "qstring_printer.h"

#include <gtest/gtest.h>

namespace jl {
namespace {

struct FieldCase {
    const char* line;
    const char* separator;
    int n;
    int expected;
};

TEST(FieldParser, ReadsFieldsBetweenSingleSeparators) {
    const FieldCase cases[] = {
        {"815 543 W/H", " ", 1, 815},
        {"815 543 W/H", " ", 2, 543},
        {"815 543 W/H", " ", 3, 0}, // no digits
        {"815 543 W/H", " ", 9, 0}, // past the last field: the last one again
        {"815 543 77", " ", 9, 77},
        {"815 543", " ", 0, 815},
        {"815 543", " ", -4, 815},
        {"1  3", " ", 2, 0}, // two separators enclose an empty field
        {"1  3", " ", 3, 3},
        {" 7", " ", 1, 0},
        {"12,-4,x9", ",", 2, -4},
        {"12,-4,x9", ",", 3, 9},
        {"12ab34ab56", "ab", 2, 34},
        {"1 2 3", "", 2, 123}, // an empty separator never occurs
        {"", " ", 1, 0},
    };
    for (const FieldCase& c : cases)
        EXPECT_EQ(
            Get_Field_As_Integer(QString::fromUtf8(c.line), QString::fromUtf8(c.separator), c.n),
            c.expected)
            << c.line << " field " << c.n;
}

TEST(FieldParser, KeepsDigitsAndOneLeadingSign) {
    const std::pair<const char*, int> cases[] = {
        {"x-12y3", -123},
        {"12-3", 123},
        {"+42", 42},
        {"--5", -5},
        {"-+5", -5},
        {"+-7", 7},
        {"", 0},
        {"abc", 0},
        {"007", 7},
        {"-0", 0},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"00000000000000000000012", 12},
        {"1 000 000", 1000000},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(Parse_Signed_Digits(QString::fromUtf8(text)), expected) << text;
}

TEST(FieldParser, LoneSignAndOverflowFailWithTheReducedText) {
    const std::pair<const char*, const char*> cases[] = {
        {"-", "'-' is not a valid integer value"},
        {"W/H+", "'+' is not a valid integer value"},
        {"+-", "'+' is not a valid integer value"},
        {"2147483648", "'2147483648' is not a valid integer value"},
        {"x-2147483649", "'-2147483649' is not a valid integer value"},
        {"99999999999999999999", "'99999999999999999999' is not a valid integer value"},
    };
    for (const auto& [text, message] : cases) {
        try {
            Parse_Signed_Digits(QString::fromUtf8(text));
            ADD_FAILURE() << "no failure for " << text;
        } catch (const Failure& f) {
            EXPECT_EQ(f.text(), QString::fromUtf8(message));
        }
    }
    EXPECT_THROW(Get_Field_As_Integer(QStringLiteral("1 - 3"), QStringLiteral(" "), 2), Failure);
}

TEST(ReplaceAllText, ReplacesLeftmostAndRescans) {
    struct Case {
        QString subject, search, replacement, expected;
    };
    const QString marker = QString::fromLatin1("\x01\x02\x03\x04\x05\x01", 6);
    const Case cases[] = {
        {"a///b", "//", "/", "a/b"}, // runs collapse
        {"////", "//", "/", "/"},
        {"a//b//c", "//", "/", "a/b/c"},
        {"abc", "b", "bb", "abbc"}, // replacement holds the search: marker path
        {"bbb", "b", "xbx", "xbxxbxxbx"},
        {"aab", "ab", "ba", "baa"}, // a new occurrence formed with the text before
        {"xaabby", "ab", "", "xy"},
        {"abc", "", "zz", "abc"}, // empty search
        {"", "a", "b", ""},
        {"abc", "abc", "", ""},
        {"a.txt.b.txt", ".txt", "", "a.b"},
        {"hello", "l", "L", "heLLo"},
        // A search inside the marker must not recurse for ever.
        {"a\x01"
         "b",
         "\x01", "[\x01]", "a[\x01]b"},
        {"x" + marker + "y", marker, marker + "!", "x" + marker + "!y"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Replace_All_Text(c.subject, c.search, c.replacement), c.expected)
            << c.subject.toStdString() << " / " << c.search.toStdString();
}

TEST(ReplaceAllText, LongRunsStayLinear) {
    // A long run of separators collapses in one go (quadratic work would hang here).
    const QString subject = QStringLiteral("a") + QString(100000, QLatin1Char('/')) + "b";
    EXPECT_EQ(Replace_All_Text(subject, QStringLiteral("//"), QStringLiteral("/")),
              QStringLiteral("a/b"));
    QString many;
    for (int i = 0; i < 50000; ++i)
        many += QStringLiteral("x//");
    EXPECT_EQ(Replace_All_Text(many, QStringLiteral("//"), QStringLiteral("/")).size(), 100000);
}

TEST(PathHelpers, DirectoryWithSeparator) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"/", ""},
        {".", ""},
        {"..", ""},
        {"./", ""},
        {"../", ""},
        {"/data", "/data/"},
        {"/data/", "/data/"},
        {"/data///", "/data/"},
        {"//data//mail", "/data/mail/"},
        {"  /data\t", "/data/"},
        {"rel/dir", "rel/dir/"},
        {"../up", "../up/"},
        {" ", "/"}, // trimmed to nothing, then the separator
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(Directory_With_Separator(QString::fromUtf8(in)), QString::fromUtf8(out)) << in;
}

TEST(PathHelpers, FileNameAndBaseName) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        // path, file name, base name
        {"/tools/prog.exe", "prog.exe", "prog"},
        {"/tools/a.txt.b.txt", "a.txt.b.txt", "a.b"},
        {"/home/u/.profile", ".profile", ""},
        {"/home/u/README", "README", "README"},
        {"name.tar.gz", "name.tar.gz", "name.tar"},
        {"/dir.d/file", "file", "file"},
        {"/dir/", "", ""},
        {"", "", ""},
    };
    for (const auto& [path, name, base] : cases) {
        EXPECT_EQ(Get_File_Name(QString::fromUtf8(path)), QString::fromUtf8(name)) << path;
        EXPECT_EQ(Get_File_Base_Name(QString::fromUtf8(path)), QString::fromUtf8(base)) << path;
    }
}

TEST(PathHelpers, TrimControlRemovesCodesUpTo32) {
    EXPECT_EQ(Trim_Control(QString::fromLatin1("\x01\t a b \r\n\x1f")), QStringLiteral("a b"));
    EXPECT_EQ(Trim_Control(QString::fromLatin1("\x7f"
                                               "x\xa0")),
              QString::fromLatin1("\x7f"
                                  "x\xa0"));
    EXPECT_EQ(Trim_Control(QStringLiteral("   ")), QString());
}

// Strict UTF-8 or, for the whole of the bytes, Windows-1252.
TEST(TextDecoding, Utf8ElseWindows1252) {
    const struct {
        QByteArray bytes;
        QString text;
    } cases[] = {
        {"", ""},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", u"café € \U0001F600"_qs},
        {"\xef\xbb\xbfx", u"\uFEFFx"_qs}, // a mark at the start stays a character
        {"caf\xe9 \x80 \x93x", u"café € \u201cx"_qs},
        {"\x81\x8d\x8f\x90\x9d", u"\u0081\u008d\u008f\u0090\u009d"_qs}, // unassigned
        {"\xc3\xa9\xe9", u"Ã©é"_qs},           // one stray byte: all of it Windows-1252
        {"\xc0\xaf", u"À¯"_qs},                // overlong
        {"\xed\xa0\x80", u"í\u00a0€"_qs},      // a surrogate
        {"\xf4\x90\x80\x80", u"ô\u0090€€"_qs}, // past U+10FFFF
        {"a\xc3", u"aÃ"_qs},                   // cut short
    };
    for (const auto& c : cases)
        EXPECT_EQ(decodeUtf8OrWindows1252(c.bytes), c.text) << c.bytes.toHex().constData();
}

} // namespace
} // namespace jl
