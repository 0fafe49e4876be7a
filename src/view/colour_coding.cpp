#include "view/colour_coding.h"

#include "util/failure.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <limits>
#include <string>

namespace jl {

QChar foldCase(QChar c) {
    return c.toCaseFolded();
}

namespace {

struct Interval {
    int start;
    int end;
};

// Adds [start, end) to a sorted list of disjoint, non-adjacent intervals,
// given that end is at least the end of every interval already there (the
// matches arrive in the order of their ends).
void addInterval(std::vector<Interval>& list, int start, int end) {
    while (!list.empty() && list.back().end >= start) {
        start = std::min(start, list.back().start);
        list.pop_back();
    }
    list.push_back({start, end});
}

struct Run {
    int start;
    int end;
    TextColour colour;
};

// The runs of top, with the parts of lower that top does not cover added in
// colour; top and lower are sorted and disjoint.
std::vector<Run> underlay(const std::vector<Run>& top, const std::vector<Interval>& lower,
                          TextColour colour) {
    std::vector<Run> pieces;
    size_t k = 0;
    for (const Interval& iv : lower) {
        while (k < top.size() && top[k].end <= iv.start)
            ++k;
        int cur = iv.start;
        for (size_t m = k; m < top.size() && top[m].start < iv.end; ++m) {
            if (top[m].start > cur)
                pieces.push_back({cur, top[m].start, colour});
            cur = std::max(cur, top[m].end);
        }
        if (cur < iv.end)
            pieces.push_back({cur, iv.end, colour});
    }
    std::vector<Run> out;
    out.reserve(top.size() + pieces.size());
    std::merge(top.begin(), top.end(), pieces.begin(), pieces.end(), std::back_inserter(out),
               [](const Run& a, const Run& b) { return a.start < b.start; });
    return out;
}

constexpr int kNoPattern = -1;

} // namespace

// The automaton: a dense DFA over character classes. Every UTF-16 unit maps to
// the class of its case fold; units whose fold occurs in no pattern share
// class 0. A transition holds the target state's row offset (state × classes),
// bit-inverted when the target ends at least one pattern, so the scan loop
// tests one sign per character.
struct ColourMatcher::Impl {
    QStringList items;

    std::vector<int> patternLength;
    std::vector<char> patternIsItem;
    std::vector<char> patternLatin1; // every folded unit is the fold of a Latin-1 byte
    std::vector<int> itemPattern;    // per item; kNoPattern for an empty item
    int receivedPattern = kNoPattern;
    int messageIdPattern = kNoPattern;
    int lastItemPattern = kNoPattern; // pattern of the last non-empty item
    int itemPatternCount = 0;
    int latin1ItemPatternCount = 0;

    // Classes: latinClass for units below 256 (folded on the way), then the
    // classes of folded units, low ones in a table, the rest sorted.
    std::array<uint16_t, 256> latinClass{};
    std::array<uint16_t, 256> foldedLowClass{};
    std::vector<std::pair<char16_t, uint16_t>> foldedHighClass;
    int classes = 1;

    uint16_t classOfFolded(char16_t f) const {
        if (f < 256)
            return foldedLowClass[f];
        const auto it = std::lower_bound(foldedHighClass.begin(), foldedHighClass.end(),
                                         std::pair<char16_t, uint16_t>(f, 0));
        return it != foldedHighClass.end() && it->first == f ? it->second : 0;
    }
    uint16_t classOf(char c) const { return latinClass[static_cast<unsigned char>(c)]; }
    uint16_t classOf(ushort u) const {
        if (u < 256)
            return latinClass[u];
        return classOfFolded(char16_t(foldCase(QChar(char16_t(u))).unicode()));
    }

    std::vector<int32_t> delta;
    std::vector<int32_t> outPattern; // per state: the pattern ending here
    std::vector<int32_t> outLink;    // per state: nearest proper suffix state ending a pattern

    void build();
    int patternAt(int32_t terminal, size_t length);

    // Calls onMatch(pattern, end) for every pattern ending at each position,
    // in text order; stops when onMatch returns false.
    template <typename Unit, typename OnMatch>
    void scan(const Unit* text, size_t size, OnMatch&& onMatch) const {
        const int32_t* d = delta.data();
        const int k = classes;
        int32_t row = 0;
        for (size_t i = 0; i < size; ++i) {
            const int32_t next = d[row + classOf(text[i])];
            if (next >= 0) {
                row = next;
                continue;
            }
            row = ~next;
            for (int32_t st = row / k; st >= 0; st = outLink[size_t(st)]) {
                const int32_t p = outPattern[size_t(st)];
                if (p != kNoPattern && !onMatch(p, int(i + 1)))
                    return;
            }
        }
    }
};

int ColourMatcher::Impl::patternAt(int32_t terminal, size_t length) {
    if (length == 0)
        return kNoPattern;
    int32_t& out = outPattern[size_t(terminal)];
    if (out == kNoPattern) {
        out = int32_t(patternLength.size());
        patternLength.push_back(int(length));
        patternIsItem.push_back(0);
        patternLatin1.push_back(0);
    }
    return out;
}

void ColourMatcher::Impl::build() {
    auto fold = [](const QString& s) {
        std::u16string f;
        f.reserve(size_t(s.size()));
        for (QChar c : s)
            f.push_back(char16_t(foldCase(c).unicode()));
        return f;
    };
    std::vector<std::u16string> folded;
    folded.reserve(size_t(items.size()) + 2);
    folded.push_back(fold(QStringLiteral("RECEIVED:")));
    folded.push_back(fold(QStringLiteral("MESSAGE-ID:")));
    for (const QString& item : items)
        folded.push_back(fold(item));

    // Classes: one per distinct folded unit of the patterns.
    std::vector<char16_t> units;
    for (const auto& f : folded)
        units.insert(units.end(), f.begin(), f.end());
    std::sort(units.begin(), units.end());
    units.erase(std::unique(units.begin(), units.end()), units.end());
    classes = int(units.size()) + 1;
    if (classes > 65535)
        throw Failure(QStringLiteral("The interesting items hold too many different characters"));
    for (size_t i = 0; i < units.size(); ++i) {
        const auto cls = uint16_t(i + 1);
        if (units[i] < 256)
            foldedLowClass[units[i]] = cls;
        else
            foldedHighClass.emplace_back(units[i], cls);
    }
    std::vector<bool> latin1Fold(65536, false); // folds of the Latin-1 units
    for (int u = 0; u < 256; ++u) {
        const char16_t f = char16_t(foldCase(QChar(char16_t(u))).unicode());
        latinClass[size_t(u)] = classOfFolded(f);
        latin1Fold[f] = true;
    }

    // The trie, rows filled with -1 for "no child", made one depth at a time
    // so that states are numbered in breadth-first order: the shallow states,
    // where the scan spends most of its time, lie together in memory.
    std::vector<int32_t> trie(size_t(classes), -1);
    outPattern.assign(1, kNoPattern);
    std::vector<size_t> byLength(folded.size());
    for (size_t i = 0; i < byLength.size(); ++i)
        byLength[i] = i;
    std::stable_sort(byLength.begin(), byLength.end(),
                     [&](size_t a, size_t b) { return folded[a].size() > folded[b].size(); });
    std::vector<int32_t> terminal(folded.size(), 0);
    for (size_t depth = 0; !byLength.empty() && depth < folded[byLength[0]].size(); ++depth) {
        for (size_t i : byLength) {
            const std::u16string& f = folded[i];
            if (f.size() <= depth)
                break;
            const size_t slot = size_t(terminal[i]) * size_t(classes) + classOfFolded(f[depth]);
            if (trie[slot] < 0) {
                const int32_t fresh = int32_t(outPattern.size());
                trie[slot] = fresh;
                trie.resize(trie.size() + size_t(classes), -1);
                outPattern.push_back(kNoPattern);
            }
            terminal[i] = trie[slot];
        }
    }
    receivedPattern = patternAt(terminal[0], folded[0].size());
    messageIdPattern = patternAt(terminal[1], folded[1].size());
    itemPattern.resize(size_t(items.size()));
    for (qsizetype i = 0; i < items.size(); ++i) {
        const auto& f = folded[size_t(i) + 2];
        const int p = patternAt(terminal[size_t(i) + 2], f.size());
        itemPattern[size_t(i)] = p;
        if (p == kNoPattern)
            continue;
        lastItemPattern = p;
        if (!patternIsItem[size_t(p)]) {
            patternIsItem[size_t(p)] = 1;
            ++itemPatternCount;
            const bool latin1 =
                std::all_of(f.begin(), f.end(), [&](char16_t u) { return latin1Fold[u]; });
            patternLatin1[size_t(p)] = latin1;
            latin1ItemPatternCount += latin1;
        }
    }

    const size_t states = outPattern.size();
    if (states * size_t(classes) > size_t(std::numeric_limits<int32_t>::max()))
        throw Failure(QStringLiteral("The interesting items are too many to search together"));

    // Breadth-first: failure links turn the trie into the full DFA.
    std::vector<int32_t> fail(states, 0);
    outLink.assign(states, -1);
    delta = std::move(trie);
    std::deque<int32_t> queue;
    for (int c = 0; c < classes; ++c) {
        int32_t& t = delta[size_t(c)];
        if (t < 0) {
            t = 0;
        } else {
            fail[size_t(t)] = 0;
            queue.push_back(t);
        }
    }
    while (!queue.empty()) {
        const int32_t s = queue.front();
        queue.pop_front();
        const int32_t f = fail[size_t(s)];
        outLink[size_t(s)] = outPattern[size_t(f)] != kNoPattern ? f : outLink[size_t(f)];
        const size_t row = size_t(s) * size_t(classes);
        const size_t frow = size_t(f) * size_t(classes);
        for (int c = 0; c < classes; ++c) {
            int32_t& t = delta[row + size_t(c)];
            if (t < 0) {
                t = delta[frow + size_t(c)];
            } else {
                fail[size_t(t)] = delta[frow + size_t(c)];
                queue.push_back(t);
            }
        }
    }
    // Encode targets as row offsets, marking states that end a pattern.
    for (int32_t& t : delta) {
        const bool output = outPattern[size_t(t)] != kNoPattern || outLink[size_t(t)] >= 0;
        const int32_t offset = t * int32_t(classes);
        t = output ? ~offset : offset;
    }
    delta.shrink_to_fit();
    outPattern.shrink_to_fit();
}

ColourMatcher::ColourMatcher(const QStringList& items) : d(std::make_unique<Impl>()) {
    d->items = items;
    d->build();
}

ColourMatcher::~ColourMatcher() = default;
ColourMatcher::ColourMatcher(ColourMatcher&&) noexcept = default;
ColourMatcher& ColourMatcher::operator=(ColourMatcher&&) noexcept = default;

const QStringList& ColourMatcher::items() const {
    return d->items;
}

ColourResult ColourMatcher::colour(const QString& text, int option) const {
    ColourResult result;
    const bool labels = option == LabelsOnly || option == Everything;
    const bool itemsOn = option == ItemsOnly || option == Everything;
    if (!labels && !itemsOn)
        return result;

    const Impl& m = *d;
    std::vector<char> active(m.patternLength.size(), 0);
    if (labels) {
        active[size_t(m.receivedPattern)] = 1;
        active[size_t(m.messageIdPattern)] = 1;
    }
    if (itemsOn)
        for (size_t p = 0; p < active.size(); ++p)
            active[p] |= m.patternIsItem[p];
    if (itemsOn && m.itemPatternCount == 0 && !labels)
        return result;

    // Each search takes its matches greedily from the left: a match counts
    // only when it starts at or after the end of the search's previous match.
    std::vector<int> nextFree(m.patternLength.size(), 0);
    std::vector<Interval> blue, green, red;
    m.scan(text.utf16(), size_t(text.size()), [&](int p, int end) {
        if (!active[size_t(p)])
            return true;
        const int start = end - m.patternLength[size_t(p)];
        if (start < nextFree[size_t(p)])
            return true;
        nextFree[size_t(p)] = end;
        if (itemsOn && m.patternIsItem[size_t(p)]) {
            addInterval(red, start, end);
            result.foundAny = true;
        } else if (p == m.messageIdPattern) {
            addInterval(green, start, end);
        } else {
            addInterval(blue, start, end);
        }
        return true;
    });

    // Later searches paint over earlier ones: items over Message-ID over
    // Received.
    std::vector<Run> runs;
    runs.reserve(red.size());
    for (const Interval& iv : red)
        runs.push_back({iv.start, iv.end, TextColour::Red});
    runs = underlay(runs, green, TextColour::Green);
    runs = underlay(runs, blue, TextColour::Blue);
    result.spans.reserve(runs.size());
    for (const Run& r : runs) {
        if (!result.spans.empty()) {
            ColourSpan& last = result.spans.back();
            if (last.colour == r.colour && last.start + last.length == r.start) {
                last.length += r.end - r.start;
                continue;
            }
        }
        result.spans.push_back({r.start, r.end - r.start, r.colour});
    }

    // The caret stays after the last match of the last search made: the last
    // non-empty item, else the Message-ID label; 0 when it found nothing.
    int caretPattern = kNoPattern;
    if (itemsOn && m.lastItemPattern != kNoPattern)
        caretPattern = m.lastItemPattern;
    else if (labels)
        caretPattern = m.messageIdPattern;
    if (caretPattern != kNoPattern)
        result.caret = nextFree[size_t(caretPattern)];
    return result;
}

size_t ColourMatcher::memoryBytes() const {
    const Impl& m = *d;
    return m.delta.capacity() * sizeof(int32_t) + m.outPattern.capacity() * sizeof(int32_t) +
           m.outLink.capacity() * sizeof(int32_t) +
           m.foldedHighClass.capacity() * sizeof(m.foldedHighClass[0]) + sizeof(m.latinClass) +
           sizeof(m.foldedLowClass) + m.patternLength.capacity() * sizeof(int) +
           m.itemPattern.capacity() * sizeof(int) + 2 * m.patternIsItem.capacity();
}

bool ColourMatcher::containsAnyItem(const QString& text) const {
    const Impl& m = *d;
    if (m.itemPatternCount == 0)
        return false;
    bool found = false;
    m.scan(text.utf16(), size_t(text.size()), [&](int p, int) {
        found = m.patternIsItem[size_t(p)] != 0;
        return !found;
    });
    return found;
}

bool ColourMatcher::containsAnyItem(std::string_view latin1Text) const {
    const Impl& m = *d;
    if (m.latin1ItemPatternCount == 0)
        return false;
    bool found = false;
    m.scan(latin1Text.data(), latin1Text.size(), [&](int p, int) {
        found = m.patternIsItem[size_t(p)] != 0;
        return !found;
    });
    return found;
}

std::vector<bool> ColourMatcher::itemsPresent(std::string_view latin1Text) const {
    const Impl& m = *d;
    std::vector<bool> present(size_t(m.items.size()), false);
    if (m.latin1ItemPatternCount == 0)
        return present;
    std::vector<char> seen(m.patternLength.size(), 0);
    int missing = m.latin1ItemPatternCount;
    m.scan(latin1Text.data(), latin1Text.size(), [&](int p, int) {
        if (m.patternIsItem[size_t(p)] && !seen[size_t(p)]) {
            seen[size_t(p)] = 1;
            --missing;
        }
        return missing > 0;
    });
    for (size_t i = 0; i < present.size(); ++i) {
        const int p = m.itemPattern[i];
        present[i] = p != kNoPattern && seen[size_t(p)];
    }
    return present;
}

} // namespace jl
