// The five interesting-items commands through the shown window.

#include "items_fixture.h"

#include "util/list_ops.h"

#include <QPlainTextEdit>
#include <QPushButton>

namespace jl::test {
namespace {

using Type = Shown::Type;

const QString kNothingSelected = QStringLiteral(
    "Error: No file content's text has been selected !  Please select / highlight some file "
    "contents text by selecting it with your mouse and try again.");
const QString kAlreadyPresent =
    QStringLiteral("Error: The selected text is already in the \"interesting items\" list !");

const QString kOverLines = QStringLiteral(
    "Error: The selected text spans more than one line !  The list keeps one item per line: "
    "please select text within one line and try again.");

class ItemsCommandsTest : public HarvestWindowTest {
protected:
    void seed(const QStringList& entries) {
        items().clear();
        for (const QString& entry : entries)
            items().insert(entry);
    }
    // Presses the button with the focus elsewhere; the focus must come back.
    void press(QPushButton* button) {
        focusElsewhere();
        button->click();
        EXPECT_TRUE(viewHasFocus()) << qPrintable(button->objectName());
        EXPECT_TRUE(dialogs.scriptUsedUp());
    }
    // The lines left in the staging area by the last clipboard operation.
    QStringList stagedLines() const {
        return control<QPlainTextEdit>("Work_Memo")
            ->toPlainText()
            .remove('\r')
            .split('\n', Qt::SkipEmptyParts);
    }
};

TEST_F(ItemsCommandsTest, AddTextTrimsRefusesAndInsertsWithColourAndSave) {
    struct Row {
        const char* what;
        QString text;
        int start, length;
        QStringList existing;
        QString added; // empty: refused with `error`
        QString error;
    };
    const Row rows[] = {
        {"blanks, word, line break", "  Foo\nbar", 0, 6, {}, "Foo", {}},
        {"blanks and line breaks only", " \n \t\nx", 0, 5, {}, {}, kNothingSelected},
        {"nothing selected", "abc", 1, 0, {}, {}, kNothingSelected},
        {"present in another case", "xx foo", 3, 3, {"FOO"}, {}, kAlreadyPresent},
        {"longer text than a present item", "foo bar", 0, 7, {"foo"}, "foo bar", {}},
        {"selection over two lines", "Received: x\nMessage-ID: <y>", 0, 24, {}, {}, kOverLines},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        seed(row.existing);
        QFile::remove(form->programFolder().itemsListFile());
        dialogs.clear();
        showText(row.text, row.start, row.length);
        press(button("Interesting_Items_Add_Selected_Text_BitBtn"));
        if (row.added.isEmpty()) {
            ASSERT_EQ(dialogs.count(), 1u);
            EXPECT_EQ(dialogs.shown()[0].type, Type::Error);
            EXPECT_EQ(dialogs.lastText(), row.error);
            EXPECT_EQ(items().entries(), row.existing);
            EXPECT_FALSE(itemsFileExists());
            continue;
        }
        EXPECT_EQ(dialogs.count(), 0u);
        EXPECT_EQ(items().count(), row.existing.size() + 1);
        EXPECT_GE(Find_List_Item(items(), row.added), 0);
        // Coloured at once, and the file follows the change.
        EXPECT_TRUE(isRed(static_cast<int>(row.text.indexOf(row.added))));
        EXPECT_TRUE(foundAny());
        EXPECT_TRUE(itemsFile().contains((row.added + "\r\n").toUtf8()));
    }
}

TEST_F(ItemsCommandsTest, AddTextKeepsTheListSelectionAndHonoursAutoSave) {
    seed({"a", "c"});
    items().setSelected(1, true); // "c"
    control<QCheckBox>("Auto_Save_Interesting_Items_List_CheckBox")->setChecked(false);
    showText("b", 0, 1);
    press(button("Interesting_Items_Add_Selected_Text_BitBtn"));
    EXPECT_EQ(items().entries(), QStringList({"a", "b", "c"}));
    EXPECT_EQ(items().selectedIndices(), std::vector<int>{2});
    EXPECT_FALSE(itemsFileExists());
}

TEST_F(ItemsCommandsTest, FailedAutoSaveIsReportedAndTheItemStays) {
    // A folder where the list file should be cannot be replaced by a file.
    program.mkdir("Junkloupe.ini_int");
    showText("spam", 0, 4);
    press(button("Interesting_Items_Add_Selected_Text_BitBtn"));
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.shown()[0].type, Type::Information);
    EXPECT_EQ(dialogs.lastText(), listSaveFailureMessage(form->programFolder().itemsListFile()));
    EXPECT_EQ(items().entries(), QStringList{"spam"});
}

TEST_F(ItemsCommandsTest, DelTextReportsThenAlwaysColoursAndSaves) {
    struct Row {
        const char* what;
        QStringList existing;
        std::vector<int> selected;
        int answer; // -1 no question, 0 No, 1 Yes
        Type type;
        QString message;
        QStringList remaining;
    };
    const QString kind = QStringLiteral("\"interesting items\" text");
    const Row rows[] = {
        {"empty list",
         {},
         {},
         -1,
         Type::Information,
         "Error: There is nothing in the " + kind + " list to Remove !",
         {}},
        {"none selected",
         {"foo", "baz"},
         {},
         -1,
         Type::Information,
         "Error:  No " + kind + " is selected !   Please select an item in the " + kind +
             " list and then press the \"Remove\" button.",
         {"baz", "foo"}},
        {"one selected, Yes",
         {"foo", "baz"},
         {0},
         1,
         Type::Confirmation,
         "Remove \"baz\" ?   Are you sure ?",
         {"foo"}},
        {"several selected, No",
         {"foo", "baz", "bar"},
         {0, 2},
         0,
         Type::Confirmation,
         "Remove all 2 selected items ?   Are you sure ?",
         {"bar", "baz", "foo"}},
        {"several selected, Yes",
         {"foo", "baz", "bar"},
         {0, 2},
         1,
         Type::Confirmation,
         "Remove all 2 selected items ?   Are you sure ?",
         {"baz"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        seed(row.existing);
        for (int index : row.selected)
            items().setSelected(index, true);
        if (row.answer == 1)
            dialogs.answerYes();
        else if (row.answer == 0)
            dialogs.answerNo();
        QFile::remove(form->programFolder().itemsListFile());
        dialogs.clear();
        showText("foo bar baz"); // uncoloured: only a new colour coding paints it
        press(button("Interesting_Items_Delete_Selected_Item_BitBtn"));
        ASSERT_EQ(dialogs.count(), 1u);
        EXPECT_EQ(dialogs.shown()[0].type, row.type);
        EXPECT_EQ(dialogs.lastText(), row.message);
        EXPECT_EQ(items().entries(), row.remaining);
        for (const QString& word : {QStringLiteral("foo"), QStringLiteral("bar")})
            EXPECT_EQ(isRed(static_cast<int>(QStringLiteral("foo bar baz").indexOf(word))),
                      row.remaining.contains(word))
                << qPrintable(word);
        QByteArray expected;
        for (const QString& entry : row.remaining)
            expected += (entry + "\r\n").toUtf8();
        EXPECT_TRUE(itemsFileExists());
        EXPECT_EQ(itemsFile(), expected);
    }
}

TEST_F(ItemsCommandsTest, EraseAllRefusesAnEmptyListAndNeverSaves) {
    press(button("Erase_Interesting_Items_List_BitBtn"));
    EXPECT_EQ(dialogs.lastType(), Type::Error);
    EXPECT_EQ(dialogs.lastText(), "Error: There are no \"interesting items\" in the list.");

    seed({"foo"});
    program.write("Junkloupe.ini_int", "foo\r\nold\r\n");
    showText("foo");
    form->Colour_Code_File_Contents_BitBtnClick();
    ASSERT_TRUE(isRed(0));

    dialogs.answerNo();
    press(button("Erase_Interesting_Items_List_BitBtn"));
    EXPECT_EQ(dialogs.lastText(), "Erase all \"interesting items\" ?  Are you sure ?");
    EXPECT_EQ(dialogs.lastType(), Type::Confirmation);
    EXPECT_EQ(items().count(), 1);

    dialogs.answerYes();
    press(button("Erase_Interesting_Items_List_BitBtn"));
    EXPECT_TRUE(items().isEmpty());
    EXPECT_FALSE(isRed(0));
    EXPECT_FALSE(foundAny());
    EXPECT_EQ(itemsFile(), "foo\r\nold\r\n");
}

TEST_F(ItemsCommandsTest, PasteMergesThroughTheStagingAreaThenColoursAndSaves) {
    const QString question = QStringLiteral(
        "Paste and merge the contents of Windows Clipboard into the list of \"interesting "
        "items\" ?  Are you sure ?");
    seed({"foo", "B"});
    clipboard.setText("FOO\r\nb\r\nzed\r\nZED\r\n");
    dialogs.answerNo();
    press(button("Interesting_Items_Paste_Merge_From_Clipboard_BitBtn"));
    EXPECT_EQ(dialogs.lastText(), question);
    EXPECT_EQ(dialogs.lastType(), Type::Confirmation);
    EXPECT_EQ(items().count(), 2);
    EXPECT_FALSE(itemsFileExists());

    showText("foo zed");
    dialogs.answerYes();
    press(button("Interesting_Items_Paste_Merge_From_Clipboard_BitBtn"));
    EXPECT_EQ(items().entries(), QStringList({"B", "foo", "zed"}));
    EXPECT_EQ(stagedLines(), QStringList({"FOO", "b", "zed", "ZED"}));
    EXPECT_TRUE(isRed(4));
    EXPECT_EQ(itemsFile(), "B\r\nfoo\r\nzed\r\n");

    // Every line already present: nothing merged, but coloured; the file
    // holds the list already and is not written again, so what another
    // program added to it meanwhile stays.
    program.write("Junkloupe.ini_int", "B\r\nfoo\r\nzed\r\nby a script\r\n");
    showText("foo");
    dialogs.answerYes();
    press(button("Interesting_Items_Paste_Merge_From_Clipboard_BitBtn"));
    EXPECT_EQ(items().count(), 3);
    EXPECT_TRUE(isRed(0));
    EXPECT_EQ(itemsFile(), "B\r\nfoo\r\nzed\r\nby a script\r\n");
}

// What the window holds comes back whole after a restart: lines a list file
// cannot keep are left out with a word, never written.
TEST_F(ItemsCommandsTest, PasteLeavesOutLinesTheListFileCannotKeepAndTheListComesBack) {
    const QString emoji = QStringLiteral("\U0001F600");
    clipboard.setText(QStringLiteral("first\r\nwith") + QChar(0) + "nul\r\n" + emoji.left(1) +
                      "\r\n" + emoji + "\r\nlast\r\n");
    dialogs.answerYes();
    press(button("Interesting_Items_Paste_Merge_From_Clipboard_BitBtn"));
    ASSERT_EQ(dialogs.count(), 2u);
    EXPECT_EQ(dialogs.lastType(), Type::Information);
    EXPECT_EQ(dialogs.lastText(), pasteRefusedLinesMessage(2));
    const QStringList held = items().entries();
    EXPECT_EQ(held.size(), 3);
    EXPECT_FALSE(itemsFile().contains('\0'));
    EXPECT_FALSE(itemsFile().contains('?'));
    ASSERT_TRUE(form->close());
    open();
    EXPECT_EQ(items().entries(), held);
}

TEST_F(ItemsCommandsTest, CopyPutsTheListOnTheClipboardButNeverAnEmptyOne) {
    clipboard.setText("keep");
    press(button("Interesting_Items_Copy_To_Clipboard_BitBtn"));
    EXPECT_EQ(clipboard.text(), "keep");
    seed({"b", "a"});
    press(button("Interesting_Items_Copy_To_Clipboard_BitBtn"));
    EXPECT_EQ(clipboard.text(), "a\r\nb\r\n");
    EXPECT_EQ(stagedLines(), QStringList({"a", "b"}));
    EXPECT_EQ(dialogs.count(), 0u);
}

} // namespace
} // namespace jl::test
