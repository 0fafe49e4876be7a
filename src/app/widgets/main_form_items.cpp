// The interesting-items commands: Add Text, Del Text, Copy, Paste and Erase
// All, each followed by colour coding and (when the option is on) by saving
// the list file.

#include "app/widgets/main_form.h"

#include "app/widgets/focus_on_exit.h"
#include "util/dialogs.h"
#include "util/list_file_keeper.h"
#include "util/list_ops.h"
#include "util/widgets/sorted_list_box.h"
#include "view/widgets/message_view.h"

#include <QCheckBox>
#include <QPlainTextEdit>

namespace jl {

namespace {

const QString kItemsKindWord = QStringLiteral("\"interesting items\" text");

} // namespace

// Writes the items list file after a change when the auto-save option is on.
// A list whose file was not read whole at start-up is written over that file
// only after the user's Yes, as at shut-down.
void TMainForm1::autoSaveInterestingItems() {
    if (!Auto_Save_Interesting_Items_List_CheckBox->isChecked())
        return;
    m_programFolder.prepareUserFilesFolder();
    m_itemsKeeper->save(m_dialogs, ListFileKeeper::Occasion::AfterChange);
}

void TMainForm1::Interesting_Items_Add_Selected_Text_BitBtnClick() {
    FocusOnExit focus(File_Contents_RichEdit);
    // A selection over several lines arrives with '\n' between them: refused,
    // as the list file keeps one item per line.
    const QString refusal =
        addTextToList(Interesting_Items_ListBox->list(), File_Contents_RichEdit->selectedText());
    if (!refusal.isEmpty()) {
        m_dialogs.error(refusal);
        return;
    }
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
    int refusedLines = 0;
    Work_Memo->setPlainText(Paste_Merge_Clipboard_Into_List(Interesting_Items_ListBox->list(),
                                                            m_clipboard, &refusedLines));
    if (refusedLines > 0)
        m_dialogs.information(pasteRefusedLinesMessage(refusedLines));
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
