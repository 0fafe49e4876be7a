#include "items/item_matcher.h"

#include "util/failure.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>
#include <tuple>

namespace jl {

namespace {

// The case fold of the unit at i of a UTF-16 text, as the matcher compares
// it: a character outside the Basic Multilingual Plane is folded whole, each
// of its two units standing for the same unit of the folded character (so
// "\U00010400" matches "\U00010428", as the view's find has it); half a
// character without its other half stays as it is.
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
// when a query needs it, and in arrays of its own, so that a search that
// needs only part of it may run while another thread builds the rest. Whether a Latin-1
// text holds any item needs only the dense rows: a filter over the items'
// rarest characters picks the places where one may be, and the automaton,
// run from a little before each, tells whether one is, working out the
// links of the deeper states it meets as it goes.
struct ItemMatcher::Impl {
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
    static constexpr int32_t kMostStates = 0x7FFFFFFF;
    int32_t states = 1;
    int32_t denseCount = 1; // the shallow states, 0 .. denseCount-1
    // The trie edges of the shallow states: those of s are trieEdges[trieFirst[s]
    // .. trieFirst[s + 1]), by class.
    struct TrieEdge {
        uint16_t cls;
        uint32_t target;
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
    // The search of Latin-1 texts for any item: a start filter picks the
    // places where an item may be, and the automaton, run from a little
    // before each, decides them. The filter looks at gramLength bytes (as
    // many as the shortest item has, at most eight), each with bit 0x20 set.
    // Each item is known there by the window of gramLength of its characters
    // that is rarest in message text, within its first windowReach +
    // gramLength characters; bytes of one case fold differ in bit 0x20 only,
    // so no place where an item's window lies is missed. A place passes when
    // the hash of its bytes is in gramBits (about a bit in 64 set), the bytes
    // are one of the windows (windowKeys, open addressing, 0 a free slot),
    // and the text also holds a second window of one of the items known by
    // that one, where that item has it: its rarest window apart from the
    // first (windowSeconds: the distance from the first and the bytes, a few
    // per window; windowInfo tells which, or kAnyItem when a window stands
    // for an item without a second or for too many). byteFilter is false if
    // Latin-1 ever broke the rule of the case bit, and then the automaton
    // searches alone.
    int gramLength = 0; // 0: no item can occur in a Latin-1 text
    bool byteFilter = false;
    size_t windowReach = 0; // how far before its window an item may start
    std::vector<uint64_t> gramBits;
    int gramShift = 64;
    static constexpr uint32_t kAnyItem = 0xFFFFFFFFu;
    struct SecondWindow {
        int32_t distance; // from the first window
        uint64_t bytes;
    };
    std::vector<uint64_t> windowKeys;
    std::vector<uint32_t> windowInfo; // kAnyItem, or the first second window << 4 | their count
    std::vector<SecondWindow> windowSeconds;
    int windowShift = 64;
    // The slot of the window with these bytes, or -1.
    ptrdiff_t windowSlot(uint64_t key) const {
        const size_t mask = windowKeys.size() - 1;
        for (size_t i = size_t((key * kGramMultiplier) >> windowShift);; i = (i + 1) & mask) {
            if (windowKeys[i] == key)
                return ptrdiff_t(i);
            if (windowKeys[i] == 0)
                return -1;
        }
    }
    bool secondWindowAt(const char* text, size_t size, size_t at, uint32_t info) const;

    static constexpr uint64_t kGramMultiplier = 0x9E3779B97F4A7C15ull;
    static constexpr uint64_t kCaseBits = 0x2020202020202020ull;
    uint64_t gramMask() const {
        return gramLength == 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * gramLength)) - 1;
    }
    // The filter's hash of eight bytes as loaded from memory.
    uint64_t gramHash(uint64_t bytes) const {
        return (((bytes | kCaseBits) & gramMask()) * kGramMultiplier) >> gramShift;
    }
    size_t nextWindow(const char* text, size_t size, size_t from) const;
    bool anyItemIn(const char* text, size_t size) const;

    // --- the automaton ----------------------------------------------------------
    // Failure links and dense rows. The rows (and the links of the states
    // they lead to) are made by the first query that needs the automaton;
    // the links of the deeper states by the first query that meets each
    // (workOutLink), or all at once, with the nearest ends of patterns, by the
    // first query that needs those (buildAutomaton()). Any thread may ask:
    // a link is worked out the same by every thread, and read and written
    // whole.
    static constexpr uint32_t kOutput = 0x80000000u; // in link: a pattern ends here or at a suffix
    static constexpr uint32_t kFailMask = 0x7FFFFFFFu;
    static constexpr uint32_t kUnknown = 0xFFFFFFFFu; // a link not worked out yet
    std::once_flag rowsOnce;
    std::once_flag automatonOnce;
    int32_t denseLimit = 0;             // denseCount × classes
    std::vector<int32_t> delta;         // dense rows, encoded targets
    mutable std::vector<uint32_t> link; // per state: failure state | kOutput
    std::vector<int32_t> depthStart;    // the states shallower than each dense depth
    // The search's way back to its filter: encoded states below
    // shallowLimit, and the deep states in shallowDeep, are shallower than
    // gramLength.
    int32_t shallowLimit = 0;
    std::vector<uint64_t> shallowDeep;
    // The states whose failure state is or leads to the end of a pattern,
    // and for each the nearest proper suffix state where one ends, by its
    // rank among the terminals.
    RankedSet suffixEnds;
    PackedArray suffixEnd;

    // The patterns, one after another, for the build: the labels, then the
    // items in their order; their case folds at first, then (once the classes
    // are known) the class of each unit, so that class order is fold order.
    struct Patterns {
        std::vector<uint16_t> units;
        std::vector<uint32_t> begin; // per pattern where its units begin, and the end
        size_t size() const { return begin.size() - 1; }
        uint32_t length(size_t j) const { return begin[j + 1] - begin[j]; }
        uint16_t at(size_t j, size_t k) const { return units[begin[j] + k]; }
        const uint16_t* of(size_t j) const { return units.data() + begin[j]; }
    };
    // The steps of the build, in order.
    struct Layout;
    void build();
    Patterns collectPatterns() const;
    std::vector<char> assignClasses(Patterns& patterns);
    void sortPatterns(Layout& layout) const;
    void chooseDenseDepth(Layout& layout);
    void numberDeepStates(Layout& layout);
    void buildShallowTrie(Layout& layout);
    std::vector<int32_t> buildDeepStates(Layout& layout);
    void indexBranches();
    void numberPatterns(const Patterns& patterns, const std::vector<int32_t>& terminal,
                        const std::vector<char>& latin1Class);
    void buildStartFilter(const Patterns& patterns);
    void buildRows();
    void buildAutomaton();
    // The matcher with its dense rows built (once, whichever thread asks
    // first): enough for a search that works out the other links as it goes.
    const Impl& rows() {
        std::call_once(rowsOnce, [this] { buildRows(); });
        return *this;
    }
    // The matcher with its whole automaton built, the nearest ends included.
    const Impl& automaton() {
        rows();
        std::call_once(automatonOnce, [this] { buildAutomaton(); });
        return *this;
    }

    uint32_t loadLink(int32_t s) const {
        return std::atomic_ref<uint32_t>(link[size_t(s)]).load(std::memory_order_relaxed);
    }
    void storeLink(int32_t s, uint32_t value) const {
        std::atomic_ref<uint32_t>(link[size_t(s)]).store(value, std::memory_order_relaxed);
    }
    // The link of s, worked out first where no thread has done so yet.
    uint32_t lazyLink(int32_t s) const {
        const uint32_t known = loadLink(s);
        return known != kUnknown ? known : workOutLink(s);
    }
    uint32_t workOutLink(int32_t s) const;
    int32_t parentOf(int32_t s) const;
    int32_t stateOf(int32_t v) const {
        return v < denseLimit ? v / classes : denseCount + (v - denseLimit);
    }
    int32_t encode(int32_t t) const {
        const int32_t v = t < denseCount ? t * classes : denseLimit + (t - denseCount);
        return (lazyLink(t) & kOutput) ? ~v : v;
    }
    // Whether an item ends at state s or at one of its suffixes.
    bool itemEndsAt(int32_t s) const {
        for (;;) {
            const uint32_t l = lazyLink(s);
            if (!(l & kOutput))
                return false;
            if (endsItem(s))
                return true;
            s = int32_t(l & kFailMask);
        }
    }

    // The transition from a deep state: its own edge, else the failure
    // link's transition.
    int32_t deepStep(int32_t v, uint16_t c) const {
        int32_t s = denseCount + (v - denseLimit);
        for (;;) {
            const int32_t child = deepChild(s, c);
            if (child >= 0)
                return encode(child);
            s = int32_t(lazyLink(s) & kFailMask);
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

namespace {

[[noreturn]] void tooManyItems() {
    throw Failure(QStringLiteral("The interesting items are too many to search together"));
}

// The two header labels, searched before the items.
const std::array<QString, 2>& labels() {
    static const std::array<QString, 2> texts = {QStringLiteral("RECEIVED:"),
                                                 QStringLiteral("MESSAGE-ID:")};
    return texts;
}

using UnitSet = std::array<uint64_t, 1024>; // a set of UTF-16 units, 65,536 bits

void insert(UnitSet& set, char16_t u) {
    set[u / 64] |= uint64_t(1) << (u % 64);
}

} // namespace

// What the build works out on its way to the trie and drops at its end: the
// non-empty patterns in sorted order of their folds ("rows"), and where each
// row's states go.
struct ItemMatcher::Impl::Layout {
    explicit Layout(const Patterns& p) : patterns(p) {}
    struct Row {
        uint64_t start; // the first units, as one number, zero after the end
        uint64_t next;  // as many units after them
        uint32_t pattern;
    };
    const Patterns& patterns;
    std::vector<Row> rows;
    // The rows' units in their sorted order, one after another, so that the
    // steps after the sort read them in turn.
    std::vector<uint16_t> sorted;
    std::vector<uint32_t> sortedBegin;
    std::vector<uint32_t> lcp;       // units each row shares with the row before it
    size_t dense = 1;                // the depths that have dense rows: 0 .. dense - 1
    std::vector<int32_t> firstDeep;  // per row: its first deep state, -1 when none
    std::vector<int32_t> state;      // per row: its state at the last shallow depth it reaches
    std::vector<int32_t> deepParent; // per row: the parent of its first deep state

    size_t length(size_t r) const { return sortedBegin[r + 1] - sortedBegin[r]; }
    uint16_t at(size_t r, size_t k) const { return sorted[sortedBegin[r] + k]; }
    // The depth of the first state of its own that row r has below the dense
    // depths.
    size_t deepStart(size_t r) const { return std::max<size_t>(lcp[r], dense - 1) + 1; }
};

void ItemMatcher::Impl::build() {
    Patterns patterns = collectPatterns();
    const std::vector<char> latin1Class = assignClasses(patterns);
    std::vector<int32_t> terminal; // per pattern: the state where it ends
    {
        Layout layout(patterns);
        sortPatterns(layout);
        chooseDenseDepth(layout);
        numberDeepStates(layout);
        buildShallowTrie(layout);
        terminal = buildDeepStates(layout);
    }
    indexBranches();
    numberPatterns(patterns, terminal, latin1Class);
    buildStartFilter(patterns);
}

// The labels, then the items in their order, each as a text of its own.
ItemMatcher::Impl::Patterns ItemMatcher::Impl::collectPatterns() const {
    std::array<char16_t, 256> latinFold{};
    for (int u = 0; u < 256; ++u)
        latinFold[size_t(u)] = QChar(char16_t(u)).toCaseFolded().unicode();
    Patterns patterns;
    qsizetype total = 0;
    for (const QString& label : labels())
        total += label.size();
    for (const QString& item : items) {
        if (item.size() >= kMostStates)
            tooManyItems();
        total += item.size();
    }
    if (total >= kMostStates)
        tooManyItems();
    patterns.units.reserve(size_t(total));
    patterns.begin.reserve(size_t(items.size()) + labels().size() + 1);
    auto add = [&](const QString& s) {
        patterns.begin.push_back(uint32_t(patterns.units.size()));
        const auto* text = reinterpret_cast<const char16_t*>(s.utf16());
        const auto size = size_t(s.size());
        for (size_t k = 0; k < size; ++k) {
            const char16_t u = text[k];
            patterns.units.push_back(u < 256 ? latinFold[u] : foldedUnit(text, k, size));
        }
    };
    for (const QString& label : labels())
        add(label);
    for (const QString& item : items)
        add(item);
    patterns.begin.push_back(uint32_t(patterns.units.size()));
    return patterns;
}

// One class per distinct folded unit of the patterns, in unit order; each
// unit becomes its class. Returns, per class, whether it is the fold of a
// Latin-1 unit.
std::vector<char> ItemMatcher::Impl::assignClasses(Patterns& patterns) {
    UnitSet used{};
    for (const uint16_t u : patterns.units)
        insert(used, char16_t(u));
    uint16_t cls = 0;
    for (size_t word = 0; word < used.size(); ++word) {
        for (uint64_t bits = used[word]; bits != 0; bits &= bits - 1) {
            const auto u = char16_t(word * 64 + size_t(__builtin_ctzll(bits)));
            if (cls == std::numeric_limits<uint16_t>::max())
                tooManyItems();
            ++cls;
            if (u < 256)
                foldedLowClass[u] = cls;
            else
                foldedHighClass.emplace_back(u, cls);
        }
    }
    classes = int(cls) + 1;
    std::vector<char> latin1Class(size_t(classes), 0);
    for (size_t u = 0; u < 256; ++u) {
        latinClass[u] = classOfFolded(QChar(char16_t(u)).toCaseFolded().unicode());
        latin1Class[latinClass[u]] = 1;
    }
    latin1Class[0] = 0;
    for (uint16_t& u : patterns.units)
        u = classOfFolded(char16_t(u));
    return latin1Class;
}

// The rows in sorted order of their folds (the first classes first, as two
// numbers: eight classes each where they fit in a byte, else four), and how
// many units each shares with the one before it.
void ItemMatcher::Impl::sortPatterns(Layout& layout) const {
    const Patterns& patterns = layout.patterns;
    std::vector<Layout::Row>& rows = layout.rows;
    rows.reserve(patterns.size());
    const size_t count = classes <= 256 ? 8 : 4;
    const int width = classes <= 256 ? 8 : 16;
    auto number = [&](size_t j, size_t from) {
        uint64_t value = 0;
        for (size_t k = from; k < from + count; ++k)
            value = (value << width) | (k < patterns.length(j) ? patterns.at(j, k) : 0);
        return value;
    };
    for (size_t j = 0; j < patterns.size(); ++j)
        if (patterns.length(j) > 0)
            rows.push_back({number(j, 0), number(j, count), uint32_t(j)});
    std::sort(rows.begin(), rows.end(), [&](const Layout::Row& x, const Layout::Row& y) {
        if (x.start != y.start)
            return x.start < y.start;
        if (x.next != y.next)
            return x.next < y.next;
        const uint16_t* a = patterns.of(x.pattern);
        const uint16_t* b = patterns.of(y.pattern);
        return std::lexicographical_compare(a, a + patterns.length(x.pattern), b,
                                            b + patterns.length(y.pattern));
    });
    layout.sortedBegin.reserve(rows.size() + 1);
    layout.sorted.reserve(patterns.units.size());
    for (const Layout::Row& row : rows) {
        layout.sortedBegin.push_back(uint32_t(layout.sorted.size()));
        const uint16_t* units = patterns.of(row.pattern);
        layout.sorted.insert(layout.sorted.end(), units, units + patterns.length(row.pattern));
    }
    layout.sortedBegin.push_back(uint32_t(layout.sorted.size()));
    layout.lcp.assign(rows.size(), 0);
    for (size_t r = 1; r < rows.size(); ++r) {
        const uint16_t* a = layout.sorted.data() + layout.sortedBegin[r - 1];
        const uint16_t* b = layout.sorted.data() + layout.sortedBegin[r];
        const size_t n = std::min(layout.length(r - 1), layout.length(r));
        layout.lcp[r] = uint32_t(std::mismatch(a, a + n, b).first - a);
    }
}

// Dense rows for the root and for every further depth while the rows of all
// states down to it stay within the budget.
void ItemMatcher::Impl::chooseDenseDepth(Layout& layout) {
    const size_t n = layout.rows.size();
    // States per depth, as far as dense rows could reach: row r adds one at
    // each depth past what it shares with the row before it.
    const size_t rowBytes = size_t(classes) * sizeof(int32_t);
    size_t longest = 0;
    for (size_t r = 0; r < n; ++r)
        longest = std::max(longest, layout.length(r));
    const size_t reach = std::min(longest, denseBudget / rowBytes + 1);
    std::vector<int64_t> depthStart(reach + 2, 0); // states shallower than each depth
    for (size_t r = 0; r < n; ++r) {
        if (layout.lcp[r] + 1 <= reach) {
            ++depthStart[layout.lcp[r] + 1];
            --depthStart[std::min(layout.length(r), reach) + 1];
        }
    }
    for (size_t d = 1; d < depthStart.size(); ++d)
        depthStart[d] += depthStart[d - 1]; // states at depth d
    int64_t shallower = 1;                  // the root
    for (size_t d = 1; d < depthStart.size(); ++d) {
        const int64_t at = depthStart[d];
        depthStart[d] = shallower;
        shallower += at;
    }
    depthStart[0] = 0;
    size_t dense = 1;
    while (dense + 1 < depthStart.size() && size_t(depthStart[dense + 1]) * rowBytes <= denseBudget)
        ++dense;
    layout.dense = dense;
    denseCount = int32_t(depthStart[dense]);
    if (size_t(denseCount) * size_t(classes) > size_t(kMostStates / 2))
        tooManyItems();
    this->depthStart.assign(depthStart.begin(), depthStart.begin() + std::ptrdiff_t(dense) + 1);
}

// Deep states: each row's own states below the dense depths, one run per row
// in sorted order, numbered after the shallow states.
void ItemMatcher::Impl::numberDeepStates(Layout& layout) {
    const size_t n = layout.rows.size();
    layout.firstDeep.assign(n, -1);
    int64_t next = denseCount;
    for (size_t r = 0; r < n; ++r) {
        const size_t start = layout.deepStart(r);
        if (layout.length(r) >= start) {
            layout.firstDeep[r] = int32_t(next);
            next += int64_t(layout.length(r) - start + 1);
        }
    }
    if (next > kMostStates / 2 ||
        int64_t(denseCount) * classes + (next - denseCount) > kMostStates / 2)
        tooManyItems();
    states = int32_t(next);
    label.assign(size_t(states), uint32_t(classes - 1));
    kinds.assign((size_t(states) + 3) / 4, 0);
}

// The shallow trie, one depth at a time over the rows: the children of a
// state come out together, in class order, and shallow states are numbered
// breadth first; so the edges come grouped by parent, parents ascending. The
// edges into the first deep depth lead to deep states.
void ItemMatcher::Impl::buildShallowTrie(Layout& layout) {
    const size_t n = layout.rows.size();
    layout.state.assign(n, 0);
    layout.deepParent.assign(n, -1);
    std::vector<uint32_t> active(n);
    for (size_t r = 0; r < n; ++r)
        active[r] = uint32_t(r);
    std::vector<uint32_t> deeper;
    std::vector<int32_t> parents;
    int32_t shallow = 1;
    for (size_t depth = 0; depth < layout.dense && !active.empty(); ++depth) {
        deeper.clear();
        int32_t lastParent = -1;
        uint16_t lastUnit = 0;
        for (uint32_t r : active) {
            const uint16_t u = layout.at(r, depth);
            int32_t& state = layout.state[r];
            if (state != lastParent || u != lastUnit) {
                lastParent = state;
                lastUnit = u;
                const bool last = depth + 1 == layout.dense;
                const int32_t target = last ? layout.firstDeep[r] : shallow++;
                if (last)
                    layout.deepParent[r] = state;
                parents.push_back(state);
                trieEdges.push_back({u, uint32_t(target)});
                label.set(size_t(target), u);
            }
            state = int32_t(trieEdges.back().target);
            if (layout.length(r) > depth + 1 && depth + 1 < layout.dense)
                deeper.push_back(r);
        }
        active.swap(deeper);
    }
    trieFirst.assign(size_t(denseCount) + 1, 0);
    for (int32_t parent : parents)
        ++trieFirst[size_t(parent) + 1];
    for (size_t s = 0; s < size_t(denseCount); ++s)
        trieFirst[s + 1] += trieFirst[s];
}

// The deep states, row by row. A stack holds the runs of deep states on the
// path of the row before: where a row leaves that path, the state it leaves
// from gains a child. Returns the state where each pattern ends.
std::vector<int32_t> ItemMatcher::Impl::buildDeepStates(Layout& layout) {
    struct Run {
        size_t start; // depth of the run's first state
        int32_t first;
        size_t end; // depth of its last state
    };
    std::vector<Run> path;
    std::vector<int32_t> terminal(layout.patterns.size(), 0);
    auto onPath = [&](size_t depth) {
        while (path.back().start > depth)
            path.pop_back();
        return path.back().first + int32_t(depth - path.back().start);
    };
    const size_t dense = layout.dense;
    for (size_t r = 0; r < layout.rows.size(); ++r) {
        const uint32_t pattern = layout.rows[r].pattern;
        const size_t len = layout.length(r);
        const size_t start = layout.deepStart(r);
        const size_t lcp = layout.lcp[r];
        if (lcp < dense)
            path.clear();
        else
            layout.deepParent[r] = onPath(lcp);
        if (len < start) { // no state of its own: the same fold as the row before
            terminal[pattern] = len < dense ? layout.state[r] : onPath(len);
            continue;
        }
        const int32_t first = layout.firstDeep[r];
        for (size_t d = start; d <= len; ++d) {
            const int32_t t = first + int32_t(d - start);
            label.set(size_t(t), layout.at(r, d - 1));
            setKind(t, d < len ? kOneChild : kLeaf);
        }
        if (lcp >= dense) {
            const int32_t p = layout.deepParent[r];
            if (kindOf(p) == kLeaf) {
                setKind(p, kOneChild); // the row before ended at p: first is p + 1
            } else {
                setKind(p, kBranch);
                branchEdges.push_back({p, uint16_t(label[size_t(first)]), first});
            }
        }
        path.push_back({start, first, len});
        runs.push_back({first, layout.deepParent[r], uint32_t(start), uint32_t(len)});
        terminal[pattern] = first + int32_t(len - start);
    }
    return terminal;
}

// The children of deep branch states past the first, grouped by state, and
// the table that finds a state's group.
void ItemMatcher::Impl::indexBranches() {
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
}

// Patterns: one per state where a fold ends, numbered as first met in the
// order labels, items.
void ItemMatcher::Impl::numberPatterns(const Patterns& patterns,
                                       const std::vector<int32_t>& terminal,
                                       const std::vector<char>& latin1Class) {
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
        const size_t j = size_t(i) + labels().size();
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
                latin1 = latin1Class[patterns.at(j, k)] != 0;
            patternLatin1[size_t(p)] = latin1 ? 1 : 0;
            latin1ItemPatternCount += latin1;
        }
    }
}

namespace {

// How rare each byte that the start filter looks at (with bit 0x20 set) is
// in message text, as twice its bits of surprise, measured on a corpus of
// junk mail; bytes never met there count 30.
constexpr std::array<uint8_t, 256> kRarity = [] {
    std::array<uint8_t, 256> rarity{};
    rarity.fill(30);
    const std::pair<const char*, uint8_t> groups[] = {
        {" ", 6},           {"e", 8},        {"taoirn", 9},  {"sdlc", 10},     {"m0hfp", 11},
        {"gbu.=>1-</", 12}, {"yw2\"3v", 13}, {":kx", 14},    {"54z896j7", 15}, {"q,;\x7f", 16},
        {"+)(`#&", 18},     {"*", 20},       {"%}{?'!", 21}, {"$", 23},
    };
    for (const auto& [bytes, value] : groups)
        for (const char* b = bytes; *b != 0; ++b)
            rarity[static_cast<unsigned char>(*b)] = value;
    return rarity;
}();

// An item may start this far before the window the filter knows it by.
constexpr size_t kMostWindowOffset = 16;
// An item's second window lies within its first characters, this far from
// the start at most; a window stands for this many second windows at most.
constexpr size_t kMostSecondDistance = 48;
constexpr size_t kMostSecondWindows = 8;

} // namespace

void ItemMatcher::Impl::buildStartFilter(const Patterns& patterns) {
    // For each class that Latin-1 bytes fall in, the filter's byte: one of
    // its bytes with bit 0x20 set.
    std::vector<int> filterByte(size_t(classes), -1);
    byteFilter = true;
    for (size_t b = 0; b < 256; ++b) {
        const uint16_t c = latinClass[b];
        if (c == 0)
            continue;
        if (filterByte[c] < 0)
            filterByte[c] = int(b | 0x20);
        byteFilter = byteFilter && filterByte[c] == int(b | 0x20);
    }

    std::vector<size_t> searched; // the items (pattern index) a Latin-1 text may hold
    size_t shortest = 8;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const int p = itemPattern[size_t(i)];
        if (p == kNoPattern || !patternLatin1[size_t(p)])
            continue;
        const size_t j = size_t(i) + labels().size();
        searched.push_back(j);
        shortest = std::min<size_t>(shortest, patterns.length(j));
    }
    if (searched.empty())
        return;
    gramLength = int(shortest);
    const auto length = size_t(gramLength);

    // About one bit in 64 set, so that few places pass the filter by chance.
    int bits = 16;
    while (bits < 26 && (size_t(1) << bits) < searched.size() * 64)
        ++bits;
    gramShift = 64 - bits;
    gramBits.assign((size_t(1) << bits) / 64, 0);
    // Each item's windows: the rarest within its first characters, and the
    // rarest of the others that keep clear of it (the text looks at its bytes
    // only where the first is met).
    struct Windows {
        uint64_t first;
        uint64_t second;
        int32_t distance;
        bool hasSecond;
        bool operator<(const Windows& o) const {
            return std::tie(first, hasSecond, distance, second) <
                   std::tie(o.first, o.hasSecond, o.distance, o.second);
        }
        bool operator==(const Windows& o) const = default;
    };
    std::vector<Windows> windows;
    windows.reserve(searched.size());
    std::vector<unsigned char> bytes;
    std::vector<unsigned> scores;
    auto keyAt = [&](size_t offset) {
        unsigned char window[8] = {};
        std::memcpy(window, bytes.data() + offset, length);
        uint64_t key;
        std::memcpy(&key, window, sizeof key);
        return key;
    };
    for (const size_t j : searched) {
        const size_t size = std::min<size_t>(patterns.length(j), kMostSecondDistance + length);
        bytes.resize(size);
        for (size_t k = 0; k < size; ++k)
            bytes[k] = static_cast<unsigned char>(filterByte[patterns.at(j, k)]);
        // The score of the window at each offset.
        scores.assign(size + 1 - length, 0);
        unsigned score = 0;
        for (size_t k = 0; k < size; ++k) {
            score += kRarity[bytes[k]];
            if (k >= length)
                score -= kRarity[bytes[k - length]];
            if (k + 1 >= length)
                scores[k + 1 - length] = score;
        }
        const size_t reach = std::min(scores.size(), kMostWindowOffset + 1);
        const size_t offset =
            size_t(std::max_element(scores.begin(), scores.begin() + std::ptrdiff_t(reach)) -
                   scores.begin());
        size_t second = scores.size();
        for (size_t k = 0; k < scores.size(); ++k)
            if ((k + length <= offset || k >= offset + length) &&
                (second == scores.size() || scores[k] > scores[second]))
                second = k;
        windowReach = std::max(windowReach, offset);
        const bool hasSecond = second < scores.size();
        windows.push_back({keyAt(offset), hasSecond ? keyAt(second) : 0,
                           hasSecond ? int32_t(second) - int32_t(offset) : 0, hasSecond});
    }
    std::sort(windows.begin(), windows.end());
    windows.erase(std::unique(windows.begin(), windows.end()), windows.end());

    int tableBits = 4;
    while ((size_t(1) << tableBits) < windows.size() * 2)
        ++tableBits;
    windowShift = 64 - tableBits;
    windowKeys.assign(size_t(1) << tableBits, 0);
    windowInfo.assign(size_t(1) << tableBits, kAnyItem);
    for (size_t w = 0; w < windows.size();) {
        size_t end = w;
        bool any = false; // an item known by this window has no second
        while (end < windows.size() && windows[end].first == windows[w].first) {
            any = any || !windows[end].hasSecond;
            ++end;
        }
        const uint64_t key = windows[w].first;
        const uint64_t h = gramHash(key);
        gramBits[h / 64] |= uint64_t(1) << (h % 64);
        const size_t mask = windowKeys.size() - 1;
        size_t i = size_t((key * kGramMultiplier) >> windowShift);
        while (windowKeys[i] != 0)
            i = (i + 1) & mask;
        windowKeys[i] = key;
        if (!any && end - w <= kMostSecondWindows) {
            windowInfo[i] = uint32_t(windowSeconds.size() << 4 | (end - w));
            for (size_t k = w; k < end; ++k)
                windowSeconds.push_back({windows[k].distance, windows[k].second});
        }
        w = end;
    }
}

bool ItemMatcher::Impl::secondWindowAt(const char* text, size_t size, size_t at,
                                       uint32_t info) const {
    const auto length = size_t(gramLength);
    const uint64_t mask = gramMask();
    const SecondWindow* second = windowSeconds.data() + (info >> 4);
    for (const SecondWindow* end = second + (info & 15); second != end; ++second) {
        const ptrdiff_t start = ptrdiff_t(at) + second->distance;
        if (start < 0 || size_t(start) + length > size)
            continue; // the item cannot fit in the text there
        uint64_t bytes = 0;
        std::memcpy(&bytes, text + start, std::min(sizeof bytes, size - size_t(start)));
        if (((bytes | kCaseBits) & mask) == second->bytes)
            return true;
    }
    return false;
}

template <typename F> void ItemMatcher::Impl::forDeepStatesByDepth(F&& f) const {
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

// The dense rows, the failure links of the shallow states and of the deep
// states they lead to (all of them shallower than the dense depth, or just
// at it), and what the search needs to go back to its filter.
void ItemMatcher::Impl::buildRows() {
    link.assign(size_t(states), kUnknown);
    denseLimit = denseCount * classes;
    delta.assign(size_t(denseLimit), 0);
    auto failOf = [&](int32_t s) { return int32_t(link[size_t(s)] & kFailMask); };
    auto setFail = [&](int32_t t, int32_t f) {
        link[size_t(t)] =
            uint32_t(f) |
            (terminals.contains(size_t(t)) || (link[size_t(f)] & kOutput) ? kOutput : 0u);
    };
    // Breadth first: a state's failure state is shallower, so its row is
    // complete before it is asked.
    link[0] = 0;
    for (int32_t s = 0; s < denseCount; ++s) {
        int32_t* row = &delta[size_t(s) * size_t(classes)];
        const int32_t* failRow = &delta[size_t(failOf(s)) * size_t(classes)];
        for (int c = 0; c < classes; ++c)
            row[c] = s == 0 ? 0 : failRow[c];
        for (int32_t e = trieFirst[size_t(s)]; e < trieFirst[size_t(s) + 1]; ++e) {
            const TrieEdge& edge = trieEdges[size_t(e)];
            const auto t = int32_t(edge.target);
            setFail(t, s == 0 ? 0 : failRow[edge.cls]);
            row[edge.cls] = t;
        }
    }
    for (int32_t& t : delta)
        t = encode(t);

    // The states shallower than the filter's bytes: shallow ones by their
    // numbers (breadth first), deep ones marked.
    const auto length = size_t(gramLength);
    shallowLimit = length < depthStart.size() ? depthStart[length] * classes : denseLimit;
    if (length >= depthStart.size()) {
        shallowDeep.assign((size_t(states - denseCount) + 63) / 64, 0);
        for (const DeepRun& run : runs)
            for (uint32_t depth = run.start; depth <= run.end && depth < length; ++depth) {
                const auto deep = size_t(run.first - denseCount) + (depth - run.start);
                shallowDeep[deep / 64] |= uint64_t(1) << (deep % 64);
            }
    }
}

int32_t ItemMatcher::Impl::parentOf(int32_t s) const {
    // The run that s is in: the last one starting at or before it.
    const auto run = std::upper_bound(runs.begin(), runs.end(), s,
                                      [](int32_t t, const DeepRun& r) { return t < r.first; }) -
                     1;
    return s == run->first ? run->parent : s - 1;
}

uint32_t ItemMatcher::Impl::workOutLink(int32_t t) const {
    // The states whose links this one waits for, the deepest at the bottom:
    // each link needs those of its parent, of the states on the parent's
    // failure path and of its target, all of them shallower.
    thread_local std::vector<int32_t> waiting;
    waiting.clear();
    waiting.push_back(t);
    while (!waiting.empty()) {
        const int32_t u = waiting.back();
        if (loadLink(u) != kUnknown) {
            waiting.pop_back();
            continue;
        }
        const int32_t parent = parentOf(u);
        const uint32_t parentLink = loadLink(parent);
        if (parentLink == kUnknown) {
            waiting.push_back(parent);
            continue;
        }
        const auto c = uint16_t(label[size_t(u)]);
        auto f = int32_t(parentLink & kFailMask);
        int32_t target = -1;
        while (target < 0) {
            if (f < denseCount) {
                const int32_t v = delta[size_t(f) * size_t(classes) + c];
                target = stateOf(v < 0 ? ~v : v);
                break;
            }
            target = deepChild(f, c);
            if (target >= 0)
                break;
            const uint32_t next = loadLink(f);
            if (next == kUnknown)
                break;
            f = int32_t(next & kFailMask);
        }
        if (target < 0) {
            waiting.push_back(f);
            continue;
        }
        const uint32_t targetLink = loadLink(target);
        if (targetLink == kUnknown) {
            waiting.push_back(target);
            continue;
        }
        const bool output = terminals.contains(size_t(u)) || (targetLink & kOutput) != 0;
        storeLink(u, uint32_t(target) | (output ? kOutput : 0u));
        waiting.pop_back();
    }
    return loadLink(t);
}

// Every link, and for each state the nearest proper suffix where a pattern
// ends.
void ItemMatcher::Impl::buildAutomaton() {
    // The deep states below the first deep depth, depth by depth: a state's
    // failure state is shallower, its link already known.
    auto failOf = [&](int32_t s) { return int32_t(loadLink(s) & kFailMask); };
    auto output = [&](int32_t s) { return (loadLink(s) & kOutput) != 0; };
    auto step = [&](int32_t s, uint16_t c) {
        for (;;) {
            if (s < denseCount) {
                const int32_t v = delta[size_t(s) * size_t(classes) + c];
                return stateOf(v < 0 ? ~v : v);
            }
            const int32_t child = deepChild(s, c);
            if (child >= 0)
                return child;
            s = failOf(s);
        }
    };
    forDeepStatesByDepth([&](int32_t t, int32_t parent) {
        const int32_t f = step(failOf(parent), uint16_t(label[size_t(t)]));
        storeLink(t, uint32_t(f) | (terminals.contains(size_t(t)) || output(f) ? kOutput : 0u));
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
            const auto t = int32_t(trieEdges[size_t(e)].target);
            if (t >= denseCount)
                nearestEnd(t);
        }
    forDeepStatesByDepth([&](int32_t t, int32_t) { nearestEnd(t); });
}

ItemMatcher::ItemMatcher(const QStringList& items, size_t denseBytes)
    : d(std::make_unique<Impl>()) {
    d->items = items;
    d->denseBudget = denseBytes;
    d->build();
}

ItemMatcher::~ItemMatcher() = default;
ItemMatcher::ItemMatcher(ItemMatcher&&) noexcept = default;
ItemMatcher& ItemMatcher::operator=(ItemMatcher&&) noexcept = default;

const QStringList& ItemMatcher::items() const {
    return d->items;
}

ColourResult ItemMatcher::colour(const QString& text, int option) const {
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

size_t ItemMatcher::memoryBytes() const {
    const Impl& m = d->automaton();
    auto bytes = [](const auto& v) { return v.capacity() * sizeof(v[0]); };
    return bytes(m.delta) + bytes(m.link) + m.suffixEnds.bytes() + m.suffixEnd.bytes() +
           m.label.bytes() + bytes(m.kinds) + bytes(m.branchEdges) + bytes(m.branchSlots) +
           m.terminals.bytes() + bytes(m.terminalPattern) + bytes(m.terminalState) + bytes(m.runs) +
           bytes(m.foldedHighClass) + sizeof(m.latinClass) + sizeof(m.foldedLowClass) +
           bytes(m.patternLength) + bytes(m.itemPattern) + bytes(m.patternIsItem) +
           bytes(m.patternLatin1) + bytes(m.trieFirst) + bytes(m.trieEdges) + bytes(m.gramBits) +
           bytes(m.depthStart) + bytes(m.shallowDeep) + bytes(m.windowKeys) + bytes(m.windowInfo) +
           bytes(m.windowSeconds);
}

bool ItemMatcher::containsAnyItem(const QString& text) const {
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

// The first place from `from` on where the start filter lets a window of
// gramLength bytes through, or size when there is none. Each place's hash
// comes from the eight bytes loaded there, so no place waits for the one
// before it; two places are tested per round.
size_t ItemMatcher::Impl::nextWindow(const char* text, size_t size, size_t from) const {
    const uint64_t* bits = gramBits.data();
    const uint64_t mask = gramMask();
    const int shift = gramShift;
    auto hit = [&](uint64_t bytes) -> uint64_t {
        const uint64_t h = (((bytes | kCaseBits) & mask) * kGramMultiplier) >> shift;
        return (bits[h / 64] >> (h % 64)) & 1;
    };
    // Whether the place at passes: its bytes are a window, and a second
    // window of one of its items is there too (or one of its items has none).
    auto passes = [&](uint64_t bytes, size_t at) {
        const ptrdiff_t slot = windowSlot((bytes | kCaseBits) & mask);
        return slot >= 0 && (windowInfo[size_t(slot)] == kAnyItem ||
                             secondWindowAt(text, size, at, windowInfo[size_t(slot)]));
    };
    const auto length = size_t(gramLength);
    size_t at = from;
    uint64_t first;
    // Four places a round, one branch for all four.
    for (; at + 3 + sizeof first <= size; at += 4) {
        uint64_t b[4];
        std::memcpy(b, text + at, sizeof first);
        std::memcpy(b + 1, text + at + 1, sizeof first);
        std::memcpy(b + 2, text + at + 2, sizeof first);
        std::memcpy(b + 3, text + at + 3, sizeof first);
        uint64_t any = hit(b[0]) | (hit(b[1]) << 1) | (hit(b[2]) << 2) | (hit(b[3]) << 3);
        for (; any != 0; any &= any - 1) {
            const auto k = size_t(std::countr_zero(any));
            if (passes(b[k], at + k))
                return at + k;
        }
    }
    for (; at + sizeof first <= size; ++at) {
        std::memcpy(&first, text + at, sizeof first);
        if (hit(first) && passes(first, at))
            return at;
    }
    // The last places, where eight bytes would run past the end: their bytes
    // come from the last eight of the text (the filter looks at no more than
    // the text holds), else from a copy.
    if (std::endian::native == std::endian::little && size >= sizeof first) {
        uint64_t last;
        std::memcpy(&last, text + size - sizeof last, sizeof last);
        for (; at + length <= size; ++at) {
            const uint64_t bytes = last >> (8 * (at + sizeof last - size));
            if (hit(bytes) && passes(bytes, at))
                return at;
        }
        return size;
    }
    char tail[2 * sizeof first] = {};
    const size_t rest = size > at ? size - at : 0;
    std::memcpy(tail, text + at, std::min(rest, sizeof tail));
    for (const size_t start = at; at + length <= size; ++at) {
        std::memcpy(&first, tail + (at - start), sizeof first);
        if (hit(first) && passes(first, at))
            return at;
    }
    return size;
}

// Whether text holds any item. Where the filter lets a window through, the
// automaton runs from as far before it as an item may start; once past the
// window it hands back to the filter as soon as its state is shallower than
// gramLength, since any match in progress then started after the last
// gramLength - 1 bytes and the filter will meet its window. Needs the dense
// rows; works out other links as it meets their states.
bool ItemMatcher::Impl::anyItemIn(const char* text, size_t size) const {
    const auto length = size_t(gramLength);
    const int32_t* d = delta.data();
    auto shallow = [&](int32_t v) {
        if (v < shallowLimit)
            return true;
        if (shallowDeep.empty() || v < denseLimit)
            return false;
        const auto deep = size_t(v - denseLimit);
        return ((shallowDeep[deep / 64] >> (deep % 64)) & 1) != 0;
    };
    size_t from = 0;
    for (;;) {
        const size_t window = byteFilter ? nextWindow(text, size, from) : from;
        if (window + length > size)
            return false;
        const size_t leave = byteFilter ? window + length : size;
        int32_t v = 0;
        // An item known by a window from here on starts at most windowReach
        // before it; one that starts before from was seen by the automaton's
        // last run, which started earlier still.
        size_t i = std::max(from, window - std::min(window, windowReach));
        for (;;) {
            if (i == size)
                return false;
            const uint16_t c = classOf(text[i++]);
            const int32_t next = v < denseLimit ? d[v + c] : deepStep(v, c);
            if (next < 0) {
                v = ~next;
                if (itemEndsAt(stateOf(v)))
                    return true;
            } else {
                v = next;
            }
            if (i >= leave && shallow(v))
                break;
        }
        from = i + 1 - length;
    }
}

bool ItemMatcher::containsAnyItem(std::string_view latin1Text) const {
    if (d->gramLength == 0 || latin1Text.size() < size_t(d->gramLength))
        return false;
    return d->rows().anyItemIn(latin1Text.data(), latin1Text.size());
}

std::vector<bool> ItemMatcher::itemsPresent(std::string_view latin1Text) const {
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
