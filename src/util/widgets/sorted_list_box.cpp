#include "util/widgets/sorted_list_box.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

namespace jl {

SortedListBox::SortedListBox(SortedList::Selection selection, QWidget* parent)
    : QListView(parent), m_list(new SortedList(selection, this)) {
    setUniformItemSizes(true);
    setLayoutMode(QListView::SinglePass);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(selection == SortedList::Selection::Single
                         ? QAbstractItemView::SingleSelection
                         : QAbstractItemView::ExtendedSelection);
    QItemSelectionModel* own = QListView::selectionModel();
    setModel(m_list);
    // The view works on the list's own selection, so what the logic selects
    // is what the user sees and the other way round.
    QItemSelectionModel* created = QListView::selectionModel();
    setSelectionModel(m_list->selectionModel());
    if (created != own)
        delete created;
}

void SortedListBox::mousePressEvent(QMouseEvent* event) {
    const bool onEntry = indexAt(event->position().toPoint()).isValid();
    QListView::mousePressEvent(event);
    if (onEntry && event->button() == Qt::LeftButton)
        emit userSelected();
}

void SortedListBox::keyPressEvent(QKeyEvent* event) {
    const QPersistentModelIndex before = currentIndex();
    QListView::keyPressEvent(event);
    if (currentIndex().isValid() && currentIndex() != before)
        emit userSelected();
}

void Set_List_Scroll_Width(SortedListBox& box) {
    box.setScrollWidth(1500);
}

void SortedListBox::setScrollWidth(int pixels) {
    m_scrollWidth = pixels;
    updateGeometries();
}

void SortedListBox::updateGeometries() {
    QListView::updateGeometries();
    if (m_scrollWidth <= 0)
        return;
    // Entries may be wider than the list: let it scroll sideways over the
    // given width, like a list box with a horizontal extent.
    QScrollBar* bar = horizontalScrollBar();
    const int page = viewport()->width();
    const int maximum = std::max(bar->maximum(), m_scrollWidth - page);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    bar->setRange(0, std::max(0, maximum));
    bar->setPageStep(page);
}

} // namespace jl
