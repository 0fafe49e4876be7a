#include "util/widgets/sorted_list_box.h"

#include "util/widgets/short_text_delegate.h"

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
class ScrollWidthDelegate : public ShortTextDelegate {
public:
    using ShortTextDelegate::ShortTextDelegate;
    int width = 0;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = ShortTextDelegate::sizeHint(option, index);
        if (width > 0)
            size.setWidth(width);
        return size;
    }
};

} // namespace

SortedListBox::SortedListBox(SortedList::Selection selection, QWidget* parent)
    : SortedListBox(*new SortedList(selection), parent) {
    m_list->setParent(this);
}

SortedListBox::SortedListBox(SortedList& list, QWidget* parent) : QListView(parent), m_list(&list) {
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSelectionMode(list.selectionKind() == SortedList::Selection::Single
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
    // A selection changed while an input event is handled is the user's.
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (m_inputDepth > 0)
            m_selectedByInput = true;
    });
}

template <typename Handler> bool SortedListBox::handleInput(QEvent* event, Handler&& handler) {
    ++m_inputDepth;
    const bool handled = handler();
    --m_inputDepth;
    // While a button is held and moved the choice is not final yet: it is
    // reported with the release (or the next input event).
    if (m_inputDepth == 0 && m_selectedByInput && event->type() != QEvent::MouseMove) {
        m_selectedByInput = false;
        emit userSelected();
    }
    return handled;
}

namespace {

bool isUserInput(const QEvent* event) {
    return event->isInputEvent() || event->type() == QEvent::InputMethod;
}

} // namespace

bool SortedListBox::event(QEvent* event) {
    if (!isUserInput(event))
        return QListView::event(event);
    return handleInput(event, [this, event] { return QListView::event(event); });
}

bool SortedListBox::viewportEvent(QEvent* event) {
    if (!isUserInput(event))
        return QListView::viewportEvent(event);
    return handleInput(event, [this, event] { return QListView::viewportEvent(event); });
}

// Only the left button chooses an entry; the other buttons leave the
// selection and the current entry as they are.
void SortedListBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    const bool onEntry = indexAt(event->position().toPoint()).isValid();
    QListView::mousePressEvent(event);
    // A click on the entry already selected shows it again.
    if (onEntry)
        m_selectedByInput = true;
}

void SortedListBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    QListView::mouseReleaseEvent(event);
}

void SortedListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    QListView::mouseDoubleClickEvent(event);
}

QItemSelectionModel::SelectionFlags SortedListBox::selectionCommand(const QModelIndex& index,
                                                                    const QEvent* event) const {
    const QItemSelectionModel::SelectionFlags flags = QListView::selectionCommand(index, event);
    // In a single-selection list the user moves the selection but never
    // takes it away (Ctrl with a click or the space bar would, and so would
    // a click below the last entry).
    if (selectionMode() == QAbstractItemView::SingleSelection &&
        ((flags & QItemSelectionModel::Deselect) ||
         (!index.isValid() && (flags & QItemSelectionModel::Clear))))
        return QItemSelectionModel::NoUpdate;
    return flags;
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
