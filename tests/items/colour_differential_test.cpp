// Colour coding: the one-pass matcher against a plain, search-by-search
// procedure (caret, find, paint) that finds as the view's own find does, on
// random texts and item lists (characters outside the Basic Multilingual
// Plane included), plus the listed cases as plain tests.

#include "items/item_matcher.h"
#include "view/message_reader.h"
#include "view/selection_expansion.h"

#include "support/temp_folder.h"

#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using jl::ColourResult;
using jl::ColourSpan;
using jl::TextColour;

// The procedure as the view runs it: colour everything default, then each
// search finds from the caret, paints the match and puts the caret after it.
// The find is the view's: a case-insensitive search from the caret to the end.
class PlainView {
public:
    explicit PlainView(const QString& text)
        : m_text(text), m_colour(size_t(text.size()), TextColour::Default) {}

    int find(const QString& what, int from) const {
        const qsizetype at = QStringView(m_text).mid(from).indexOf(what, 0, Qt::CaseInsensitive);
        return at < 0 ? -1 : from + int(at);
    }

    bool colourAllOccurrences(const QString& search, TextColour colour) {
        if (search.isEmpty())
            return false;
        m_caret = 0;
        bool found = false;
        for (;;) {
            const int at = find(search, m_caret);
            if (at < 0)
                return found;
            for (int k = 0; k < search.size(); ++k)
                m_colour[size_t(at) + size_t(k)] = colour;
            m_caret = at + int(search.size());
            found = true;
        }
    }

    ColourResult colourCode(const QStringList& items, int option) {
        std::fill(m_colour.begin(), m_colour.end(), TextColour::Default);
        m_caret = 0;
        if (option == 1 || option == 3) {
            colourAllOccurrences(QStringLiteral("RECEIVED:"), TextColour::Blue);
            colourAllOccurrences(QStringLiteral("MESSAGE-ID:"), TextColour::Green);
        }
        bool foundAny = false;
        if (option == 2 || option == 3)
            for (const QString& item : items)
                if (colourAllOccurrences(item, TextColour::Red))
                    foundAny = true;
        ColourResult r;
        r.foundAny = foundAny;
        r.caret = m_caret;
        for (int i = 0; i < int(m_colour.size()); ++i) {
            const TextColour c = m_colour[size_t(i)];
            if (c == TextColour::Default)
                continue;
            if (!r.spans.empty() && r.spans.back().colour == c &&
                r.spans.back().start + r.spans.back().length == i)
                ++r.spans.back().length;
            else
                r.spans.push_back({i, 1, c});
        }
        return r;
    }

private:
    QString m_text;
    std::vector<TextColour> m_colour;
    int m_caret = 0;
};

void expectSame(const ColourResult& fast, const ColourResult& plain) {
    EXPECT_EQ(fast.spans, plain.spans);
    EXPECT_EQ(fast.foundAny, plain.foundAny);
    EXPECT_EQ(fast.caret, plain.caret);
}

TEST(ColourDifferential, RandomTextsAndItemsAgreeWithThePlainProcedure) {
    // Characters, some of them two units: Deseret, Osage and Old Hungarian
    // letters in both cases, a mathematical letter and an emoji (no case).
    QStringList alphabet;
    for (QChar c : QStringLiteral("aAb-:\nRECIVDMSGrecivdmsg\u00DF\u00C9\u00E9\u212A\u03BC\u00B5"))
        alphabet.append(QString(c));
    for (char32_t c : {U'\U00010400', U'\U00010428', U'\U000104B0', U'\U000104D8', U'\U00010C80',
                       U'\U00010CC0', U'\U0001D400', U'\U0001F600'})
        alphabet.append(QString::fromUcs4(&c, 1));
    const QStringList seeds = {QStringLiteral("RECEIVED:"),     QStringLiteral("MESSAGE-ID:"),
                               QStringLiteral("received"),      QStringLiteral("ID:"),
                               QStringLiteral("Message-Id: x"), QStringLiteral("d:")};
    std::mt19937 rng(20240611);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    auto randomText = [&](int maxLen, const QStringList& from) {
        QString s;
        const int len = pick(maxLen + 1);
        for (int i = 0; i < len; ++i)
            s.append(from[pick(int(from.size()))]);
        return s;
    };
    const QStringList small = {"a", "A", "b", "-", ":", QString::fromUcs4(U"\U00010428")};

    for (int round = 0; round < 10000; ++round) {
        // Texts often hold whole labels so that items and labels overlap.
        QString text;
        const int parts = pick(8);
        for (int p = 0; p < parts; ++p)
            text += pick(3) == 0 ? seeds[pick(int(seeds.size()))] : randomText(12, alphabet);

        QStringList items;
        const int count = pick(7);
        for (int i = 0; i < count; ++i) {
            switch (pick(6)) {
            case 0:
                items.append(QString()); // empty items match nothing
                break;
            case 1:
                items.append(randomText(3, small));
                break;
            case 2: { // a part of a label or of the text
                const QString& src = pick(2) ? seeds[pick(int(seeds.size()))] : text;
                if (src.isEmpty()) {
                    items.append(QStringLiteral("a"));
                    break;
                }
                // Whole characters only, as the selection gives them.
                int from = pick(int(src.size()));
                int to = from + 1 + pick(int(src.size()) - from);
                from -= jl::Splits_Character(src, from) ? 1 : 0;
                to += jl::Splits_Character(src, to) ? 1 : 0;
                items.append(src.mid(from, to - from));
                break;
            }
            case 3: // a duplicate in another case
                items.append(items.isEmpty() ? QStringLiteral("Ab")
                                             : items[pick(int(items.size()))].toUpper());
                break;
            default:
                items.append(randomText(4, alphabet));
            }
        }

        // Fully dense rows, and rows for the root only (every other state
        // through its edges and failure link).
        const jl::ItemMatcher matcher(items);
        const jl::ItemMatcher sparse(items, 0);
        for (int option = 0; option < 4; ++option) {
            SCOPED_TRACE(testing::Message() << "round " << round << " option " << option
                                            << " text '" << text.toStdString() << "' items '"
                                            << items.join(QLatin1Char('|')).toStdString() << "'");
            const ColourResult plain = PlainView(text).colourCode(items, option);
            expectSame(matcher.colour(text, option), plain);
            expectSame(sparse.colour(text, option), plain);
            if (option == 2) {
                EXPECT_EQ(matcher.containsAnyItem(text), plain.foundAny);
                bool latin1 = true;
                for (QChar c : text)
                    latin1 = latin1 && c.unicode() < 256;
                if (latin1) {
                    const QByteArray bytes = text.toLatin1();
                    const std::string_view view(bytes.constData(), size_t(bytes.size()));
                    EXPECT_EQ(matcher.containsAnyItem(view), plain.foundAny);
                    EXPECT_EQ(sparse.containsAnyItem(view), plain.foundAny);
                    const std::vector<bool> present = matcher.itemsPresent(view);
                    for (qsizetype i = 0; i < items.size(); ++i)
                        EXPECT_EQ(present[size_t(i)],
                                  PlainView(text).colourAllOccurrences(items[i], TextColour::Red));
                }
            }
            if (HasFailure())
                return;
        }
    }
}

TEST(ColourDifferential, RealItemsOnRealMessagesAgreeWithThePlainProcedure) {
    const QString corpus = jl::test::corpusDir();
    if (corpus.isEmpty())
        GTEST_SKIP() << "no corpus";
    QFile list(corpus + QStringLiteral("items/items-1000.txt"));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    const QStringList items =
        QString::fromLatin1(list.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(items.size(), 1000);

    // About 20,000 characters of view text from the start of the corpus.
    jl::ViewTextBuilder view(20000);
    jl::ReaderHooks hooks;
    hooks.filter = [] { return 2; };
    QDirIterator it(corpus + QStringLiteral("spam-assassin-public"), QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext() && !view.wasCut())
        jl::Load_File_Into_View(it.next(), view, hooks);
    const QString text = view.toQString();

    const jl::ItemMatcher dense(items, size_t{1} << 30);
    const jl::ItemMatcher sparse(items, 0);
    const jl::ItemMatcher mixed(items, size_t{64} * 1024);
    for (int option = 1; option < 4; ++option) {
        SCOPED_TRACE(option);
        const ColourResult plain = PlainView(text).colourCode(items, option);
        expectSame(dense.colour(text, option), plain);
        expectSame(sparse.colour(text, option), plain);
        expectSame(mixed.colour(text, option), plain);
        EXPECT_FALSE(plain.spans.empty());
    }
    EXPECT_LT(sparse.memoryBytes(), dense.memoryBytes());
}

struct EdgeCase {
    const char* name;
    QString text;
    QStringList items;
    int option;
    std::vector<ColourSpan> spans;
    bool foundAny;
    int caret;
};

TEST(ColourCoding, ListedCases) {
    const QString withItem = QStringLiteral("Received: from spam.example\nMessage-ID: <1@x>\n");
    const std::vector<EdgeCase> cases = {
        {"option 0 leaves everything default and the flag cleared",
         withItem,
         {QStringLiteral("spam")},
         0,
         {},
         false,
         0},
        {"option 1 colours received: in any case, anywhere; the flag stays cleared",
         QStringLiteral("X-Received: a\nbody says rECeived: too\nMessage-Id: b"),
         {QStringLiteral("a")},
         1,
         {{2, 9, TextColour::Blue}, {24, 9, TextColour::Blue}, {38, 11, TextColour::Green}},
         false,
         49},
        {"an item is red at every occurrence",
         QStringLiteral("abc ABC aBc"),
         {QStringLiteral("abc")},
         2,
         {{0, 3, TextColour::Red}, {4, 3, TextColour::Red}, {8, 3, TextColour::Red}},
         true,
         11},
        {"an empty items list under option 2 clears the flag", withItem, {}, 2, {}, false, 0},
        {"an empty item matches nothing and keeps the caret of the search before it",
         QStringLiteral("xx ab xx"),
         {QStringLiteral("ab"), QString()},
         2,
         {{3, 2, TextColour::Red}},
         true,
         5},
        {"non-overlapping matches: aa twice in aaaa",
         QStringLiteral("aaaa"),
         {QStringLiteral("aa")},
         2,
         {{0, 4, TextColour::Red}},
         true,
         4},
        {"non-overlapping matches: aa once in aaa",
         QStringLiteral("aaa"),
         {QStringLiteral("aa")},
         2,
         {{0, 2, TextColour::Red}},
         true,
         2},
        {"an item over part of a label turns those characters red",
         QStringLiteral("Received: x"),
         {QStringLiteral("ived")},
         3,
         {{0, 4, TextColour::Blue}, {4, 4, TextColour::Red}, {8, 1, TextColour::Blue}},
         true,
         8},
        {"the caret follows the last search made even when it found nothing",
         QStringLiteral("ab cd"),
         {QStringLiteral("ab"), QStringLiteral("zz")},
         2,
         {{0, 2, TextColour::Red}},
         true,
         0},
        {"option 3 without items leaves the caret after the last Message-ID",
         QStringLiteral("message-id: a MESSAGE-ID: b"),
         {},
         3,
         {{0, 11, TextColour::Green}, {14, 11, TextColour::Green}},
         false,
         25},
        {"an empty view", QString(), {QStringLiteral("a")}, 3, {}, false, 0},
        {"a letter outside the Basic Multilingual Plane matches its other case",
         QStringLiteral("x \U00010428\U00010400"),
         {QStringLiteral("\U00010400")},
         2,
         {{2, 4, TextColour::Red}},
         true,
         6},
    };
    for (const EdgeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ColourResult r = jl::ItemMatcher(c.items).colour(c.text, c.option);
        EXPECT_EQ(r.spans, c.spans);
        EXPECT_EQ(r.foundAny, c.foundAny);
        EXPECT_EQ(r.caret, c.caret);
        expectSame(r, PlainView(c.text).colourCode(c.items, c.option));
    }
}

TEST(ColourCoding, FoldingACharacterKeepsItsFirstUnit) {
    // The matcher folds a two-unit character whole and compares unit by
    // unit; the view's find compares the first unit as it stands and the
    // second folded with it. The two agree because no case fold moves a
    // character to another block of 1,024.
    for (char32_t c = 0x10000; c <= 0x10FFFF; ++c) {
        const char32_t folded = QChar::toCaseFolded(c);
        ASSERT_GE(folded, 0x10000u) << uint32_t(c);
        ASSERT_EQ(QChar::highSurrogate(folded), QChar::highSurrogate(c)) << uint32_t(c);
    }
}

TEST(ColourCoding, LatinOneQueriesIgnoreItemsThatCannotOccurInFileText) {
    const jl::ItemMatcher matcher({QStringLiteral("\u043F\u0440\u0438"), QString(),
                                   QStringLiteral("SPAM"), QStringLiteral("k\u00E9"),
                                   QStringLiteral("\u212Aey")});
    const QByteArray text = "this is spam for KEY holders";
    const std::string_view view(text.constData(), size_t(text.size()));
    EXPECT_TRUE(matcher.containsAnyItem(view));
    EXPECT_EQ(matcher.itemsPresent(view), (std::vector<bool>{false, false, true, false, true}));
    const jl::ItemMatcher cyrillicOnly({QStringLiteral("\u043F\u0440\u0438")});
    EXPECT_FALSE(cyrillicOnly.containsAnyItem(view));
    EXPECT_TRUE(cyrillicOnly.containsAnyItem(QStringLiteral("\u041F\u0420\u0418")));
}

} // namespace
