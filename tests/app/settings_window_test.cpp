// The settings file through the window: read at every first show, written at
// every close, Restore Factory Defaults, Always On Top and the start-up show
// command.

#include "support/window_fixture.h"

#include "desktop/desktop_sandbox.h"
#include "desktop/freedesktop_registry.h"
#include "util/ini_file.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>

#include <unistd.h>

namespace jl::test {
namespace {

class SettingsWindowTest : public WindowTest {
protected:
    QString iniPath() { return program.file(QStringLiteral("Junkloupe.ini")); }
    void writeIni(const QByteArray& keys) {
        program.write("Junkloupe.ini", "[Junkloupe]\r\n" + keys);
    }
    QString key(const char* name) {
        return IniFile::load(iniPath()).readString(QStringLiteral("Junkloupe"),
                                                   QString::fromLatin1(name));
    }
    // A new window over the same program folder, shown.
    TMainForm1& start(StartUpShow show = StartUpShow::Normal) {
        form.reset();
        create().setStartUpShowCommand(show);
        form->show();
        return *form;
    }
    QRect outer() { return form->frameGeometry(); }
    bool topmost() { return form->windowFlags().testFlag(Qt::WindowStaysOnTopHint); }
    std::vector<int> options() {
        return {group("File_Contents_Filter_RadioGroup")->itemIndex(),
                group("Expand_Selection_RadioGroup")->itemIndex(),
                group("File_Contents_Colour_Coding_RadioGroup")->itemIndex()};
    }
    // Two real messages in the file list file; returns their paths.
    QStringList twoListedMessages() {
        const QString a = message("a.eml", "Received: from a\r\nMessage-ID: <1>\r\n");
        const QString b = message("b.eml", "Received: from b\r\nMessage-ID: <2>\r\n");
        program.write("Junkloupe.ini_file", (a + "\r\n" + b + "\r\n").toUtf8());
        return {a, b};
    }
};

TEST_F(SettingsWindowTest, FirstStartTakesEveryDefaultAndTheCloseWritesThem) {
    start();
    EXPECT_EQ(outer(), QRect(20, 20, 815, 543));
    EXPECT_EQ(options(), std::vector<int>({1, 2, 3}));
    EXPECT_TRUE(control<QCheckBox>("Auto_Save_Interesting_Items_List_CheckBox")->isChecked());
    EXPECT_FALSE(action("Always_On_Top_Option")->isChecked());
    EXPECT_FALSE(topmost());
    EXPECT_FALSE(action("Auto_Run_at_Windows_Startup_Option")->isChecked());
    EXPECT_EQ(control<QLineEdit>("Current_Directory_Edit")->text(), "");
    EXPECT_EQ(form->savedFileNumber(), 0);
    EXPECT_FALSE(form->isMaximized());
    EXPECT_FALSE(form->isMinimized());

    EXPECT_TRUE(form->close());
    const char* expected[][2] = {
        {"window_top_posn", "20"},
        {"window_left_posn", "20"},
        {"window_Width", "815"},
        {"window_Height", "543"},
        {"Always_on_Top_Option", "0"},
        {"Auto_Run_at_Windows_Startup_Option", "0"},
        {"WindowState_wsMaximized", "0"},
        {"Current_Directory_Edit", ""},
        {"File_Contents_Filter_RadioGroup", "1"},
        {"Expand_Selection_RadioGroup", "2"},
        {"File_Contents_Colour_Coding_RadioGroup", "3"},
        {"Selected_File_Num", "-1"}, // the list is empty: nothing selected
        {"Auto_Save_Interesting_Items_List_CheckBox", "1"},
        {"decodeMimeParts", "0"},
    };
    for (const auto& [name, value] : expected)
        EXPECT_EQ(key(name), value) << name;
    EXPECT_EQ(dialogs.count(), 0u);
}

TEST_F(SettingsWindowTest, GeometryWrittenAndRestoredIsTheSameOuterFrame) {
    writeIni("window_top_posn=100\r\nwindow_left_posn=150\r\nwindow_Width=700\r\n"
             "window_Height=500\r\n");
    start();
    EXPECT_EQ(outer(), QRect(150, 100, 700, 500));
    // The platform draws a frame, so outer and inner differ here.
    ASSERT_NE(outer(), form->geometry());

    // The user moves and sizes the window; the frame is what is stored.
    form->setGeometry(300, 200, 640, 480);
    const QRect frame = outer();
    ASSERT_TRUE(form->close());
    EXPECT_EQ(key("window_top_posn"), QString::number(frame.top()));
    EXPECT_EQ(key("window_left_posn"), QString::number(frame.left()));
    EXPECT_EQ(key("window_Width"), QString::number(frame.width()));
    EXPECT_EQ(key("window_Height"), QString::number(frame.height()));

    // Restart after restart: the same frame, nothing creeps.
    for (int run = 0; run < 2; ++run) {
        start();
        EXPECT_EQ(outer(), frame) << "run " << run;
        ASSERT_TRUE(form->close());
    }
}

TEST_F(SettingsWindowTest, ClosingMaximisedWritesOneAndTheRestoredGeometry) {
    writeIni("window_top_posn=100\r\nwindow_left_posn=150\r\nwindow_Width=700\r\n"
             "window_Height=500\r\n");
    start();
    form->showMaximized();
    ASSERT_TRUE(form->isMaximized());
    ASSERT_TRUE(form->close());
    EXPECT_EQ(key("WindowState_wsMaximized"), "1");
    EXPECT_EQ(key("window_top_posn"), "100");
    EXPECT_EQ(key("window_left_posn"), "150");
    EXPECT_EQ(key("window_Width"), "700");
    EXPECT_EQ(key("window_Height"), "500");

    // The next start shows the window maximised over that geometry.
    start();
    EXPECT_TRUE(form->isMaximized());
    EXPECT_TRUE(form->savedMaximised());
    form->showNormal();
    EXPECT_EQ(outer(), QRect(150, 100, 700, 500));
}

TEST_F(SettingsWindowTest, FileNumberAndRadioNumbersAreKeptInRange) {
    const QStringList paths = twoListedMessages();
    writeIni("Selected_File_Num=-1\r\nFile_Contents_Filter_RadioGroup=7\r\n"
             "Expand_Selection_RadioGroup=-5\r\nFile_Contents_Colour_Coding_RadioGroup=0\r\n");
    start();
    EXPECT_EQ(files().count(), 2);
    EXPECT_EQ(current(), -1);
    EXPECT_EQ(viewText(), "");
    // 7 takes the last item ("All "Printable" / "Readable" Text"), -5 none.
    EXPECT_EQ(options(), std::vector<int>({2, -1, 0}));
    ASSERT_TRUE(form->close());
    EXPECT_EQ(key("Selected_File_Num"), "-1");
    EXPECT_EQ(key("File_Contents_Filter_RadioGroup"), "2");
    EXPECT_EQ(key("Expand_Selection_RadioGroup"), "-1");
    EXPECT_EQ(key("File_Contents_Colour_Coding_RadioGroup"), "0");

    // The current file is remembered and shown again at the next start.
    start();
    Select_List_Index(files(), 1);
    ASSERT_TRUE(form->close());
    EXPECT_EQ(key("Selected_File_Num"), "1");
    start();
    EXPECT_EQ(current(), 1);
    EXPECT_TRUE(viewText().contains("from b"));
}

TEST_F(SettingsWindowTest, TicksDirectoryAndCheckBoxComeBack) {
    for (const bool set : {true, false}) {
        SCOPED_TRACE(set);
        writeIni(set ? "Always_on_Top_Option=1\r\nCurrent_Directory_Edit=/junk mail/\r\n"
                       "Auto_Save_Interesting_Items_List_CheckBox=0\r\n"
                     : "Always_on_Top_Option=0\r\n");
        start();
        EXPECT_EQ(action("Always_On_Top_Option")->isChecked(), set);
        EXPECT_EQ(topmost(), set);
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(control<QLineEdit>("Current_Directory_Edit")->text(), set ? "/junk mail/" : "");
        EXPECT_EQ(control<QCheckBox>("Auto_Save_Interesting_Items_List_CheckBox")->isChecked(),
                  !set);
        ASSERT_TRUE(form->close());
        EXPECT_EQ(key("Always_on_Top_Option"), set ? "1" : "0");
        EXPECT_EQ(key("Current_Directory_Edit"), set ? "/junk mail/" : "");
        EXPECT_EQ(key("Auto_Save_Interesting_Items_List_CheckBox"), set ? "0" : "1");
    }
    // Toggled while running, the tick is what the close writes.
    start();
    action("Always_On_Top_Option")->trigger();
    ASSERT_TRUE(form->close());
    EXPECT_EQ(key("Always_on_Top_Option"), "1");
}

TEST_F(SettingsWindowTest, HandEditedFileKeepsEverythingButOurValues) {
    const QByteArray before = "; written by hand\r\n"
                              "[Other Tool]\r\n"
                              "colour=blue\r\n"
                              "\r\n"
                              "[Junkloupe]\r\n"
                              "# our section, with a key of its own\r\n"
                              "My_Note=keep me\r\n"
                              "window_top_posn=20\r\n"
                              "window_left_posn=20\r\n"
                              "window_Width=815\r\n"
                              "window_Height=543\r\n"
                              "Always_on_Top_Option=0\r\n"
                              "Auto_Run_at_Windows_Startup_Option=0\r\n"
                              "WindowState_wsMaximized=0\r\n"
                              "Current_Directory_Edit=/m/\r\n"
                              "File_Contents_Filter_RadioGroup=1\r\n"
                              "Expand_Selection_RadioGroup=2\r\n"
                              "File_Contents_Colour_Coding_RadioGroup=3\r\n"
                              "Selected_File_Num=5\r\n"
                              "Auto_Save_Interesting_Items_List_CheckBox=1\r\n"
                              "decodeMimeParts=0\r\n"
                              "[Last]\r\n"
                              "x=1\r\n";
    program.write("Junkloupe.ini", before);
    start();
    group("Expand_Selection_RadioGroup")->setItemIndex(0);
    ASSERT_TRUE(form->close());
    QByteArray expected = before;
    expected.replace("Expand_Selection_RadioGroup=2", "Expand_Selection_RadioGroup=0");
    expected.replace("Selected_File_Num=5", "Selected_File_Num=-1");
    EXPECT_EQ(program.read("Junkloupe.ini"), expected);
}

TEST_F(SettingsWindowTest, UnwritableSettingsFileRefusesTheCloseAndKeepsEverything) {
    // Both ways work for root too: the settings path is a directory, or the
    // program folder lies below a regular file.
    for (const bool asDirectory : {true, false}) {
        SCOPED_TRACE(asDirectory);
        form.reset();
        dialogs.clear();
        QString programDir = program.path();
        if (asDirectory) {
            program.mkdir("Junkloupe.ini");
        } else {
            programDir = program.write("plain-file", "x") + "/";
            QFile::remove(program.file("Junkloupe.ini"));
            QDir(program.file("Junkloupe.ini")).removeRecursively();
        }
        const ProgramFolder place(programDir, QStringLiteral("junkloupe"));
        form = makeWindow(programDir);
        form->show();
        files().insert(QStringLiteral("/m/kept.eml"));
        items().insert(QStringLiteral("kept item"));

        EXPECT_FALSE(form->close());
        EXPECT_TRUE(form->isVisible());
        ASSERT_EQ(dialogs.count(), 1u);
        EXPECT_EQ(dialogs.lastType(), Shown::Type::Error);
        EXPECT_EQ(dialogs.lastText(), "Unable to write to " + place.settingsFile());
        // Neither list is saved; both stay as they were.
        EXPECT_FALSE(QFileInfo::exists(place.fileListFile()));
        EXPECT_FALSE(QFileInfo::exists(place.itemsListFile()));
        EXPECT_EQ(files().entries(), QStringList({"/m/kept.eml"}));
        EXPECT_EQ(items().entries(), QStringList({"kept item"}));
    }
    // Once the file can be written, the close goes through and saves all.
    QDir(program.file("Junkloupe.ini")).removeRecursively();
    start();
    files().insert(QStringLiteral("/m/kept.eml"));
    EXPECT_TRUE(form->close());
    EXPECT_EQ(program.read("Junkloupe.ini_file"), QByteArray("/m/kept.eml\r\n"));
}

// A settings file of 100 GiB (sparse) once stopped the first show half way
// with "std::bad_alloc."; it is not read, said so, and never written over.
TEST_F(SettingsWindowTest, HugeSettingsFileGivesTheDefaultsAndIsNotWrittenOver) {
    writeIni("window_Width=900\r\n");
    const qint64 size = qint64(100) << 30;
    ASSERT_EQ(::truncate(QFile::encodeName(iniPath()).constData(), size), 0);
    program.write("Junkloupe.ini_int", "kept\r\n");
    start();
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Information);
    EXPECT_EQ(dialogs.lastText(),
              settingsFileRefusedNotice(iniPath(), "the file is larger than 4 MB"));
    EXPECT_EQ(form->windowTitle(), "Junkloupe v1.0f");
    EXPECT_EQ(outer(), QRect(20, 20, 815, 543));
    EXPECT_EQ(items().entries(), QStringList{"kept"});
    items().insert(QStringLiteral("added"));
    EXPECT_TRUE(form->close());
    EXPECT_EQ(QFileInfo(iniPath()).size(), size);
    EXPECT_EQ(program.read("Junkloupe.ini_int"), QByteArray("added\r\nkept\r\n"));
}

// A settings file just under the reader's limit once grew past it at the
// close and was refused ever after; the close keeps it readable and says
// what it left out.
TEST_F(SettingsWindowTest, CloseKeepsTheSettingsFileReadableAndSaysWhatItLeftOut) {
    writeIni("window_Width=900\r\n; " + QByteArray(int(IniFile::kSizeLimit) - 300, 'n') + "\r\n");
    start();
    EXPECT_EQ(dialogs.count(), 0u);
    EXPECT_TRUE(form->close());
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Information);
    EXPECT_TRUE(dialogs.lastText().contains("1 of its lines that the program does not use"));
    EXPECT_LE(QFileInfo(iniPath()).size(), IniFile::kSizeLimit);
    dialogs.clear();
    start();
    EXPECT_EQ(dialogs.count(), 0u) << "the next start refused the file";
}

// Another user's link planted at the settings file is not followed: the
// start says so, and the close writes neither the link's target nor a file
// in its place.
TEST_F(SettingsWindowTest, SettingsLinkOfAnotherUserIsNotFollowed) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make a link of another user";
    const QString victim = messages.write("victim.ini", "[Junkloupe]\r\nwindow_Width=900\r\n");
    ASSERT_TRUE(QFile::link(victim, iniPath()));
    ASSERT_EQ(::lchown(QFile::encodeName(iniPath()).constData(), 65534, 65534), 0);
    start();
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_TRUE(dialogs.lastText().startsWith("The settings file " + iniPath() + " is not read: "));
    EXPECT_TRUE(dialogs.lastText().contains("belongs to another user (nobody)"));
    EXPECT_EQ(outer(), QRect(20, 20, 815, 543));
    EXPECT_TRUE(form->close());
    EXPECT_EQ(messages.read("victim.ini"), QByteArray("[Junkloupe]\r\nwindow_Width=900\r\n"));
    EXPECT_TRUE(QFileInfo(iniPath()).isSymLink());
}

TEST_F(SettingsWindowTest, RestoreFactoryDefaultsAnsweredNoChangesNothing) {
    const QByteArray settings = "[Junkloupe]\r\nwindow_top_posn=100\r\nwindow_left_posn=150\r\n"
                                "File_Contents_Filter_RadioGroup=0\r\nAlways_on_Top_Option=1\r\n";
    program.write("Junkloupe.ini", settings);
    start();
    const QRect frame = outer();
    dialogs.answerNo();
    action("Restore_Factory_Defaults_Option")->trigger();
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Warning);
    EXPECT_EQ(program.read("Junkloupe.ini"), settings);
    EXPECT_EQ(outer(), frame);
    EXPECT_EQ(group("File_Contents_Filter_RadioGroup")->itemIndex(), 0);
    EXPECT_TRUE(action("Always_On_Top_Option")->isChecked());
    EXPECT_TRUE(topmost());
}

TEST_F(SettingsWindowTest, RestoreFactoryDefaultsAnsweredYesStartsAfresh) {
    const QStringList paths = twoListedMessages();
    program.write("Junkloupe.ini_int", "kept\r\n");
    writeIni("window_top_posn=100\r\nwindow_left_posn=150\r\nwindow_Width=700\r\n"
             "window_Height=500\r\nAlways_on_Top_Option=1\r\nCurrent_Directory_Edit=/x/\r\n"
             "File_Contents_Filter_RadioGroup=0\r\nExpand_Selection_RadioGroup=3\r\n"
             "File_Contents_Colour_Coding_RadioGroup=1\r\nSelected_File_Num=1\r\n"
             "Auto_Save_Interesting_Items_List_CheckBox=0\r\n");
    start();
    ASSERT_EQ(current(), 1);
    ASSERT_TRUE(topmost());
    // Changes that no list file holds yet.
    files().insert(QStringLiteral("/m/unsaved.eml"));
    items().insert(QStringLiteral("unsaved item"));
    form->showMaximized();

    dialogs.answerYes();
    action("Restore_Factory_Defaults_Option")->trigger();
    EXPECT_EQ(dialogs.count(), 1u);
    EXPECT_FALSE(QFileInfo::exists(iniPath())); // and no new one is written
    EXPECT_FALSE(form->isMaximized());
    EXPECT_EQ(outer(), QRect(20, 20, 815, 543));
    EXPECT_FALSE(action("Always_On_Top_Option")->isChecked());
    EXPECT_FALSE(topmost());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(options(), std::vector<int>({1, 2, 3}));
    EXPECT_TRUE(control<QCheckBox>("Auto_Save_Interesting_Items_List_CheckBox")->isChecked());
    EXPECT_EQ(control<QLineEdit>("Current_Directory_Edit")->text(), "");
    EXPECT_EQ(files().entries(), paths);
    EXPECT_EQ(items().entries(), QStringList({"kept"}));
    EXPECT_EQ(current(), 0);
    EXPECT_TRUE(viewText().contains("from a"));
    EXPECT_EQ(control<QTabWidget>("PageControl1")->currentWidget(), control("TabSheet1"));
}

TEST_F(SettingsWindowTest, StartUpShowCommandAppliesAtEveryFirstShowSequence) {
    start(StartUpShow::Maximized);
    EXPECT_TRUE(form->isMaximized());
    start(StartUpShow::Normal);
    EXPECT_FALSE(form->isMaximized());
    EXPECT_FALSE(form->isMinimized());

    // Started minimised (say from a shortcut), Restore Factory Defaults
    // minimises the window again.
    start(StartUpShow::Minimized);
    EXPECT_TRUE(form->isMinimized());
    form->showNormal();
    ASSERT_FALSE(form->isMinimized());
    dialogs.answerYes();
    action("Restore_Factory_Defaults_Option")->trigger();
    EXPECT_TRUE(form->isMinimized());
}

} // namespace
} // namespace jl::test
