#include "util/widgets/sorted_list_box.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>

#include <algorithm>

namespace jl {

namespace {

// Every entry is laid out exactly as wide as the scroll width, so the list's
// content has that width and the view scrolls sideways over it, like a list
// box with a fixed horizontal extent. (With uniform item sizes the view
// measures one entry only, and which one is its own business.)
class ScrollWidthDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    int width = 0;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        if (width > 0)
            size.setWidth(width);
        return size;
    }
};

} // namespace

SortedListBox::SortedListBox(SortedList::Selection selection, QWidget* parent)
    : QListView(parent), m_list(new SortedList(selection, this)) {
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSelectionMode(selection == SortedList::Selection::Single
                         ? QAbstractItemView::SingleSelection
                         : QAbstractItemView::ExtendedSelection);
    m_delegate = new ScrollWidthDelegate(this);
    setItemDelegate(m_delegate);
    setModel(m_list);
    // The view works on the list's own selection, so what the logic selects
    // is what the user sees and the other way round.
    QItemSelectionModel* created = QListView::selectionModel();
    setSelectionModel(m_list->selectionModel());
    if (created && created != m_list->selectionModel())
        created->deleteLater();
}

void SortedListBox::mousePressEvent(QMouseEvent* event) {
    const bool onEntry = indexAt(event->position().toPoint()).isValid();
    QListView::mousePressEvent(event);
    m_currentAfterPress = currentIndex();
    if (onEntry && event->button() == Qt::LeftButton)
        emit userSelected();
}

void SortedListBox::mouseReleaseEvent(QMouseEvent* event) {
    QListView::mouseReleaseEvent(event);
    // Dragging with the button held moves the current entry too.
    if (event->button() == Qt::LeftButton && currentIndex().isValid() &&
        currentIndex() != m_currentAfterPress)
        emit userSelected();
    m_currentAfterPress = QPersistentModelIndex();
}

void SortedListBox::keyPressEvent(QKeyEvent* event) {
    const QPersistentModelIndex before = currentIndex();
    QListView::keyPressEvent(event);
    if (currentIndex().isValid() && currentIndex() != before)
        emit userSelected();
}

void SortedListBox::setScrollWidth(int pixels) {
    static_cast<ScrollWidthDelegate*>(m_delegate)->width = std::max(0, pixels);
    scheduleDelayedItemsLayout();
}

int SortedListBox::scrollWidth() const {
    return static_cast<ScrollWidthDelegate*>(m_delegate)->width;
}

void Set_List_Scroll_Width(SortedListBox& box) {
    box.setScrollWidth(1500);
}

} // namespace jl
