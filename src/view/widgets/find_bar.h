#pragma once
// The find bar of a message view: a strip below the view's text, hidden until
// opened, with a term field, Previous and Next, a count of the matches and a
// close button. It finds the term with letter case ignored as the colour
// coding ignores it (view/text_search.h) and selects the match exactly, as
// the view's own selection: nothing widens it and no colour changes. Typing
// in the field goes to the first match from the selection; Enter and
// Shift+Enter go to the next and previous match, Escape closes the bar.
//
// The bar is a child of the view and lives in a margin the view keeps below
// its text while the bar shows, so it moves, scales and is disabled with the
// view. No key or click on it reaches the view.

#include "view/text_search.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;

namespace jl {

class MessageView;

class FindBar : public QWidget {
    Q_OBJECT
public:
    explicit FindBar(MessageView* view);

    // Shows the bar with the keyboard in its field, all of the term selected
    // so that typing replaces it. A selection on one line becomes the term.
    void open();
    // Hides the bar and gives the view the focus; the selection stays.
    void closeBar();
    // Selects the next (previous) match, going round at the end (start) of
    // the text. With no term yet, opens the bar instead. Shows the bar
    // without taking the focus. True when a match is selected.
    bool findNext();
    bool findPrevious();

    QString term() const;
    // What the bar says of the matches: "3 of 12", "No match", ...
    QString status() const;
    QLineEdit* termField() const { return m_term; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    enum class Direction { Forward, Backward };
    bool find(Direction direction);
    void termEdited();
    bool select(const FoundMatch& match, Direction direction);
    void reveal();
    void fit();
    void place(int height);
    void updateSearch();
    void showCount();
    void refreshLater();

    MessageView* m_view;
    QWidget* m_viewport; // the view's, whose size and place the bar follows
    QLineEdit* m_term;
    QToolButton* m_previous;
    QToolButton* m_next;
    QLabel* m_status;
    QToolButton* m_close;
    TextSearch m_search;
    bool m_refreshPending = false;
};

} // namespace jl
