#include "app/settings.h"

#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"
#include "util/ini_file.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace jl {
namespace {

TEST(Settings, FirstStartGivesTheDefaults) {
    test::TempFolder tmp;
    const SettingsValues v = readSettings(tmp.file("Junkloupe.ini"));
    EXPECT_EQ(v.windowTop, 20);
    EXPECT_EQ(v.windowLeft, 20);
    EXPECT_EQ(v.windowWidth, 815);
    EXPECT_EQ(v.windowHeight, 543);
    EXPECT_FALSE(v.alwaysOnTop);
    EXPECT_FALSE(v.autoRunAtStartup);
    EXPECT_FALSE(v.maximized);
    EXPECT_EQ(v.currentDirectory, "");
    EXPECT_EQ(v.viewFilter, 1);
    EXPECT_EQ(v.expandSelection, 2);
    EXPECT_EQ(v.colourCoding, 3);
    EXPECT_EQ(v.selectedFileNum, 0);
    EXPECT_TRUE(v.autoSaveInterestingItems);
    // A file without our section, or with garbage values, reads the same.
    const QString path = tmp.write("garbage.ini", "[Junkloupe]\nwindow_Width=wide\n"
                                                  "Auto_Save_Interesting_Items_List_CheckBox=x\n");
    EXPECT_EQ(readSettings(path), SettingsValues());
}

TEST(Settings, RadioGroupNumbersAreClamped) {
    test::TempFolder tmp;
    const QString path = tmp.write("Junkloupe.ini", "[Junkloupe]\r\n"
                                                    "File_Contents_Filter_RadioGroup=7\r\n"
                                                    "Expand_Selection_RadioGroup=-5\r\n"
                                                    "File_Contents_Colour_Coding_RadioGroup=4\r\n"
                                                    "Selected_File_Num=-1\r\n");
    const SettingsValues v = readSettings(path);
    EXPECT_EQ(v.viewFilter, 2);
    EXPECT_EQ(v.expandSelection, -1);
    EXPECT_EQ(v.colourCoding, 3);
    EXPECT_EQ(v.selectedFileNum, -1);
    EXPECT_EQ(clampRadioItem(-1, 2), -1);
    EXPECT_EQ(clampRadioItem(0, 2), 0);
}

TEST(Settings, WriteThenReadRoundTripsEveryKey) {
    test::TempFolder tmp;
    const QString path = tmp.file("Junkloupe.ini");
    SettingsValues v;
    v.windowTop = -4;
    v.windowLeft = 1200;
    v.windowWidth = 1000;
    v.windowHeight = 700;
    v.alwaysOnTop = true;
    v.autoRunAtStartup = true;
    v.maximized = true;
    v.currentDirectory = "/home/u/junk mail/ ";
    v.viewFilter = 0;
    v.expandSelection = 3;
    v.colourCoding = -1;
    v.selectedFileNum = -1;
    v.autoSaveInterestingItems = false;
    QString error;
    ASSERT_TRUE(writeSettings(path, v, &error)) << qPrintable(error);
    EXPECT_EQ(readSettings(path), v);
}

TEST(Settings, WriteKeepsForeignLinesAndWritesBooleansAsDigits) {
    test::TempFolder tmp;
    const QString path = tmp.write("Junkloupe.ini", "; my notes\r\n"
                                                    "[Junkloupe]\r\n"
                                                    "window_top_posn=5\r\n"
                                                    "My_Own_Key=keep\r\n"
                                                    "[Elsewhere]\r\n"
                                                    "a=b\r\n");
    SettingsValues v;
    v.alwaysOnTop = true;
    ASSERT_TRUE(writeSettings(path, v));
    const QByteArray text = tmp.read("Junkloupe.ini");
    EXPECT_TRUE(text.startsWith("; my notes\r\n[Junkloupe]\r\nwindow_top_posn=20\r\n"
                                "My_Own_Key=keep\r\nWindowState_wsMaximized=0\r\n"
                                "window_left_posn=20\r\n"));
    EXPECT_TRUE(text.contains("Always_on_Top_Option=1\r\n"));
    EXPECT_TRUE(
        text.contains("Auto_Save_Interesting_Items_List_CheckBox=1\r\n[Elsewhere]\r\na=b\r\n"));
    const IniFile ini = IniFile::load(path);
    EXPECT_EQ(ini.keys(kSettingsSection).size(), 14);
}

TEST(Settings, UnwritableFolderFailsAndLeavesTheFile) {
    test::TempFolder tmp;
    const QString path = tmp.file("missing-folder/Junkloupe.ini");
    QString error;
    EXPECT_FALSE(writeSettings(path, SettingsValues(), &error));
    EXPECT_FALSE(QFile::exists(path));
    // Something at the path that cannot be read as a file is not overwritten.
    const QString folder = tmp.mkdir("Junkloupe.ini");
    EXPECT_FALSE(writeSettings(tmp.file("Junkloupe.ini"), SettingsValues(), &error));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(unableToWriteMessage("/opt/j/Junkloupe.ini"),
              "Unable to write to /opt/j/Junkloupe.ini");
}

TEST(Settings, RestoreFactoryDefaults) {
    test::TempFolder tmp;
    const QString path = tmp.write("Junkloupe.ini", "[Junkloupe]\nwindow_top_posn=99\n");
    const QStringList lines = restoreFactoryDefaultsWarning().split('\n');
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(lines[3].isEmpty());
    for (int i : {0, 1, 2, 4})
        EXPECT_FALSE(lines[i].isEmpty());

    test::ScriptedDialogs no;
    no.answerNo();
    EXPECT_FALSE(Restore_Factory_Defaults(no, path));
    EXPECT_TRUE(QFile::exists(path));
    ASSERT_EQ(no.count(), 1u);
    EXPECT_EQ(no.lastType(), test::Shown::Type::Warning);

    test::ScriptedDialogs yes;
    yes.answerYes();
    EXPECT_TRUE(Restore_Factory_Defaults(yes, path));
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(readSettings(path), SettingsValues());
}

} // namespace
} // namespace jl
