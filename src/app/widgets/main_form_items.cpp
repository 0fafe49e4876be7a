// The interesting-items commands: Add Text, Del Text, Copy, Paste and Erase
// All, each followed by colour coding and (when the option is on) by saving
// the list file.

#include "app/widgets/main_form.h"

#include "app/widgets/focus_on_exit.h"
#include "util/dialogs.h"
#include "util/list_ops.h"
#include "util/text_helpers.h"
#include "util/widgets/sorted_list_box.h"
#include "view/widgets/message_view.h"

#include <QCheckBox>
#include <QPlainTextEdit>

namespace jl {

namespace {

const QString kItemsKindWord = QStringLiteral("\"interesting items\" text");

} // namespace

// Writes the items list file after a change when the auto-save option is on.
// A list whose file could not be read at start-up is not written over that
// file while it stays empty, as at shut-down.
void TMainForm1::autoSaveInterestingItems() {
    if (!Auto_Save_Interesting_Items_List_CheckBox->isChecked())
        return;
    const SortedList& items = Interesting_Items_ListBox->list();
    if (m_itemsListLoadFailed && items.isEmpty())
        return;
    m_programFolder.prepareUserFilesFolder();
    Save_List_File(items, m_programFolder.itemsListFile(), m_dialogs);
}

void TMainForm1::Interesting_Items_Add_Selected_Text_BitBtnClick() {
    FocusOnExit focus(File_Contents_RichEdit);
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
    FocusOnExit focus(File_Contents_RichEdit);
    Remove_Selected_Items(Interesting_Items_ListBox->list(), kItemsKindWord, m_dialogs, [this] {
        if (Interesting_Items_ListBox->isVisible())
            Interesting_Items_ListBox->setFocus();
    });
    // Whether anything was removed, declined or refused: colour and save.
    Colour_Code_File_Contents_BitBtnClick();
    autoSaveInterestingItems();
}

void TMainForm1::Interesting_Items_Copy_To_Clipboard_BitBtnClick() {
    FocusOnExit focus(File_Contents_RichEdit);
    Work_Memo->setPlainText(Copy_List_To_Clipboard(Interesting_Items_ListBox->list(), m_clipboard));
}

void TMainForm1::Interesting_Items_Paste_Merge_From_Clipboard_BitBtnClick() {
    FocusOnExit focus(File_Contents_RichEdit);
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
    FocusOnExit focus(File_Contents_RichEdit);
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

} // namespace jl
