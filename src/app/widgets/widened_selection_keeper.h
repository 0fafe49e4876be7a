#pragma once
// Keeping a selection that a click widened when the click fell inside the
// old selection.

#include <QObject>

#include <functional>

namespace jl {

class MessageView;

// A press inside a selection is taken by the view as the possible start of a
// drag: the caret stays where it was, and the release then puts it at the
// click and clears the selection. After a widening at such a press, this
// filter lets the release take its course and widens again from the click,
// so that a click always ends with the widened selection. Made on the first
// widening by a click, as a child of the view.
class WidenedSelectionKeeper : public QObject {
public:
    // The view's keeper, made on first use; widen is what widens the
    // selection at the caret.
    static WidenedSelectionKeeper* of(MessageView* view, std::function<void()> widen);

    // The next left-button release widens again when it leaves no selection.
    void armForRelease() { m_armed = true; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    WidenedSelectionKeeper(MessageView* view, std::function<void()> widen);

    MessageView* m_view;
    std::function<void()> m_widen;
    bool m_armed = false;
};

} // namespace jl
