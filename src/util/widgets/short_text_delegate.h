#pragma once
// An item delegate that draws a text from its first kShownCharacters
// characters at most (then an ellipsis), or, in a view that elides in the
// middle, from its first and last halves of that. Laying out and eliding a
// whole entry of a megabyte on every paint takes seconds, and no more of it
// than that can show in any of the window's lists or tables. The model keeps
// the whole text, and a text cut short on the screen shows whole (up to
// kTipCharacters) in its tool tip.

#include <QStyledItemDelegate>

namespace jl {

class ShortTextDelegate : public QStyledItemDelegate {
public:
    // How wide an entry is: as its text (a view scrolls sideways to it), or
    // as the view (the view elides its text, in the view's elide mode).
    enum class Width { Text, View };

    explicit ShortTextDelegate(QObject* parent = nullptr, Width width = Width::Text)
        : QStyledItemDelegate(parent), m_width(width) {}
    static constexpr qsizetype kShownCharacters = 1024;
    static constexpr qsizetype kTipCharacters = 4096;

    // text cut to at most limit characters and an ellipsis: its start, or its
    // start and end for ElideMiddle. A character is kept whole or not at all.
    static QString shortText(const QString& text, Qt::TextElideMode mode, qsizetype limit);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    Width m_width;
};

} // namespace jl
