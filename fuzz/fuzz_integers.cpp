// The integer readers against plain models:
// - Parse_Signed_Digits keeps "+-0123456789", keeps a sign only in first
//   position, reads the rest as a signed decimal (nothing left: 0) and fails
//   with "'<reduced>' is not a valid integer value" on a lone sign or a
//   number outside 32 bits;
// - Get_Field_As_Integer takes field n (from 1) between single separators,
//   the last field when n is past it, the first for n of 0 or 1;
// - the settings file's integer reading: decimal or hexadecimal (after "0x",
//   "0X" or "$"), an optional sign in front, blanks around, nothing else.

#include "fuzz_support.h"

#include "util/failure.h"
#include "util/ini_file.h"
#include "util/text_helpers.h"

#include <cstdint>
#include <optional>
#include <string>

namespace {

using jl::fuzz::printable;

struct Parsed {
    bool failed = false;
    int value = 0;
    QString failure;
};

Parsed plainParseSignedDigits(const QString& text) {
    QString reduced;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        const bool digit = u >= u'0' && u <= u'9';
        const bool sign = u == u'+' || u == u'-';
        if (digit || (sign && reduced.isEmpty()))
            reduced += c;
    }
    Parsed out;
    if (reduced.isEmpty())
        return out;
    const bool negative = reduced[0] == u'-';
    QString digits = reduced;
    if (reduced[0] == u'-' || reduced[0] == u'+')
        digits.remove(0, 1);
    while (digits.size() > 1 && digits[0] == u'0')
        digits.remove(0, 1);
    std::optional<int64_t> magnitude;
    if (!digits.isEmpty() && digits.size() <= 10) {
        int64_t m = 0;
        for (QChar c : digits)
            m = m * 10 + (c.unicode() - u'0');
        if (m <= (negative ? int64_t(2147483648LL) : int64_t(2147483647LL)))
            magnitude = m;
    }
    if (!magnitude) {
        out.failed = true;
        out.failure =
            QStringLiteral("'") + reduced + QStringLiteral("' is not a valid integer value");
        return out;
    }
    out.value = int(negative ? -*magnitude : *magnitude);
    return out;
}

qsizetype plainIndexOf(const QString& text, const QString& what) {
    if (what.isEmpty())
        return -1; // an empty separator never occurs
    for (qsizetype i = 0; i + what.size() <= text.size(); ++i)
        if (QStringView(text).mid(i, what.size()) == what)
            return i;
    return -1;
}

Parsed plainField(const QString& line, const QString& separator, int n) {
    QString rest = line;
    for (int k = 1; k < n; ++k) {
        const qsizetype at = plainIndexOf(rest, separator);
        if (at >= 0)
            rest = rest.mid(at + separator.size());
    }
    const qsizetype at = plainIndexOf(rest, separator);
    if (at >= 0)
        rest = rest.left(at);
    return plainParseSignedDigits(rest);
}

Parsed run(const std::function<int()>& f) {
    Parsed out;
    try {
        out.value = f();
    } catch (const jl::Failure& failure) {
        out.failed = true;
        out.failure = failure.text();
    }
    return out;
}

void compare(const Parsed& got, const Parsed& want, const std::string& detail) {
    FUZZ_CHECK(got.failed == want.failed, detail);
    if (want.failed)
        FUZZ_CHECK(got.failure == want.failure, detail + "\ngot " + printable(got.failure) +
                                                    "\nwant " + printable(want.failure));
    else
        FUZZ_CHECK(got.value == want.value, detail + "\ngot " + std::to_string(got.value) +
                                                " want " + std::to_string(want.value));
}

int hexValue(char16_t u) {
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return 99;
}

std::optional<int> plainIniInteger(const QString& text) {
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-'))
        negative = t[i++] == u'-';
    int base = 10;
    if (i + 1 < t.size() && t[i] == u'0' && (t[i + 1] == u'x' || t[i + 1] == u'X')) {
        base = 16;
        i += 2;
    } else if (i < t.size() && t[i] == u'$') {
        base = 16;
        i += 1;
    }
    if (i == t.size())
        return std::nullopt;
    __int128 magnitude = 0;
    for (; i < t.size(); ++i) {
        const int d = hexValue(t[i].unicode());
        if (d >= base)
            return std::nullopt;
        magnitude = magnitude * base + d;
        if (magnitude > (__int128(1) << 40))
            return std::nullopt; // far outside the range already
    }
    const __int128 value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return int(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    static constexpr std::u16string_view alphabet = u"0123456789+- /Wx";
    static constexpr std::u16string_view hexAlphabet = u"0123456789aAfFgxX$+- \t\u00A0";

    const QString text = jl::fuzz::consumeText(in, 40, alphabet);
    const QString separator = jl::fuzz::consumeText(in, 3, u" /-0");
    const int n = in.ConsumeIntegralInRange<int>(-3, 14);
    const QString iniText = jl::fuzz::consumeText(in, 24, hexAlphabet);

    compare(run([&] { return jl::Parse_Signed_Digits(text); }), plainParseSignedDigits(text),
            "Parse_Signed_Digits " + printable(text));
    compare(run([&] { return jl::Get_Field_As_Integer(text, separator, n); }),
            plainField(text, separator, n),
            "Get_Field_As_Integer " + printable(text) + " separator " + printable(separator) +
                " n " + std::to_string(n));

    int value = 12345;
    const bool ok = jl::IniFile::parseInteger(iniText, &value);
    const std::optional<int> want = plainIniInteger(iniText);
    FUZZ_CHECK(ok == want.has_value(), "parseInteger " + printable(iniText));
    if (want)
        FUZZ_CHECK(value == *want,
                   "parseInteger " + printable(iniText) + " gave " + std::to_string(value));
    return 0;
}
