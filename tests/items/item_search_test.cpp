// Whether a Latin-1 text holds any item, asked through the start filter and
// the automaton run from where it lets a place through, against a plain
// search: items of every length, letter case, folds from outside Latin-1,
// items that can never occur, and lists large enough that the filter lets
// many places through by chance.

#include "items/item_matcher.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

// Whether text holds item, comparing case folds character by character.
bool plainContains(const QString& text, const QString& item) {
    if (item.isEmpty())
        return false;
    for (qsizetype start = 0; start + item.size() <= text.size(); ++start) {
        bool same = true;
        for (qsizetype k = 0; k < item.size() && same; ++k)
            same = text[start + k].toCaseFolded() == item[k].toCaseFolded();
        if (same)
            return true;
    }
    return false;
}

bool plainContainsAny(const QString& text, const QStringList& items) {
    for (const QString& item : items)
        if (plainContains(text, item))
            return true;
    return false;
}

bool fastContainsAny(const jl::ItemMatcher& matcher, const QByteArray& latin1) {
    return matcher.containsAnyItem(std::string_view(latin1.constData(), size_t(latin1.size())));
}

TEST(ItemSearch, ListedCases) {
    struct Row {
        const char* what;
        QStringList items;
        QByteArray text;
        bool found;
    };
    const Row rows[] = {
        {"item at the very start", {"spam"}, "spam and more", true},
        {"item at the very end", {"spam"}, "more and SPAM", true},
        {"long item at the very end", {"spammer", "ab"}, "a spammer", true},
        {"item is the whole text", {"SpAm"}, "sPaM", true},
        {"text shorter than every item", {"spammer"}, "spam", false},
        {"text shorter than the filter's bytes", {"spammer", "ab"}, "a", false},
        {"one-character item", {"q", "spammer"}, "the quick fox", true},
        {"prefix of an item is no match", {"casino"}, "casin o", false},
        {"longer item sharing the start", {"casino", "casinoroyale"}, "casino!", true},
        {"only the longer item of a shared start",
         {"casinos", "casinoroyale"},
         "casinoroyal",
         false},
        {"item after a near miss", {"abcd"}, "abcabcabd abcd", true},
        {"overlapping starts", {"aab"}, "aaaaaaab", true},
        {"empty items match nothing", {"", ""}, "anything", false},
        {"no items", {}, "anything", false},
        {"Kelvin sign folds to k", {QStringLiteral("\u212Aey")}, "a KEY here", true},
        {"long s folds to s", {QStringLiteral("\u017Fpam")}, "SPAM", true},
        {"micro sign against Greek mu", {QStringLiteral("\u03BCx")}, "1 \xB5x", true},
        {"Latin-1 letters fold too", {QStringLiteral("caf\u00C9")}, "un caf\xE9", true},
        {"item that cannot occur in Latin-1", {QStringLiteral("\u043F\u0440\u0438")}, "npu", false},
        {"unreachable item beside a short one", {QStringLiteral("\u043F"), "zz"}, "zz", true},
        {"bytes no item holds", {"abcd"}, "\x01\x02\xFF\xFE abcd", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const jl::ItemMatcher matcher(row.items);
        EXPECT_EQ(fastContainsAny(matcher, row.text), row.found);
        EXPECT_EQ(plainContainsAny(QString::fromLatin1(row.text), row.items), row.found);
    }
}

TEST(ItemSearch, RandomTextsAndItemsAgreeWithThePlainSearch) {
    std::mt19937 random(424242);
    auto pick = [&random](int n) { return int(random() % unsigned(n)); };
    // Few letters, so that items share starts and texts come near them often.
    const QString letters = QStringLiteral("abcAB.-") + QChar(0xE9) + QChar(0xC9) + QChar(0x212A) +
                            QChar(0x17F) + QStringLiteral("ks");
    auto word = [&](int shortest, int longest) {
        QString w;
        const int length = shortest + pick(longest - shortest + 1);
        for (int i = 0; i < length; ++i)
            w += letters[pick(int(letters.size()))];
        return w;
    };
    for (int round = 0; round < 3000; ++round) {
        QStringList items;
        const int count = round % 100 == 0 ? 2000 : 1 + pick(12);
        const int shortest = 1 + pick(6);
        for (int i = 0; i < count; ++i)
            items += pick(40) == 0 ? QString() : word(shortest, shortest + pick(8));
        QString text;
        const int words = pick(30);
        for (int w = 0; w < words; ++w)
            text += (pick(5) == 0 ? items[pick(int(items.size()))] : word(1, 9)) + QLatin1Char(' ');
        // Only Latin-1 texts can be asked this way; fold the others into it.
        for (QChar& c : text)
            if (c.unicode() > 255)
                c = QLatin1Char(c == QChar(0x212A) ? 'K' : 's');
        const QByteArray latin1 = text.toLatin1();

        const jl::ItemMatcher matcher(items);
        const bool expected = count > 100 ? matcher.colour(text, jl::ItemsOnly).foundAny
                                          : plainContainsAny(text, items);
        ASSERT_EQ(fastContainsAny(matcher, latin1), expected)
            << "round " << round << " text '" << text.toStdString() << "' items '"
            << items.mid(0, 20).join(QLatin1Char('|')).toStdString() << "'";
        // Every piece of the text is decided alike.
        const qsizetype cut = pick(int(latin1.size()) + 1);
        const QByteArray piece = latin1.mid(cut, pick(20));
        ASSERT_EQ(fastContainsAny(matcher, piece),
                  matcher.colour(QString::fromLatin1(piece), jl::ItemsOnly).foundAny)
            << "round " << round << " piece '" << piece.toStdString() << "'";
    }
}

// Items up to sixty characters long over an alphabet with rare bytes, so
// that the filter knows them by windows and second windows anywhere in their
// first characters, in texts of some thousands of characters that hold them,
// or hold them with one character changed, or cut short.
TEST(ItemSearch, LongItemsInLongTextsAgreeWithThePlainSearch) {
    std::mt19937 random(20261208);
    auto pick = [&random](int n) { return int(random() % unsigned(n)); };
    const QString letters = QStringLiteral("aeEt s.0123@`^_-Q");
    auto word = [&](int length) {
        QString w;
        for (int i = 0; i < length; ++i)
            w += letters[pick(int(letters.size()))];
        return w;
    };
    for (int round = 0; round < 300; ++round) {
        QStringList items;
        const int count = round % 50 == 0 ? 3000 : 1 + pick(40);
        const int shortest = 1 + pick(9);
        for (int i = 0; i < count; ++i)
            items += word(shortest + pick(50));
        QString text;
        while (text.size() < 4000) {
            QString piece = pick(3) == 0 ? items[pick(int(items.size()))] : word(1 + pick(30));
            if (pick(2) == 0 && piece.size() > 1) // a near miss
                piece[pick(int(piece.size()))] = letters[pick(int(letters.size()))];
            else if (pick(4) == 0) // cut short
                piece.chop(1 + pick(int(piece.size())));
            text += piece;
        }
        const jl::ItemMatcher matcher(items);
        const QByteArray latin1 = text.toLatin1();
        ASSERT_EQ(fastContainsAny(matcher, latin1), matcher.colour(text, jl::ItemsOnly).foundAny)
            << "round " << round;
        for (int k = 0; k < 20; ++k) {
            const QByteArray piece = latin1.mid(pick(int(latin1.size())), 1 + pick(120));
            ASSERT_EQ(fastContainsAny(matcher, piece),
                      plainContainsAny(QString::fromLatin1(piece), items))
                << "round " << round << " piece '" << piece.toStdString() << "'";
        }
    }
}

// The automaton is built by the first query that needs it; the batch scan
// asks from several threads at once.
TEST(ItemSearch, ThreadsAskingAFreshMatcherAtOnceGetTheSameAnswers) {
    QStringList items;
    for (int i = 0; i < 3000; ++i)
        items += QStringLiteral("item%1.example").arg(i * 7919 % 100000);
    const QByteArray text = "a line with ITEM0.example and item7919.EXAMPLE in it";
    const std::string_view view(text.constData(), size_t(text.size()));
    const std::vector<bool> expected = jl::ItemMatcher(items).itemsPresent(view);
    ASSERT_EQ(std::count(expected.begin(), expected.end(), true), 2);

    // The search for any item works out the links it meets as it goes, on
    // whichever thread meets them first.
    std::vector<QByteArray> texts;
    texts.reserve(400);
    for (int i = 0; i < 400; ++i)
        texts.push_back("x " + items[(i * 37) % 3000].toLatin1().chopped(i % 3) + " y");
    std::vector<bool> anyExpected;
    {
        const jl::ItemMatcher matcher(items);
        for (const QByteArray& t : texts)
            anyExpected.push_back(fastContainsAny(matcher, t));
    }
    ASSERT_NE(std::count(anyExpected.begin(), anyExpected.end(), true), 0);
    ASSERT_NE(std::count(anyExpected.begin(), anyExpected.end(), false), 0);

    for (int round = 0; round < 5; ++round) {
        const jl::ItemMatcher matcher(items);
        std::vector<std::vector<bool>> anyAnswers(4);
        std::vector<std::thread> searches;
        searches.reserve(anyAnswers.size());
        for (auto& answer : anyAnswers)
            searches.emplace_back([&matcher, &answer, &texts] {
                for (const QByteArray& t : texts)
                    answer.push_back(fastContainsAny(matcher, t));
            });
        for (std::thread& t : searches)
            t.join();
        for (const auto& answer : anyAnswers)
            EXPECT_EQ(answer, anyExpected);

        std::vector<std::vector<bool>> answers(4);
        std::vector<std::thread> threads;
        threads.reserve(answers.size());
        for (auto& answer : answers)
            threads.emplace_back(
                [&matcher, &answer, view] { answer = matcher.itemsPresent(view); });
        for (std::thread& t : threads)
            t.join();
        for (const auto& answer : answers)
            EXPECT_EQ(answer, expected);
    }
}

} // namespace
