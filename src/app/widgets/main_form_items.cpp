// The interesting-items commands, the view's clipboard commands, selection
// expansion and the scan for a file without interesting items.

#include "app/widgets/main_form.h"

namespace jl {

void TMainForm1::Interesting_Items_Add_Selected_Text_BitBtnClick() {}

void TMainForm1::Interesting_Items_Delete_Selected_Item_BitBtnClick() {}

void TMainForm1::Interesting_Items_Copy_To_Clipboard_BitBtnClick() {}

void TMainForm1::Interesting_Items_Paste_Merge_From_Clipboard_BitBtnClick() {}

void TMainForm1::Erase_Interesting_Items_List_BitBtnClick() {}

void TMainForm1::Expand_Selection_BitBtnClick() {}

void TMainForm1::File_Contents_RichEditKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    Q_UNUSED(key);
    Q_UNUSED(modifiers);
}

void TMainForm1::File_Contents_RichEditMouseDown(Qt::MouseButton button,
                                                 Qt::KeyboardModifiers modifiers, QPoint position) {
    Q_UNUSED(button);
    Q_UNUSED(modifiers);
    Q_UNUSED(position);
}

void TMainForm1::Debugging_Show_Selection_Details_BitBtnClick() {}

void TMainForm1::BitBtn1Click() {}

void TMainForm1::File_Contents_Copy_To_Clipboard_BitBtnClick() {}

void TMainForm1::File_Contents_Paste_BitBtnClick() {}

} // namespace jl
