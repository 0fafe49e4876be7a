// Showing the current file, colour coding it, the file-list commands and
// navigation through the list.

#include "support/window_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>

#include <random>

#include <sys/stat.h>

namespace jl::test {
namespace {

const QByteArray kMessage = "Return-Path: x\r\n"
                            "Received: from mx.example.com\r\n"
                            "\tby b\r\n"
                            "Message-ID: <1.x@example.com>\r\n"
                            "Subject: hi\r\n"
                            "\r\n"
                            "body\r\n";

class FilesTest : public WindowTest {
protected:
    void SetUp() override {
        shown();
        group("File_Contents_Filter_RadioGroup")->setItemIndex(1);
        group("File_Contents_Colour_Coding_RadioGroup")->setItemIndex(3);
    }
    // Three messages m1..m3 in the list; returns their paths.
    QStringList threeMessages() {
        QStringList paths;
        for (int i = 1; i <= 3; ++i) {
            paths << message(QStringLiteral("m%1.eml").arg(i),
                             "Received: from m" + QByteArray::number(i) + "\r\nMessage-ID: <" +
                                 QByteArray::number(i) + ">\r\n");
            files().insert(paths.last());
        }
        return paths;
    }
    static QString shownFor(int i) {
        return QStringLiteral("\nReceived: from m%1\n\nMessage-ID: <%1>\n\n").arg(i);
    }
};

// --- processing -------------------------------------------------------------------------

TEST_F(FilesTest, ProcessingShowsTheFilteredTextAndItsPlaceInTheCaption) {
    threeMessages();
    Select_List_Index(files(), 0);
    form->Process_The_Selected_File_BitBtnClick();
    EXPECT_EQ(caption(), "File 1 of 3 :  m1.eml ");
    EXPECT_EQ(viewText(), shownFor(1));
    // Caret at the start, nothing selected, the view has the focus, the
    // panel is gone and the window usable again.
    EXPECT_EQ(view()->selectionStart(), 0);
    EXPECT_EQ(view()->selectionLength(), 0);
    EXPECT_EQ(focused(), view());
    EXPECT_FALSE(control<QGroupBox>("File_Processing_Progress_GroupBox")->isVisible());
    EXPECT_TRUE(button("Next_File_BitBtn")->isEnabled());
    EXPECT_FALSE(form->isBusy());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(control<QProgressBar>("Progress_Guage")->value(),
              control<QProgressBar>("Progress_Guage")->maximum());
}

TEST_F(FilesTest, ViewFilterIsReadForEveryFile) {
    files().insert(message("w.eml", kMessage));
    Select_List_Index(files(), 0);
    const struct {
        int filter;
        const char* view;
    } cases[] = {
        {0, "\nReceived: from mx.example.com\nby b\n\nMessage-ID: <1.x@example.com>"},
        {1, "\nReceived: from mx.example.com\nby b\n\nMessage-ID: <1.x@example.com>\n\n"},
        {2, "\nReturn-Path: x\n\nReceived: from mx.example.com\n\nby b\n\nMessage-ID: "
            "<1.x@example.com>\n\n\n\n"
            "Subject: hi\n\n\n\nbody"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.filter);
        // Choosing another filter re-reads the current file at once.
        group("File_Contents_Filter_RadioGroup")->setItemIndex(c.filter);
        EXPECT_EQ(viewText(), QString::fromLatin1(c.view));
    }
}

TEST_F(FilesTest, MissingEmptyAndUnselectedFiles) {
    const QStringList paths = threeMessages();
    Select_List_Index(files(), 1);
    form->Process_The_Selected_File_BitBtnClick();
    ASSERT_EQ(caption(), "File 2 of 3 :  m2.eml ");

    // A missing file: the one error line, no colour coding, caption kept.
    QFile::remove(paths[2]);
    control<QCheckBox>("File_Contains_Any_Interesting_Items_CheckBox")->setChecked(true);
    Select_List_Index(files(), 2);
    form->Process_The_Selected_File_BitBtnClick();
    EXPECT_EQ(viewText(), " *** Error: File does NOT exist !!");
    EXPECT_EQ(caption(), "File 2 of 3 :  m2.eml ");
    EXPECT_TRUE(control<QCheckBox>("File_Contains_Any_Interesting_Items_CheckBox")->isChecked());

    // An empty file: empty view, caption updated, colour coding ran.
    QFile(paths[0]).resize(0);
    Select_List_Index(files(), 0);
    form->Process_The_Selected_File_BitBtnClick();
    EXPECT_EQ(viewText(), "");
    EXPECT_EQ(caption(), "File 1 of 3 :  m1.eml ");
    EXPECT_FALSE(control<QCheckBox>("File_Contains_Any_Interesting_Items_CheckBox")->isChecked());

    // Nothing selected: the view empties, the caption stays.
    files().clearSelection();
    form->Process_The_Selected_File_BitBtnClick();
    EXPECT_EQ(viewText(), "");
    EXPECT_EQ(caption(), "File 1 of 3 :  m1.eml ");
    EXPECT_EQ(dialogs.count(), 0u);
}

TEST_F(FilesTest, WindowIsBusyWhileTheFileIsRead) {
    threeMessages();
    Select_List_Index(files(), 0);
    bool checked = false;
    // Runs at the first pump inside processing.
    QTimer::singleShot(0, form.get(), [&] {
        checked = true;
        EXPECT_TRUE(form->isBusy());
        EXPECT_FALSE(button("Next_File_BitBtn")->isEnabled());
        EXPECT_FALSE(control<SortedListBox>("File_List_ListBox")->isEnabled());
        EXPECT_FALSE(control<QTabWidget>("PageControl1")->isEnabled());
        EXPECT_TRUE(control<QMenuBar>("MainMenu1")->isEnabled());
        EXPECT_TRUE(action("ExitOption")->isEnabled());
        EXPECT_TRUE(control<QGroupBox>("File_Processing_Progress_GroupBox")->isVisible());
        EXPECT_TRUE(control<QGroupBox>("File_Processing_Progress_GroupBox")->isEnabled());
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    });
    form->Process_The_Selected_File_BitBtnClick();
    EXPECT_TRUE(checked);
    EXPECT_TRUE(control<QTabWidget>("PageControl1")->isEnabled());
    EXPECT_TRUE(control<SortedListBox>("File_List_ListBox")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FilesTest, AnotherFileShownWhileOneIsReadKeepsTheView) {
    threeMessages();
    Select_List_Index(files(), 0);
    // A command run at the first pump inside processing shows entry 2.
    QTimer::singleShot(0, form.get(), [&] {
        Select_List_Index(files(), 2);
        form->Process_The_Selected_File_BitBtnClick();
    });
    form->Process_The_Selected_File_BitBtnClick();
    EXPECT_EQ(viewText(), shownFor(3));
    EXPECT_EQ(caption(), "File 3 of 3 :  m3.eml ");
    EXPECT_FALSE(view()->isUpdating());
    EXPECT_FALSE(form->isBusy());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FilesTest, UnreadableFileIsReportedAndTheWindowRecovers) {
    const QString pipe = program.file("messages/pipe.eml");
    program.mkdir("messages");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    files().insert(pipe);
    Select_List_Index(files(), 0);
    form->Process_The_Selected_File_BitBtnClick();
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Error);
    EXPECT_TRUE(
        dialogs.lastText().startsWith("Error: The file \"" + pipe + "\" could not be read: "));
    EXPECT_EQ(viewText(), "");
    EXPECT_FALSE(view()->isUpdating());
    EXPECT_FALSE(control<QGroupBox>("File_Processing_Progress_GroupBox")->isVisible());
    EXPECT_FALSE(form->isBusy());
    EXPECT_TRUE(button("Next_File_BitBtn")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FilesTest, FocusStaysOffTheViewWhileTheSettingsPageIsActive) {
    threeMessages();
    Select_List_Index(files(), 0);
    control<QTabWidget>("PageControl1")->setCurrentWidget(control("TabSheet2"));
    group("File_Contents_Filter_RadioGroup")->button(2)->setFocus();
    group("File_Contents_Filter_RadioGroup")->setItemIndex(2);
    EXPECT_EQ(viewText(), "\nReceived: from m1\n\nMessage-ID: <1>\n\n");
    EXPECT_NE(focused(), view());
}

TEST_F(FilesTest, AViewShownWhileTheSettingsPageIsActiveStartsAtItsTop) {
    // Colour coding leaves the caret after its last match, at the end here.
    QByteArray bytes;
    for (int i = 0; i < 200; ++i)
        bytes += "Received: from relay-" + QByteArray::number(i) + ".example.com\r\n";
    files().insert(message("long.eml", bytes + "Message-ID: <long@example.com>\r\n"));
    Select_List_Index(files(), 0);
    form->Process_The_Selected_File_BitBtnClick();
    control<QTabWidget>("PageControl1")->setCurrentWidget(control("TabSheet2"));
    group("File_Contents_Filter_RadioGroup")->setItemIndex(2);
    control<QTabWidget>("PageControl1")->setCurrentWidget(control("TabSheet1"));
    QApplication::processEvents();
    ASSERT_GT(view()->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(view()->verticalScrollBar()->value(), 0);
    EXPECT_EQ(view()->selectionStart(), 0);
    EXPECT_EQ(view()->selectionLength(), 0);
}

// --- colour coding ------------------------------------------------------------------------

TEST_F(FilesTest, ColourCodingOptionRecoloursWithoutRereading) {
    const QString path = message("c.eml", kMessage);
    files().insert(path);
    items().insert(QStringLiteral("EXAMPLE.com"));
    Select_List_Index(files(), 0);
    form->Process_The_Selected_File_BitBtnClick();
    MessageView* shown = view();
    const QString text = viewText();
    const int received = static_cast<int>(text.indexOf("Received:"));
    const int item = static_cast<int>(text.indexOf("example.com"));
    EXPECT_EQ(shown->colourAt(received), QColor(0, 0, 255));
    EXPECT_EQ(shown->colourAt(item), QColor(255, 0, 0));
    EXPECT_TRUE(control<QCheckBox>("File_Contains_Any_Interesting_Items_CheckBox")->isChecked());

    // The file changes on disk; only the colours of the text shown change.
    QFile::remove(path);
    group("File_Contents_Colour_Coding_RadioGroup")->setItemIndex(1);
    EXPECT_EQ(viewText(), text);
    EXPECT_EQ(shown->colourAt(received), QColor(0, 0, 255));
    EXPECT_FALSE(shown->colourAt(item).isValid());
    EXPECT_FALSE(control<QCheckBox>("File_Contains_Any_Interesting_Items_CheckBox")->isChecked());
    EXPECT_EQ(shown->selectionLength(), 0);

    group("File_Contents_Colour_Coding_RadioGroup")->setItemIndex(0);
    EXPECT_FALSE(shown->colourAt(received).isValid());

    // A change of the items list is seen by the next colour coding.
    group("File_Contents_Colour_Coding_RadioGroup")->setItemIndex(2);
    const int by = static_cast<int>(text.indexOf("by b"));
    EXPECT_FALSE(shown->colourAt(by).isValid());
    items().insert(QStringLiteral("by b"));
    form->Colour_Code_File_Contents_BitBtnClick();
    EXPECT_EQ(shown->colourAt(by), QColor(255, 0, 0));
    // The caret stands after the last match of the last search.
    EXPECT_EQ(shown->selectionStart(),
              text.indexOf("example.com", text.indexOf("Message-ID")) + 11);
}

// --- navigation ---------------------------------------------------------------------------

TEST_F(FilesTest, EveryNavigationButtonRefusesAnEmptyList) {
    for (QPushButton* button : {button("First_File_BitBtn"), button("Previous_File_BitBtn"),
                                button("Next_File_BitBtn"), button("Last_File_BitBtn")}) {
        SCOPED_TRACE(button->objectName().toStdString());
        dialogs.clear();
        button->click();
        ASSERT_EQ(dialogs.count(), 1u);
        EXPECT_EQ(dialogs.lastType(), Shown::Type::Error);
        EXPECT_EQ(dialogs.lastText(), "Error: There are no files in the list.");
        EXPECT_EQ(focused(), view());
    }
}

// Where each button goes is the workspace's (tests/workspace); the window
// shows the entry it moved to and nothing after a refusal.
TEST_F(FilesTest, NavigationShowsTheEntryMovedToAndNothingAfterARefusal) {
    threeMessages();
    const struct {
        const char* button;
        int before;
        QString view;
    } steps[] = {
        {"Next_File_BitBtn", -1, shownFor(1)},    {"Last_File_BitBtn", 0, shownFor(3)},
        {"Previous_File_BitBtn", 2, shownFor(2)}, {"First_File_BitBtn", 2, shownFor(1)},
        {"Next_File_BitBtn", 2, "old"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.button);
        Select_List_Index(files(), step.before);
        view()->setWholeText("old");
        button(step.button)->click();
        EXPECT_EQ(viewText(), step.view);
        EXPECT_EQ(focused(), view());
    }
    EXPECT_EQ(dialogs.texts(), QStringList{"Error: You are already at the Last file in the list."});
}

TEST_F(FilesTest, SingleEntryRefusesPrevAndNextButReprocessesFirstAndLast) {
    files().insert(message("only.eml", "Received: from m1\r\nMessage-ID: <1>\r\n"));
    Select_List_Index(files(), 0);
    button("Previous_File_BitBtn")->click();
    button("Next_File_BitBtn")->click();
    EXPECT_EQ(dialogs.texts(),
              QStringList({"Error: You are already on the First file in the list.",
                           "Error: You are already at the Last file in the list."}));
    button("First_File_BitBtn")->click();
    EXPECT_EQ(caption(), "File 1 of 1 :  only.eml ");
    view()->setWholeText("old");
    button("Last_File_BitBtn")->click();
    EXPECT_EQ(viewText(), shownFor(1));
}

TEST_F(FilesTest, UserSelectionInTheListShowsThatFile) {
    threeMessages();
    Select_List_Index(files(), 2);
    emit control<SortedListBox>("File_List_ListBox")->userSelected();
    EXPECT_EQ(viewText(), shownFor(3));
    EXPECT_EQ(caption(), "File 3 of 3 :  m3.eml ");
    EXPECT_EQ(focused(), view());
}

// Whatever the user does in the file list, the view shows the entry selected
// afterwards, so Remove File offers the file shown and Next File steps from it.
TEST_F(FilesTest, TheViewShowsWhatTheUserLeavesSelectedInTheList) {
    const QStringList paths = threeMessages();
    SortedListBox* list = control<SortedListBox>("File_List_ListBox");
    QWidget* port = list->viewport();
    Select_List_Index(files(), 0);
    form->Process_The_Selected_File_BitBtnClick();
    const Qt::MouseButton buttons[] = {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton};
    const Qt::KeyboardModifiers mods[] = {{}, Qt::ControlModifier, Qt::ShiftModifier};
    const Qt::Key keys[] = {Qt::Key_Up, Qt::Key_Down, Qt::Key_Home, Qt::Key_End, Qt::Key_Space};
    std::mt19937 random(11);
    auto pick = [&random](int n) { return int(random() % unsigned(n)); };
    for (int step = 0; step < 80; ++step) {
        QString what;
        if (pick(2) == 0) {
            const int row = pick(4); // 3: below the last entry
            const QPoint at = row < 3 ? list->visualRect(files().index(row)).center()
                                      : QPoint(5, port->height() - 2);
            const Qt::MouseButton button = buttons[pick(3)];
            QTest::mouseClick(port, button, mods[pick(3)], at);
            what = QStringLiteral("click %1 on row %2").arg(int(button)).arg(row);
        } else {
            const Qt::Key key = keys[pick(5)];
            QTest::keyClick(list, key, mods[pick(2)]);
            what = QStringLiteral("key %1").arg(int(key), 0, 16);
        }
        const int shown = current();
        ASSERT_GE(shown, 0) << what.toStdString();
        ASSERT_EQ(caption(), QStringLiteral("File %1 of 3 :  m%1.eml ").arg(shown + 1))
            << what.toStdString();
        ASSERT_EQ(viewText(), shownFor(shown + 1)) << what.toStdString();
    }
    const int shown = current();
    dialogs.answerNo();
    button("File_List_Delete_Selected_Files_BitBtn")->click();
    EXPECT_EQ(dialogs.lastText(), "Remove \"" + paths[shown] + "\" ?   Are you sure ?");
    Select_List_Index(files(), 0);
    form->Process_The_Selected_File_BitBtnClick();
    QTest::mouseClick(port, Qt::RightButton, {}, list->visualRect(files().index(2)).center());
    button("Next_File_BitBtn")->click();
    EXPECT_EQ(caption(), "File 2 of 3 :  m2.eml ");
}

TEST_F(FilesTest, FilterClickWithAnEmptyListOnlyEmptiesTheView) {
    view()->setWholeText("left over");
    group("File_Contents_Filter_RadioGroup")->setItemIndex(0);
    EXPECT_EQ(viewText(), "");
    EXPECT_EQ(dialogs.count(), 0u);
}

// --- file-list commands -------------------------------------------------------------------

TEST_F(FilesTest, FilesInDirectoryMergesTheChosenDirectoryAndShowsEntryZero) {
    const QString dirA = program.mkdir("dirA");
    program.write("dirA/b.eml", "Received: from m2\r\nMessage-ID: <2>\r\n");
    program.write("dirA/.hidden", "x");
    program.write("dirA/sub/inner.eml", "x");
    program.write("dirB/A.eml", "Received: from m1\r\nMessage-ID: <1>\r\n");
    const QString dirB = program.file("dirB");

    // The first chooser starts in the program folder.
    dialogs.chooseNext(dirA);
    button("Add_All_Files_In_A_Directory_BitBtn")->click();
    EXPECT_EQ(dialogs.lastStartDirectory(), program.path());
    EXPECT_EQ(control<QLineEdit>("Current_Directory_Edit")->text(), program.file("dirA/"));
    EXPECT_EQ(files().entries(),
              QStringList({program.file("dirA/.hidden"), program.file("dirA/b.eml")}));
    EXPECT_EQ(current(), 0);
    EXPECT_EQ(caption(), "File 1 of 2 :  .hidden ");
    EXPECT_EQ(focused(), view());

    // A second directory is merged; entry 0 of the merged list is shown.
    dialogs.chooseNext(dirB);
    button("Add_All_Files_In_A_Directory_BitBtn")->click();
    EXPECT_EQ(dialogs.lastStartDirectory(), program.file("dirA/"));
    EXPECT_EQ(files().count(), 3);
    EXPECT_EQ(current(), 0);
    EXPECT_EQ(files().at(2), program.file("dirB/A.eml"));
    EXPECT_EQ(caption(), "File 1 of 3 :  .hidden ");

    // The same directory again adds nothing, even new files, and selects nothing.
    program.write("dirB/new.eml", "x");
    Select_List_Index(files(), 2);
    dialogs.chooseNext(dirB);
    button("Add_All_Files_In_A_Directory_BitBtn")->click();
    EXPECT_EQ(files().count(), 3);
    EXPECT_EQ(current(), 2);

    // A cancel empties the directory; the next chooser starts in the program folder.
    dialogs.chooseNext(QString());
    button("Add_All_Files_In_A_Directory_BitBtn")->click();
    EXPECT_EQ(control<QLineEdit>("Current_Directory_Edit")->text(), "");
    dialogs.chooseNext(QString());
    button("Add_All_Files_In_A_Directory_BitBtn")->click();
    EXPECT_EQ(dialogs.lastStartDirectory(), program.path());
    EXPECT_TRUE(dialogs.scriptUsedUp());
    EXPECT_EQ(files().count(), 3);
}

TEST_F(FilesTest, FilesInDirectoryTakesTheFolderChosenEvenWhenItsNameEndsInABlank) {
    program.write("mail/other.eml", "x");
    const QString own = program.write("mail /own.eml", "x");
    dialogs.chooseNext(program.file("mail "));
    button("Add_All_Files_In_A_Directory_BitBtn")->click();
    EXPECT_EQ(control<QLineEdit>("Current_Directory_Edit")->text(), program.file("mail /"));
    EXPECT_EQ(files().entries(), QStringList({own}));
}

TEST_F(FilesTest, FilesInDirectoryWithNoFilesSelectsNothing) {
    program.mkdir("onlydirs/sub");
    dialogs.chooseNext(program.file("onlydirs"));
    button("Add_All_Files_In_A_Directory_BitBtn")->click();
    EXPECT_TRUE(files().isEmpty());
    EXPECT_EQ(current(), -1);
    EXPECT_EQ(caption(), " File List : ");
}

TEST_F(FilesTest, RemoveFileAsksAndKeepsTheViewText) {
    button("File_List_Delete_Selected_Files_BitBtn")->click();
    EXPECT_EQ(dialogs.lastText(), "Error: There is nothing in the files list to Remove !");

    const QStringList paths = threeMessages();
    files().clearSelection();
    button("File_List_Delete_Selected_Files_BitBtn")->click();
    EXPECT_EQ(dialogs.lastText(),
              "Error:  No files is selected !   Please select an item in the files list and "
              "then press the \"Remove\" button.");

    Select_List_Index(files(), 1);
    form->Process_The_Selected_File_BitBtnClick();
    dialogs.answerNo();
    button("File_List_Delete_Selected_Files_BitBtn")->click();
    EXPECT_EQ(dialogs.lastText(), "Remove \"" + paths[1] + "\" ?   Are you sure ?");
    EXPECT_EQ(files().count(), 3);

    dialogs.answerYes();
    button("File_List_Delete_Selected_Files_BitBtn")->click();
    EXPECT_EQ(files().entries(), QStringList({paths[0], paths[2]}));
    EXPECT_EQ(current(), -1);
    EXPECT_EQ(viewText(), shownFor(2));
    EXPECT_EQ(focused(), view());
}

TEST_F(FilesTest, EraseAsksAndEmptiesListAndView) {
    button("File_List_Erase_BitBtn")->click();
    EXPECT_EQ(dialogs.lastText(), "Error: There are no files in the list.");
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Error);

    threeMessages();
    Select_List_Index(files(), 0);
    form->Process_The_Selected_File_BitBtnClick();
    dialogs.answerNo();
    button("File_List_Erase_BitBtn")->click();
    EXPECT_EQ(dialogs.lastText(), "Erase the list of files ?  Are you sure ?");
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Confirmation);
    EXPECT_EQ(files().count(), 3);
    EXPECT_EQ(viewText(), shownFor(1));

    dialogs.answerYes();
    button("File_List_Erase_BitBtn")->click();
    EXPECT_TRUE(files().isEmpty());
    EXPECT_EQ(viewText(), "");
    EXPECT_EQ(focused(), view());
    form->close();
    EXPECT_EQ(QFileInfo(program.file("Junkloupe.ini_file")).size(), 0);
}

TEST_F(FilesTest, CopyPutsTheListOnTheClipboardThroughTheStagingArea) {
    clipboard.setText("before");
    button("File_List_Copy_To_Clipboard_BitBtn")->click();
    EXPECT_EQ(clipboard.text(), "before"); // an empty list copies nothing
    EXPECT_EQ(control<QPlainTextEdit>("Work_Memo")->toPlainText(), "");

    files().insert("/b");
    files().insert("/A");
    button("File_List_Copy_To_Clipboard_BitBtn")->click();
    EXPECT_EQ(clipboard.text(), "/A\r\n/b\r\n");
    EXPECT_EQ(control<QPlainTextEdit>("Work_Memo")->toPlainText().remove(QLatin1Char('\r')),
              "/A\n/b\n");
    EXPECT_EQ(focused(), view());
    EXPECT_EQ(dialogs.count(), 0u);
}

} // namespace
} // namespace jl::test
