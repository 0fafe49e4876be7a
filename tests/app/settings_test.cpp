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
    EXPECT_FALSE(v.decodeMimeParts);
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
    v.decodeMimeParts = true;
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
    EXPECT_TRUE(text.contains("Auto_Save_Interesting_Items_List_CheckBox=1\r\n"
                              "decodeMimeParts=0\r\n[Elsewhere]\r\na=b\r\n"));
    const IniFile ini = IniFile::load(path);
    EXPECT_EQ(ini.keys(kSettingsSection).size(), 15);
}

// What the close writes is always read back at the next start: a file near
// the reader's limit is kept under it by leaving out what the program does
// not use (the longest lines first), then an overlong current directory.
TEST(Settings, WriteNeverOutgrowsWhatTheReaderTakes) {
    const qint64 limit = IniFile::kSizeLimit;
    const QByteArray head = "[Junkloupe]\r\nwindow_Width=900\r\n";
    const QByteArray keptLines = "; small note\r\n[Elsewhere]\r\na=b\r\n";
    auto filler = [&](const QByteArray& prefix, qint64 size) {
        return prefix + QByteArray(size - prefix.size() - 2, 'x') + "\r\n";
    };
    const QString longDirectory = "/" + QString(int(limit) - 300, QLatin1Char('d'));
    const struct {
        const char* name;
        QByteArray file;
        QString directory;
        QString notice; // empty: nothing left out
        QByteArray kept, gone;
    } cases[] = {
        {"a long comment", head + filler("; ", limit - 200 - head.size()) + keptLines, "/mail/",
         "1 of its lines that the program does not use were left out", keptLines, "; xx"},
        {"two long keys of another section",
         head + "[Other]\r\n" + filler("k1=", limit / 2) + filler("k2=", limit / 2 - 200), "/mail/",
         "1 of its lines", "[Other]\r\nk2=", "k1="},
        {"a directory as long as the file may be", head + keptLines, longDirectory,
         "The current directory (" + QString::number(longDirectory.size()) +
             " characters) was left out.",
         "Current_Directory_Edit=\r\n", "ddd"},
        {"a file with room to spare", head + keptLines, "/mail/", "", keptLines,
         "window_Width=900"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempFolder tmp;
        const QString path = tmp.write("Junkloupe.ini", c.file);
        SettingsValues v;
        v.windowWidth = 700;
        v.currentDirectory = c.directory;
        QString notice;
        ASSERT_TRUE(writeSettings(path, v, nullptr, &notice));
        const QByteArray written = tmp.read("Junkloupe.ini");
        EXPECT_LE(written.size(), limit);
        EXPECT_TRUE(written.contains(c.kept));
        EXPECT_FALSE(written.contains(c.gone));
        if (c.notice.isEmpty()) {
            EXPECT_EQ(notice, "");
        } else {
            EXPECT_TRUE(notice.startsWith("The settings file " + path +
                                          " would have grown larger than 4 MB") &&
                        notice.contains(c.notice))
                << qPrintable(notice.left(300));
        }
        QString refusal;
        const SettingsValues back = readSettings(path, &refusal);
        EXPECT_EQ(refusal, "");
        EXPECT_EQ(back.windowWidth, 700);
    }
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
