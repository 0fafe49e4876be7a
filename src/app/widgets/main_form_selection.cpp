// Widening the selection in the message view to a whole item: the hidden
// Expand Selection command, the key and mouse events that run it under the
// selection-expansion option, and the selection details.

#include "app/widgets/main_form.h"

#include "app/widgets/widened_selection_keeper.h"
#include "view/selection_expansion.h"
#include "view/widgets/message_view.h"

#include <QLineEdit>
#include <QTextCursor>

namespace jl {

void TMainForm1::Expand_Selection_BitBtnClick() {
    MessageView* view = File_Contents_RichEdit;
    // Only the start of a selection the user made counts.
    const SelectionRange range = Expand_Selection(view->wholeText(), view->selectionStart());
    // The whole selection is set at once: the view moves (and scrolls) only to
    // the result, never over the characters examined.
    view->select(range.start, range.length);
    SelStart_Edit->setText(QString::number(view->selectionStart()));
    SelLength_Edit->setText(QString::number(view->selectionLength()));
    view->setFocus();
}

void TMainForm1::File_Contents_RichEditKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    Q_UNUSED(key);
    Q_UNUSED(modifiers);
    // Any key, a shift key alone included, under "On Key Press" and "On
    // Either / Both"; the view handles the key itself afterwards.
    const ExpandSelectionOption option = m_workspace->expansion();
    if (option == ExpandOnKeyPress || option == ExpandOnEither)
        Expand_Selection_BitBtnClick();
}

void TMainForm1::File_Contents_RichEditMouseDown(Qt::MouseButton button,
                                                 Qt::KeyboardModifiers modifiers, QPoint position) {
    const ExpandSelectionOption option = m_workspace->expansion();
    if (button != Qt::LeftButton || (option != ExpandOnLeftClick && option != ExpandOnEither))
        return;
    // The view has placed the caret at the click, unless the click fell
    // inside the selection (see WidenedSelectionKeeper).
    MessageView* view = File_Contents_RichEdit;
    const int clicked = view->cursorForPosition(position).position();
    const int start = view->selectionStart();
    const bool dragPending = !(modifiers & Qt::ShiftModifier) && view->selectionLength() > 0 &&
                             clicked >= start && clicked <= start + view->selectionLength();
    if (dragPending)
        view->setSelectionStart(clicked);
    Expand_Selection_BitBtnClick();
    if (dragPending)
        WidenedSelectionKeeper::of(view, [this] {
            runCommand([this] { Expand_Selection_BitBtnClick(); });
        })->armForRelease();
}

void TMainForm1::Debugging_Show_Selection_Details_BitBtnClick() {
    SelStart_Edit->setText(QString::number(File_Contents_RichEdit->selectionStart()));
    SelLength_Edit->setText(QString::number(File_Contents_RichEdit->selectionLength()));
    File_Contents_RichEdit->setFocus();
}

} // namespace jl
