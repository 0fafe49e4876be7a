// The scan for the next file that holds none of the interesting items.

#include "app/widgets/main_form.h"

#include "util/dialogs.h"
#include "util/list_ops.h"
#include "util/widgets/sorted_list_box.h"

#include <QCheckBox>
#include <QCoreApplication>

namespace jl {

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

} // namespace jl
