// The interesting-items commands: Add Text, Del Text, Copy, Paste and Erase
// All, each followed by colour coding and (when the option is on) by saving
// the list file.

#include "app/widgets/main_form.h"

#include "app/widgets/focus_on_exit.h"
#include "util/dialogs.h"
#include "util/widgets/sorted_list_box.h"
#include "view/widgets/message_view.h"

#include <QPlainTextEdit>

namespace jl {

void TMainForm1::Interesting_Items_Add_Selected_Text_BitBtnClick() {
    FocusOnExit focus(File_Contents_RichEdit);
    // A selection over several lines arrives with '\n' between them: refused,
    // as the list file keeps one item per line.
    QString refusal;
    if (!m_workspace->addItem(File_Contents_RichEdit->selectedText(), &refusal)) {
        m_dialogs.error(refusal);
        return;
    }
    Colour_Code_File_Contents_BitBtnClick();
    m_workspace->autoSaveItems();
}

void TMainForm1::Interesting_Items_Delete_Selected_Item_BitBtnClick() {
    FocusOnExit focus(File_Contents_RichEdit);
    m_workspace->removeSelectedItems([this] {
        if (Interesting_Items_ListBox->isVisible())
            Interesting_Items_ListBox->setFocus();
    });
    // Whether anything was removed, declined or refused: colour and save.
    Colour_Code_File_Contents_BitBtnClick();
    m_workspace->autoSaveItems();
}

void TMainForm1::Interesting_Items_Copy_To_Clipboard_BitBtnClick() {
    FocusOnExit focus(File_Contents_RichEdit);
    Work_Memo->setPlainText(m_workspace->copyItems());
}

void TMainForm1::Interesting_Items_Paste_Merge_From_Clipboard_BitBtnClick() {
    FocusOnExit focus(File_Contents_RichEdit);
    const std::optional<QString> staged = m_workspace->mergeItemsFromClipboard();
    if (!staged)
        return;
    Work_Memo->setPlainText(*staged);
    Colour_Code_File_Contents_BitBtnClick();
    m_workspace->autoSaveItems();
}

void TMainForm1::Erase_Interesting_Items_List_BitBtnClick() {
    FocusOnExit focus(File_Contents_RichEdit);
    // The list file keeps the old items until the next auto-saved change or
    // the save at shut-down.
    if (m_workspace->eraseItems())
        Colour_Code_File_Contents_BitBtnClick();
}

} // namespace jl
