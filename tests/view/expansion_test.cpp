// Selection expansion: the item characters, the listed cases, and the direct
// computation against the caret walk that the view itself would make.

#include "view/selection_expansion.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <random>

namespace {

using jl::SelectionRange;

TEST(ItemCharacters, ExactlyTheTable) {
    QString members;
    for (int u = 0; u < 0x180; ++u)
        if (jl::Is_Item_Character(QChar(char16_t(u))))
            members.append(QChar(char16_t(u)));
    EXPECT_EQ(members, QStringLiteral("-.0123456789@ABCDEFGHIJKLMNOPQRSTUVWXYZ_"
                                      "abcdefghijklmnopqrstuvwxyz"));
}

TEST(Expansion, ListedCases) {
    struct Case {
        const char* name;
        QString text;
        int caret;
        QString selected; // the expected selection text
        SelectionRange range;
    };
    const QString header = QStringLiteral("Received: from <joe.b-x_1@mail.ex-ample.org> (x)");
    const std::vector<Case> cases = {
        {"inside a header label", header, 3, QStringLiteral("Received"), {0, 8}},
        {"inside a word before a bracket",
         QStringLiteral("(word)"),
         2,
         QStringLiteral("word"),
         {1, 4}},
        {"inside an address", header, 25, QStringLiteral("joe.b-x_1@mail.ex-ample.org"), {16, 27}},
        {"right after a word, before a blank and a word",
         QStringLiteral("one two"),
         3,
         QStringLiteral("one two"),
         {0, 7}},
        {"inside a run of blanks", QStringLiteral("a     b"), 3, QStringLiteral(" "), {3, 1}},
        {"between a colon and a blank before a word",
         QStringLiteral("To: bob"),
         3,
         QStringLiteral(" bob"),
         {3, 4}},
        {"at the start before an item character",
         QStringLiteral("host.example rest"),
         0,
         QStringLiteral("host.example"),
         {0, 12}},
        {"at the end right after a word",
         QStringLiteral("say word"),
         8,
         QStringLiteral("word"),
         {4, 4}},
        {"at the end after a delimiter", QStringLiteral("word>"), 5, QString(), {5, 0}},
        {"in an empty text", QString(), 0, QString(), {0, 0}},
        {"on a delimiter after a delimiter",
         QStringLiteral("a>\nb"),
         2,
         QStringLiteral("\nb"),
         {2, 2}},
        {"on the last character", QStringLiteral("ab:"), 2, QStringLiteral("ab:"), {0, 3}},
        {"just left of an emoji takes the whole emoji and the word after it",
         QStringLiteral("hi \U0001F600there"),
         3,
         QStringLiteral("\U0001F600there"),
         {3, 7}},
        {"between the halves of an emoji: as just left of it",
         QStringLiteral("hi \U0001F600there"),
         4,
         QStringLiteral("\U0001F600there"),
         {3, 7}},
        {"right after a word before an emoji at the end",
         QStringLiteral("word\U0001F600"),
         4,
         QStringLiteral("word\U0001F600"),
         {0, 6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SelectionRange r = jl::Expand_Selection(c.text, c.caret);
        EXPECT_EQ(r, c.range);
        EXPECT_EQ(c.text.mid(r.start, r.length), c.selected);
    }
}

// The expansion as the view makes it: the character at a position is what a
// one-character selection there holds, moving the caret step by step. As in
// the view, a selection never holds half a character: a position between the
// halves of a surrogate pair stands for the pair's start, and a selection
// that would end there takes the whole pair.
class WalkingView {
public:
    explicit WalkingView(const QString& text) : m_text(text) {}
    void setSelStart(int p) {
        m_start = std::clamp(p, 0, int(m_text.size()));
        if (jl::Splits_Character(m_text, m_start))
            --m_start;
        m_length = 0;
    }
    void setSelLength(int n) {
        m_length = std::min(n, int(m_text.size()) - m_start);
        if (jl::Splits_Character(m_text, m_start + m_length))
            ++m_length;
    }
    QString selectedText() const { return m_text.mid(m_start, m_length); }
    int selStart() const { return m_start; }
    int selLength() const { return m_length; }
    int length() const { return int(m_text.size()); }

    QChar charAt(int p) {
        if (p < 0 || p >= length())
            return QLatin1Char(' ');
        setSelStart(p);
        setSelLength(1);
        const QString s = selectedText();
        return s.isEmpty() ? QLatin1Char(' ') : s[0];
    }

    void expand() {
        const int s = m_start;
        int p = s - 1;
        while (jl::Is_Item_Character(charAt(p)))
            --p;
        const int left = p + 1;
        // The walk right starts after the character at s, however many units
        // it takes.
        charAt(s);
        int q = std::min(s + std::max(m_length, 1), length());
        while (jl::Is_Item_Character(charAt(q)))
            ++q;
        const int right = q;
        if (left < right) {
            setSelStart(left);
            setSelLength(right - left);
        } else {
            setSelStart(length());
        }
    }

private:
    QString m_text;
    int m_start = 0;
    int m_length = 0;
};

TEST(Expansion, SameAsTheCaretWalkOnRandomTexts) {
    // Emoji, a Deseret letter and a mathematical letter take two units each.
    const QStringList alphabet = {"a",
                                  "b",
                                  ".",
                                  "-",
                                  "_",
                                  "@",
                                  "Z",
                                  "9",
                                  " ",
                                  ":",
                                  "<",
                                  ">",
                                  "\n",
                                  "\t",
                                  QString(QChar(0xE9)),
                                  QString(QChar(0x2014)),
                                  QString::fromUcs4(U"\U0001F600"),
                                  QString::fromUcs4(U"\U00010400"),
                                  QString::fromUcs4(U"\U0001D400")};
    std::mt19937 rng(7);
    for (int round = 0; round < 3000; ++round) {
        QString text;
        const int characters = int(rng() % 20);
        for (int i = 0; i < characters; ++i)
            text.append(alphabet[int(rng() % unsigned(alphabet.size()))]);
        const int len = int(text.size());
        for (int caret = 0; caret <= len; ++caret) {
            WalkingView view(text);
            view.setSelStart(caret);
            view.setSelLength(int(rng() % 3)); // a user's selection length is ignored
            view.expand();
            const SelectionRange r = jl::Expand_Selection(text, caret);
            ASSERT_EQ(r, (SelectionRange{view.selStart(), view.selLength()}))
                << text.toStdString() << " caret " << caret;
            // Never half a character: the selection is valid text.
            ASSERT_TRUE(text.mid(r.start, r.length).isValidUtf16()) << caret;
        }
    }
}

} // namespace
