#include "view/colour_coding.h"

#include "util/failure.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
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

// Numbers held in as few bytes each as the largest of them needs: one, two
// or four.
class PackedArray {
public:
    void assign(size_t size, uint32_t largest) {
        m_width = largest < 0x100 ? 1 : largest < 0x10000 ? 2 : 4;
        m_bytes.assign(size * m_width, 0);
    }
    uint32_t operator[](size_t i) const {
        if (m_width == 1)
            return m_bytes[i];
        if (m_width == 2) {
            uint16_t v;
            std::memcpy(&v, &m_bytes[2 * i], sizeof v);
            return v;
        }
        uint32_t v;
        std::memcpy(&v, &m_bytes[4 * i], sizeof v);
        return v;
    }
    void set(size_t i, uint32_t value) {
        if (m_width == 1) {
            m_bytes[i] = uint8_t(value);
        } else if (m_width == 2) {
            const auto v = uint16_t(value);
            std::memcpy(&m_bytes[2 * i], &v, sizeof v);
        } else {
            std::memcpy(&m_bytes[4 * i], &value, sizeof value);
        }
    }
    size_t bytes() const { return m_bytes.capacity(); }

private:
    std::vector<uint8_t> m_bytes;
    size_t m_width = 1;
};

} // namespace

// The automaton, Aho–Corasick over character classes. Every UTF-16 unit maps
// to the class of its case fold; units whose fold occurs in no pattern share
// class 0.
//
// States: the root and every state shallower than the dense depth are the
// shallow states, numbered breadth first; they have dense rows (one
// transition per class), where a scan spends nearly all its time. Every
// deeper state is numbered after them, depth first in the sorted order of
// the patterns, so that the first child of a deep state is the next state:
// long items, single chains of deep states, then cost a class and a failure
// link per character, and the matcher stays within a small multiple of the
// items' length however long they are. Deep states with more than one child
// keep the others in a small table.
//
// A transition value v is an "encoded" state: v < denseLimit is the row
// offset of a shallow state, v >= denseLimit is denseLimit + the index of a
// deep state among the deep states. It is bit-inverted when the target ends
// at least one pattern, so the scan tests one sign per character.
//
// The trie is built with the matcher; the automaton on top of it (failure
// links and dense rows, the larger part of the work for long item lists) only
// when a query needs it, and in arrays of its own, so that queries that need
// only the trie may run while another thread builds it. Whether a Latin-1
// text holds any item needs only the trie: a filter over the first
// characters of the items picks the places where an item may start, and the
// trie tells whether one does.
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

    // --- the trie -----------------------------------------------------------
    static constexpr uint32_t kEndsItem = 0x80000000u; // marks a target where an item ends
    static constexpr int32_t kMostStates = 0x7FFFFFFF;
    int32_t states = 1;
    int32_t denseCount = 1; // the shallow states, 0 .. denseCount-1
    // The trie edges of the shallow states: those of s are trieEdges[trieFirst[s]
    // .. trieFirst[s + 1]), by class.
    struct TrieEdge {
        uint16_t cls;
        uint32_t target; // state | kEndsItem
    };
    std::vector<int32_t> trieFirst;
    std::vector<TrieEdge> trieEdges;
    // Per state: the class of the edge into it, and for a deep state how many
    // children it has (two bits: none, one, more).
    PackedArray label;
    std::vector<uint8_t> kinds;
    enum Kind : unsigned { kLeaf = 0, kOneChild = 1, kBranch = 2 };
    // The children of deep branch states past the first (which is the next
    // state): by state, then class; branchSlots finds a state's first.
    struct BranchEdge {
        int32_t state;
        uint16_t cls;
        int32_t child;
    };
    std::vector<BranchEdge> branchEdges;
    std::vector<int32_t> branchSlots; // open addressing: index into branchEdges, -1 free
    int32_t receivedEnd = -1;         // the states where the labels end
    int32_t messageIdEnd = -1;

    // A set of states with constant-time rank: the number of members below a
    // state gives each member a place in a plain array.
    struct RankedSet {
        std::vector<uint64_t> bits;
        std::vector<uint32_t> before; // members in the words before each word
        void reset(size_t size) {
            bits.assign((size + 63) / 64, 0);
            before.clear();
        }
        void insert(size_t s) { bits[s / 64] |= uint64_t(1) << (s % 64); }
        bool contains(size_t s) const { return (bits[s / 64] >> (s % 64)) & 1; }
        size_t finish() {
            before.resize(bits.size());
            uint32_t count = 0;
            for (size_t w = 0; w < bits.size(); ++w) {
                before[w] = count;
                count += uint32_t(std::popcount(bits[w]));
            }
            return count;
        }
        size_t rank(size_t s) const {
            const uint64_t below = bits[s / 64] & ((uint64_t(1) << (s % 64)) - 1);
            return before[s / 64] + size_t(std::popcount(below));
        }
        size_t bytes() const {
            return bits.capacity() * sizeof(uint64_t) + before.capacity() * sizeof(uint32_t);
        }
    };
    // The runs of deep states, one per pattern that has states of its own:
    // depths start .. end, the first state and its parent. Kept for the
    // automaton's build, then dropped.
    struct DeepRun {
        int32_t first;
        int32_t parent;
        uint32_t start;
        uint32_t end;
    };
    std::vector<DeepRun> runs;
    // Calls f(state, parent) for every deep state whose parent is deep, in
    // order of depth.
    template <typename F> void forDeepStatesByDepth(F&& f) const;

    RankedSet terminals;                  // states where a pattern ends
    std::vector<int32_t> terminalPattern; // by rank among terminals
    std::vector<int32_t> terminalState;   // by rank among terminals

    int patternOf(int32_t terminal) const {
        return terminalPattern[terminals.rank(size_t(terminal))];
    }
    bool endsItem(int32_t s) const {
        if (!terminals.contains(size_t(s)))
            return false;
        if (s != receivedEnd && s != messageIdEnd)
            return true;
        return patternIsItem[size_t(patternOf(s))] != 0;
    }
    unsigned kindOf(int32_t s) const { return (kinds[size_t(s) / 4] >> (2 * (s % 4))) & 3u; }
    void setKind(int32_t s, unsigned kind) {
        uint8_t& byte = kinds[size_t(s) / 4];
        byte = uint8_t((byte & ~(3u << (2 * (s % 4)))) | (kind << (2 * (s % 4))));
    }
    // The child of deep state s for class c, or -1.
    int32_t deepChild(int32_t s, uint16_t c) const {
        const unsigned kind = kindOf(s);
        if (kind == kLeaf)
            return -1;
        if (label[size_t(s) + 1] == c)
            return s + 1;
        if (kind == kOneChild)
            return -1;
        const size_t mask = branchSlots.size() - 1;
        for (size_t i = slotOf(s, mask);; i = (i + 1) & mask) {
            const int32_t first = branchSlots[i];
            if (branchEdges[size_t(first)].state != s)
                continue; // another state's slot (a branch state always has one)
            for (size_t e = size_t(first); e < branchEdges.size() && branchEdges[e].state == s; ++e)
                if (branchEdges[e].cls == c)
                    return branchEdges[e].child;
            return -1;
        }
    }
    static size_t slotOf(int32_t s, size_t mask) {
        return size_t((uint64_t(uint32_t(s)) * 0x9E3779B97F4A7C15ull) >> 32) & mask;
    }
    // The target of the trie edge of s for class c (marked when an item ends
    // there), 0 (the root) when there is none.
    uint32_t trieStep(uint32_t s, uint16_t c) const {
        if (int32_t(s) >= denseCount) {
            const int32_t t = deepChild(int32_t(s), c);
            return t < 0 ? 0 : uint32_t(t) | (endsItem(t) ? kEndsItem : 0);
        }
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
            s = trieStep(s & ~kEndsItem, classOf(text[i]));
            if (s == 0)
                return false;
        }
    }

    // --- the automaton, made by buildAutomaton() ------------------------------
    static constexpr uint32_t kOutput = 0x80000000u; // in link: a pattern ends here or at a suffix
    static constexpr uint32_t kFailMask = 0x7FFFFFFFu;
    std::once_flag automatonOnce;
    int32_t denseLimit = 0;     // denseCount × classes
    std::vector<int32_t> delta; // dense rows, encoded targets
    std::vector<uint32_t> link; // per state: failure state | kOutput
    // The states whose failure state is or leads to the end of a pattern,
    // and for each the nearest proper suffix state where one ends, by its
    // rank among the terminals.
    RankedSet suffixEnds;
    PackedArray suffixEnd;

    // The patterns, folded as they are read (nothing keeps a folded copy):
    // the labels, then the items in their order.
    struct Patterns {
        std::vector<std::pair<const char16_t*, uint32_t>> text;
        std::array<char16_t, 256> latinFold{};
        size_t size() const { return text.size(); }
        uint32_t length(size_t j) const { return text[j].second; }
        char16_t at(size_t j, size_t k) const {
            const char16_t u = text[j].first[k];
            return u < 256 ? latinFold[u] : foldedUnit(text[j].first, k, text[j].second);
        }
    };
    void build();
    void buildStartFilter(const Patterns& patterns);
    template <int Shift> static bool anyItemStarts(const Impl& f, const char* text, size_t size);
    void buildAutomaton();
    // The matcher with its automaton built (once, whichever thread asks first).
    const Impl& automaton() {
        std::call_once(automatonOnce, [this] { buildAutomaton(); });
        return *this;
    }

    int32_t stateOf(int32_t v) const {
        return v < denseLimit ? v / classes : denseCount + (v - denseLimit);
    }
    int32_t encode(int32_t t) const {
        const int32_t v = t < denseCount ? t * classes : denseLimit + (t - denseCount);
        return (link[size_t(t)] & kOutput) ? ~v : v;
    }

    // The transition from a deep state: its own edge, else the failure
    // link's transition.
    int32_t deepStep(int32_t v, uint16_t c) const {
        int32_t s = denseCount + (v - denseLimit);
        for (;;) {
            const int32_t child = deepChild(s, c);
            if (child >= 0)
                return encode(child);
            s = int32_t(link[size_t(s)] & kFailMask);
            if (s < denseCount)
                return delta[size_t(s) * size_t(classes) + c];
        }
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
            const int32_t next = v < limit ? d[v + c] : deepStep(v, c);
            if (next >= 0) {
                v = next;
                continue;
            }
            v = ~next;
            int32_t st = stateOf(v);
            for (;;) {
                if (terminals.contains(size_t(st)) && !onMatch(patternOf(st), int(i + 1)))
                    return;
                if (!suffixEnds.contains(size_t(st)))
                    break;
                st = terminalState[suffixEnd[suffixEnds.rank(size_t(st))]];
            }
        }
    }
};

void ColourMatcher::Impl::build() {
    Patterns patterns;
    for (int u = 0; u < 256; ++u)
        patterns.latinFold[size_t(u)] = char16_t(foldCase(QChar(char16_t(u))).unicode());
    const QString labels[2] = {QStringLiteral("RECEIVED:"), QStringLiteral("MESSAGE-ID:")};
    patterns.text.reserve(size_t(items.size()) + 2);
    qsizetype total = 0;
    auto add = [&](const QString& s) {
        if (s.size() >= kMostStates)
            throw Failure(QStringLiteral("The interesting items are too many to search together"));
        patterns.text.emplace_back(reinterpret_cast<const char16_t*>(s.utf16()),
                                   uint32_t(s.size()));
        total += s.size();
    };
    for (const QString& label : labels)
        add(label);
    for (const QString& item : items)
        add(item);
    if (total >= kMostStates)
        throw Failure(QStringLiteral("The interesting items are too many to search together"));

    // Classes: one per distinct folded unit of the patterns, in unit order.
    // Unit sets are bitmaps of 65,536 bits.
    using UnitSet = std::array<uint64_t, 1024>;
    auto has = [](const UnitSet& set, char16_t u) { return (set[u / 64] >> (u % 64)) & 1; };
    UnitSet used{};
    for (size_t j = 0; j < patterns.size(); ++j)
        for (size_t k = 0; k < patterns.length(j); ++k) {
            const char16_t u = patterns.at(j, k);
            used[u / 64] |= uint64_t(1) << (u % 64);
        }
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
        const char16_t f = patterns.latinFold[u];
        latinClass[u] = classOfFolded(f);
        latin1Fold[f / 64] |= uint64_t(1) << (f % 64);
    }

    // The patterns in sorted order of their folds (the first four units
    // first, as one number), and how many units each shares with the one
    // before it.
    struct Row {
        uint64_t start; // the first four units, zero after the end
        uint32_t pattern;
    };
    std::vector<Row> rows;
    rows.reserve(patterns.size());
    for (size_t j = 0; j < patterns.size(); ++j) {
        if (patterns.length(j) == 0)
            continue;
        uint64_t start = 0;
        for (size_t k = 0; k < 4; ++k)
            start = (start << 16) | (k < patterns.length(j) ? patterns.at(j, k) : 0);
        rows.push_back({start, uint32_t(j)});
    }
    auto shared = [&](size_t a, size_t b) {
        const size_t n = std::min(patterns.length(a), patterns.length(b));
        size_t k = 0;
        while (k < n && patterns.at(a, k) == patterns.at(b, k))
            ++k;
        return k;
    };
    std::sort(rows.begin(), rows.end(), [&](const Row& x, const Row& y) {
        if (x.start != y.start)
            return x.start < y.start;
        const size_t k = shared(x.pattern, y.pattern);
        const size_t nx = patterns.length(x.pattern);
        const size_t ny = patterns.length(y.pattern);
        if (k == nx || k == ny)
            return nx < ny;
        return patterns.at(x.pattern, k) < patterns.at(y.pattern, k);
    });
    const size_t n = rows.size();
    std::vector<uint32_t> lcp(n, 0);
    for (size_t r = 1; r < n; ++r)
        lcp[r] = uint32_t(shared(rows[r - 1].pattern, rows[r].pattern));
    auto length = [&](size_t r) { return size_t(patterns.length(rows[r].pattern)); };

    // States per depth, as far as dense rows could reach: row r adds one at
    // each depth past what it shares with the row before it.
    const size_t rowBytes = size_t(classes) * sizeof(int32_t);
    size_t longest = 0;
    for (size_t r = 0; r < n; ++r)
        longest = std::max(longest, length(r));
    const size_t reach = std::min(longest, denseBudget / rowBytes + 1);
    std::vector<int64_t> depthStart(reach + 2, 0); // states shallower than each depth
    for (size_t r = 0; r < n; ++r) {
        if (lcp[r] + 1 <= reach) {
            ++depthStart[lcp[r] + 1];
            --depthStart[std::min(length(r), reach) + 1];
        }
    }
    for (size_t d = 1; d < depthStart.size(); ++d)
        depthStart[d] += depthStart[d - 1]; // states at depth d
    {
        int64_t shallower = 1; // the root
        for (size_t d = 1; d < depthStart.size(); ++d) {
            const int64_t at = depthStart[d];
            depthStart[d] = shallower;
            shallower += at;
        }
        depthStart[0] = 0;
    }
    // Dense rows for the root and for every further depth while the rows
    // stay within the budget.
    size_t dense = 1;
    while (dense + 1 < depthStart.size() && size_t(depthStart[dense + 1]) * rowBytes <= denseBudget)
        ++dense;
    denseCount = int32_t(depthStart[dense]);
    if (size_t(denseCount) * size_t(classes) > size_t(kMostStates / 2))
        throw Failure(QStringLiteral("The interesting items are too many to search together"));
    depthStart = {};

    // Deep states: each row's own states below the dense depth, one run per
    // row in sorted order.
    std::vector<int32_t> firstDeep(n, -1);
    int64_t next = denseCount;
    for (size_t r = 0; r < n; ++r) {
        const size_t start = std::max<size_t>(lcp[r], dense - 1) + 1;
        if (length(r) >= start) {
            firstDeep[r] = int32_t(next);
            next += int64_t(length(r) - start + 1);
        }
    }
    if (next > kMostStates / 2 ||
        int64_t(denseCount) * classes + (next - denseCount) > kMostStates / 2)
        throw Failure(QStringLiteral("The interesting items are too many to search together"));
    states = int32_t(next);
    label.assign(size_t(states), uint32_t(classes - 1));
    kinds.assign((size_t(states) + 3) / 4, 0);

    // The shallow trie, one depth at a time over the rows: the children of a
    // state come out together, in class order, and shallow states are
    // numbered breadth first; so the edges come grouped by parent, parents
    // ascending. The edges into the first deep depth lead to deep states.
    std::vector<int32_t> state(n, 0);       // per row: its state at the depth reached
    std::vector<int32_t> deepParent(n, -1); // per row: the parent of its first deep state
    std::vector<uint32_t> active(n);
    for (size_t r = 0; r < n; ++r)
        active[r] = uint32_t(r);
    std::vector<uint32_t> deeper;
    std::vector<int32_t> parents;
    int32_t shallow = 1;
    for (size_t depth = 0; depth < dense && !active.empty(); ++depth) {
        deeper.clear();
        int32_t lastParent = -1;
        char16_t lastUnit = 0;
        for (uint32_t r : active) {
            const char16_t u = patterns.at(rows[r].pattern, depth);
            if (state[r] != lastParent || u != lastUnit) {
                lastParent = state[r];
                lastUnit = u;
                const int32_t target = depth + 1 < dense ? shallow++ : firstDeep[r];
                if (depth + 1 == dense)
                    deepParent[r] = state[r];
                parents.push_back(state[r]);
                trieEdges.push_back({classOfFolded(u), uint32_t(target)});
                label.set(size_t(target), classOfFolded(u));
            }
            state[r] = int32_t(trieEdges.back().target);
            if (length(r) > depth + 1 && depth + 1 < dense)
                deeper.push_back(r);
        }
        active.swap(deeper);
    }
    active = {};
    deeper = {};
    trieFirst.assign(size_t(denseCount) + 1, 0);
    for (int32_t parent : parents)
        ++trieFirst[size_t(parent) + 1];
    for (size_t s = 0; s < size_t(denseCount); ++s)
        trieFirst[s + 1] += trieFirst[s];
    parents = {};

    // The deep states, row by row. A stack holds the runs of deep states on
    // the path of the row before: where a row leaves that path, the state
    // it leaves from gains a child.
    struct Run {
        size_t start; // depth of the run's first state
        int32_t first;
        size_t end; // depth of its last state
    };
    std::vector<Run> path;
    std::vector<int32_t> terminal(patterns.size(), 0);
    auto onPath = [&](size_t depth) {
        while (path.back().start > depth)
            path.pop_back();
        return path.back().first + int32_t(depth - path.back().start);
    };
    for (size_t r = 0; r < n; ++r) {
        const size_t len = length(r);
        const size_t start = std::max<size_t>(lcp[r], dense - 1) + 1;
        if (lcp[r] < dense)
            path.clear();
        else
            deepParent[r] = onPath(lcp[r]);
        if (len < start) { // no state of its own: the same fold as the row before
            terminal[rows[r].pattern] = len < dense ? state[r] : onPath(len);
            continue;
        }
        const int32_t first = firstDeep[r];
        for (size_t d = start; d <= len; ++d) {
            const int32_t t = first + int32_t(d - start);
            label.set(size_t(t), classOfFolded(patterns.at(rows[r].pattern, d - 1)));
            setKind(t, d < len ? kOneChild : kLeaf);
        }
        if (lcp[r] >= dense) {
            const int32_t p = deepParent[r];
            const unsigned kind = kindOf(p);
            if (kind == kLeaf) {
                setKind(p, kOneChild); // the row before ended at p: first is p + 1
            } else {
                setKind(p, kBranch);
                branchEdges.push_back({p, uint16_t(label[size_t(first)]), first});
            }
        }
        path.push_back({start, first, len});
        runs.push_back({first, deepParent[r], uint32_t(start), uint32_t(len)});
        terminal[rows[r].pattern] = first + int32_t(len - start);
    }
    path = {};
    firstDeep = {};
    lcp = {};
    state = {};
    deepParent = {};
    rows = {};

    std::stable_sort(branchEdges.begin(), branchEdges.end(),
                     [](const BranchEdge& a, const BranchEdge& b) { return a.state < b.state; });
    size_t slotCount = 16;
    while (slotCount < 2 * branchEdges.size())
        slotCount *= 2;
    branchSlots.assign(slotCount, -1);
    for (size_t e = 0; e < branchEdges.size(); ++e) {
        if (e > 0 && branchEdges[e - 1].state == branchEdges[e].state)
            continue;
        size_t i = slotOf(branchEdges[e].state, slotCount - 1);
        while (branchSlots[i] >= 0)
            i = (i + 1) & (slotCount - 1);
        branchSlots[i] = int32_t(e);
    }

    // Patterns: one per state where a fold ends, numbered as first met in
    // the order labels, items.
    terminals.reset(size_t(states));
    for (size_t j = 0; j < patterns.size(); ++j)
        if (patterns.length(j) > 0)
            terminals.insert(size_t(terminal[j]));
    terminalPattern.assign(terminals.finish(), kNoPattern);
    terminalState.reserve(terminalPattern.size());
    for (size_t w = 0; w < terminals.bits.size(); ++w)
        for (uint64_t bits = terminals.bits[w]; bits != 0; bits &= bits - 1)
            terminalState.push_back(int32_t(w * 64 + size_t(std::countr_zero(bits))));
    auto patternAt = [&](size_t j) {
        if (patterns.length(j) == 0)
            return kNoPattern;
        int32_t& p = terminalPattern[terminals.rank(size_t(terminal[j]))];
        if (p == kNoPattern) {
            p = int32_t(patternLength.size());
            patternLength.push_back(int(patterns.length(j)));
            patternIsItem.push_back(0);
            patternLatin1.push_back(0);
        }
        return int(p);
    };
    receivedPattern = patternAt(0);
    messageIdPattern = patternAt(1);
    receivedEnd = terminal[0];
    messageIdEnd = terminal[1];
    itemPattern.resize(size_t(items.size()));
    for (qsizetype i = 0; i < items.size(); ++i) {
        const size_t j = size_t(i) + 2;
        const int p = patternAt(j);
        itemPattern[size_t(i)] = p;
        if (p == kNoPattern)
            continue;
        lastItemPattern = p;
        if (!patternIsItem[size_t(p)]) {
            patternIsItem[size_t(p)] = 1;
            ++itemPatternCount;
            bool latin1 = true;
            for (size_t k = 0; k < patterns.length(j) && latin1; ++k)
                latin1 = has(latin1Fold, patterns.at(j, k));
            patternLatin1[size_t(p)] = latin1 ? 1 : 0;
            latin1ItemPatternCount += latin1;
        }
    }
    for (TrieEdge& e : trieEdges)
        if (endsItem(int32_t(e.target)))
            e.target |= kEndsItem;
    buildStartFilter(patterns);
}

void ColourMatcher::Impl::buildStartFilter(const Patterns& patterns) {
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

    std::vector<size_t> starts; // the items (pattern index) a Latin-1 text may hold
    size_t shortest = 8;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const int p = itemPattern[size_t(i)];
        if (p == kNoPattern || !patternLatin1[size_t(p)])
            continue;
        starts.push_back(size_t(i) + 2);
        shortest = std::min<size_t>(shortest, patterns.length(size_t(i) + 2));
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
            const uint16_t c = classOfFolded(patterns.at(i, size_t(k)));
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

template <typename F> void ColourMatcher::Impl::forDeepStatesByDepth(F&& f) const {
    // The runs by the depth of their first state; a sweep down the depths
    // keeps the runs that reach the current one.
    std::vector<uint32_t> order(runs.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = uint32_t(i);
    std::sort(order.begin(), order.end(),
              [&](uint32_t a, uint32_t b) { return runs[a].start < runs[b].start; });
    std::vector<uint32_t> reaching;
    size_t next = 0;
    for (uint32_t depth = order.empty() ? 0 : runs[order[0]].start;
         next < order.size() || !reaching.empty(); ++depth) {
        if (reaching.empty() && next < order.size())
            depth = std::max(depth, runs[order[next]].start);
        while (next < order.size() && runs[order[next]].start == depth)
            reaching.push_back(order[next++]);
        for (size_t k = 0; k < reaching.size();) {
            const DeepRun& run = runs[reaching[k]];
            const int32_t t = run.first + int32_t(depth - run.start);
            const int32_t parent = depth == run.start ? run.parent : t - 1;
            if (parent >= denseCount)
                f(t, parent);
            if (run.end == depth) {
                reaching[k] = reaching.back();
                reaching.pop_back();
            } else {
                ++k;
            }
        }
    }
}

void ColourMatcher::Impl::buildAutomaton() {
    // Failure links breadth first, in plain state numbers: the shallow
    // states in their order, then the deep ones depth by depth. A dense row
    // is complete before any deeper state needs it.
    link.assign(size_t(states), 0);
    denseLimit = denseCount * classes;
    delta.assign(size_t(denseLimit), 0);
    auto failOf = [&](int32_t s) { return int32_t(link[size_t(s)] & kFailMask); };
    auto output = [&](int32_t s) { return (link[size_t(s)] & kOutput) != 0; };
    auto step = [&](int32_t s, uint16_t c) {
        for (;;) {
            if (s < denseCount)
                return delta[size_t(s) * size_t(classes) + c];
            const int32_t child = deepChild(s, c);
            if (child >= 0)
                return child;
            s = failOf(s);
        }
    };
    auto setFail = [&](int32_t t, int32_t f) {
        link[size_t(t)] = uint32_t(f) | (terminals.contains(size_t(t)) || output(f) ? kOutput : 0u);
    };
    for (int32_t s = 0; s < denseCount; ++s) {
        int32_t* row = &delta[size_t(s) * size_t(classes)];
        for (int c = 0; c < classes; ++c)
            row[c] = s == 0 ? 0 : step(failOf(s), uint16_t(c));
        for (int32_t e = trieFirst[size_t(s)]; e < trieFirst[size_t(s) + 1]; ++e) {
            const TrieEdge& edge = trieEdges[size_t(e)];
            const auto t = int32_t(edge.target & ~kEndsItem);
            setFail(t, s == 0 ? 0 : step(failOf(s), edge.cls));
            row[edge.cls] = t;
        }
    }
    forDeepStatesByDepth([&](int32_t t, int32_t parent) {
        setFail(t, step(failOf(parent), uint16_t(label[size_t(t)])));
    });

    // For each state whose failure state ends a pattern or leads to one, the
    // nearest such proper suffix, again breadth first.
    suffixEnds.reset(size_t(states));
    for (int32_t t = 1; t < states; ++t)
        if (output(failOf(t)))
            suffixEnds.insert(size_t(t));
    suffixEnd.assign(suffixEnds.finish(), uint32_t(terminalState.size()));
    auto nearestEnd = [&](int32_t t) {
        if (!suffixEnds.contains(size_t(t)))
            return;
        const int32_t f = failOf(t);
        suffixEnd.set(suffixEnds.rank(size_t(t)), terminals.contains(size_t(f))
                                                      ? uint32_t(terminals.rank(size_t(f)))
                                                      : suffixEnd[suffixEnds.rank(size_t(f))]);
    };
    for (int32_t t = 1; t < states; ++t) {
        if (t == denseCount)
            break;
        nearestEnd(t);
    }
    // The deep states whose parent is shallow come first among the deep
    // ones, as their parents' edges list them.
    for (int32_t s = 0; s < denseCount; ++s)
        for (int32_t e = trieFirst[size_t(s)]; e < trieFirst[size_t(s) + 1]; ++e) {
            const auto t = int32_t(trieEdges[size_t(e)].target & ~kEndsItem);
            if (t >= denseCount)
                nearestEnd(t);
        }
    forDeepStatesByDepth([&](int32_t t, int32_t) { nearestEnd(t); });

    for (int32_t& t : delta)
        t = encode(t);
    runs = {};
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
            if (m.patternIsItem[p])
                active[p] = 1;
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
    return bytes(m.delta) + bytes(m.link) + m.suffixEnds.bytes() + m.suffixEnd.bytes() +
           m.label.bytes() + bytes(m.kinds) + bytes(m.branchEdges) + bytes(m.branchSlots) +
           m.terminals.bytes() + bytes(m.terminalPattern) + bytes(m.terminalState) + bytes(m.runs) +
           bytes(m.foldedHighClass) + sizeof(m.latinClass) + sizeof(m.foldedLowClass) +
           bytes(m.patternLength) + bytes(m.itemPattern) + bytes(m.patternIsItem) +
           bytes(m.patternLatin1) + bytes(m.trieFirst) + bytes(m.trieEdges) + bytes(m.gramBits) +
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
