#include "view/text_search.h"

#include <algorithm>

namespace jl {

void TextSearch::setText(const QString& text) {
    // The view hands out a new string after every change, its colours'
    // included; an equal text keeps the matches.
    if (text.size() == m_text.size() && (text.constData() == m_text.constData() || text == m_text))
        return;
    m_text = text;
    m_valid = false;
}

void TextSearch::setTerm(const QString& term) {
    if (term == m_term)
        return;
    m_term = term;
    m_valid = false;
}

const std::vector<int>& TextSearch::matches() const {
    if (m_valid)
        return m_matches;
    m_matches.clear();
    if (!m_term.isEmpty()) {
        // The case-insensitive search of the view's find and of the colour
        // coding: each character compared by its simple case fold.
        const QStringView text(m_text);
        for (qsizetype at = text.indexOf(m_term, 0, Qt::CaseInsensitive); at >= 0;
             at = text.indexOf(m_term, at + 1, Qt::CaseInsensitive))
            m_matches.push_back(int(at));
    }
    m_valid = true;
    return m_matches;
}

int TextSearch::count() const {
    return int(matches().size());
}

FoundMatch TextSearch::at(std::vector<int>::const_iterator match, bool wrapped) const {
    const std::vector<int>& all = matches();
    if (all.empty())
        return {};
    return {*match, int(match - all.cbegin()) + 1, int(all.size()), wrapped};
}

FoundMatch TextSearch::from(int position) const {
    const std::vector<int>& all = matches();
    const auto found = std::lower_bound(all.cbegin(), all.cend(), position);
    return found != all.cend() ? at(found, false) : at(all.cbegin(), true);
}

FoundMatch TextSearch::next(int selectionStart, int selectionLength) const {
    const std::vector<int>& all = matches();
    const bool onMatch = selectionLength == m_term.size() &&
                         std::binary_search(all.cbegin(), all.cend(), selectionStart);
    return from(onMatch ? selectionStart + 1 : selectionStart);
}

FoundMatch TextSearch::previous(int selectionStart) const {
    const std::vector<int>& all = matches();
    const auto after = std::lower_bound(all.cbegin(), all.cend(), selectionStart);
    if (after != all.cbegin())
        return at(std::prev(after), false);
    return all.empty() ? FoundMatch{} : at(std::prev(all.cend()), true);
}

} // namespace jl
