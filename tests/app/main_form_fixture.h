#pragma once
// A main window over a temporary program folder, scripted dialogs and an
// in-memory clipboard, plus helpers to fill its file list.

#include "app/widgets/main_form.h"
#include "app/widgets/radio_group.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"
#include "util/clipboard.h"
#include "util/list_ops.h"
#include "util/widgets/sorted_list_box.h"
#include "view/widgets/message_view.h"

#include <QGroupBox>

#include <gtest/gtest.h>

#include <memory>

namespace jl::test {

class MainFormTest : public testing::Test {
protected:
    TempFolder folder;
    ScriptedDialogs dialogs;
    MemoryClipboard clipboard;
    std::unique_ptr<TMainForm1> form;

    TMainForm1& create() {
        if (!form)
            form = std::make_unique<TMainForm1>(
                ProgramFolder(folder.path(), QStringLiteral("junkloupe")), dialogs, clipboard);
        return *form;
    }
    TMainForm1& shown() {
        create().show();
        return *form;
    }

    // A message file in the messages/ folder; returns its full path.
    QString message(const QString& name, const QByteArray& bytes) {
        return folder.write(QStringLiteral("messages/") + name, bytes);
    }
    SortedList& files() { return form->File_List_ListBox->list(); }
    SortedList& items() { return form->Interesting_Items_ListBox->list(); }
    QString viewText() { return form->File_Contents_RichEdit->wholeText(); }
    QString caption() { return form->File_Contents_GroupBox->title(); }
    int current() { return Get_First_Selected_Index(files()); }
    QWidget* focused() { return form->focusWidget(); }
};

} // namespace jl::test
