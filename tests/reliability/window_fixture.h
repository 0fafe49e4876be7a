#pragma once
// A shown main window over a temporary program folder, scripted dialogs and
// an in-memory clipboard, for the fault tests that go through the window.

#include "app/widgets/main_form.h"
#include "app/widgets/radio_group.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"
#include "util/clipboard.h"
#include "util/list_ops.h"
#include "util/widgets/sorted_list_box.h"
#include "view/widgets/message_view.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace jl::test {

class FaultWindowTest : public ::testing::Test {
protected:
    TempFolder program; // the program folder: settings and list files
    TempFolder messages;
    ScriptedDialogs dialogs;
    MemoryClipboard clipboard;
    std::unique_ptr<TMainForm1> form;

    TMainForm1& open(const QString& programFolder = QString()) {
        form = std::make_unique<TMainForm1>(
            ProgramFolder(programFolder.isEmpty() ? program.path() : programFolder,
                          QStringLiteral("junkloupe")),
            dialogs, clipboard);
        form->show();
        QApplication::processEvents();
        return *form;
    }
    SortedList& files() { return form->File_List_ListBox->list(); }
    SortedList& items() { return form->Interesting_Items_ListBox->list(); }
    QString viewText() { return form->File_Contents_RichEdit->wholeText(); }
    int current() { return Get_First_Selected_Index(files()); }
    // Puts path into the file list, selects it and processes it.
    void show(const QString& path) {
        files().clear();
        files().insert(path);
        Select_List_Index(files(), 0);
        form->Process_The_Selected_File_BitBtnClick();
    }
};

} // namespace jl::test
