// Inputs the fuzz targets found wrong handling for, kept as plain cases.

#include "util/ini_file.h"
#include "util/list_file.h"
#include "view/message_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A view at its cap must not grow by the separators of empty lines: a file
// that fills the view and then holds millions of line ends would otherwise
// grow the text by one character per line end, whatever the cap.
TEST(FuzzFindings, ViewCapHoldsForEmptyLines) {
    struct Row {
        const char* what;
        qsizetype cap;
        std::vector<std::string> lines;
        std::string text; // before the cut note, if any
        bool cut;
    };
    const Row rows[] = {
        {"two empty lines, cap 0", 0, {"", ""}, "", true},
        {"one empty line, cap 0", 0, {""}, "", false},
        {"full view, then an empty line", 4, {"abcd", ""}, "abcd", true},
        {"full view, then many empty lines", 4, {"abcd", "", "", "", "", ""}, "abcd", true},
        {"exactly full with a separator", 5, {"abcd", ""}, "abcd\n", false},
        {"one short of full", 6, {"abcd", "", "x"}, "abcd\n", true},
    };
    const std::string note = " *** The view was cut here";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        jl::ViewTextBuilder view(row.cap);
        for (const std::string& line : row.lines)
            view.appendLine(line);
        EXPECT_EQ(view.wasCut(), row.cut);
        if (!row.cut) {
            EXPECT_EQ(view.text(), row.text);
            continue;
        }
        const size_t at = view.text().find(note);
        ASSERT_NE(at, std::string::npos);
        const std::string kept = view.text().substr(0, at);
        EXPECT_LE(qsizetype(kept.size()), row.cap + 1); // the text and the note's separator
        EXPECT_EQ(kept.substr(0, row.text.size()), row.text);
    }
}

TEST(FuzzFindings, ReaderOnAFullViewStopsAtEmptyLines) {
    // Under "all text" every line end adds two view lines: an empty line and
    // the line. The first line fills the view exactly ("" + "\n" + 99 x);
    // the empty lines after it cut the view instead of piling up.
    jl::ViewTextBuilder view(100);
    jl::LineFilter filter(view, [] { return int(jl::AllText); });
    const std::string bytes = std::string(99, 'x') + std::string(100000, '\r');
    filter.feed(bytes.data(), bytes.size());
    filter.finish();
    EXPECT_TRUE(view.wasCut());
    EXPECT_LT(view.text().size(), 200u);
}

// A U+FEFF that begins an entry is kept when it is not at the start of the
// file, also in a file that mixes UTF-8 and 8-bit lines.
TEST(FuzzFindings, ListFileKeepsZeroWidthNoBreakSpaceInsideTheFile) {
    const QString feff(QChar(0xFEFF));
    struct Row {
        const char* what;
        QByteArray bytes;
        QStringList entries;
    };
    const Row rows[] = {
        {"UTF-8 file", "a\r\n\xEF\xBB\xBFz\r\n", {"a", feff + "z"}},
        {"mixed file",
         "caf\xE9\r\n\xEF\xBB\xBFz\r\n",
         {QString::fromUtf8("caf\xC3\xA9"), feff + "z"}},
        {"mark at the start of a UTF-8 file",
         "\xEF\xBB\xBF"
         "a\r\n",
         {"a"}},
        {"mark at the start of a mixed file",
         "\xEF\xBB\xBF"
         "a\r\nb\xE9\r\n",
         {"a", QString::fromUtf8("b\xC3\xA9")}},
        {"mark alone", "\xEF\xBB\xBF", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(jl::decodeListFile(row.bytes), row.entries);
    }
    // Written and read back, such an entry stays, except in first place.
    const QStringList entries = {"a", feff + "b"};
    EXPECT_EQ(jl::decodeListFile(jl::encodeListFile(entries)), entries);
}

// In a file that ends its first line with a lone CR, a key line written in
// front of an empty line that ends in LF must not join with it into one
// CR LF: the empty line would be lost.
TEST(FuzzFindings, IniKeepsAnEmptyLineAfterAWrittenKey) {
    jl::IniFile ini = jl::IniFile::fromBytes("; cr\r[Junkloupe]\r\na=1\r\n\nb\n");
    ini.writeString("Junkloupe", "k", "v");
    const QByteArray bytes = ini.toBytes();
    EXPECT_EQ(bytes, "; cr\r[Junkloupe]\r\na=1\r\nk=v\r\n\nb\n");
    const jl::IniFile back = jl::IniFile::fromBytes(bytes);
    EXPECT_EQ(back.readString("Junkloupe", "k"), "v");
    EXPECT_EQ(back.toBytes(), bytes);
}

} // namespace
