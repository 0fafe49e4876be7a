#pragma once
// A list box over a SortedList: a QListView with uniform item sizes, so it
// shows 100,000 entries smoothly, and a settable horizontal scroll range.

#include "util/sorted_list.h"

#include <QListView>

class QStyledItemDelegate;

namespace jl {

class SortedListBox : public QListView {
    Q_OBJECT
public:
    SortedListBox(SortedList::Selection selection, QWidget* parent = nullptr);
    SortedList& list() { return *m_list; }
    const SortedList& list() const { return *m_list; }

    // The horizontally scrollable width in pixels: every entry is laid out
    // this wide (0: as wide as the entry the view measures).
    void setScrollWidth(int pixels);
    int scrollWidth() const;

signals:
    // The user made an entry current (mouse click or keyboard); not emitted
    // when code changes the selection.
    void userSelected();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    SortedList* m_list;
    QStyledItemDelegate* m_delegate;
    QPersistentModelIndex m_currentAfterPress;
};

// Lets the list scroll sideways over 1500 pixels.
void Set_List_Scroll_Width(SortedListBox& box);

} // namespace jl
