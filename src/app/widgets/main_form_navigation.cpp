// Moving through the file list (First, Prev, Next, Last, a click on an
// entry) and the clicks on the view-filter and colour-coding options.

#include "app/widgets/main_form.h"

#include "util/dialogs.h"
#include "util/list_ops.h"
#include "util/widgets/sorted_list_box.h"

namespace jl {

namespace {

const QString kNoFiles = QStringLiteral("Error: There are no files in the list.");

} // namespace

void TMainForm1::First_File_BitBtnClick() {
    SortedList& files = File_List_ListBox->list();
    if (files.isEmpty()) {
        m_dialogs.error(kNoFiles);
    } else {
        Select_List_Index(files, 0);
        Process_The_Selected_File_BitBtnClick();
    }
    focusView();
}

void TMainForm1::Previous_File_BitBtnClick() {
    SortedList& files = File_List_ListBox->list();
    if (files.isEmpty()) {
        m_dialogs.error(kNoFiles);
    } else {
        const int index = Get_First_Selected_Index(files);
        if (index == 0) {
            m_dialogs.error(
                QStringLiteral("Error: You are already on the First file in the list."));
        } else {
            // With no current entry this asks for -2, which leaves none current.
            Select_List_Index(files, index - 1);
            Process_The_Selected_File_BitBtnClick();
        }
    }
    focusView();
}

void TMainForm1::Next_File_BitBtnClick() {
    SortedList& files = File_List_ListBox->list();
    if (files.isEmpty()) {
        m_dialogs.error(kNoFiles);
    } else {
        const int index = Get_First_Selected_Index(files);
        if (index + 1 == files.count()) {
            m_dialogs.error(QStringLiteral("Error: You are already at the Last file in the list."));
        } else {
            Select_List_Index(files, index + 1);
            Process_The_Selected_File_BitBtnClick();
        }
    }
    focusView();
}

void TMainForm1::Last_File_BitBtnClick() {
    SortedList& files = File_List_ListBox->list();
    if (files.isEmpty()) {
        m_dialogs.error(kNoFiles);
    } else {
        Select_List_Index(files, files.count() - 1);
        Process_The_Selected_File_BitBtnClick();
    }
    focusView();
}

void TMainForm1::File_List_ListBoxClick() {
    Process_The_Selected_File_BitBtnClick();
    focusView();
}

void TMainForm1::File_Contents_Filter_RadioGroupClick() {
    // Processing gives the view the focus only while its page is active.
    Process_The_Selected_File_BitBtnClick();
}

void TMainForm1::File_Contents_Colour_Coding_RadioGroupClick() {
    Colour_Code_File_Contents_BitBtnClick();
}

} // namespace jl
