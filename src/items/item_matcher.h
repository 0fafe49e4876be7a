#pragma once
// The search for the interesting items (and the two header labels) in view
// texts: one automaton over all of them, built once per change of the items
// list and used by every file. It answers the colour coding of the window's
// view, whether a text holds any item (the scan), and which items a text
// holds (the statistics and junkloupe-cli hits).
//
// Colouring equals running the searches one by one, in this order, each
// taking its non-overlapping case-insensitive matches from left to right and
// painting over earlier searches: "RECEIVED:" blue, "MESSAGE-ID:" green
// (options 1 and 3), then every interesting item in list order red (options 2
// and 3).

#include "view/colour_coding.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <string_view>
#include <vector>

namespace jl {

// The automaton over the two labels and the items; build once per change of
// the items list and reuse for every file. The constructor builds the items'
// trie; the automaton itself is built by the first query that needs it (any
// thread may ask). containsAnyItem on Latin-1 text needs only its dense rows
// and works out the other links it meets as it goes.
class ItemMatcher {
public:
    // Transition rows are dense for the shallow states, as deep as denseBytes
    // allows (the root's always); deeper states keep only
    // their own edges.
    static constexpr size_t DefaultDenseBytes = size_t{4} * 1024 * 1024;
    explicit ItemMatcher(const QStringList& items = {}, size_t denseBytes = DefaultDenseBytes);
    ~ItemMatcher();
    ItemMatcher(ItemMatcher&&) noexcept;
    ItemMatcher& operator=(ItemMatcher&&) noexcept;

    const QStringList& items() const;
    ColourResult colour(const QString& text, int option) const;
    // True as soon as any non-empty item occurs in text (no colouring).
    bool containsAnyItem(const QString& text) const;
    bool containsAnyItem(std::string_view latin1Text) const;
    // For each item (by index), whether it occurs in text.
    std::vector<bool> itemsPresent(std::string_view latin1Text) const;
    // Bytes held by the automaton (states, classes and tables).
    size_t memoryBytes() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace jl
