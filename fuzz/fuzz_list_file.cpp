// The list-file reader and writer, and the sorted search over what they load.
// - Reading any bytes: a file that starts with a UTF-16 byte-order mark is
//   UTF-16 up to its first NUL or undecodable unit; any other file loses a
//   UTF-8 byte-order mark and ends at its first NUL; lines end at CR LF, a
//   lone CR or a lone LF; a last line without a line end is still an entry.
//   A line of valid UTF-8 reads as that text, any other line byte for byte
//   (Windows-1252). The file counts as read whole exactly when nothing was
//   cut off.
// - The window's round trip: any list the window can come to hold (through
//   Add Text of any selection, paste-merge of any clipboard text, or a load
//   of any file) is, saved and read back into a list, the same list.
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

// The 8-bit model: one byte-order mark dropped, the text cut at its first NUL.
std::vector<std::string> plainLines(std::string_view bytes, bool* whole) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    const size_t nul = bytes.find('\0');
    *whole = nul == std::string_view::npos;
    if (!*whole)
        bytes = bytes.substr(0, nul);
    std::vector<std::string> lines;
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

// The UTF-16 model: units after the mark up to a NUL, a surrogate out of its
// pair or a last odd byte; lines as above.
QStringList utf16Lines(std::string_view bytes, bool bigEndian, bool* whole) {
    QString text;
    *whole = bytes.size() % 2 == 0;
    std::vector<char16_t> units;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        units.push_back(char16_t(bigEndian ? (a << 8) | b : (b << 8) | a));
    }
    for (size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        const bool high = u >= 0xD800 && u < 0xDC00;
        const bool low = u >= 0xDC00 && u < 0xE000;
        if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
            text += QChar(u);
            text += QChar(units[++i]);
            continue;
        }
        if (u == 0 || high || low) {
            *whole = false;
            break;
        }
        text += QChar(u);
    }
    QStringList lines;
    QString line;
    bool open = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines << line;
            line.clear();
            open = false;
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
        } else {
            line += c;
            open = true;
        }
    }
    if (open)
        lines << line;
    return lines;
}

void checkDecoded(std::string_view bytes, const jl::DecodedListFile& decoded) {
    const QStringList& entries = decoded.entries;
    const std::string detail = "bytes " + printable(bytes);
    bool whole = true;
    const bool little = bytes.substr(0, 2) == "\xFF\xFE";
    if (little || bytes.substr(0, 2) == "\xFE\xFF") {
        const QStringList lines = utf16Lines(bytes.substr(2), !little, &whole);
        FUZZ_CHECK(entries == lines, detail);
        FUZZ_CHECK(decoded.shortfall.isEmpty() == whole, detail);
        return;
    }
    const std::vector<std::string> lines = plainLines(bytes, &whole);
    FUZZ_CHECK(decoded.shortfall.isEmpty() == whole,
               detail + " shortfall " + printable(decoded.shortfall));
    FUZZ_CHECK(size_t(entries.size()) == lines.size(),
               detail + "\nentries " + std::to_string(entries.size()) + ", lines " +
                   std::to_string(lines.size()));
    for (size_t i = 0; i < lines.size(); ++i) {
        const QString& entry = entries[qsizetype(i)];
        const std::string& line = lines[i];
        const std::string where = detail + "\nline " + std::to_string(i) + " " + printable(line) +
                                  " entry " + printable(entry);
        if (validUtf8(line)) {
            const QByteArray back = entry.toUtf8();
            FUZZ_CHECK(std::string_view(back.constData(), size_t(back.size())) == line, where);
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

// What the window holds, saved and read back into a list of the same locale,
// is the same list: every entry the window can hold is one the file keeps.
void checkRoundTrip(const jl::SortedList& window, const std::string& origin) {
    const QStringList entries = window.entries();
    for (const QString& e : entries)
        FUZZ_CHECK(jl::listEntryFault(e) == jl::EntryFault::None,
                   origin + "\nholds " + printable(e));
    const QByteArray bytes = jl::encodeListFile(entries);
    const jl::DecodedListFile back = jl::decodeListFileText(bytes);
    std::string detail = origin + "\nwritten " +
                         printable(std::string_view(bytes.constData(), size_t(bytes.size())));
    FUZZ_CHECK(back.shortfall.isEmpty(), detail);
    jl::SortedList reloaded(jl::SortedList::Selection::Multiple, window.collator().locale());
    reloaded.insertMany(back.entries);
    FUZZ_CHECK(reloaded.entries() == entries, detail);
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
    jl::SortedList& list = *lists.byLocale[mode / 2 % lists.byLocale.size()];
    list.clear();

    if (mode & 1) {
        // The window's commands with any text: Add Text of a selection (line
        // breaks, NULs, half characters and byte-order marks included) and
        // paste-merge of a clipboard text.
        using namespace std::literals;
        static constexpr std::u16string_view alphabet =
            u"aAbBiI\u0131\u0130 \t\r\n\0\"'\u00E9\u00C9\u00DF\u00FF\u20AC\uFEFF\U0001F600"sv;
        std::string origin = "commands:";
        const size_t n = in.ConsumeIntegralInRange<size_t>(0, 12);
        for (size_t i = 0; i < n && in.remaining_bytes() > 0; ++i) {
            const bool paste = in.ConsumeBool();
            const QString text = jl::fuzz::consumeText(in, paste ? 40 : 16, alphabet);
            origin += (paste ? " paste " : " add ") + printable(text);
            if (paste) {
                jl::MemoryClipboard clipboard;
                clipboard.setText(text);
                jl::Paste_Merge_Clipboard_Into_List(list, clipboard);
            } else {
                jl::addTextToList(list, text);
            }
        }
        checkRoundTrip(list, origin);
        QStringList entries = list.entries();
        const QString probe = jl::fuzz::consumeText(in, 8, alphabet, true);
        checkSortedSearch(list, entries, probe);
        return 0;
    }

    // Any bytes as a list file.
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    const jl::DecodedListFile decoded =
        jl::decodeListFileText(QByteArray(bytes.data(), qsizetype(bytes.size())));
    checkDecoded(bytes, decoded);
    // What was read is written and read back unchanged.
    list.insertMany(decoded.entries);
    checkRoundTrip(list, "read from " + printable(bytes));
    if (decoded.entries.size() <= 64)
        checkSortedSearch(list, decoded.entries,
                          decoded.entries.isEmpty() ? QString() : decoded.entries.back().toUpper());
    return 0;
}
