#include "support/scripted_dialogs.h"
#include "util/list_ops.h"

#include "qstring_printer.h"

#include <gtest/gtest.h>

namespace jl {
namespace {

using test::ScriptedDialogs;
using test::Shown;

const QLocale english(QLocale::English, QLocale::UnitedStates);

class ListOps : public testing::Test {
protected:
    SortedList items{SortedList::Selection::Multiple, english};
    SortedList files{SortedList::Selection::Single, english};
    ScriptedDialogs dialogs;
    MemoryClipboard clipboard;
};

TEST_F(ListOps, PasteMergeLineRules) {
    struct Case {
        QStringList before;
        QString pasted;
        QStringList after;
    };
    const Case cases[] = {
        {{"B"}, "a\r\nA\r\nb\r\n", {"a", "B"}}, // repeated and existing lines merge once
        {{}, "a\r\n\r\nz", {"", "a", "z"}},     // a blank line in the middle is an entry
        {{}, "a\r\n", {"a"}},                   // a trailing line break adds nothing
        {{}, "\r\n", {""}},                     // a single line break is one empty line
        {{}, "", {}},
        {{""}, "\r\n\r\nq", {"", "q"}},     // the empty entry merges once
        {{}, "lf\nonly\n", {"lf", "only"}}, // lone LF ends a line
        {{}, "cr\ronly", {"cr", "only"}},   // lone CR ends a line
        {{}, "x\n\ry", {"", "x", "y"}},     // LF CR is two line ends
        {{}, "  keep spaces  \r\n", {"  keep spaces  "}},
        {{"m"}, "z\r\nM\r\na\r\nz\r\n", {"a", "m", "z"}},
    };
    for (const Case& c : cases) {
        SortedList list(SortedList::Selection::Multiple, english);
        list.insertMany(c.before);
        clipboard.setText(c.pasted);
        EXPECT_EQ(Paste_Merge_Clipboard_Into_List(list, clipboard), c.pasted);
        EXPECT_EQ(list.entries(), c.after) << c.pasted.toStdString();
    }
    EXPECT_EQ(dialogs.count(), 0u);
}

TEST_F(ListOps, PasteLeavesOutLinesAListFileCannotKeep) {
    const QString emoji = QStringLiteral("\U0001F600");
    clipboard.setText(QStringLiteral("ok\r\nnul") + QChar(0) + "byte\r\n" + emoji.left(1) + "\r\n" +
                      emoji + "\r\nx" + emoji.right(1));
    int refused = -1;
    Paste_Merge_Clipboard_Into_List(items, clipboard, &refused);
    EXPECT_EQ(items.count(), 2);
    EXPECT_GE(items.indexOfExact("ok"), 0);
    EXPECT_GE(items.indexOfExact(emoji), 0);
    EXPECT_EQ(refused, 3);
    EXPECT_EQ(pasteRefusedLinesMessage(refused),
              "3 lines of the clipboard text were not merged: a line that holds a NUL character "
              "or half of a character cannot be kept in the list file.");
    EXPECT_TRUE(pasteRefusedLinesMessage(1).startsWith("1 line of the clipboard text was not"));
}

TEST_F(ListOps, AddTextTakesOneLineOfWholeCharacters) {
    const QString emoji = QStringLiteral("\U0001F600");
    const QString empty = "Error: No file content's text has been selected !  Please select / "
                          "highlight some file contents text by selecting it with your mouse and "
                          "try again.";
    const QString lines = "Error: The selected text spans more than one line !  The list keeps "
                          "one item per line: please select text within one line and try again.";
    const QString broken = "Error: The selected text holds a NUL character or half of a "
                           "character, which the list file cannot keep !  Please select other "
                           "text and try again.";
    const QString there = "Error: The selected text is already in the \"interesting items\" list !";
    items.insert(QStringLiteral("FOO"));
    const struct {
        QString selected;
        QString refusal;
        QString added;
    } cases[] = {
        {" \t\r\n", empty, {}},
        {"  Foo\n", there, {}},
        {" foo bar\r\n", {}, "foo bar"},
        {"Received: x\nMessage-ID:", lines, {}},
        {"a\rb", lines, {}},
        {QStringLiteral("a") + QChar(0) + "b", broken, {}},
        {"x" + emoji.left(1), broken, {}},
        {emoji + " ", {}, emoji},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.selected.toStdString());
        const int before = items.count();
        QString refusal;
        EXPECT_EQ(addTextToList(items, c.selected, &refusal), c.refusal.isEmpty());
        EXPECT_EQ(refusal, c.refusal);
        EXPECT_EQ(items.count(), before + (c.added.isEmpty() ? 0 : 1));
        if (!c.added.isEmpty()) {
            EXPECT_GE(items.indexOfExact(c.added), 0);
        }
    }
}

TEST_F(ListOps, PasteKeepsLongLinesWholeAndTheSelection) {
    items.insertMany({QStringLiteral("b"), QStringLiteral("d")});
    items.setSelected(1, true);
    const QString longLine(10000, QLatin1Char('k'));
    clipboard.setText(longLine + QStringLiteral("\r\na\r\nc\r\n"));
    Paste_Merge_Clipboard_Into_List(items, clipboard);
    ASSERT_EQ(items.count(), 5);
    EXPECT_EQ(items.at(4), longLine);
    EXPECT_EQ(Get_First_Selected_Text(items), QStringLiteral("d"));
}

TEST_F(ListOps, CopyStagesEveryEntryWithCrLf) {
    clipboard.setText(QStringLiteral("before"));
    EXPECT_EQ(Copy_List_To_Clipboard(items, clipboard), QString());
    EXPECT_EQ(clipboard.text(), QStringLiteral("before")); // empty list leaves it
    items.insertMany({QStringLiteral("b"), QString(), QStringLiteral("A")});
    EXPECT_EQ(Copy_List_To_Clipboard(items, clipboard), QStringLiteral("\r\nA\r\nb\r\n"));
    EXPECT_EQ(clipboard.text(), QStringLiteral("\r\nA\r\nb\r\n"));
    // What is copied pastes back as the same entries.
    SortedList again(SortedList::Selection::Multiple, english);
    Paste_Merge_Clipboard_Into_List(again, clipboard);
    EXPECT_EQ(again.entries(), items.entries());
}

const QString itemsKind = QStringLiteral("\"interesting items\" text");

TEST_F(ListOps, RemoveFromEmptyListSaysSoAndFocusesTheList) {
    bool focused = false;
    EXPECT_EQ(Remove_Selected_Items(items, itemsKind, dialogs, [&] { focused = true; }), -1);
    EXPECT_TRUE(focused);
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Information);
    EXPECT_EQ(dialogs.lastText(),
              QStringLiteral("Error: There is nothing in the \"interesting items\" text list to "
                             "Remove !"));
}

TEST_F(ListOps, RemoveWithNothingSelected) {
    files.insertMany({QStringLiteral("/m/1"), QStringLiteral("/m/2")});
    EXPECT_EQ(Remove_Selected_Items(files, QStringLiteral("files"), dialogs), -1);
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Information);
    EXPECT_EQ(dialogs.lastText(),
              QStringLiteral("Error:  No files is selected !   Please select an item in the files "
                             "list and then press the \"Remove\" button."));
    EXPECT_EQ(files.count(), 2);
}

TEST_F(ListOps, RemoveOneAsksWithTheEntryAndHonoursNo) {
    files.insertMany({QStringLiteral("/m/1"), QStringLiteral("/m/2"), QStringLiteral("/m/3")});
    Select_List_Index(files, 1);
    dialogs.answerNo();
    EXPECT_EQ(Remove_Selected_Items(files, QStringLiteral("files"), dialogs), -1);
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Confirmation);
    EXPECT_EQ(dialogs.lastText(), QStringLiteral("Remove \"/m/2\" ?   Are you sure ?"));
    EXPECT_EQ(files.count(), 3);

    dialogs.answerYes();
    EXPECT_EQ(Remove_Selected_Items(files, QStringLiteral("files"), dialogs), 1);
    EXPECT_EQ(files.entries(), (QStringList{"/m/1", "/m/3"}));
    EXPECT_TRUE(dialogs.scriptUsedUp());
}

TEST_F(ListOps, RemoveManyAsksWithTheCountAndReturnsTheLowestIndex) {
    for (int i = 0; i < 9; ++i)
        items.insert(QString::number(i));
    for (int i : {7, 1, 4})
        items.setSelected(i, true);
    dialogs.answerNo();
    EXPECT_EQ(Remove_Selected_Items(items, itemsKind, dialogs), -1);
    EXPECT_EQ(dialogs.lastText(), QStringLiteral("Remove all 3 selected items ?   Are you sure ?"));
    EXPECT_EQ(items.count(), 9);
    EXPECT_EQ(items.selectedIndices(), (std::vector<int>{1, 4, 7}));

    dialogs.answerYes();
    EXPECT_EQ(Remove_Selected_Items(items, itemsKind, dialogs), 1);
    EXPECT_EQ(items.entries(), (QStringList{"0", "2", "3", "5", "6", "8"}));
    EXPECT_EQ(Get_First_Selected_Index(items), -1);
}

TEST_F(ListOps, SelectListIndex) {
    Select_List_Index(files, 0); // empty list: nothing happens
    EXPECT_EQ(Get_First_Selected_Index(files), -1);
    files.insertMany({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    Select_List_Index(files, 2);
    EXPECT_EQ(Get_First_Selected_Index(files), 2);
    Select_List_Index(files, 3); // at the end: unchanged
    Select_List_Index(files, 99);
    EXPECT_EQ(Get_First_Selected_Index(files), 2);
    Select_List_Index(files, 0);
    EXPECT_EQ(files.selectedIndices(), std::vector<int>{0});
    Select_List_Index(files, -1);
    EXPECT_EQ(Get_First_Selected_Index(files), -1);
    Select_List_Index(files, 1);
    Select_List_Index(files, -7);
    EXPECT_EQ(Get_First_Selected_Index(files), -1);
}

TEST_F(ListOps, SelectMatchingItemIsExactAndTheLastMatchWins) {
    files.insertMany({QStringLiteral("/m/A"), QStringLiteral("/m/b"), QStringLiteral("/m/a"),
                      QStringLiteral("/m/a")});
    // /m/A /m/a /m/a /m/b
    Select_List_Index(files, 3);
    Select_Matching_Item(files, QStringLiteral("/m/B")); // differs in case only
    EXPECT_EQ(Get_First_Selected_Index(files), 3);
    Select_Matching_Item(files, QStringLiteral("/m/a"));
    EXPECT_EQ(files.selectedIndices(), std::vector<int>{2});
    Select_Matching_Item(files, QStringLiteral("/m/A"));
    EXPECT_EQ(files.selectedIndices(), std::vector<int>{0});
    Select_Matching_Item(files, QStringLiteral("/nothing"));
    EXPECT_EQ(files.selectedIndices(), std::vector<int>{0});
}

} // namespace
} // namespace jl
