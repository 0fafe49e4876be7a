// Copy and Paste of the message view's text.

#include "items_fixture.h"

#include "util/list_ops.h"

#include <QPushButton>

namespace jl::test {
namespace {

const QString kPasteQuestion =
    QStringLiteral("Paste file contents text from Windows Clipboard ?  Are you sure ?  (N.B.  No "
                   "permanent changes to the file will result). ");

using ContentsClipboardTest = HarvestWindowTest;

TEST_F(ContentsClipboardTest, CopySelectsEverythingAndLeavesTheFocus) {
    clipboard.setText("keep");
    showText("");
    focusElsewhere();
    button("File_Contents_Copy_To_Clipboard_BitBtn")->click();
    EXPECT_EQ(clipboard.text(), "keep"); // nothing to copy

    showText("Received: a\nbody line", 3);
    button("File_Contents_Copy_To_Clipboard_BitBtn")->click();
    EXPECT_EQ(clipboard.text(), "Received: a\nbody line");
    EXPECT_EQ(view()->selectionStart(), 0);
    EXPECT_EQ(view()->selectionLength(), view()->textLength());
    EXPECT_EQ(QApplication::focusWidget(), control<SortedListBox>("Interesting_Items_ListBox"));
    EXPECT_EQ(dialogs.count(), 0u);
}

TEST_F(ContentsClipboardTest, PasteAnsweredNoChangesNothing) {
    items().insert("spam");
    showText("some spam here", 5, 4);
    clipboard.setText("other text");
    dialogs.answerNo();
    focusElsewhere();
    button("File_Contents_Paste_BitBtn")->click();
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Confirmation);
    EXPECT_EQ(dialogs.lastText(), kPasteQuestion);
    EXPECT_EQ(view()->wholeText(), "some spam here");
    EXPECT_EQ(view()->selectedText(), "spam");
    EXPECT_FALSE(isRed(5)); // not coloured again
    EXPECT_EQ(clipboard.text(), "other text");
    EXPECT_TRUE(viewHasFocus());
}

TEST_F(ContentsClipboardTest, PasteAnsweredYesShowsTheTextAsItIsAndColoursIt) {
    items().insert("spam");
    // An empty clipboard empties the view and clears the flag.
    showText("spam");
    form->Colour_Code_File_Contents_BitBtnClick();
    ASSERT_TRUE(foundAny());
    dialogs.answerYes();
    focusElsewhere();
    button("File_Contents_Paste_BitBtn")->click();
    EXPECT_EQ(view()->wholeText(), "");
    EXPECT_FALSE(foundAny());
    EXPECT_TRUE(viewHasFocus());

    // No view filter: every line shows, coloured under the option in force.
    const QString pasted = QStringLiteral("no header here\nbuy spam now\n");
    for (int colour : {0, 2, 3}) {
        SCOPED_TRACE(colour);
        group("File_Contents_Colour_Coding_RadioGroup")->setItemIndex(colour);
        clipboard.setText(pasted);
        dialogs.answerYes();
        button("File_Contents_Paste_BitBtn")->click();
        EXPECT_EQ(view()->wholeText(), pasted);
        EXPECT_EQ(isRed(static_cast<int>(pasted.indexOf("spam"))), colour >= 2);
        EXPECT_EQ(foundAny(), colour >= 2);
    }
}

TEST_F(ContentsClipboardTest, TheScanAfterAPasteGoesOnFromTheCurrentEntry) {
    items().insert("spam");
    const QString clean = messages.write("b-clean", "Subject: hi\r\n");
    files().insert(messages.write("a-dirty", "Subject: spam\r\n"));
    files().insert(clean);
    files().insert(messages.write("c-clean", "Subject: hi\r\n"));
    Select_List_Index(files(), 0);
    form->Process_The_Selected_File_BitBtnClick();
    const QString caption = control<QGroupBox>("File_Contents_GroupBox")->title();

    clipboard.setText("nothing interesting");
    dialogs.answerYes();
    button("File_Contents_Paste_BitBtn")->click();
    EXPECT_FALSE(foundAny());
    EXPECT_EQ(control<QGroupBox>("File_Contents_GroupBox")->title(), caption);
    EXPECT_EQ(Get_First_Selected_Index(files()), 0);

    // The clean pasted text does not stop the scan where it stands.
    button("BitBtn1")->click();
    EXPECT_EQ(Get_First_Selected_Text(files()), clean);
    EXPECT_TRUE(view()->wholeText().contains("hi"));
}

} // namespace
} // namespace jl::test
