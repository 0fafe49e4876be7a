// Moving through the file list (First, Prev, Next, Last, a click on an
// entry) and the clicks on the view-filter and colour-coding options.

#include "app/widgets/main_form.h"

#include "util/dialogs.h"

namespace jl {

void TMainForm1::moveAndShow(Workspace::Move move) {
    if (QString refusal; !m_workspace->move(move, &refusal))
        m_dialogs.error(refusal);
    else
        Process_The_Selected_File_BitBtnClick();
    focusView();
}

void TMainForm1::First_File_BitBtnClick() {
    moveAndShow(Workspace::Move::First);
}

void TMainForm1::Previous_File_BitBtnClick() {
    moveAndShow(Workspace::Move::Previous);
}

void TMainForm1::Next_File_BitBtnClick() {
    moveAndShow(Workspace::Move::Next);
}

void TMainForm1::Last_File_BitBtnClick() {
    moveAndShow(Workspace::Move::Last);
}

void TMainForm1::File_List_ListBoxClick() {
    Process_The_Selected_File_BitBtnClick();
    focusView();
}

void TMainForm1::File_Contents_Filter_RadioGroupClick() {
    // Processing gives the view the focus only while its page is active.
    Process_The_Selected_File_BitBtnClick();
}

void TMainForm1::decodeMimeToggled() {
    // The view shows the current message again, decoded or as it stands.
    Process_The_Selected_File_BitBtnClick();
}

void TMainForm1::File_Contents_Colour_Coding_RadioGroupClick() {
    Colour_Code_File_Contents_BitBtnClick();
}

} // namespace jl
