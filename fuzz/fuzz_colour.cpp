// The one-pass colour matcher against the procedure it stands for, run the
// plain way: all text in the default colour, then search after search (the
// two labels under options 1 and 3, every item in list order under options 2
// and 3), each search finding its matches from position 0 as the view's find
// does, case ignored, painting each match and resuming right after it. Items
// are whole characters (the list never holds half of one); the text may hold
// anything. Colours are compared per
// character, with the found-any flag and where the caret ends.

#include "fuzz_support.h"

#include "items/item_matcher.h"

#include <QStringList>

#include <string>
#include <vector>

namespace {

using jl::TextColour;
using jl::fuzz::printable;

struct Plain {
    std::vector<TextColour> colours;
    bool foundAny = false;
    int caret = 0;
};

// The view's find: case ignored, from a position to the end of the text.
int findFrom(const QString& text, const QString& what, int from) {
    const qsizetype at = QStringView(text).mid(from).indexOf(what, 0, Qt::CaseInsensitive);
    return at < 0 ? -1 : from + int(at);
}

Plain plainColourCode(const QString& text, const QStringList& items, int option) {
    Plain out;
    out.colours.assign(size_t(text.size()), TextColour::Default);
    out.caret = 0;
    auto colourAll = [&](const QString& search, TextColour colour) {
        if (search.isEmpty())
            return false;
        out.caret = 0;
        bool found = false;
        for (;;) {
            const int at = findFrom(text, search, out.caret);
            if (at < 0)
                return found;
            for (qsizetype k = 0; k < search.size(); ++k)
                out.colours[size_t(at + k)] = colour;
            out.caret = at + int(search.size());
            found = true;
        }
    };
    if (option == 1 || option == 3) {
        colourAll(QStringLiteral("RECEIVED:"), TextColour::Blue);
        colourAll(QStringLiteral("MESSAGE-ID:"), TextColour::Green);
    }
    out.foundAny = false;
    if (option == 2 || option == 3)
        for (const QString& item : items)
            if (colourAll(item, TextColour::Red))
                out.foundAny = true;
    return out;
}

std::string describe(const QString& text, const QStringList& items, int option) {
    std::string out = "option " + std::to_string(option) + "\ntext " + printable(text) + "\nitems:";
    for (const QString& item : items)
        out += " " + printable(item);
    return out;
}

std::string colourString(const std::vector<TextColour>& colours) {
    std::string out;
    for (TextColour c : colours)
        out += "dbgr"[int(c)];
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    // Letters of the labels in both cases, the punctuation around them, and
    // units whose case fold leaves their block or that fold alike: micro sign
    // and Greek mu, Kelvin sign and k, long s and s, dotted capital I,
    // sharp s; and the halves of two Deseret letters that fold alike, which
    // make whole letters when they meet in order.
    static constexpr std::u16string_view alphabet =
        u"rReEcCiIvVdD:mMsSaAgG-kK \u00B5\u03BC\u039C\u212A\u017F\u0130\u00DF\u00E9\u00C9"
        u"\xD801\xDC00\xD801\xDC28";

    const int option = in.ConsumeIntegralInRange<int>(-1, 4);
    const size_t itemCount = in.ConsumeIntegralInRange<size_t>(0, 8);
    QStringList items;
    for (size_t i = 0; i < itemCount; ++i)
        items << jl::fuzz::consumeText(in, 12, alphabet, true);
    const QString text = jl::fuzz::consumeText(in, 400, alphabet);

    const jl::ItemMatcher matcher(items);
    const jl::ColourResult result = matcher.colour(text, option);
    const Plain plain = plainColourCode(text, items, option);
    const std::string detail = describe(text, items, option);

    // The spans: sorted, disjoint, non-default, adjacent runs of one colour
    // merged, inside the text.
    std::vector<TextColour> colours(size_t(text.size()), TextColour::Default);
    int end = -1;
    TextColour previous = TextColour::Default;
    for (const jl::ColourSpan& span : result.spans) {
        FUZZ_CHECK(span.length > 0 && span.colour != TextColour::Default, detail);
        FUZZ_CHECK(span.start >= 0 && span.start + span.length <= text.size(), detail);
        FUZZ_CHECK(span.start >= end, detail);
        FUZZ_CHECK(!(span.start == end && span.colour == previous), detail);
        for (int k = 0; k < span.length; ++k)
            colours[size_t(span.start + k)] = span.colour;
        end = span.start + span.length;
        previous = span.colour;
    }
    FUZZ_CHECK(colours == plain.colours, detail + "\nplain   " + colourString(plain.colours) +
                                             "\nmatcher " + colourString(colours));
    FUZZ_CHECK(result.foundAny == plain.foundAny, detail);
    FUZZ_CHECK(result.caret == plain.caret, detail + "\nplain caret " +
                                                std::to_string(plain.caret) + ", matcher " +
                                                std::to_string(result.caret));

    // The scan's question: does any non-empty item occur at all?
    auto presence = [&items](const QString& in, bool* any) {
        std::vector<bool> present;
        *any = false;
        for (const QString& item : items) {
            present.push_back(!item.isEmpty() && findFrom(in, item, 0) >= 0);
            *any = *any || present.back();
        }
        return present;
    };
    bool anyItem = false;
    presence(text, &anyItem);
    FUZZ_CHECK(matcher.containsAnyItem(text) == anyItem, detail);
    // The batch scan hands in a file's view text as Latin-1 bytes: the text
    // with every unit above 0xFF replaced (by a letter that folds with the
    // Kelvin sign, or the micro sign).
    QString latin = text;
    for (qsizetype i = 0; i < latin.size(); ++i)
        if (latin[i].unicode() > 0xFF)
            latin[i] = (latin[i].unicode() & 1) ? QChar(u'k') : QChar(u'\u00B5');
    bool anyLatin = false;
    const std::vector<bool> present = presence(latin, &anyLatin);
    const QByteArray bytes = latin.toLatin1();
    const std::string_view view(bytes.constData(), size_t(bytes.size()));
    const std::string latinDetail = detail + "\nas Latin-1 " + printable(latin);
    FUZZ_CHECK(matcher.containsAnyItem(view) == anyLatin, latinDetail);
    FUZZ_CHECK(matcher.itemsPresent(view) == present, latinDetail + " (per item)");
    FUZZ_CHECK(matcher.items() == items, detail);
    return 0;
}
