#include "util/widgets/short_text_delegate.h"

namespace jl {

void ShortTextDelegate::initStyleOption(QStyleOptionViewItem* option,
                                        const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (option->text.size() > kShownCharacters) {
        qsizetype cut = kShownCharacters;
        if (option->text.at(cut - 1).isHighSurrogate())
            --cut; // a character is shown whole or not at all
        option->text = option->text.left(cut) + QChar(0x2026);
    }
}

} // namespace jl
