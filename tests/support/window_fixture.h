#pragma once
// The one main-window fixture of the tests: a window over a temporary program
// folder, scripted dialogs, an in-memory clipboard and desktop services whose
// every folder is a temporary one (their launcher starts nothing), plus
// helpers to fill and read its lists and its view.

#include "app/widgets/main_form.h"
#include "app/widgets/radio_group.h"
#include "desktop/companion_documents.h"
#include "desktop/desktop_sandbox.h"
#include "desktop/desktop_services.h"
#include "desktop/freedesktop_registry.h"
#include "desktop/shortcuts.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"
#include "util/clipboard.h"
#include "util/list_ops.h"
#include "util/widgets/sorted_list_box.h"
#include "view/widgets/message_view.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace jl::test {

// Records what it is asked to start and starts nothing.
class RecordingLauncher : public ProcessLauncher {
public:
    void start(const QString& program, const QStringList& arguments, FailureReport) override {
        started.append(program + " | " + arguments.join(" | "));
    }
    QStringList started;
};

class WindowTest : public ::testing::Test {
protected:
    TempFolder program;  // the program folder: settings and list files
    TempFolder messages; // message files of a test
    ScriptedDialogs dialogs;
    MemoryClipboard clipboard;
    DesktopSandbox desk;

private:
    std::unique_ptr<RecordingLauncher> m_launcher = std::make_unique<RecordingLauncher>();

protected:
    RecordingLauncher& launcher = *m_launcher;
    DesktopServices desktop{std::make_unique<FreedesktopRegistry>(desk.env),
                            std::make_unique<DesktopEntryLinkWriter>(), std::move(m_launcher),
                            desk.env.path};
    std::unique_ptr<TMainForm1> form;

    // The window, made once (not shown) over the program folder.
    TMainForm1& create() {
        if (!form)
            form = makeWindow(program.path());
        return *form;
    }
    TMainForm1& shown() {
        create().show();
        return *form;
    }
    // A new window in place of the old one, over programFolder (default: the
    // program folder), shown, its pending events handled.
    TMainForm1& open(const QString& programFolder = QString()) {
        form.reset();
        form = makeWindow(programFolder.isEmpty() ? program.path() : programFolder);
        form->show();
        QApplication::processEvents();
        return *form;
    }
    // open(), then the window made active and the dialogs of the first show
    // forgotten.
    void openActive() {
        open();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        dialogs.clear();
    }
    std::unique_ptr<TMainForm1> makeWindow(const QString& programFolder) {
        return std::make_unique<TMainForm1>(
            ProgramFolder(programFolder, QStringLiteral("junkloupe")), dialogs, clipboard, desktop);
    }

    // A message file in the program folder's messages/ folder; returns its
    // full path.
    QString message(const QString& name, const QByteArray& bytes) {
        return program.write(QStringLiteral("messages/") + name, bytes);
    }

    void setOptions(int expand, int filter, int colour) {
        group("Expand_Selection_RadioGroup")->setItemIndex(expand);
        group("File_Contents_Filter_RadioGroup")->setItemIndex(filter);
        group("File_Contents_Colour_Coding_RadioGroup")->setItemIndex(colour);
    }

    // A control of the window, found by its object name as Qt's own tests
    // find them (the test fails when there is none of that name and kind).
    template <typename T = QWidget> T* control(const QString& name) const {
        T* found = form->findChild<T*>(name);
        if (!found)
            throw std::runtime_error("the window has no control " + name.toStdString());
        return found;
    }
    QPushButton* button(const QString& name) const { return control<QPushButton>(name); }
    QAction* action(const QString& name) const { return control<QAction>(name); }
    RadioGroup* group(const QString& name) const { return control<RadioGroup>(name); }

    MessageView* view() const { return control<MessageView>("File_Contents_RichEdit"); }
    SortedList& files() const { return form->workspace().files(); }
    SortedList& items() const { return form->workspace().items(); }
    QString viewText() const { return view()->wholeText(); }
    QString caption() const { return control<QGroupBox>("File_Contents_GroupBox")->title(); }
    int current() const { return Get_First_Selected_Index(files()); }
    QWidget* focused() const { return form->focusWidget(); }
    bool foundAny() const {
        return control<QCheckBox>("File_Contains_Any_Interesting_Items_CheckBox")->isChecked();
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
        control<SortedListBox>("Interesting_Items_ListBox")->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), control<SortedListBox>("Interesting_Items_ListBox"));
    }
    bool viewHasFocus() const { return QApplication::focusWidget() == view(); }
};

} // namespace jl::test
