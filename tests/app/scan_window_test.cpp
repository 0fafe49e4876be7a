// The scan for the next file without interesting items, through the window.

#include "items_fixture.h"

#include "util/list_ops.h"

#include <QPushButton>
#include <QTimer>

namespace jl::test {
namespace {

const QString kLastFile = QStringLiteral("You are now at the last file in the list.");

class ScanWindowTest : public HarvestWindowTest {
protected:
    // One file per letter, in list order: D holds an interesting item, C is
    // clean, E is empty and M names no file.
    void makePile(const QString& pattern) {
        files().clear();
        items().clear();
        items().insert(QStringLiteral("spam-token"));
        for (qsizetype i = 0; i < pattern.size(); ++i) {
            const QString name = QStringLiteral("f%1").arg(i, 3, 10, QLatin1Char('0'));
            const char kind = pattern[i].toLatin1();
            const QByteArray body = kind == 'D'   ? "Subject: buy\r\nfrom spam-token now\r\n"
                                    : kind == 'C' ? "Subject: hello\r\nnothing here\r\n"
                                                  : "";
            files().insert(kind == 'M' ? messages.file(name) : messages.write(name, body));
        }
    }
    int current() const { return Get_First_Selected_Index(files()); }
};

TEST_F(ScanWindowTest, StopsOnTheNextCleanFileOrAtTheEnd) {
    struct Row {
        const char* what;
        QString pile;
        int start; // current entry before the scan (-1: none)
        int colour;
        int end;
        bool lastFileMessage;
    };
    const Row rows[] = {
        {"current entry already the last", "DD", 1, 3, 1, true},
        {"empty list", "", -1, 3, -1, true},
        {"no current entry, first file clean", "CD", -1, 3, 0, false},
        {"no current entry, first file holds items", "DCD", -1, 2, 1, false},
        {"next file clean", "DCD", 0, 3, 1, false},
        {"every remaining file holds items", "DDDD", 0, 3, 3, true},
        {"last file clean", "DDC", 0, 3, 2, false},
        {"option 0 moves one file", "DDDD", 0, 0, 1, false},
        {"option 1 moves one file", "DDDD", 0, 1, 1, false},
        {"missing file passed over", "DMDC", 0, 3, 3, false},
        {"missing last file", "DM", 0, 3, 1, true},
        {"empty file stops", "DEC", 0, 3, 1, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        makePile(row.pile);
        form->File_Contents_Colour_Coding_RadioGroup->setItemIndex(row.colour);
        Select_List_Index(files(), row.start);
        dialogs.clear();
        form->BitBtn1->click();
        EXPECT_EQ(current(), row.end);
        // Next File's own refusals never show during a scan.
        if (row.lastFileMessage) {
            ASSERT_EQ(dialogs.count(), 1u);
            EXPECT_EQ(dialogs.lastType(), Shown::Type::Information);
            EXPECT_EQ(dialogs.lastText(), kLastFile);
        } else {
            EXPECT_EQ(dialogs.count(), 0u) << qPrintable(dialogs.texts().join(" | "));
        }
        if (row.end >= 0 && row.pile[row.end] == 'C') {
            EXPECT_TRUE(view()->wholeText().contains("hello"));
        }
        EXPECT_FALSE(form->isBusy());
    }
}

TEST_F(ScanWindowTest, ClosingTheWindowDuringAScanStopsIt) {
    makePile("DDDDDDDDDD");
    Select_List_Index(files(), 0);
    const bool quitOnClose = QApplication::quitOnLastWindowClosed();
    QApplication::setQuitOnLastWindowClosed(false);
    QTimer::singleShot(0, form.get(), [this] { form->close(); });
    form->BitBtn1->click();
    QApplication::setQuitOnLastWindowClosed(quitOnClose);
    EXPECT_FALSE(form->isVisible());
    EXPECT_LT(current(), 9);
    EXPECT_EQ(dialogs.count(), 0u);
}

} // namespace
} // namespace jl::test
