#pragma once
// A list box over a SortedList: a QListView with uniform item sizes, so it
// shows 100,000 entries smoothly, and a settable horizontal scroll range. It
// shows a list that lives elsewhere (the window's workspace), or a list of
// its own.

#include "util/sorted_list.h"

#include <QListView>

class QStyledItemDelegate;

namespace jl {

class SortedListBox : public QListView {
    Q_OBJECT
public:
    // Shows list, which outlives the box; the user selects as the list's
    // selection kind allows.
    explicit SortedListBox(SortedList& list, QWidget* parent = nullptr);
    // Shows a new, empty list of its own.
    explicit SortedListBox(SortedList::Selection selection, QWidget* parent = nullptr);
    SortedList& list() { return *m_list; }
    const SortedList& list() const { return *m_list; }

    // The horizontally scrollable width in pixels: every entry is laid out
    // this wide (0: as wide as the entry the view measures).
    void setScrollWidth(int pixels);
    int scrollWidth() const;

signals:
    // The user clicked an entry with the left button, or changed the
    // selection by any other means the view offers (keyboard, a drag, ...);
    // emitted once per such event, after it. Not emitted when code changes
    // the selection. A drag is reported when the button is released.
    void userSelected();

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;

private:
    // Runs the view's own handling of an input event and then emits
    // userSelected when the event changed the selection or clicked an entry.
    template <typename Handler> bool handleInput(QEvent* event, Handler&& handler);

    SortedList* m_list;
    QStyledItemDelegate* m_delegate;
    int m_inputDepth = 0;           // input events being handled
    bool m_selectedByInput = false; // a user selection not reported yet
};

// Lets the list scroll sideways over 1500 pixels.
void Set_List_Scroll_Width(SortedListBox& box);

} // namespace jl
