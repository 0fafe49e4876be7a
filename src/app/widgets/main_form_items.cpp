// The interesting-items commands, the view's clipboard commands, selection
// expansion and the scan for a file without interesting items.

#include "app/widgets/main_form.h"

#include "app/widgets/radio_group.h"
#include "util/clipboard.h"
#include "util/dialogs.h"
#include "util/list_ops.h"
#include "util/text_helpers.h"
#include "util/widgets/sorted_list_box.h"
#include "view/selection_expansion.h"
#include "view/widgets/message_view.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextCursor>

namespace jl {

namespace {

const QString kItemsKindWord = QStringLiteral("\"interesting items\" text");

// Gives the message view the keyboard focus when the command ends, whichever
// way it ends (a failure thrown from a list operation included).
class FocusViewOnExit {
public:
    explicit FocusViewOnExit(MessageView* view) : m_view(view) {}
    ~FocusViewOnExit() { m_view->setFocus(); }
    FocusViewOnExit(const FocusViewOnExit&) = delete;
    FocusViewOnExit& operator=(const FocusViewOnExit&) = delete;

private:
    MessageView* m_view;
};

// A press inside a selection is taken by the view as the possible start of a
// drag: the caret stays where it was, and the release then puts it at the
// click and clears the selection. After a widening at such a press, this
// filter lets the release take its course and widens again from the click,
// so that a click always ends with the widened selection. Made on the first
// widening by a click, as a child of the view.
class WidenedSelectionKeeper : public QObject {
public:
    WidenedSelectionKeeper(TMainForm1* form, MessageView* view) : QObject(view), m_form(form) {
        setObjectName(QStringLiteral("WidenedSelectionKeeper"));
        view->viewport()->installEventFilter(this);
    }

    static WidenedSelectionKeeper* of(TMainForm1* form, MessageView* view) {
        auto* keeper = dynamic_cast<WidenedSelectionKeeper*>(view->findChild<QObject*>(
            QStringLiteral("WidenedSelectionKeeper"), Qt::FindDirectChildrenOnly));
        return keeper ? keeper : new WidenedSelectionKeeper(form, view);
    }

    void armForRelease() { m_armed = true; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!m_armed)
            return false;
        if (event->type() == QEvent::MouseButtonPress) {
            m_armed = false; // a drag that swallowed the release
            return false;
        }
        if (event->type() != QEvent::MouseButtonRelease ||
            static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            return false;
        m_armed = false;
        QCoreApplication::sendEvent(watched, event); // the view's own release first
        if (m_form->File_Contents_RichEdit->selectionLength() == 0)
            m_form->runCommand([this] { m_form->Expand_Selection_BitBtnClick(); });
        return true;
    }

private:
    TMainForm1* m_form;
    bool m_armed = false;
};

} // namespace

// --- interesting items ------------------------------------------------------------------

// Writes the items list file after a change when the auto-save option is on.
// A list whose file could not be read at start-up is not written over that
// file while it stays empty, as at shut-down.
void TMainForm1::autoSaveInterestingItems() {
    if (!Auto_Save_Interesting_Items_List_CheckBox->isChecked())
        return;
    const SortedList& items = Interesting_Items_ListBox->list();
    if (m_itemsListLoadFailed && items.isEmpty())
        return;
    Save_List_File(items, m_programFolder.itemsListFile(), m_dialogs);
}

void TMainForm1::Interesting_Items_Add_Selected_Text_BitBtnClick() {
    FocusViewOnExit focus(File_Contents_RichEdit);
    SortedList& items = Interesting_Items_ListBox->list();
    // A selection over several lines arrives with '\n' between them; the
    // line breaks inside stay part of the item.
    const QString text = Trim_Control(File_Contents_RichEdit->selectedText());
    if (text.isEmpty()) {
        m_dialogs.error(QStringLiteral(
            "Error: No file content's text has been selected !  Please select / highlight some "
            "file contents text by selecting it with your mouse and try again."));
        return;
    }
    if (Find_List_Item(items, text) != -1) {
        m_dialogs.error(QStringLiteral(
            "Error: The selected text is already in the \"interesting items\" list !"));
        return;
    }
    items.insert(text); // the list's selection stays on the entries it was on
    Colour_Code_File_Contents_BitBtnClick();
    autoSaveInterestingItems();
}

void TMainForm1::Interesting_Items_Delete_Selected_Item_BitBtnClick() {
    FocusViewOnExit focus(File_Contents_RichEdit);
    Remove_Selected_Items(Interesting_Items_ListBox->list(), kItemsKindWord, m_dialogs, [this] {
        if (Interesting_Items_ListBox->isVisible())
            Interesting_Items_ListBox->setFocus();
    });
    // Whether anything was removed, declined or refused: colour and save.
    Colour_Code_File_Contents_BitBtnClick();
    autoSaveInterestingItems();
}

void TMainForm1::Interesting_Items_Copy_To_Clipboard_BitBtnClick() {
    FocusViewOnExit focus(File_Contents_RichEdit);
    Work_Memo->setPlainText(Copy_List_To_Clipboard(Interesting_Items_ListBox->list(), m_clipboard));
}

void TMainForm1::Interesting_Items_Paste_Merge_From_Clipboard_BitBtnClick() {
    FocusViewOnExit focus(File_Contents_RichEdit);
    if (!m_dialogs.confirm(
            QStringLiteral("Paste and merge the contents of Windows Clipboard into the list of "
                           "\"interesting items\" ?  Are you sure ?")))
        return;
    Work_Memo->setPlainText(
        Paste_Merge_Clipboard_Into_List(Interesting_Items_ListBox->list(), m_clipboard));
    Colour_Code_File_Contents_BitBtnClick();
    autoSaveInterestingItems();
}

void TMainForm1::Erase_Interesting_Items_List_BitBtnClick() {
    FocusViewOnExit focus(File_Contents_RichEdit);
    SortedList& items = Interesting_Items_ListBox->list();
    if (items.isEmpty()) {
        m_dialogs.error(QStringLiteral("Error: There are no \"interesting items\" in the list."));
        return;
    }
    if (!m_dialogs.confirm(QStringLiteral("Erase all \"interesting items\" ?  Are you sure ?")))
        return;
    items.clear();
    // The list file keeps the old items until the next auto-saved change or
    // the save at shut-down.
    Colour_Code_File_Contents_BitBtnClick();
}

// --- selection expansion ------------------------------------------------------------------

void TMainForm1::Expand_Selection_BitBtnClick() {
    MessageView* view = File_Contents_RichEdit;
    // Only the start of a selection the user made counts.
    const SelectionRange range = Expand_Selection(view->wholeText(), view->selectionStart());
    // The whole selection is set at once: the view moves (and scrolls) only to
    // the result, never over the characters examined.
    QTextCursor cursor = view->textCursor();
    cursor.setPosition(range.start);
    cursor.setPosition(range.start + range.length, QTextCursor::KeepAnchor);
    view->setTextCursor(cursor);
    view->ensureCursorVisible();
    SelStart_Edit->setText(QString::number(view->selectionStart()));
    SelLength_Edit->setText(QString::number(view->selectionLength()));
    view->setFocus();
}

void TMainForm1::File_Contents_RichEditKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    Q_UNUSED(key);
    Q_UNUSED(modifiers);
    // Any key, a shift key alone included, under "On Key Press" and "On
    // Either / Both"; the view handles the key itself afterwards.
    const int option = Expand_Selection_RadioGroup->itemIndex();
    if (option == 0 || option == 2)
        Expand_Selection_BitBtnClick();
}

void TMainForm1::File_Contents_RichEditMouseDown(Qt::MouseButton button,
                                                 Qt::KeyboardModifiers modifiers, QPoint position) {
    const int option = Expand_Selection_RadioGroup->itemIndex();
    if (button != Qt::LeftButton || (option != 1 && option != 2))
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
        WidenedSelectionKeeper::of(this, view)->armForRelease();
}

void TMainForm1::Debugging_Show_Selection_Details_BitBtnClick() {
    SelStart_Edit->setText(QString::number(File_Contents_RichEdit->selectionStart()));
    SelLength_Edit->setText(QString::number(File_Contents_RichEdit->selectionLength()));
    File_Contents_RichEdit->setFocus();
}

// --- scan for a file without interesting items -----------------------------------------------

void TMainForm1::BitBtn1Click() {
    const SortedList& files = File_List_ListBox->list();
    QCheckBox* foundAny = File_Contains_Any_Interesting_Items_CheckBox;
    // Between two files the window takes input, the close included: a scan
    // does not go on through the list behind a closed window.
    const bool shownAtStart = isVisible();

    foundAny->setChecked(true);
    int index = -1;
    for (;;) {
        index = Get_First_Selected_Index(files);
        const int last = files.count() - 1;
        if (index < last) {
            Next_File_BitBtnClick();
            QCoreApplication::processEvents();
        }
        if (!foundAny->isChecked())
            break;
        if (index == last)
            break;
        if (shownAtStart && !isVisible())
            return;
    }
    if (index == files.count() - 1)
        m_dialogs.information(QStringLiteral("You are now at the last file in the list."));
}

// --- the view's clipboard -------------------------------------------------------------------

void TMainForm1::File_Contents_Copy_To_Clipboard_BitBtnClick() {
    // The whole text stays selected; the focus stays where it was.
    File_Contents_RichEdit->selectAllAndCopy(m_clipboard);
}

void TMainForm1::File_Contents_Paste_BitBtnClick() {
    FocusViewOnExit focus(File_Contents_RichEdit);
    if (!m_dialogs.confirm(QStringLiteral(
            "Paste file contents text from Windows Clipboard ?  Are you sure ?  (N.B.  No "
            "permanent changes to the file will result). ")))
        return;
    MessageView* view = File_Contents_RichEdit;
    view->clearText();
    view->pasteText(m_clipboard.text());
    // Also recomputes the found-any flag for the pasted text.
    Colour_Code_File_Contents_BitBtnClick();
}

} // namespace jl
