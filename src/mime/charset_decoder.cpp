#include "mime/charset_decoder.h"

#include "mime/gmime_setup.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace jl {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

// The sequence at p: its length when valid, 0 when the bytes end inside a
// sequence that may still turn out valid, and -n when its first n bytes are
// the longest start of a valid sequence there is (so they make one U+FFFD).
int utf8Sequence(const unsigned char* p, const unsigned char* end) {
    const unsigned char b = p[0];
    if (b < 0x80)
        return 1;
    int need = 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range
    if (b >= 0xC2 && b <= 0xDF) {
        need = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
        need = 2;
        if (b == 0xE0)
            low = 0xA0; // no overlong forms
        else if (b == 0xED)
            high = 0x9F; // no surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        need = 3;
        if (b == 0xF0)
            low = 0x90;
        else if (b == 0xF4)
            high = 0x8F; // nothing past U+10FFFF
    } else {
        return -1;
    }
    for (int i = 1; i <= need; ++i) {
        if (p + i == end)
            return 0;
        const unsigned char c = p[i];
        if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF))
            return -i;
    }
    return need + 1;
}

bool readAsUtf8(std::string_view charset) {
    std::string name;
    for (const char c : charset)
        name.push_back(char(std::tolower(static_cast<unsigned char>(c))));
    // GMime reads "x-unknown" in the charset of the locale, so the text would
    // change with the environment: it is unknown here too.
    return name.empty() || name == "utf-8" || name == "utf8" || name == "us-ascii" ||
           name == "ascii" || name == "x-unknown";
}

std::string trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '"' || c == '\''; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

// iconv descriptors kept for the thread, by charset name. Opening one loads
// the charset's conversion module and closing the last one unloads it, which
// took longer than decoding the message: a scan opened and closed one for
// every part in a charset other than UTF-8. Names iconv does not know are kept
// too, so they are not looked up again.
class IconvCache {
public:
    IconvCache() = default;
    IconvCache(const IconvCache&) = delete;
    IconvCache& operator=(const IconvCache&) = delete;
    ~IconvCache() {
        for (auto& [name, entry] : m_entries)
            for (iconv_t cd : entry.idle)
                g_mime_iconv_close(cd);
    }

    // A descriptor from UTF-8's point of view, or nullptr for a charset
    // iconv does not know.
    iconv_t take(const std::string& name) {
        auto it = m_entries.find(name);
        if (it == m_entries.end()) {
            if (m_entries.size() >= kNames)
                clear();
            iconv_t cd = open(name);
            m_entries.emplace(name, Entry{cd != nullptr, {}});
            return cd;
        }
        Entry& entry = it->second;
        if (!entry.known)
            return nullptr;
        if (entry.idle.empty())
            return open(name);
        iconv_t cd = entry.idle.back();
        entry.idle.pop_back();
        return cd;
    }

    // Takes a descriptor back, in its initial state.
    void give(const std::string& name, iconv_t cd) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        auto it = m_entries.find(name);
        if (it == m_entries.end() || it->second.idle.size() >= kIdle)
            g_mime_iconv_close(cd);
        else
            it->second.idle.push_back(cd);
    }

private:
    static constexpr size_t kNames = 64;
    static constexpr size_t kIdle = 4;
    struct Entry {
        bool known = false;
        std::vector<iconv_t> idle;
    };

    static iconv_t open(const std::string& name) {
        ensureGMime();
        iconv_t cd = g_mime_iconv_open("UTF-8", name.c_str());
        // iconv says "no" with the descriptor (iconv_t)-1.
        const auto failed = reinterpret_cast<iconv_t>(-1); // NOLINT(performance-no-int-to-ptr)
        return cd == failed ? nullptr : cd;
    }
    void clear() {
        for (auto& [name, entry] : m_entries)
            for (iconv_t cd : entry.idle)
                g_mime_iconv_close(cd);
        m_entries.clear();
    }

    std::unordered_map<std::string, Entry> m_entries;
};

IconvCache& iconvCache() {
    thread_local IconvCache cache;
    return cache;
}

} // namespace

void appendValidUtf8(std::string_view bytes, std::string& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    while (p < end) {
        // A run of ASCII goes across in one piece.
        const unsigned char* run = p;
        while (run < end && *run < 0x80)
            ++run;
        out.append(reinterpret_cast<const char*>(p), size_t(run - p));
        p = run;
        if (p == end)
            break;
        const int n = utf8Sequence(p, end);
        if (n > 0) {
            out.append(reinterpret_cast<const char*>(p), size_t(n));
            p += n;
        } else {
            out.append(kReplacement);
            p += n == 0 ? end - p : -n;
        }
    }
}

CharsetDecoder::CharsetDecoder(std::string_view charset) {
    const std::string name = trimmed(charset);
    if (readAsUtf8(name)) {
        m_known = true;
        return;
    }
    m_iconv = iconvCache().take(name);
    m_known = m_iconv != nullptr;
    if (m_known)
        m_name = name;
}

CharsetDecoder::~CharsetDecoder() {
    if (m_iconv)
        iconvCache().give(m_name, static_cast<iconv_t>(m_iconv));
}

void CharsetDecoder::decode(std::string_view bytes, std::string& out) {
    if (m_iconv)
        decodeIconv(bytes, out, false);
    else
        decodeUtf8(bytes, out);
}

void CharsetDecoder::finish(std::string& out) {
    if (m_iconv) {
        decodeIconv({}, out, true);
        return;
    }
    if (!m_pending.empty())
        out.append(kReplacement);
    m_pending.clear();
}

void CharsetDecoder::decodeUtf8(std::string_view bytes, std::string& out) {
    // First complete a character the last piece ended inside.
    while (!m_pending.empty() && !bytes.empty()) {
        m_pending.push_back(bytes.front());
        bytes.remove_prefix(1);
        const auto* p = reinterpret_cast<const unsigned char*>(m_pending.data());
        const int n = utf8Sequence(p, p + m_pending.size());
        if (n == 0)
            continue;
        if (n > 0) {
            out.append(m_pending);
            m_pending.clear();
        } else {
            // The bytes after the longest valid start are read again.
            out.append(kReplacement);
            const std::string rest = m_pending.substr(size_t(-n));
            m_pending.clear();
            decodeUtf8(rest, out);
        }
    }
    if (bytes.empty())
        return;
    // Keep back a sequence that the piece ends inside.
    size_t keep = 0;
    const auto* const begin = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = begin + bytes.size();
    for (size_t back = 1; back <= std::min<size_t>(3, bytes.size()); ++back) {
        const unsigned char* p = end - back;
        if (*p < 0x80 || *p >= 0xC0) {
            if (*p >= 0xC0 && utf8Sequence(p, end) == 0)
                keep = back;
            break;
        }
    }
    appendValidUtf8(bytes.substr(0, bytes.size() - keep), out);
    m_pending.assign(bytes.substr(bytes.size() - keep));
}

void CharsetDecoder::decodeIconv(std::string_view bytes, std::string& out, bool last) {
    auto* const cd = static_cast<iconv_t>(m_iconv);
    std::string joined;
    if (!m_pending.empty()) {
        joined = m_pending + std::string(bytes);
        bytes = joined;
        m_pending.clear();
    }
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char buffer[8192];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t done = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        const int error = done == size_t(-1) ? errno : 0;
        out.append(buffer, size_t(outPtr - buffer));
        if (error == 0 || error == E2BIG)
            continue;
        if (error == EILSEQ) {
            out.append(kReplacement);
            ++in;
            --inLeft;
        } else if (error == EINVAL && !last) {
            // The piece ends inside a character: it waits for the next one.
            m_pending.assign(in, inLeft);
            return;
        } else {
            // The text ends inside a character, or iconv fails otherwise.
            out.append(kReplacement);
            break;
        }
    }
    if (last)
        iconv(cd, nullptr, nullptr, nullptr, nullptr); // back to the initial state
}

std::string CharsetDecoder::toUtf8(std::string_view bytes, std::string_view charset) {
    CharsetDecoder decoder(charset);
    std::string out;
    out.reserve(bytes.size());
    decoder.decode(bytes, out);
    decoder.finish(out);
    return out;
}

} // namespace jl
