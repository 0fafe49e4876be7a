#include "view/colour_coding.h"

#include "util/failure.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
#include <string>

namespace jl {

QChar foldCase(QChar c) {
    return c.toCaseFolded();
}

char16_t foldedUnit(const char16_t* text, size_t i, size_t size) {
    const char16_t u = text[i];
    if (!QChar::isSurrogate(u))
        return QChar(u).toCaseFolded().unicode();
    if (QChar::isHighSurrogate(u) && i + 1 < size && QChar::isLowSurrogate(text[i + 1]))
        return QChar::highSurrogate(QChar::toCaseFolded(QChar::surrogateToUcs4(u, text[i + 1])));
    if (QChar::isLowSurrogate(u) && i > 0 && QChar::isHighSurrogate(text[i - 1]))
        return QChar::lowSurrogate(QChar::toCaseFolded(QChar::surrogateToUcs4(text[i - 1], u)));
    return u; // half of a character without its other half
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

// The automaton, Aho–Corasick over character classes. Every UTF-16 unit maps
// to the class of its case fold; units whose fold occurs in no pattern share
// class 0. States are numbered breadth first. The shallow states, where a scan
// spends nearly all its time, have dense rows (one transition per class); the
// deep ones, mostly single chains of long items, keep only their trie edges
// and a failure link, which keeps large item lists compact.
//
// A transition value v is an "encoded" state: v < denseLimit is the row
// offset of a dense state, v >= denseLimit is denseLimit + the index of a
// sparse state. It is bit-inverted when the target ends at least one pattern,
// so the scan tests one sign per character.
//
// The trie is built with the matcher; the automaton on top of it (failure
// links and dense rows, the larger part of the work for long item lists) only
// when a query needs it. Whether a Latin-1 text holds any item needs only the
// trie: a filter over the first characters of the items picks the places
// where an item may start, and the trie tells whether one does.
struct ColourMatcher::Impl {
    QStringList items;
    size_t denseBudget = 0;

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
    // The class of the unit at i of a text: of a byte of Latin-1 text, or of
    // a UTF-16 unit folded with its other half when it has one.
    uint16_t classAt(const char* text, size_t i, size_t) const { return classOf(text[i]); }
    uint16_t classAt(const char16_t* text, size_t i, size_t size) const {
        const char16_t u = text[i];
        if (u < 256)
            return latinClass[u];
        return classOfFolded(foldedUnit(text, i, size));
    }

    // The trie: the edges of state s are trieEdges[trieFirst[s] ..
    // trieFirst[s + 1]), by class; depthStart[d] is the first state of depth
    // d. An edge's target carries kEndsItem when an item ends there, so that
    // a walk along the trie looks at nothing but the edges.
    static constexpr uint32_t kEndsItem = 0x80000000u;
    struct TrieEdge {
        uint16_t cls;
        uint32_t target; // state | kEndsItem
    };
    int32_t states = 1;
    std::vector<int32_t> trieFirst;
    std::vector<TrieEdge> trieEdges;
    std::vector<int32_t> depthStart;
    std::vector<int32_t> outPattern; // per state: the pattern ending here

    int32_t child(size_t edge) const { return int32_t(trieEdges[edge].target & ~kEndsItem); }
    // The target of the edge of s for class c, 0 (the root) when there is none.
    uint32_t trieStep(uint32_t s, uint16_t c) const {
        const TrieEdge* first = trieEdges.data() + trieFirst[s];
        const TrieEdge* last = trieEdges.data() + trieFirst[s + 1];
        if (last - first > 8) {
            first = std::lower_bound(first, last, c,
                                     [](const TrieEdge& e, uint16_t cls) { return e.cls < cls; });
            return first != last && first->cls == c ? first->target : 0;
        }
        for (; first != last; ++first)
            if (first->cls == c)
                return first->target;
        return 0;
    }

    // The start filter for Latin-1 texts. It looks at gramLength bytes (as
    // many as the shortest item has, at most eight) and lets a place through
    // when the hash of those bytes, each with bit 0x20 set, is in gramBits.
    // Bytes of one case fold differ in that bit only, so no place where an
    // item starts is missed; byteFilter is false if Latin-1 ever broke that
    // rule, and then the automaton searches. A place let through is decided
    // exactly: every byte maps to a small number for its class (0 for class
    // 0), gramLength of them make a key, and gramKeys/gramTargets (open
    // addressing; 0 marks a free place) give the trie state the key leads to,
    // marked as edge targets are.
    int gramLength = 0; // 0: no item can occur in a Latin-1 text
    bool byteFilter = false;
    std::vector<uint64_t> gramBits;
    int gramShift = 64;
    std::array<uint8_t, 256> byteCode{};
    std::vector<uint64_t> gramKeys;
    std::vector<uint32_t> gramTargets;
    int gramTableShift = 64;

    static constexpr uint64_t kGramMultiplier = 0x9E3779B97F4A7C15ull;
    static constexpr uint64_t kCaseBits = 0x2020202020202020ull;
    uint64_t gramMask() const {
        return gramLength == 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * gramLength)) - 1;
    }
    // The filter's hash of eight bytes as loaded from memory.
    uint64_t gramHash(uint64_t bytes) const {
        return (((bytes | kCaseBits) & gramMask()) * kGramMultiplier) >> gramShift;
    }
    uint32_t gramTarget(uint64_t key) const {
        const size_t mask = gramKeys.size() - 1;
        for (size_t i = size_t((key * kGramMultiplier) >> gramTableShift);; i = (i + 1) & mask) {
            if (gramTargets[i] == 0 || gramKeys[i] == key)
                return gramTargets[i];
        }
    }

    // Whether an item starts at text[start] (start + gramLength <= size).
    // Kept out of the filter's loop, which runs far more often.
    [[gnu::noinline]] bool itemStartsAt(const char* text, size_t size, size_t start) const {
        uint64_t key = 0;
        for (int k = gramLength - 1; k >= 0; --k)
            key = (key << 8) | byteCode[static_cast<unsigned char>(text[start + size_t(k)])];
        uint32_t s = gramTarget(key);
        if (s == 0)
            return false;
        for (size_t i = start + size_t(gramLength);; ++i) {
            if (s & kEndsItem)
                return true;
            if (i == size)
                return false;
            s = trieStep(s, classOf(text[i]));
            if (s == 0)
                return false;
        }
    }

    // The automaton, made by buildAutomaton().
    std::once_flag automatonOnce;
    int32_t denseCount = 1;          // states 0 .. denseCount-1 have rows (set by build())
    int32_t denseLimit = 0;          // denseCount × classes
    std::vector<int32_t> delta;      // dense rows, encoded targets
    std::vector<int32_t> edgeStart;  // per sparse state: its first edge; one more at the end
    std::vector<uint16_t> edgeClass; // sparse edges, by state
    std::vector<int32_t> edgeTarget; // encoded
    std::vector<int32_t> sparseFail; // per sparse state: encoded failure target
    std::vector<int32_t> outLink;    // per state: nearest proper suffix state ending a pattern

    void build();
    // Case folds of the patterns, one after another: the labels, then the
    // items in their order.
    struct FoldedPatterns {
        std::u16string units;
        std::vector<size_t> at{0}; // pattern j is units[at[j] .. at[j + 1])
        size_t size() const { return at.size() - 1; }
        std::u16string_view operator[](size_t j) const {
            return std::u16string_view(units).substr(at[j], at[j + 1] - at[j]);
        }
    };
    void buildStartFilter(const FoldedPatterns& folded);
    template <int Shift> static bool anyItemStarts(const Impl& f, const char* text, size_t size);
    void buildAutomaton();
    // The matcher with its automaton built (once, whichever thread asks first).
    const Impl& automaton() {
        std::call_once(automatonOnce, [this] { buildAutomaton(); });
        return *this;
    }
    int patternAt(int32_t terminal, size_t length);

    int32_t stateOf(int32_t v) const {
        return v < denseLimit ? v / classes : denseCount + (v - denseLimit);
    }

    // The transition from a sparse state: its own edge, else the failure
    // link's transition.
    int32_t sparseStep(int32_t v, uint16_t c) const {
        do {
            const size_t st = size_t(v - denseLimit);
            for (int32_t e = edgeStart[st]; e < edgeStart[st + 1]; ++e)
                if (edgeClass[size_t(e)] == c)
                    return edgeTarget[size_t(e)];
            v = sparseFail[st];
        } while (v >= denseLimit);
        return delta[size_t(v) + c];
    }

    // Calls onMatch(pattern, end) for every pattern ending at each position,
    // in text order; stops when onMatch returns false. Needs the automaton.
    template <typename Unit, typename OnMatch>
    void scan(const Unit* text, size_t size, OnMatch&& onMatch) const {
        const int32_t* d = delta.data();
        const int32_t limit = denseLimit;
        int32_t v = 0;
        for (size_t i = 0; i < size; ++i) {
            const uint16_t c = classAt(text, i, size);
            const int32_t next = v < limit ? d[v + c] : sparseStep(v, c);
            if (next >= 0) {
                v = next;
                continue;
            }
            v = ~next;
            for (int32_t st = stateOf(v); st >= 0; st = outLink[size_t(st)]) {
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
    // Folds of the Latin-1 units, looked up rather than asked for.
    std::array<char16_t, 256> latinFold{};
    for (int u = 0; u < 256; ++u)
        latinFold[size_t(u)] = char16_t(foldCase(QChar(char16_t(u))).unicode());
    FoldedPatterns folded;
    qsizetype total = 20;
    for (const QString& item : items)
        total += item.size();
    folded.units.reserve(size_t(total));
    folded.at.reserve(size_t(items.size()) + 3);
    auto add = [&](const QString& s) {
        const char16_t* units = reinterpret_cast<const char16_t*>(s.utf16());
        const size_t size = size_t(s.size());
        for (size_t i = 0; i < size; ++i) {
            const char16_t u = units[i];
            folded.units.push_back(u < 256 ? latinFold[u] : foldedUnit(units, i, size));
        }
        folded.at.push_back(folded.units.size());
    };
    add(QStringLiteral("RECEIVED:"));
    add(QStringLiteral("MESSAGE-ID:"));
    for (const QString& item : items)
        add(item);

    // Classes: one per distinct folded unit of the patterns, in unit order.
    // Unit sets are bitmaps of 65,536 bits.
    using UnitSet = std::array<uint64_t, 1024>;
    auto has = [](const UnitSet& set, char16_t u) { return (set[u / 64] >> (u % 64)) & 1; };
    UnitSet used{};
    for (char16_t u : folded.units)
        used[u / 64] |= uint64_t(1) << (u % 64);
    uint16_t cls = 0;
    for (size_t word = 0; word < used.size(); ++word) {
        for (uint64_t bits = used[word]; bits != 0; bits &= bits - 1) {
            const auto u = char16_t(word * 64 + size_t(__builtin_ctzll(bits)));
            if (cls == std::numeric_limits<uint16_t>::max())
                throw Failure(
                    QStringLiteral("The interesting items are too many to search together"));
            ++cls;
            if (u < 256)
                foldedLowClass[u] = cls;
            else
                foldedHighClass.emplace_back(u, cls);
        }
    }
    classes = int(cls) + 1;
    UnitSet latin1Fold{}; // folds of the Latin-1 units
    for (size_t u = 0; u < 256; ++u) {
        latinClass[u] = classOfFolded(latinFold[u]);
        latin1Fold[latinFold[u] / 64] |= uint64_t(1) << (latinFold[u] % 64);
    }

    // The trie, one depth at a time over the patterns in sorted order: the
    // children of a state come out together, in class order, and states are
    // numbered breadth first; so the edges come grouped by parent, parents
    // ascending. The sort looks at the first four units first; the patterns
    // are then copied in sorted order, so that each depth reads them in turn.
    struct Row {
        uint64_t start; // the first four units, zero after the end
        uint32_t pattern;
    };
    std::vector<Row> rows;
    rows.reserve(folded.size());
    for (size_t j = 0; j < folded.size(); ++j) {
        const std::u16string_view f = folded[j];
        if (f.empty())
            continue;
        uint64_t start = 0;
        for (size_t k = 0; k < 4; ++k)
            start = (start << 16) | (k < f.size() ? f[k] : 0);
        rows.push_back({start, uint32_t(j)});
    }
    std::sort(rows.begin(), rows.end(), [&](const Row& x, const Row& y) {
        if (x.start != y.start)
            return x.start < y.start;
        return folded[x.pattern] < folded[y.pattern];
    });
    FoldedPatterns sorted;
    sorted.units.reserve(folded.units.size());
    sorted.at.reserve(rows.size() + 1);
    for (const Row& row : rows) {
        const std::u16string_view f = folded[row.pattern];
        sorted.units.append(f.begin(), f.end());
        sorted.at.push_back(sorted.units.size());
    }

    std::vector<int32_t> state(rows.size(), 0); // by row
    std::vector<uint32_t> active(rows.size());
    for (size_t r = 0; r < rows.size(); ++r)
        active[r] = uint32_t(r);
    std::vector<uint32_t> deeper;
    deeper.reserve(rows.size());
    std::vector<int32_t> parents;
    parents.reserve(sorted.units.size());
    trieEdges.reserve(sorted.units.size());
    depthStart = {0, 1};
    states = 1;
    for (size_t depth = 0; !active.empty(); ++depth) {
        deeper.clear();
        int32_t lastParent = -1;
        char16_t lastUnit = 0;
        for (uint32_t r : active) {
            const size_t first = sorted.at[r];
            const char16_t u = sorted.units[first + depth];
            if (state[r] != lastParent || u != lastUnit) {
                lastParent = state[r];
                lastUnit = u;
                parents.push_back(state[r]);
                trieEdges.push_back({classOfFolded(u), uint32_t(states++)});
            }
            state[r] = int32_t(trieEdges.back().target);
            if (sorted.at[r + 1] - first > depth + 1)
                deeper.push_back(r);
        }
        depthStart.push_back(states);
        active.swap(deeper);
    }
    // The state where each pattern ends (the root for an empty one).
    std::vector<int32_t> patternEnd(folded.size(), 0);
    for (size_t r = 0; r < rows.size(); ++r)
        patternEnd[rows[r].pattern] = state[r];

    // Dense rows for the root and for every further depth while the rows
    // stay within the budget.
    const size_t rowBytes = size_t(classes) * sizeof(int32_t);
    size_t dense = 1;
    while (dense + 1 < depthStart.size() && size_t(depthStart[dense + 1]) * rowBytes <= denseBudget)
        ++dense;
    denseCount = depthStart[dense];
    if (size_t(denseCount) * size_t(classes) > size_t(std::numeric_limits<int32_t>::max() / 2) ||
        size_t(states) > size_t(std::numeric_limits<int32_t>::max() / 2))
        throw Failure(QStringLiteral("The interesting items are too many to search together"));
    denseLimit = denseCount * classes;

    trieFirst.assign(size_t(states) + 1, 0);
    for (int32_t parent : parents)
        ++trieFirst[size_t(parent) + 1];
    for (size_t s = 0; s < size_t(states); ++s)
        trieFirst[s + 1] += trieFirst[s];

    outPattern.assign(size_t(states), kNoPattern);
    receivedPattern = patternAt(patternEnd[0], folded[0].size());
    messageIdPattern = patternAt(patternEnd[1], folded[1].size());
    itemPattern.resize(size_t(items.size()));
    for (qsizetype i = 0; i < items.size(); ++i) {
        const std::u16string_view f = folded[size_t(i) + 2];
        const int p = patternAt(patternEnd[size_t(i) + 2], f.size());
        itemPattern[size_t(i)] = p;
        if (p == kNoPattern)
            continue;
        lastItemPattern = p;
        if (!patternIsItem[size_t(p)]) {
            patternIsItem[size_t(p)] = 1;
            ++itemPatternCount;
            const bool latin1 =
                std::all_of(f.begin(), f.end(), [&](char16_t u) { return has(latin1Fold, u); });
            patternLatin1[size_t(p)] = latin1;
            latin1ItemPatternCount += latin1;
        }
    }
    for (TrieEdge& e : trieEdges) {
        const int32_t p = outPattern[e.target];
        if (p != kNoPattern && patternIsItem[size_t(p)])
            e.target |= kEndsItem;
    }
    buildStartFilter(folded);
}

void ColourMatcher::Impl::buildStartFilter(const FoldedPatterns& folded) {
    // Small numbers for the classes Latin-1 bytes fall in, and for each such
    // class the filter's byte: one of its bytes with bit 0x20 set.
    std::vector<uint8_t> codeOfClass(size_t(classes), 0);
    std::vector<int> filterByte(size_t(classes), -1);
    int codes = 0;
    byteFilter = true;
    for (size_t b = 0; b < 256; ++b) {
        const uint16_t c = latinClass[b];
        if (c != 0 && codeOfClass[c] == 0)
            codeOfClass[c] = uint8_t(++codes); // at most 255 classes: one per byte
        byteCode[b] = codeOfClass[c];
        if (c != 0) {
            if (filterByte[c] < 0)
                filterByte[c] = int(b | 0x20);
            byteFilter = byteFilter && filterByte[c] == int(b | 0x20);
        }
    }

    std::vector<size_t> starts; // the items (folded index) a Latin-1 text may hold
    size_t shortest = 8;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const int p = itemPattern[size_t(i)];
        if (p == kNoPattern || !patternLatin1[size_t(p)])
            continue;
        starts.push_back(size_t(i) + 2);
        shortest = std::min(shortest, folded[size_t(i) + 2].size());
    }
    if (starts.empty())
        return;
    gramLength = int(shortest);

    // The exact keys with the state each leads to, and the filter's bytes.
    std::vector<std::pair<uint64_t, uint32_t>> keys;
    keys.reserve(starts.size());
    std::vector<uint64_t> filterKeys;
    filterKeys.reserve(starts.size());
    for (size_t i : starts) {
        uint64_t key = 0;
        uint32_t target = 0; // the root
        unsigned char bytes[8] = {};
        for (int k = 0; k < gramLength; ++k) {
            const uint16_t c = classOfFolded(folded[i][size_t(k)]);
            key |= uint64_t(codeOfClass[c]) << (8 * k);
            target = trieStep(target & ~kEndsItem, c);
            bytes[k] = static_cast<unsigned char>(filterByte[c]);
        }
        keys.emplace_back(key, target);
        uint64_t loaded;
        std::memcpy(&loaded, bytes, sizeof loaded);
        filterKeys.push_back(loaded);
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());

    // About one bit in 64 set, so that few places pass the filter by chance;
    // 2^16 to 2^22 bits, every second power.
    int bits = 16;
    while (bits < 22 && (size_t(1) << bits) < keys.size() * 64)
        bits += 2;
    gramShift = 64 - bits;
    gramBits.assign((size_t(1) << bits) / 64, 0);
    for (uint64_t loaded : filterKeys) {
        const uint64_t h = gramHash(loaded);
        gramBits[h / 64] |= uint64_t(1) << (h % 64);
    }

    size_t tableSize = 16;
    gramTableShift = 60;
    while (tableSize < keys.size() * 2) {
        tableSize *= 2;
        --gramTableShift;
    }
    gramKeys.assign(tableSize, 0);
    gramTargets.assign(tableSize, 0);
    for (const auto& [key, target] : keys) {
        size_t i = size_t((key * kGramMultiplier) >> gramTableShift);
        while (gramTargets[i] != 0)
            i = (i + 1) & (tableSize - 1);
        gramKeys[i] = key;
        gramTargets[i] = target;
    }
}

void ColourMatcher::Impl::buildAutomaton() {
    // Failure links breadth first, working in plain state numbers; a dense
    // row is complete before any deeper state needs it.
    std::vector<int32_t> fail(size_t(states), 0);
    outLink.assign(size_t(states), -1);
    delta.assign(size_t(denseLimit), 0);
    auto step = [&](int32_t s, uint16_t c) {
        for (;;) {
            if (s < denseCount)
                return delta[size_t(s) * size_t(classes) + c];
            for (int32_t e = trieFirst[size_t(s)]; e < trieFirst[size_t(s) + 1]; ++e)
                if (trieEdges[size_t(e)].cls == c)
                    return child(size_t(e));
            s = fail[size_t(s)];
        }
    };
    for (int32_t s = 0; s < states; ++s) {
        if (s < denseCount) {
            int32_t* row = &delta[size_t(s) * size_t(classes)];
            for (int c = 0; c < classes; ++c)
                row[c] = s == 0 ? 0 : step(fail[size_t(s)], uint16_t(c));
            for (int32_t e = trieFirst[size_t(s)]; e < trieFirst[size_t(s) + 1]; ++e)
                row[trieEdges[size_t(e)].cls] = child(size_t(e));
        }
        for (int32_t e = trieFirst[size_t(s)]; e < trieFirst[size_t(s) + 1]; ++e) {
            const int32_t t = child(size_t(e));
            const int32_t f = s == 0 ? 0 : step(fail[size_t(s)], trieEdges[size_t(e)].cls);
            fail[size_t(t)] = f;
            outLink[size_t(t)] = outPattern[size_t(f)] != kNoPattern ? f : outLink[size_t(f)];
        }
    }

    // Encode every target.
    auto encode = [&](int32_t t, bool mark) {
        const int32_t v = t < denseCount ? t * classes : denseLimit + (t - denseCount);
        const bool output = outPattern[size_t(t)] != kNoPattern || outLink[size_t(t)] >= 0;
        return mark && output ? ~v : v;
    };
    for (int32_t& t : delta)
        t = encode(t, true);
    const size_t sparse = size_t(states - denseCount);
    edgeStart.resize(sparse + 1);
    sparseFail.resize(sparse);
    const int32_t firstSparseEdge = trieFirst[size_t(denseCount)];
    for (size_t i = 0; i <= sparse; ++i)
        edgeStart[i] = trieFirst[size_t(denseCount) + i] - firstSparseEdge;
    for (size_t i = 0; i < sparse; ++i)
        sparseFail[i] = encode(fail[size_t(denseCount) + i], false);
    edgeClass.resize(trieEdges.size() - size_t(firstSparseEdge));
    edgeTarget.resize(edgeClass.size());
    for (size_t e = 0; e < edgeClass.size(); ++e) {
        edgeClass[e] = trieEdges[size_t(firstSparseEdge) + e].cls;
        edgeTarget[e] = encode(child(size_t(firstSparseEdge) + e), true);
    }
}

ColourMatcher::ColourMatcher(const QStringList& items, size_t denseBytes)
    : d(std::make_unique<Impl>()) {
    d->items = items;
    d->denseBudget = denseBytes;
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

    const Impl& m = d->automaton();
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
    m.scan(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size()),
           [&](int p, int end) {
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
    const Impl& m = d->automaton();
    auto bytes = [](const auto& v) { return v.capacity() * sizeof(v[0]); };
    return bytes(m.delta) + bytes(m.edgeStart) + bytes(m.edgeClass) + bytes(m.edgeTarget) +
           bytes(m.sparseFail) + bytes(m.outPattern) + bytes(m.outLink) + bytes(m.foldedHighClass) +
           sizeof(m.latinClass) + sizeof(m.foldedLowClass) + bytes(m.patternLength) +
           bytes(m.itemPattern) + bytes(m.patternIsItem) + bytes(m.patternLatin1) +
           bytes(m.trieFirst) + bytes(m.trieEdges) + bytes(m.depthStart) + bytes(m.gramBits) +
           sizeof(m.byteCode) + bytes(m.gramKeys) + bytes(m.gramTargets);
}

bool ColourMatcher::containsAnyItem(const QString& text) const {
    if (d->itemPatternCount == 0)
        return false;
    const Impl& m = d->automaton();
    bool found = false;
    m.scan(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size()), [&](int p, int) {
        found = m.patternIsItem[size_t(p)] != 0;
        return !found;
    });
    return found;
}

// Whether an item starts anywhere in text, through the start filter (whose
// hash keeps the top 64 - Shift bits). Each place's hash comes from the eight
// bytes loaded there, so no place waits for the one before it; two places are
// tested per round.
template <int Shift>
bool ColourMatcher::Impl::anyItemStarts(const Impl& f, const char* text, size_t size) {
    const uint64_t* bits = f.gramBits.data();
    const uint64_t mask = f.gramMask();
    auto passes = [&](uint64_t bytes) -> uint64_t {
        const uint64_t h = (((bytes | kCaseBits) & mask) * kGramMultiplier) >> Shift;
        return (bits[h / 64] >> (h % 64)) & 1;
    };
    const size_t length = size_t(f.gramLength);
    size_t at = 0;
    uint64_t first;
    uint64_t second;
    for (; at + 1 + sizeof first <= size; at += 2) {
        std::memcpy(&first, text + at, sizeof first);
        std::memcpy(&second, text + at + 1, sizeof second);
        const uint64_t either = passes(first) | (passes(second) << 1);
        if (either != 0) {
            if ((either & 1) && f.itemStartsAt(text, size, at))
                return true;
            if ((either & 2) && f.itemStartsAt(text, size, at + 1))
                return true;
        }
    }
    // The last places, where eight bytes would run past the end: their bytes
    // come from the last eight of the text (the filter looks at no more than
    // the text holds), else from a copy.
    if (std::endian::native == std::endian::little && size >= sizeof first) {
        uint64_t last;
        std::memcpy(&last, text + size - sizeof last, sizeof last);
        for (; at + length <= size; ++at)
            if (passes(last >> (8 * (at + sizeof last - size))) && f.itemStartsAt(text, size, at))
                return true;
        return false;
    }
    char tail[2 * sizeof first] = {};
    std::memcpy(tail, text + at, size - at);
    for (const size_t from = at; at + length <= size; ++at) {
        std::memcpy(&first, tail + (at - from), sizeof first);
        if (passes(first) && f.itemStartsAt(text, size, at))
            return true;
    }
    return false;
}

bool ColourMatcher::containsAnyItem(std::string_view latin1Text) const {
    const Impl& f = *d;
    const size_t length = size_t(f.gramLength);
    if (length == 0 || latin1Text.size() < length)
        return false;
    const char* text = latin1Text.data();
    const size_t size = latin1Text.size();
    if (!f.byteFilter) {
        const Impl& m = d->automaton();
        bool found = false;
        m.scan(text, size, [&](int p, int) {
            found = m.patternIsItem[size_t(p)] != 0;
            return !found;
        });
        return found;
    }

    switch (f.gramShift) {
    case 64 - 16:
        return Impl::anyItemStarts<64 - 16>(f, text, size);
    case 64 - 18:
        return Impl::anyItemStarts<64 - 18>(f, text, size);
    case 64 - 20:
        return Impl::anyItemStarts<64 - 20>(f, text, size);
    default:
        return Impl::anyItemStarts<64 - 22>(f, text, size);
    }
}

std::vector<bool> ColourMatcher::itemsPresent(std::string_view latin1Text) const {
    const Impl& m = d->automaton();
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
