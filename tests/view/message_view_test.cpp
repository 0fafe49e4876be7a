// The message view: one unit of positions for text, find and selection,
// nested updates that reach the document in one piece, colours held outside
// the document, event order of key-down and mouse-down, read-only typing,
// paste and copy, no menu of its own.

#include "util/clipboard.h"
#include "view/widgets/message_view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

#include <gtest/gtest.h>

namespace jl {
namespace {

QColor red() {
    return MessageView::colourOf(TextColour::Red);
}
QColor blue() {
    return MessageView::colourOf(TextColour::Blue);
}

// Colour of every position as a string: '.' automatic, 'r', 'b', 'g'.
std::string colourMap(const MessageView& view) {
    std::string map;
    for (int i = 0; i < view.textLength(); ++i) {
        const QColor c = view.colourAt(i);
        map += !c.isValid()                                    ? '.'
               : c == MessageView::colourOf(TextColour::Red)   ? 'r'
               : c == MessageView::colourOf(TextColour::Blue)  ? 'b'
               : c == MessageView::colourOf(TextColour::Green) ? 'g'
                                                               : '?';
    }
    return map;
}

int redPixels(MessageView& view) {
    const QImage image = view.viewport()->grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += c.red() > 200 && c.green() < 80 && c.blue() < 80;
        }
    return count;
}

TEST(MessageView, PositionsCountALineBreakAsOneCharacter) {
    MessageView view;
    EXPECT_EQ(view.textLength(), 0);
    view.appendLine("ab");
    view.appendLine("");
    view.appendLine("cd");
    EXPECT_EQ(view.wholeText(), "ab\n\ncd");
    EXPECT_EQ(view.textLength(), 6);
    EXPECT_EQ(view.find("CD", 0, 6), 4);
    EXPECT_EQ(view.find("b\n\nc", 0, 6), 1);

    view.setSelectionStart(1);
    view.setSelectionLength(4);
    EXPECT_EQ(view.selectionStart(), 1);
    EXPECT_EQ(view.selectionLength(), 4);
    EXPECT_EQ(view.selectedText(), "b\n\nc");

    view.setSelectionStart(0);
    view.setSelectionLength(view.textLength());
    EXPECT_EQ(view.selectedText(), view.wholeText());
}

TEST(MessageView, AppendingAnEmptyFirstLineKeepsIt) {
    MessageView view;
    view.appendLine("");
    view.appendLine("a");
    EXPECT_EQ(view.wholeText(), "\na");
    view.clearText();
    view.appendLine("b");
    EXPECT_EQ(view.wholeText(), "b");
}

TEST(MessageView, FindIgnoresLetterCaseAndKeepsToItsRange) {
    MessageView view;
    view.setWholeText("Received: x\nRECEIVED: y \u00c9t\u00e9");
    const int n = view.textLength();
    struct Case {
        const char* text;
        int start, count, expected;
    } cases[] = {
        {"received:", 0, n, 0},   {"received:", 1, n - 1, 12},
        {"received:", 1, 19, -1}, // the second match would end one past the range
        {"received:", 1, 20, 12}, {"received:", 1, -1, 12}, // a negative count runs to the end
        {"x\nrec", 0, n, 10},     {"\u00e9T\u00c9", 0, n, 24},
        {"y", n, 5, -1},          {"y", 40, 5, -1},
        {"", 0, n, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(view.find(QString::fromUtf8(c.text), c.start, c.count), c.expected)
            << c.text << " from " << c.start << " over " << c.count;
}

TEST(MessageView, SelectionStartAndLengthStayInsideTheText) {
    MessageView view;
    view.setWholeText("abc\ndef");
    view.setSelectionStart(2);
    view.setSelectionLength(3);
    view.setSelectionStart(5); // empties the selection
    EXPECT_EQ(view.selectionLength(), 0);
    EXPECT_EQ(view.selectedText(), "");
    view.setSelectionLength(99);
    EXPECT_EQ(view.selectedText(), "ef");
    view.setSelectionStart(99);
    EXPECT_EQ(view.selectionStart(), 7);
}

TEST(MessageView, SelectionsHoldWholeCharacters) {
    // "a", an emoji (two units), "b", a Deseret letter (two units).
    const QString text = QStringLiteral("a\U0001F600b\U00010400");
    struct Row {
        int start;
        int length;
        int wantStart;
        QString wantText;
    };
    const Row rows[] = {
        {1, 1, 1, QStringLiteral("\U0001F600")},  // one position at the emoji
        {2, 0, 1, QString()},                     // a caret between the halves
        {2, 1, 1, QStringLiteral("\U0001F600")},  // from between the halves
        {0, 2, 0, QStringLiteral("a\U0001F600")}, // an end between the halves
        {4, 1, 4, QStringLiteral("\U00010400")},
        {5, 9, 4, QStringLiteral("\U00010400")},
    };
    MessageView view;
    view.setWholeText(text);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.start * 100 + row.length);
        view.setSelectionStart(row.start);
        view.setSelectionLength(row.length);
        EXPECT_EQ(view.selectionStart(), row.wantStart);
        EXPECT_EQ(view.selectedText(), row.wantText);
        view.select(row.start, row.length);
        EXPECT_EQ(view.selectionStart(), row.wantStart);
        EXPECT_EQ(view.selectedText(), row.wantText);
    }
}

TEST(MessageView, NestedUpdatesSetTheTextInOnePiece) {
    MessageView view;
    view.appendLine("first");
    view.setSelectionStart(2);
    QSignalSpy changes(view.document(), &QTextDocument::contentsChange);

    view.beginUpdate();
    view.beginUpdate();
    for (int i = 0; i < 1000; ++i)
        view.appendLine(QString::number(i));
    view.endUpdate();
    EXPECT_EQ(changes.count(), 0);
    EXPECT_FALSE(view.viewport()->updatesEnabled());
    view.endUpdate();

    EXPECT_EQ(changes.count(), 1);
    EXPECT_TRUE(view.viewport()->updatesEnabled());
    EXPECT_EQ(view.document()->blockCount(), 1001);
    EXPECT_EQ(view.selectionStart(), 2); // appending leaves the caret alone
    view.endUpdate();                    // an unmatched end does nothing
    EXPECT_TRUE(view.viewport()->updatesEnabled());

    // Reading the text inside an update sees what was appended.
    view.beginUpdate();
    view.appendLine("last");
    EXPECT_TRUE(view.wholeText().endsWith("999\nlast"));
    view.endUpdate();
}

TEST(MessageView, ColoursPaintAndReset) {
    MessageView view;
    view.setWholeText("abc\ndefg\nhi");
    QSignalSpy changes(view.document(), &QTextDocument::contentsChange);

    view.applyColours({{1, 4, TextColour::Red}, {6, 2, TextColour::Blue}});
    EXPECT_EQ(colourMap(view), ".rrrr.bb...");
    view.applyColours({{9, 1, TextColour::Red}});
    EXPECT_EQ(colourMap(view), ".........r.");
    // Out of order and overlapping: later spans paint over earlier ones.
    view.applyColours({{4, 6, TextColour::Red},
                       {0, 6, TextColour::Blue},
                       {2, 1, TextColour::Default},
                       {-3, 4, TextColour::Red}});
    EXPECT_EQ(colourMap(view), "rb.bbbrrrr.");
    view.applyColours({});
    EXPECT_EQ(colourMap(view), "...........");

    // The text itself never changes.
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(view.wholeText(), "abc\ndefg\nhi");
}

TEST(MessageView, SelectionColourPaintsOnlyTheSelection) {
    MessageView view;
    view.setWholeText("abcdef\nghi");
    view.selectAll();
    view.setSelectionColour(red());
    view.setSelectionStart(2);
    view.setSelectionLength(6);
    view.setSelectionColour(QColor());
    view.setSelectionStart(8);
    view.setSelectionLength(1);
    view.setSelectionColour(blue());
    EXPECT_EQ(colourMap(view), "rr......br");
}

TEST(MessageView, ColoursGoWithTheirTextAndNotBeyond) {
    MessageView view;
    view.setWholeText("one\ntwo");
    view.applyColours({{4, 3, TextColour::Red}});
    view.setSelectionStart(0);
    view.pasteText("new\n");
    EXPECT_EQ(colourMap(view), "........rrr");
    view.appendLine("three");
    EXPECT_EQ(colourMap(view), "........rrr......");

    // Inside a coloured line: the line splits, the colours stay on their letters.
    view.setWholeText("abcdef");
    view.applyColours({{1, 4, TextColour::Red}});
    view.setSelectionStart(3);
    view.pasteText("1\n2");
    EXPECT_EQ(view.wholeText(), "abc1\n2def");
    EXPECT_EQ(colourMap(view), ".rr...rr.");
    view.setSelectionStart(0);
    view.pasteText("X");
    EXPECT_EQ(colourMap(view), "..rr...rr.");

    view.setWholeText("other\ntext");
    EXPECT_EQ(colourMap(view), "..........");
    view.applyColours({{0, 5, TextColour::Red}});
    view.clearText();
    view.appendLine("fresh");
    EXPECT_EQ(colourMap(view), ".....");
}

TEST(MessageView, ColoursAreDrawnAndSurviveRelayout) {
    MessageView view;
    QFont font = view.font();
    font.setPointSize(28);
    view.setFont(font);
    view.resize(400, 200);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.setWholeText("MMMM\nHHHH");
    EXPECT_EQ(redPixels(view), 0);
    view.applyColours({{5, 4, TextColour::Red}});
    EXPECT_GT(redPixels(view), 20);

    view.resize(300, 150); // lays the blocks out again
    font.setPointSize(20);
    view.setFont(font);
    EXPECT_GT(redPixels(view), 20);
    EXPECT_EQ(view.colourAt(6), red());

    // A selection over the coloured text is drawn as a selection.
    view.selectAll();
    view.setFocus();
    EXPECT_EQ(view.colourAt(6), red());
    view.applyColours({});
    view.setSelectionStart(0);
    EXPECT_EQ(redPixels(view), 0);
}

TEST(MessageView, KeyDownComesBeforeTheKeyMovesTheCaret) {
    MessageView view;
    view.setWholeText("abcdef");
    std::vector<std::pair<int, int>> seen; // key, caret at signal time
    QObject::connect(&view, &MessageView::keyDown, [&](int key, Qt::KeyboardModifiers) {
        seen.emplace_back(key, view.selectionStart());
    });

    QTest::keyClick(&view, Qt::Key_Right);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], std::pair(int(Qt::Key_Right), 0));
    EXPECT_EQ(view.selectionStart(), 1);

    QTest::keyPress(&view, Qt::Key_Shift);
    QTest::keyRelease(&view, Qt::Key_Shift);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].first, int(Qt::Key_Shift));

    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(view.selectedText(), "b");

    // What a slot does to the caret is what the key then works on.
    QObject::connect(&view, &MessageView::keyDown,
                     [&](int, Qt::KeyboardModifiers) { view.setSelectionStart(4); });
    QTest::keyClick(&view, Qt::Key_Right);
    EXPECT_EQ(view.selectionStart(), 5);
}

TEST(MessageView, MouseDownComesAfterTheCaretIsPlaced) {
    MessageView view;
    view.resize(400, 200);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.setWholeText("first line\nsecond line");
    QTextCursor at(view.document());
    at.setPosition(14);
    const QPoint point = view.cursorRect(at).center();

    std::vector<std::pair<Qt::MouseButton, int>> seen;
    QObject::connect(&view, &MessageView::mouseDown,
                     [&](Qt::MouseButton button, Qt::KeyboardModifiers, QPoint) {
                         seen.emplace_back(button, view.selectionStart());
                     });
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, point);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], std::pair(Qt::LeftButton, 14));
}

TEST(MessageView, TypingIsRefusedButPasteInserts) {
    MessageView view;
    view.setWholeText("abc");
    view.setSelectionStart(1);
    QTest::keyClicks(&view, "xy");
    QTest::keyClick(&view, Qt::Key_Delete);
    QTest::keyClick(&view, Qt::Key_Backspace);
    QTest::keyClick(&view, Qt::Key_Return);
    EXPECT_EQ(view.wholeText(), "abc");

    view.setSelectionStart(1);
    view.setSelectionLength(1);
    view.pasteText("12\n3");
    EXPECT_EQ(view.wholeText(), "a12\n3c");
    EXPECT_EQ(view.selectionStart(), 5);
    QTest::keyClicks(&view, "z");
    EXPECT_EQ(view.wholeText(), "a12\n3c");
}

TEST(MessageView, SelectAllAndCopyPutsTheWholeTextOnTheClipboard) {
    MemoryClipboard clipboard;
    clipboard.setText("before");
    MessageView view;
    view.selectAllAndCopy(clipboard);
    EXPECT_EQ(clipboard.text(), "before"); // an empty view copies nothing

    view.appendLine("a");
    view.appendLine("b");
    view.applyColours({{0, 1, TextColour::Red}});
    view.selectAllAndCopy(clipboard);
    EXPECT_EQ(clipboard.text(), "a\nb");
    EXPECT_EQ(view.selectionStart(), 0);
    EXPECT_EQ(view.selectionLength(), 3);
}

TEST(MessageView, ARightClickOpensNoMenu) {
    // The view has only the operations the window gives it: a menu of the
    // text control's own (Copy, Select All) would bypass them.
    MessageView view;
    view.appendLine("text");
    view.show();
    QWidget* popup = nullptr;
    QTimer::singleShot(0, [&] {
        popup = QApplication::activePopupWidget();
        if (popup)
            popup->close();
    });
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), view.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(view.viewport(), &click);
    QApplication::processEvents();
    EXPECT_EQ(popup, nullptr);
}

} // namespace
} // namespace jl
