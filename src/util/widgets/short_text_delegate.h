#pragma once
// An item delegate that draws a text from its first kShownCharacters
// characters at most (then an ellipsis). Laying out and eliding a whole
// entry of a megabyte on every paint takes seconds, and no more of it than
// that can show in any of the window's lists or tables. The model keeps the
// whole text.

#include <QStyledItemDelegate>

namespace jl {

class ShortTextDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    static constexpr qsizetype kShownCharacters = 1024;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

} // namespace jl
