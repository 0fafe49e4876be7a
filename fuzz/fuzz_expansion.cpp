// Selection expansion against the caret walk it stands for: from the caret
// leftward while the character before is an item character, from past the
// character at the caret rightward while the character there is one; a
// position outside the text has no character and counts as a blank. A
// character is whole: the two halves of a surrogate pair are one character,
// and a caret between them stands before it.

#include "fuzz_support.h"

#include "view/selection_expansion.h"

#include <string>

namespace {

using jl::fuzz::printable;

// The characters of an item, as listed: - . 0-9 @ A-Z _ a-z.
bool itemCharacter(char16_t u) {
    return u == 0x2D || u == 0x2E || (u >= 0x30 && u <= 0x39) || (u >= 0x40 && u <= 0x5A) ||
           u == 0x5F || (u >= 0x61 && u <= 0x7A);
}

// The first unit of the character a one-character selection at p holds; a
// blank off the text.
char16_t characterAt(const QString& text, int p) {
    if (p < 0 || p >= text.size())
        return u' ';
    return text[p].unicode();
}

bool pairAt(const QString& text, int p) {
    return p >= 0 && p + 1 < text.size() && text[p].isHighSurrogate() &&
           text[p + 1].isLowSurrogate();
}

jl::SelectionRange caretWalk(const QString& text, int s) {
    if (pairAt(text, s - 1))
        --s;
    int p = s - 1;
    while (itemCharacter(characterAt(text, p)))
        --p;
    const int left = p + 1;
    int q = std::min<int>(s + (pairAt(text, s) ? 2 : 1), int(text.size()));
    while (itemCharacter(characterAt(text, q)))
        ++q;
    const int right = q;
    if (left < right)
        return {left, right - left};
    return {s, 0}; // the caret stays where it was, nothing selected
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool tableChecked = [] {
        for (unsigned u = 0; u <= 0xFFFF; ++u)
            FUZZ_CHECK(jl::Is_Item_Character(QChar(char16_t(u))) == itemCharacter(char16_t(u)),
                       "unit " + std::to_string(u));
        return true;
    }();
    (void)tableChecked;

    FuzzedDataProvider in(data, size);
    static constexpr std::u16string_view alphabet =
        u"ab.-_@Z09 :<>()\t\n\u00E9\u2028\xD83D\xDE00\xD801\xDC00";
    const uint16_t caretPick = in.ConsumeIntegral<uint16_t>();
    const QString text = jl::fuzz::consumeText(in, 300, alphabet);
    const int caret = int(caretPick % (text.size() + 1));

    const jl::SelectionRange got = jl::Expand_Selection(text, caret);
    const jl::SelectionRange want = caretWalk(text, caret);
    FUZZ_CHECK(got == want, "text " + printable(text) + " caret " + std::to_string(caret) +
                                "\nwalk " + std::to_string(want.start) + "+" +
                                std::to_string(want.length) + ", expansion " +
                                std::to_string(got.start) + "+" + std::to_string(got.length));
    // The selection always holds the character right after the caret unless
    // the caret is at the end, and never half a character.
    if (caret < text.size())
        FUZZ_CHECK(got.start <= caret && got.start + got.length > caret, printable(text));
    FUZZ_CHECK(!pairAt(text, got.start - 1) && !pairAt(text, got.start + got.length - 1),
               printable(text));
    return 0;
}
