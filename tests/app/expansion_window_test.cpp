// Selection expansion in the window: the widened selection, its diagnostic
// fields and the key and mouse triggers of the four options.

#include "items_fixture.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTextCursor>

namespace jl::test {
namespace {

class ExpansionWindowTest : public HarvestWindowTest {
protected:
    // The viewport point in the middle of the character at position.
    QPoint pointAt(int position) const {
        QTextCursor cursor = view()->textCursor();
        cursor.setPosition(position);
        const QRect before = view()->cursorRect(cursor);
        cursor.setPosition(position + 1);
        const QRect after = view()->cursorRect(cursor);
        return QPoint((before.left() + after.left()) / 2 + 1, before.center().y());
    }
    QString selected() const { return view()->selectedText(); }
};

TEST_F(ExpansionWindowTest, EveryEdgeCaseThroughTheButton) {
    struct Row {
        const char* what;
        QString text;
        int caret, userLength;
        int start, length;
    };
    const QString address = QStringLiteral("From: <john.doe_1@mail-2.example.com> x");
    const Row rows[] = {
        {"inside the Received label", "Received: from a", 3, 0, 0, 8},
        {"inside an address", address, 12, 0, 7, 29},
        {"right after a word, before a blank and a word", "foo bar;", 3, 0, 0, 7},
        {"inside a run of blanks", "a     b", 3, 0, 3, 1},
        {"between a colon and a blank", "x: word,", 2, 0, 2, 5},
        {"at the very start", "abc def", 0, 0, 0, 3},
        {"at the end after a word", "hello world", 11, 0, 6, 5},
        {"at the end after a delimiter", "hello ", 6, 0, 6, 0},
        {"a user selection counts by its start only", "one two three", 4, 9, 4, 3},
        {"a line break is a delimiter", "ab\ncd", 1, 0, 0, 2},
        {"just left of an emoji: the whole emoji and the word after it", "hi \U0001F600there", 3, 0,
         3, 7},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        showText(row.text, row.caret, row.userLength);
        focusElsewhere();
        button("Expand_Selection_BitBtn")->click();
        EXPECT_EQ(view()->selectionStart(), row.start);
        EXPECT_EQ(view()->selectionLength(), row.length);
        EXPECT_EQ(control<QLineEdit>("SelStart_Edit")->text(), QString::number(row.start));
        EXPECT_EQ(control<QLineEdit>("SelLength_Edit")->text(), QString::number(row.length));
        EXPECT_TRUE(viewHasFocus());
    }
}

TEST_F(ExpansionWindowTest, KeyDownExpandsBeforeTheKeyUnderOptionsZeroAndTwo) {
    for (int option : {0, 1, 2, 3}) {
        SCOPED_TRACE(option);
        group("Expand_Selection_RadioGroup")->setItemIndex(option);
        const bool expands = option == 0 || option == 2;

        showText("say hello.world now", 6);
        view()->setFocus();
        QTest::keyClick(view(), Qt::Key_Shift);
        EXPECT_EQ(selected(), expands ? "hello.world" : "");

        // Shift+Right extends what is selected when the key takes effect.
        showText("say hello.world now", 6);
        QTest::keyClick(view(), Qt::Key_Right, Qt::ShiftModifier);
        EXPECT_EQ(selected(), expands ? "hello.world " : "l");
    }
}

TEST_F(ExpansionWindowTest, OnlyTheLeftButtonExpandsAndOnlyUnderOptionsOneAndTwo) {
    const QString text = QStringLiteral("Message-ID: <abc.123@host.example>");
    const int position = static_cast<int>(text.indexOf("123"));
    for (int option : {0, 1, 2, 3}) {
        for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
            SCOPED_TRACE(testing::Message() << "option " << option << " button " << button);
            group("Expand_Selection_RadioGroup")->setItemIndex(option);
            showText(text);
            control<QLineEdit>("SelStart_Edit")->clear();
            QTest::mouseClick(view()->viewport(), button, {}, pointAt(position));
            const bool expands = button == Qt::LeftButton && (option == 1 || option == 2);
            // The selection made at the press survives the release.
            EXPECT_EQ(selected(), expands ? "abc.123@host.example" : "");
            EXPECT_EQ(control<QLineEdit>("SelStart_Edit")->text(), expands ? "13" : "");
        }
    }
}

TEST_F(ExpansionWindowTest, AClickInsideTheWidenedSelectionWidensAgain) {
    const QString text = QStringLiteral("from <abc.123@host.example> and more.words here");
    group("Expand_Selection_RadioGroup")->setItemIndex(1);
    showText(text);
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, pointAt(8));
    ASSERT_EQ(selected(), "abc.123@host.example");
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, pointAt(18));
    EXPECT_EQ(selected(), "abc.123@host.example");
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {},
                      pointAt(int(text.indexOf("words")) + 1));
    EXPECT_EQ(selected(), "more.words");
    // After Copy has selected everything, a click still widens at the click.
    button("File_Contents_Copy_To_Clipboard_BitBtn")->click();
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {},
                      pointAt(int(text.indexOf("here")) + 2));
    EXPECT_EQ(selected(), "here");
    EXPECT_EQ(control<QLineEdit>("SelStart_Edit")->text(), QString::number(text.indexOf("here")));
}

TEST_F(ExpansionWindowTest, SelectionDetailsAreWrittenAndTheViewTakesTheFocus) {
    showText("one two", 4, 2);
    focusElsewhere();
    button("Debugging_Show_Selection_Details_BitBtn")->click();
    EXPECT_EQ(control<QLineEdit>("SelStart_Edit")->text(), "4");
    EXPECT_EQ(control<QLineEdit>("SelLength_Edit")->text(), "2");
    EXPECT_TRUE(viewHasFocus());
}

} // namespace
} // namespace jl::test
