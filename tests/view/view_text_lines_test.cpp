// A view text that is only counted, not kept, takes exactly the lines a kept
// one holds, cut notes included, under each of its caps: the batch scan
// searches those lines instead of the text the window shows.

#include "view/message_reader.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

class LineRecorder : public jl::ViewTextBuilder {
public:
    LineRecorder(qsizetype cap, qsizetype lineCap, int maxLines, Keep keep = Keep::Nothing)
        : ViewTextBuilder(cap, keep, lineCap, maxLines) {}
    std::vector<std::string> lines;

protected:
    void took(std::string_view line) override { lines.emplace_back(line); }
};

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i)
        text += (i > 0 ? "\n" : "") + lines[i];
    return text;
}

TEST(ViewTextCounted, TakesTheLinesTheKeptTextHolds) {
    const std::string longLine(50, 'x');
    constexpr qsizetype anyLine = jl::ViewTextBuilder::DefaultLineCap;
    constexpr int anyCount = jl::ViewTextBuilder::DefaultMaxLines;
    struct Row {
        const char* what;
        qsizetype cap;
        std::vector<std::string> lines;
        qsizetype lineCap = anyLine;
        int maxLines = anyCount;
    };
    const Row rows[] = {
        {"all fit", 100, {"a", "", "bc", "def"}},
        {"exactly at the cap", 6, {"ab", "", "cd"}},
        {"line cut in the middle", 20, {"first", longLine, "never"}},
        {"separator is the last character", 6, {"abcde", "z"}},
        {"empty lines at the cap", 3, {"abc", "", "", ""}},
        {"first line already too long", 10, {longLine, "more"}},
        {"no room at all", 0, {"a"}},
        {"long lines cut, the text goes on", 1000, {"a", longLine, "b", longLine, "c"}, 10},
        {"a cut line's note reaches the cap", 70, {longLine, "b", "c"}, 10},
        {"a line at the line cap is whole", 1000, {std::string(10, 'y'), "b"}, 10},
        {"the line count reaches its cap", 1000, {"a", "", "b", "c"}, anyLine, 2},
        {"no line at all", 1000, {"", "a"}, anyLine, 0},
        {"cut lines count as lines", 1000, {longLine, "a", "b"}, 10, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        jl::ViewTextBuilder kept(row.cap, jl::ViewTextBuilder::Keep::Text, row.lineCap,
                                 row.maxLines);
        LineRecorder counted(row.cap, row.lineCap, row.maxLines);
        for (const std::string& line : row.lines) {
            EXPECT_EQ(counted.room(), kept.room());
            EXPECT_EQ(counted.full(), kept.full());
            kept.appendLine(line);
            counted.appendLine(line);
        }
        EXPECT_EQ(joined(counted.lines), kept.text());
        EXPECT_EQ(counted.lineCount(), kept.lineCount());
        EXPECT_EQ(counted.wasCut(), kept.wasCut());
        EXPECT_EQ(counted.cutLines(), kept.cutLines());
        EXPECT_TRUE(counted.text().empty());
    }
}

// Lines handed on in groups (empty lines around a line, as the line table
// makes them) give the text, the counts and the lines taken that the same
// lines handed on one by one give, near every cap.
TEST(ViewTextCounted, GroupsOfLinesEqualTheLinesOneByOne) {
    std::mt19937 random(20261207);
    auto pick = [&random](int n) { return int(random() % unsigned(n)); };
    for (int round = 0; round < 400; ++round) {
        const qsizetype cap = pick(300);
        const qsizetype lineCap = 1 + pick(80);
        const int maxLines = pick(40);
        SCOPED_TRACE(testing::Message()
                     << "cap " << cap << ", line cap " << lineCap << ", lines " << maxLines);
        for (const auto keep :
             {jl::ViewTextBuilder::Keep::Text, jl::ViewTextBuilder::Keep::Nothing}) {
            LineRecorder grouped(cap, lineCap, maxLines, keep);
            LineRecorder single(cap, lineCap, maxLines, keep);
            for (int group = 0; group < 20; ++group) {
                const int before = pick(2);
                const int after = pick(2) * 2;
                const std::string line(size_t(pick(4) == 0 ? pick(120) : pick(12)), 'a');
                grouped.appendLines(before, line, after);
                for (int i = 0; i < before; ++i)
                    single.appendLine({});
                single.appendLine(line);
                for (int i = 0; i < after; ++i)
                    single.appendLine({});
                ASSERT_EQ(grouped.lines, single.lines);
                ASSERT_EQ(grouped.text(), single.text());
                ASSERT_EQ(grouped.lineCount(), single.lineCount());
                ASSERT_EQ(grouped.room(), single.room());
                ASSERT_EQ(grouped.wasCut(), single.wasCut());
                ASSERT_EQ(grouped.cutLines(), single.cutLines());
            }
        }
    }
}

} // namespace
