// The message view's clipboard commands: Copy and Paste.

#include "app/widgets/main_form.h"

#include "app/widgets/focus_on_exit.h"
#include "util/clipboard.h"
#include "util/dialogs.h"
#include "view/widgets/message_view.h"

namespace jl {

void TMainForm1::File_Contents_Copy_To_Clipboard_BitBtnClick() {
    // The whole text stays selected; the focus stays where it was.
    File_Contents_RichEdit->selectAllAndCopy(m_clipboard);
}

void TMainForm1::File_Contents_Paste_BitBtnClick() {
    FocusOnExit focus(File_Contents_RichEdit);
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
