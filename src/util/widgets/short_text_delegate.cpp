#include "util/widgets/short_text_delegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QToolTip>

namespace jl {

QString ShortTextDelegate::shortText(const QString& text, Qt::TextElideMode mode, qsizetype limit) {
    if (text.size() <= limit)
        return text;
    const QChar ellipsis(0x2026);
    qsizetype head = mode == Qt::ElideMiddle ? limit / 2 : limit;
    if (text.at(head - 1).isHighSurrogate())
        --head;
    if (mode != Qt::ElideMiddle)
        return text.left(head) + ellipsis;
    qsizetype tail = limit - limit / 2;
    if (text.at(text.size() - tail).isLowSurrogate())
        --tail;
    return text.left(head) + ellipsis + text.right(tail);
}

void ShortTextDelegate::initStyleOption(QStyleOptionViewItem* option,
                                        const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    option->text = shortText(option->text, option->textElideMode, kShownCharacters);
}

QSize ShortTextDelegate::sizeHint(const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    // A list gives each entry the whole width of the view when none asks
    // for more.
    if (m_width == Width::View)
        size.setWidth(1);
    return size;
}

bool ShortTextDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                  const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event && view && event->type() == QEvent::ToolTip && index.isValid() &&
        !index.data(Qt::ToolTipRole).isValid()) {
        QStyleOptionViewItem shown = option;
        initStyleOption(&shown, index);
        // Where the style draws the text, less its margins.
        const QStyle* style = view->style();
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
        const int room = style->subElementRect(QStyle::SE_ItemViewItemText, &shown, view).width();
        if (shown.fontMetrics.horizontalAdvance(shown.text) > room - 2 * margin) {
            // As rich text, so that a text such as <b> shows as it is.
            const QString whole =
                shortText(index.data(Qt::DisplayRole).toString(), Qt::ElideMiddle, kTipCharacters);
            QToolTip::showText(event->globalPos(),
                               QStringLiteral("<p>%1</p>").arg(whole.toHtmlEscaped()),
                               view->viewport(), option.rect);
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

} // namespace jl
