#pragma once
// A shown main window over a temporary program folder, scripted dialogs and
// an in-memory clipboard, for the tests of the harvesting commands.

#include "app/widgets/main_form.h"
#include "app/widgets/radio_group.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"
#include "util/clipboard.h"
#include "util/widgets/sorted_list_box.h"
#include "view/widgets/message_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace jl::test {

class HarvestWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Nothing the window may look up reaches the real home folder.
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
            m_savedEnv.emplace_back(name, qgetenv(name));
            qputenv(name, home.mkdir(QString::fromLatin1(name)).toUtf8());
        }
        form = std::make_unique<TMainForm1>(
            ProgramFolder(program.path(), QStringLiteral("junkloupe")), dialogs, clipboard);
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        dialogs.clear();
        setOptions(/*expand=*/3, /*filter=*/2, /*colour=*/3);
        form->Auto_Save_Interesting_Items_List_CheckBox->setChecked(true);
    }

    void TearDown() override {
        form.reset();
        for (const auto& [name, value] : m_savedEnv)
            qputenv(name, value);
    }

    void setOptions(int expand, int filter, int colour) {
        form->Expand_Selection_RadioGroup->setItemIndex(expand);
        form->File_Contents_Filter_RadioGroup->setItemIndex(filter);
        form->File_Contents_Colour_Coding_RadioGroup->setItemIndex(colour);
    }

    MessageView* view() const { return form->File_Contents_RichEdit; }
    SortedList& items() const { return form->Interesting_Items_ListBox->list(); }
    SortedList& files() const { return form->File_List_ListBox->list(); }
    bool foundAny() const {
        return form->File_Contains_Any_Interesting_Items_CheckBox->isChecked();
    }
    QByteArray itemsFile() const { return program.read(QStringLiteral("Junkloupe.ini_int")); }
    bool itemsFileExists() const {
        return QFileInfo::exists(form->programFolder().itemsListFile());
    }

    // Shows text in the view without colours and selects [start, start + length).
    void showText(const QString& text, int start = 0, int length = 0) {
        view()->setWholeText(text);
        view()->setSelectionStart(start);
        view()->setSelectionLength(length);
    }
    bool isRed(int position) const { return view()->colourAt(position) == QColor(255, 0, 0); }

    // Gives the keyboard focus to a control other than the view.
    void focusElsewhere() {
        form->Interesting_Items_ListBox->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), form->Interesting_Items_ListBox);
    }
    bool viewHasFocus() const { return QApplication::focusWidget() == view(); }

    TempFolder home;
    TempFolder program;
    TempFolder messages;
    ScriptedDialogs dialogs;
    MemoryClipboard clipboard;
    std::unique_ptr<TMainForm1> form;

private:
    std::vector<std::pair<const char*, QByteArray>> m_savedEnv;
};

} // namespace jl::test
