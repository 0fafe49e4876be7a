// The list-file reader and writer, and the sorted search over what they load.
// - Reading any bytes: the text ends at the first NUL; lines end at CR LF, a
//   lone CR or a lone LF; a last line without a line end is still an entry. A
//   line of valid UTF-8 reads as that text, any other line byte for byte
//   (Windows-1252).
// - Round trip: writing entries without line breaks and NULs and reading them
//   back gives the same entries, in the same order.
// - The loaded entries in a sorted list: in list order, and the bisection
//   finds every entry and finds a probe exactly when an equal entry is there.

#include "fuzz_support.h"

#include "util/list_file.h"
#include "util/list_ops.h"
#include "util/sorted_list.h"

#include <QLocale>

#include <memory>
#include <string>
#include <vector>

namespace {

using jl::fuzz::printable;

// Code points by the book: no overlong forms, no surrogates, at most U+10FFFF.
bool validUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        int extra = 0;
        uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + size_t(extra) >= s.size())
            return false;
        for (int k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(s[i + size_t(k)]);
            if ((d & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        static constexpr uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (cp < least[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += size_t(extra) + 1;
    }
    return true;
}

std::vector<std::string> plainLines(std::string_view bytes) {
    const size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos)
        bytes = bytes.substr(0, nul);
    std::vector<std::string> lines;
    if (bytes == "\xEF\xBB\xBF")
        return lines; // a byte-order mark alone: an empty file
    std::string line;
    bool open = false; // bytes since the last line end
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            open = false;
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            line += c;
            open = true;
        }
    }
    if (open)
        lines.push_back(line);
    return lines;
}

void checkDecoded(std::string_view bytes, const QStringList& entries) {
    const std::vector<std::string> lines = plainLines(bytes);
    const std::string detail = "bytes " + printable(bytes);
    FUZZ_CHECK(size_t(entries.size()) == lines.size(),
               detail + "\nentries " + std::to_string(entries.size()) + ", lines " +
                   std::to_string(lines.size()));
    for (size_t i = 0; i < lines.size(); ++i) {
        const QString& entry = entries[qsizetype(i)];
        const std::string& line = lines[i];
        const std::string where = detail + "\nline " + std::to_string(i) + " " + printable(line) +
                                  " entry " + printable(entry);
        if (validUtf8(line)) {
            // A byte-order mark at the start of the file is not text.
            const std::string_view bom = "\xEF\xBB\xBF";
            const std::string_view text = i == 0 && std::string_view(line).substr(0, 3) == bom
                                              ? std::string_view(line).substr(3)
                                              : std::string_view(line);
            const QByteArray back = entry.toUtf8();
            FUZZ_CHECK(std::string_view(back.constData(), size_t(back.size())) == text, where);
        } else {
            FUZZ_CHECK(size_t(entry.size()) == line.size(), where);
            for (size_t k = 0; k < line.size(); ++k)
                if (static_cast<unsigned char>(line[k]) < 0x80)
                    FUZZ_CHECK(entry[qsizetype(k)] == QLatin1Char(line[k]), where);
                else
                    FUZZ_CHECK(entry[qsizetype(k)].unicode() >= 0x80, where);
        }
    }
}

void checkRoundTrip(const QStringList& entries, const std::string& origin) {
    const QByteArray bytes = jl::encodeListFile(entries);
    const QStringList back = jl::decodeListFile(bytes);
    // The one thing that does not come back: a first entry that begins with
    // U+FEFF reads as a file with a byte-order mark.
    QStringList want = entries;
    if (!want.isEmpty() && want.front().startsWith(QChar(0xFEFF)))
        want.front().remove(0, 1);
    std::string detail = origin + "\nwritten " +
                         printable(std::string_view(bytes.constData(), size_t(bytes.size())));
    FUZZ_CHECK(back == want, detail);
}

struct Lists {
    std::vector<std::unique_ptr<jl::SortedList>> byLocale;
    Lists() {
        for (const char* name : {"C", "en_US", "tr_TR", "de_DE", "sv_SE"})
            byLocale.push_back(std::make_unique<jl::SortedList>(
                jl::SortedList::Selection::Multiple, QLocale(QString::fromLatin1(name))));
    }
};

int sign(int v) {
    return (v > 0) - (v < 0);
}

void checkSortedSearch(jl::SortedList& list, const QStringList& entries, const QString& probe) {
    list.clear();
    for (const QString& e : entries)
        list.insert(e);
    // The list orders and matches by the collator's sort keys.
    const jl::ListCollator& collator = list.collator();
    auto compare = [&collator](const QString& a, const QString& b) {
        return sign(collator.key(a).compare(collator.key(b)));
    };
    std::string locale = list.collator().locale().name().toStdString() + ", list:";
    for (int i = 0; i < list.count() && i < 40; ++i)
        locale += " " + printable(list.at(i), 40);
    locale += "\n";
    FUZZ_CHECK(list.count() == entries.size(), locale);
    for (int i = 0; i + 1 < list.count(); ++i)
        FUZZ_CHECK(compare(list.at(i), list.at(i + 1)) <= 0,
                   locale + " order at " + std::to_string(i) + ": " + printable(list.at(i)) +
                       " > " + printable(list.at(i + 1)));
    for (const QString& e : entries) {
        const int found = jl::Find_List_Item(list, e);
        FUZZ_CHECK(found >= 0 && compare(list.at(found), e) == 0,
                   locale + " entry not found: " + printable(e));
        // Letter case does not matter (Turkish pairs its i's differently).
        bool ascii = true;
        for (QChar c : e)
            ascii = ascii && c.unicode() < 0x80;
        if (ascii && collator.locale().language() != QLocale::Turkish)
            FUZZ_CHECK(jl::Find_List_Item(list, e.toUpper()) >= 0,
                       locale + " upper case not found: " + printable(e));
    }
    bool equalThere = false;
    for (const QString& e : entries)
        equalThere = equalThere || compare(e, probe) == 0;
    const int found = jl::Find_List_Item(list, probe);
    FUZZ_CHECK((found >= 0) == equalThere, locale + " probe " + printable(probe));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Lists lists;
    FuzzedDataProvider in(data, size);
    const uint8_t mode = in.ConsumeIntegral<uint8_t>();

    if (mode & 1) {
        // Entries made by the fuzzer: any text without line breaks and NULs.
        static constexpr std::u16string_view alphabet =
            u"aAbBiI\u0131\u0130 \t\"'\u00E9\u00C9\u00DF\u00FF\u20AC\uFEFF\U0001F600";
        const size_t n = in.ConsumeIntegralInRange<size_t>(0, 12);
        QStringList entries;
        for (size_t i = 0; i < n; ++i) {
            QString e = jl::fuzz::consumeText(in, 16, alphabet, true);
            e.remove(QLatin1Char('\r')).remove(QLatin1Char('\n')).remove(QChar(0));
            entries << e;
        }
        std::string origin = "entries:";
        for (const QString& e : entries)
            origin += " " + printable(e);
        checkRoundTrip(entries, origin);
        const QString probe = jl::fuzz::consumeText(in, 8, alphabet, true);
        checkSortedSearch(*lists.byLocale[mode / 2 % lists.byLocale.size()], entries, probe);
        return 0;
    }

    // Any bytes as a list file.
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    const QStringList entries =
        jl::decodeListFile(QByteArray(bytes.data(), qsizetype(bytes.size())));
    checkDecoded(bytes, entries);
    // What was read is written and read back unchanged.
    checkRoundTrip(entries, "read from " + printable(bytes));
    if (entries.size() <= 64)
        checkSortedSearch(*lists.byLocale[mode / 2 % lists.byLocale.size()], entries,
                          entries.isEmpty() ? QString() : entries.back().toUpper());
    return 0;
}
