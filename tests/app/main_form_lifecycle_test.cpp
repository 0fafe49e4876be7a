// Start-up and close: both list files read at the first show and written back
// at close, the remembered file, and the default failure report.

#include "support/window_fixture.h"

#include "util/failure.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>

#include <sys/stat.h>

namespace jl::test {
namespace {

class LifecycleTest : public WindowTest {
protected:
    QString fileListPath() { return program.file(QStringLiteral("Junkloupe.ini_file")); }
    QString itemsPath() { return program.file(QStringLiteral("Junkloupe.ini_int")); }
};

TEST_F(LifecycleTest, ListsLoadAtFirstShowAndAreWrittenBackInListOrderAtClose) {
    program.write("Junkloupe.ini_file", "/m/b.eml\r\n/m/A.eml\r\n");
    program.write("Junkloupe.ini_int", "zeta\nAlpha\r\nmid");
    shown();
    EXPECT_EQ(files().entries(), QStringList({"/m/A.eml", "/m/b.eml"}));
    EXPECT_EQ(items().entries(), QStringList({"Alpha", "mid", "zeta"}));
    // Entry 0 is the remembered file by default; it does not exist.
    EXPECT_EQ(current(), 0);
    EXPECT_EQ(viewText(), " *** Error: File does NOT exist !!");

    // The changed list is written in list order; the other, unchanged, is
    // left as it was.
    items().insert(QStringLiteral("beta"));
    action("ExitOption")->trigger();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(program.read("Junkloupe.ini_file"), QByteArray("/m/b.eml\r\n/m/A.eml\r\n"));
    EXPECT_EQ(program.read("Junkloupe.ini_int"), QByteArray("Alpha\r\nbeta\r\nmid\r\nzeta\r\n"));
    EXPECT_EQ(dialogs.count(), 0u);
}

TEST_F(LifecycleTest, BothExitButtonsCloseThroughTheSave) {
    for (const char* exit : {"Exit_1_BitBtn", "Exit_2_BitBtn"}) {
        form.reset();
        QFile::remove(fileListPath());
        shown();
        files().insert(QStringLiteral("/x/one"));
        button(exit)->click();
        EXPECT_FALSE(form->isVisible());
        EXPECT_EQ(program.read("Junkloupe.ini_file"), QByteArray("/x/one\r\n"));
        // The items list did not change: its file, never there, is made empty.
        EXPECT_EQ(program.read("Junkloupe.ini_int"), QByteArray());
    }
}

TEST_F(LifecycleTest, MissingListFilesGiveEmptyListsWithoutAMessage) {
    shown();
    EXPECT_TRUE(files().isEmpty());
    EXPECT_TRUE(items().isEmpty());
    EXPECT_EQ(dialogs.count(), 0u);
    EXPECT_EQ(viewText(), "");
}

TEST_F(LifecycleTest, UnreadableListFileIsReportedAndTheProgramGoesOn) {
    ASSERT_EQ(mkfifo(QFile::encodeName(fileListPath()).constData(), 0600), 0);
    program.write("Junkloupe.ini_int", "kept\r\n");
    shown();
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Error);
    EXPECT_EQ(dialogs.lastText(), "Cannot open file " + fileListPath() + ".");
    // The other list still loads, and the window works.
    EXPECT_EQ(items().entries(), QStringList({"kept"}));
    EXPECT_EQ(form->windowTitle(), "Junkloupe v1.0f");
    button("First_File_BitBtn")->click();
    EXPECT_EQ(dialogs.lastText(), "Error: There are no files in the list.");

    // The unread list file is not replaced by the empty list at close.
    form->close();
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(fileListPath()).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(program.read("Junkloupe.ini_int"), QByteArray("kept\r\n"));
}

// 1,000 items with a NUL inside the 687th: the list shows the 686 before it
// and says so, and the file stays as it was unless the list changes and the
// user agrees to replace it.
TEST_F(LifecycleTest, ListFileReadOnlyInPartIsNotWrittenOverUnasked) {
    QByteArray bytes;
    for (int i = 1; i <= 1000; ++i)
        bytes += (i == 687 ? QByteArray("item\0", 5) : QByteArray("item")) + QByteArray::number(i) +
                 "\r\n";
    program.write("Junkloupe.ini_int", bytes);
    shown();
    EXPECT_EQ(items().count(), 687); // the 686 lines and the start of the 687th
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Information);
    EXPECT_TRUE(dialogs.lastText().contains("reading stopped at line 687, which holds a NUL"));
    ASSERT_TRUE(form->close());
    EXPECT_EQ(program.read("Junkloupe.ini_int"), bytes);

    // Changed, the close asks; No keeps the file, Yes replaces it.
    open();
    items().insert(QStringLiteral("new"));
    dialogs.clear();
    dialogs.answerNo();
    ASSERT_TRUE(form->close());
    EXPECT_EQ(program.read("Junkloupe.ini_int"), bytes);
    open();
    items().insert(QStringLiteral("new"));
    dialogs.clear();
    dialogs.answerYes();
    ASSERT_TRUE(form->close());
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Confirmation);
    EXPECT_TRUE(dialogs.scriptUsedUp());
    open();
    EXPECT_EQ(items().count(), 688);
    EXPECT_FALSE(program.read("Junkloupe.ini_int").contains('\0'));
}

TEST_F(LifecycleTest, ItemsListSavedAsUtf16ComesInEntryByEntry) {
    const QString text = QStringLiteral("first\r\ncaf\u00e9\r\nlast\r\n");
    QByteArray bytes("\xFF\xFE");
    bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    program.write("Junkloupe.ini_int", bytes);
    shown();
    EXPECT_EQ(items().entries(), QStringList({QStringLiteral("caf\u00e9"), "first", "last"}));
    EXPECT_EQ(dialogs.count(), 0u);
    ASSERT_TRUE(form->close());
    open();
    EXPECT_EQ(items().entries(), QStringList({QStringLiteral("caf\u00e9"), "first", "last"}));
}

// Leftovers of killed saves are cleared; an in-place copy that cannot be
// checked against the list as it stands is set aside, never written back,
// and the start says where it went.
TEST_F(LifecycleTest, StaleSaveFilesOfOursAreClearedAtStart) {
    program.write(".Junkloupe.ini_int.tmp-5e1f", "a copy left by a killed save\r\n");
    program.write(".Junkloupe.ini.tmp-77", "[Junkloupe]\r\n");
    program.write(".unrelated.tmp-1", "kept");
    program.write("Junkloupe.ini_int", "alpha\r\nbeta\r\ngamma\r\n");
    program.write(".Junkloupe.ini_int.inplace-3", "two\r\nlines\r\n");
    shown();
    EXPECT_FALSE(QFileInfo::exists(program.file(".Junkloupe.ini_int.tmp-5e1f")));
    EXPECT_FALSE(QFileInfo::exists(program.file(".Junkloupe.ini.tmp-77")));
    EXPECT_TRUE(QFileInfo::exists(program.file(".unrelated.tmp-1")));
    EXPECT_FALSE(QFileInfo::exists(program.file(".Junkloupe.ini_int.inplace-3")));

    EXPECT_EQ(items().entries(), QStringList({"alpha", "beta", "gamma"}));
    EXPECT_EQ(program.read("Junkloupe.ini_int"), "alpha\r\nbeta\r\ngamma\r\n");
    const QStringList keptAs =
        QDir(program.path()).entryList({"Junkloupe.ini_int.interrupted-*"}, QDir::Files);
    ASSERT_EQ(keptAs.size(), 1);
    EXPECT_EQ(program.read(keptAs.front()), "two\r\nlines\r\n");
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.shown().front().type, Shown::Type::Information);
    const QString notice = dialogs.texts().front();
    EXPECT_TRUE(notice.startsWith("A save of " + program.file("Junkloupe.ini_int") +
                                  " was cut off while it rewrote the file"))
        << notice.toStdString();
    EXPECT_TRUE(notice.contains(keptAs.front())) << notice.toStdString();
}

// The session manager's commit-data request: everything is saved, the window
// stays as it is (the log-out may still be cancelled), and a failed save says
// so, so that the log-out can be stopped.
TEST_F(LifecycleTest, SessionEndSavesEverythingAndKeepsTheWindow) {
    shown();
    files().insert(QStringLiteral("/s/one.eml"));
    items().insert(QStringLiteral("kept"));
    EXPECT_TRUE(form->saveAtSessionEnd());
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->closeAccepted());
    EXPECT_EQ(program.read("Junkloupe.ini_file"), QByteArray("/s/one.eml\r\n"));
    EXPECT_EQ(program.read("Junkloupe.ini_int"), QByteArray("kept\r\n"));
    EXPECT_TRUE(program.read("Junkloupe.ini").contains("[Junkloupe]"));
    QFile::remove(fileListPath());
    program.mkdir("Junkloupe.ini_file"); // a list file that cannot be replaced
    files().insert(QStringLiteral("/s/two.eml"));
    EXPECT_FALSE(form->saveAtSessionEnd());
    QDir().rmdir(fileListPath());
}

TEST_F(LifecycleTest, SaveFailureOfOneListStillSavesTheOtherAndKeepsTheWindow) {
    shown();
    files().insert(QStringLiteral("/a"));
    items().insert(QStringLiteral("item"));
    // A directory where the file list should go cannot be replaced.
    program.mkdir("Junkloupe.ini_file");
    program.write("Junkloupe.ini_file/inside", "x");
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->closeAccepted());
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_TRUE(dialogs.lastText().startsWith("The " + fileListPath() + " could not be saved !"));
    EXPECT_EQ(program.read("Junkloupe.ini_int"), QByteArray("item\r\n"));

    // Room made: the next close goes through and saves the list.
    QFile::remove(program.file("Junkloupe.ini_file/inside"));
    QDir().rmdir(program.file("Junkloupe.ini_file"));
    EXPECT_TRUE(form->close());
    EXPECT_EQ(program.read("Junkloupe.ini_file"), QByteArray("/a\r\n"));
}

TEST_F(LifecycleTest, RememberedFileNumberSelectsOnlyAnExistingEntry) {
    const QString a = message("a.eml", "Received: from a\r\nMessage-ID: <1>\r\n");
    const QString b = message("b.eml", "Received: from b\r\nMessage-ID: <2>\r\n");
    program.write("Junkloupe.ini_file", (a + "\r\n" + b + "\r\n").toUtf8());
    const struct {
        int saved;
        int selected;
        const char* view;
    } cases[] = {
        {1, 1, "\nReceived: from b\n\nMessage-ID: <2>\n\n"},
        {0, 0, "\nReceived: from a\n\nMessage-ID: <1>\n\n"},
        {2, -1, ""}, // equal to the count: nothing selected, nothing processed
        {9, -1, ""},
        {-1, -1, ""}, // nothing was selected at the last close
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.saved);
        form.reset();
        // The number comes from the settings file when that is read.
        program.write("Junkloupe.ini",
                      "[Junkloupe]\r\nSelected_File_Num=" + QByteArray::number(c.saved) + "\r\n");
        create().setSavedFileNumber(c.saved);
        group("File_Contents_Filter_RadioGroup")->setItemIndex(1);
        form->show();
        EXPECT_EQ(current(), c.selected);
        EXPECT_EQ(viewText(), QString::fromLatin1(c.view));
        EXPECT_EQ(dialogs.count(), 0u);
    }
}

TEST_F(LifecycleTest, FailureEscapingACommandIsShownWithAFullStop) {
    create();
    form->runCommand([] { throw Failure(QStringLiteral("'x' is not a valid integer value")); });
    EXPECT_EQ(dialogs.lastText(), "'x' is not a valid integer value.");
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Error);
}

} // namespace
} // namespace jl::test
