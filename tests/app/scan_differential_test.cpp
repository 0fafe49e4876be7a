// The scan decided ahead by the batch engine against the plain step-by-step
// scan (Next File, file after file, reading the found-any flag, unreadable
// files passed over with their error line and counted once at the end), on
// random piles: both must leave the window in the same state and show the
// same boxes.

#include "support/lock_holder.h"
#include "support/window_fixture.h"
#include "util/qstring_printer.h"

#include "items/scan_ahead.h"

#include <QDir>
#include <QPushButton>

#include <memory>
#include <random>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace jl::test {
namespace {

const QString kLastFile = QStringLiteral("You are now at the last file in the list.");

// What a scan leaves behind.
struct WindowState {
    int current = -2;
    QString text;
    QString caption;
    std::vector<QRgb> colours; // per character
    int caret = -1;
    int selected = -1;
    bool foundAny = false;
    bool viewFocused = false;
    QStringList boxes; // kind and text of every box, in order
    bool operator==(const WindowState&) const = default;
};

std::ostream& operator<<(std::ostream& out, const WindowState& s) {
    out << "current " << s.current << ", caption \"" << s.caption.toStdString() << "\", caret "
        << s.caret << "+" << s.selected << ", found " << s.foundAny << ", focus " << s.viewFocused
        << ", boxes [" << s.boxes.join(" | ").toStdString() << "], text \""
        << s.text.left(80).toStdString() << "\"";
    return out;
}

class ScanDifferentialTest : public WindowTest {
protected:
    std::mt19937 random{20250611};
    int pick(int n) { return int(random() % unsigned(n)); }
    std::vector<std::unique_ptr<LockHolder>> locks;

    QByteArray word() {
        static const char* const words[] = {
            "evil.example", "CASINO", "relay.example", "hello", "Zz", "plain", "win"};
        return words[pick(7)];
    }
    // A message whose items may stand before the first Received line, in the
    // header or in the body, so that every view filter sees something else.
    QByteArray messageBytes() {
        QByteArray bytes;
        if (pick(2) == 0)
            bytes += "Return-Path: <x@" + word() + ">\r\n";
        if (pick(5) != 0)
            bytes += "Received: from " + word() + "\r\n\tby " + word() + "\r\n";
        if (pick(4) != 0)
            bytes += "Message-ID: <1@" + word() + ">\r\n";
        bytes += "Subject: " + word() + "\r\n\r\n" + word() + " " + word() + "\r\n";
        return bytes;
    }

    // A pile of count entries of every kind; returns the paths.
    QStringList makePile(int pile, int count) {
        QStringList paths;
        for (int i = 0; i < count; ++i) {
            const QString name =
                QStringLiteral("p%1/f%2").arg(pile).arg(i, 2, 10, QLatin1Char('0'));
            const QString path = messages.file(name);
            QDir().mkpath(QFileInfo(path).path());
            switch (pick(12)) {
            case 0: // names no file
                break;
            case 1:
                messages.write(name, "");
                break;
            case 2: // held by another process
                messages.write(name, messageBytes());
                locks.push_back(std::make_unique<LockHolder>(path));
                break;
            case 3: // no read permission (as root it is read all the same)
                messages.write(name, messageBytes());
                ::chmod(QFile::encodeName(path).constData(), 0);
                break;
            case 4: // a named pipe exists but is not read
                ::mkfifo(QFile::encodeName(path).constData(), 0600);
                break;
            case 5: // a directory counts as no file
                QDir().mkpath(path);
                break;
            default:
                messages.write(name, messageBytes());
            }
            paths << path;
        }
        return paths;
    }

    void setUpPile(const QStringList& paths, const QStringList& itemTexts) {
        files().clear();
        items().clear();
        for (const QString& item : itemTexts)
            items().insert(item);
        files().insertMany(paths);
    }

    // The same starting point for both runs.
    void reset(int start, bool flag) {
        Select_List_Index(files(), start);
        view()->setWholeText(QStringLiteral("before the scan"));
        view()->setSelectionStart(3);
        control<QGroupBox>("File_Contents_GroupBox")->setTitle(QStringLiteral(" File List : "));
        control<QCheckBox>("File_Contains_Any_Interesting_Items_CheckBox")->setChecked(flag);
        control<SortedListBox>("Interesting_Items_ListBox")->setFocus();
        dialogs.clear();
    }

    WindowState state() const {
        WindowState s;
        s.current = current();
        s.text = viewText();
        s.caption = caption();
        for (int i = 0; i < s.text.size(); ++i)
            s.colours.push_back(view()->colourAt(i).rgb());
        s.caret = view()->selectionStart();
        s.selected = view()->selectionLength();
        s.foundAny = foundAny();
        s.viewFocused = form->focusWidget() == view();
        for (const Shown& shown : dialogs.shown())
            s.boxes << QString::number(int(shown.type)) + QLatin1Char(' ') + shown.text;
        return s;
    }

    // The scan as a user would run it step by step.
    void plainScan() {
        const SortedList& list = files();
        form->workspace().setPassOverUnreadable(true);
        int unreadable = 0;
        // A file passed over shows its error line.
        const QString unreadableLinePrefix = unreadableFileLine(QString()).section('(', 0, 0);
        control<QCheckBox>("File_Contains_Any_Interesting_Items_CheckBox")->setChecked(true);
        int i = -1;
        for (;;) {
            i = Get_First_Selected_Index(list);
            const int last = list.count() - 1;
            if (i < last) {
                form->Next_File_BitBtnClick();
                QApplication::processEvents();
                unreadable += viewText().startsWith(unreadableLinePrefix) ? 1 : 0;
            }
            if (!foundAny() || i == last)
                break;
        }
        form->workspace().setPassOverUnreadable(false);
        if (i == list.count() - 1)
            form->dialogs().information(kLastFile);
        if (unreadable > 0)
            form->dialogs().information(unreadableFilesMessage(unreadable));
    }
};

TEST_F(ScanDifferentialTest, FastScanEndsWhereTheStepByStepScanEnds) {
    // Hidden: nothing is painted, and the state is the same.
    create();
    int stops = 0, lastFileMessages = 0, unreadableNotices = 0;
    for (int round = 0; round < 120; ++round) {
        const int filter = round % 3;
        const int colour = (round / 3) % 4;
        const int count = pick(4) == 0 ? pick(3) : 3 + pick(10);
        const QStringList paths = makePile(round, count);
        QStringList itemTexts;
        for (int k = pick(4); k > 0; --k)
            itemTexts << QString::fromLatin1(pick(3) == 0 ? QByteArray("example") : word());
        setUpPile(paths, itemTexts);
        setOptions(3, filter, colour);
        const int start = count == 0 ? -1 : pick(count + 1) - 1;
        const bool flag = pick(2) == 0;
        SCOPED_TRACE(QStringLiteral("round %1: filter %2, colour %3, start %4 of %5, items %6")
                         .arg(round)
                         .arg(filter)
                         .arg(colour)
                         .arg(start)
                         .arg(count)
                         .arg(itemTexts.join(','))
                         .toStdString());

        reset(start, flag);
        button("BitBtn1")->click();
        const WindowState fast = state();
        EXPECT_FALSE(form->isBusy());

        reset(start, flag);
        plainScan();
        const WindowState plain = state();
        ASSERT_EQ(fast, plain);

        stops += fast.current >= 0 && fast.current < count - 1 ? 1 : 0;
        lastFileMessages += fast.boxes.contains("1 " + kLastFile) ? 1 : 0;
        unreadableNotices += fast.boxes.size() > int(fast.boxes.contains("1 " + kLastFile)) ? 1 : 0;
        locks.clear();
    }
    // Every ending occurred.
    EXPECT_GT(stops, 10);
    EXPECT_GT(lastFileMessages, 10);
    EXPECT_GT(unreadableNotices, 5);
}

} // namespace
} // namespace jl::test
