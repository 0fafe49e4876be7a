// A full disk while a list file or the settings file is saved: the save fails
// with the message the user is promised, and the file saved before stays
// whole, byte for byte. The disk is made full for real: a file size limit on
// this process (write() fails with EFBIG), or a small tmpfs where mounting is
// allowed (write() fails with ENOSPC).

#include "fault_support.h"
#include "support/window_fixture.h"
#include "util/qstring_printer.h"

#include "app/settings.h"
#include "util/list_file.h"
#include "util/list_ops.h"
#include "util/sorted_list.h"

#include <QFile>
#include <QPushButton>

#include <cerrno>
#include <cstring>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace jl::test {
namespace {

QString couldNotBeSaved(const QString& path) {
    return "The " + path +
           " could not be saved !\r\n\r\nPossible reasons for this include :\r\n"
           "- there may not be enough disk space, \r\n"
           "- there may be errors on the disk, \r\n"
           "- you may be saving to a read only disk (such as a CD-ROM), \r\n"
           "- the file may already exist and be read-only or write locked, \r\n\r\n"
           "or there may be some other reason for the failure.";
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void fill(SortedList& list, int count) {
    QStringList entries;
    for (int i = 0; i < count; ++i)
        entries << QStringLiteral("/messages/entry-%1-with-a-longer-name.eml")
                       .arg(i, 5, 10, QChar('0'));
    list.insertMany(entries);
}

TEST(FullDisk, ListFileSaveFailsAndTheSavedFileStaysWhole) {
    for (const char* name : {"Junkloupe.ini_file", "Junkloupe.ini_int"}) {
        SCOPED_TRACE(name);
        TempFolder folder;
        const QString path = folder.file(QString::fromLatin1(name));
        ScriptedDialogs dialogs;
        SortedList list(SortedList::Selection::Multiple);
        fill(list, 20);
        ASSERT_EQ(Save_List_File(list, path, dialogs), 0);
        const QByteArray saved = readAll(path);

        fill(list, 2000); // about 90 KB, far past the limit
        int result = 0;
        {
            FileSizeLimit limit(4096);
            result = Save_List_File(list, path, dialogs);
        }
        EXPECT_EQ(result, -1);
        ASSERT_EQ(dialogs.count(), 1u);
        EXPECT_EQ(dialogs.lastType(), Shown::Type::Information);
        EXPECT_EQ(dialogs.lastText(), couldNotBeSaved(path));
        EXPECT_EQ(readAll(path), saved);
        // No half-written temporary file is left beside it.
        EXPECT_EQ(folderNames(folder.path()), QStringList{QString::fromLatin1(name)});

        // With room again the same list saves and reads back whole.
        ASSERT_EQ(Save_List_File(list, path, dialogs), 0);
        EXPECT_EQ(decodeListFile(readAll(path)), list.entries());
    }
}

TEST(FullDisk, SettingsWriteFailsAndTheSavedFileStaysWhole) {
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("Junkloupe.ini"));
    folder.write(QStringLiteral("Junkloupe.ini"), "; kept\r\n[Other]\r\nkey=value\r\n");
    SettingsValues first;
    first.currentDirectory = QStringLiteral("/data/first/");
    ASSERT_TRUE(writeSettings(path, first));
    const QByteArray saved = readAll(path);
    ASSERT_GT(saved.size(), 64);

    SettingsValues second = first;
    second.currentDirectory = QStringLiteral("/data/second/");
    second.viewFilter = 2;
    QString error;
    bool written = true;
    {
        FileSizeLimit limit(64);
        written = writeSettings(path, second, &error);
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(error, QString::fromLocal8Bit(std::strerror(EFBIG)));
    EXPECT_EQ(readAll(path), saved);
    EXPECT_EQ(readSettings(path), first);
    EXPECT_EQ(folderNames(folder.path()), QStringList{QStringLiteral("Junkloupe.ini")});
}

class FullDiskWindowTest : public WindowTest {};

TEST_F(FullDiskWindowTest, CloseIsRefusedWhileTheSettingsCannotBeWritten) {
    open();
    fill(files(), 30);
    Select_List_Index(files(), 7);
    items().insert(QStringLiteral("spam-token"));
    dialogs.clear();

    bool closed = true;
    {
        FileSizeLimit limit(64);
        closed = form->close();
    }
    EXPECT_FALSE(closed);
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Error);
    EXPECT_EQ(dialogs.lastText(), "Unable to write to " + program.file("Junkloupe.ini"));
    // Everything stays in the window; neither list file was written.
    EXPECT_EQ(files().count(), 30);
    EXPECT_EQ(current(), 7);
    EXPECT_EQ(items().entries(), QStringList{"spam-token"});
    EXPECT_FALSE(QFile::exists(program.file("Junkloupe.ini_file")));
    EXPECT_FALSE(QFile::exists(program.file("Junkloupe.ini_int")));

    // Once the disk has room the close goes through and saves everything.
    dialogs.clear();
    EXPECT_TRUE(form->close());
    EXPECT_EQ(dialogs.count(), 0u) << qPrintable(dialogs.texts().join(" | "));
    EXPECT_EQ(readSettings(program.file("Junkloupe.ini")).selectedFileNum, 7);
    EXPECT_EQ(decodeListFile(readAll(program.file("Junkloupe.ini_file"))).size(), 30);
    EXPECT_EQ(decodeListFile(readAll(program.file("Junkloupe.ini_int"))),
              QStringList{"spam-token"});
}

TEST_F(FullDiskWindowTest, ListFileFailureAtCloseIsReportedAndTheCloseIsRefused) {
    // The previous session saved a short file list.
    QStringList before;
    for (int i = 0; i < 5; ++i)
        before << QStringLiteral("/old/%1.eml").arg(i);
    program.write(QStringLiteral("Junkloupe.ini_file"), encodeListFile(before));
    const QByteArray savedFileList = program.read(QStringLiteral("Junkloupe.ini_file"));
    open();
    ASSERT_EQ(files().entries(), before);

    fill(files(), 2000); // the file list no longer fits, the settings and items do
    items().insert(QStringLiteral("spam-token"));
    dialogs.clear();
    bool closed = false;
    {
        FileSizeLimit limit(4096);
        closed = form->close();
    }
    // The window stays with the list in it, so that nothing is lost.
    EXPECT_FALSE(closed);
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(dialogs.count(), 1u) << qPrintable(dialogs.texts().join(" | "));
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Information);
    EXPECT_EQ(dialogs.lastText(), couldNotBeSaved(program.file("Junkloupe.ini_file")));
    EXPECT_EQ(program.read(QStringLiteral("Junkloupe.ini_file")), savedFileList);
    EXPECT_EQ(decodeListFile(program.read(QStringLiteral("Junkloupe.ini_int"))),
              QStringList{"spam-token"});
    EXPECT_TRUE(QFile::exists(program.file("Junkloupe.ini")));
    EXPECT_EQ(folderNames(program.path()),
              (QStringList{"Junkloupe.ini", "Junkloupe.ini_file", "Junkloupe.ini_int"}));

    // With room again the close saves the whole list.
    dialogs.clear();
    EXPECT_TRUE(form->close());
    EXPECT_EQ(dialogs.count(), 0u) << qPrintable(dialogs.texts().join(" | "));
    EXPECT_EQ(decodeListFile(program.read(QStringLiteral("Junkloupe.ini_file"))),
              files().entries());
}

// Export on the statistics page over an earlier export that the new one no
// longer fits beside: the reason in a box, the earlier file byte for byte.
TEST_F(FullDiskWindowTest, AFailedExportLeavesTheEarlierFileWhole) {
    open();
    QStringList many;
    for (int i = 0; i < 200; ++i)
        many << QStringLiteral("item-%1.example.com").arg(i);
    items().insertMany(many);
    TempFolder out;
    const QString path = out.write(QStringLiteral("rules.cf"), QByteArray(2048, '#') + "\n");
    const QByteArray earlier = out.read(QStringLiteral("rules.cf"));
    QPushButton* exportButton = button("exportItemsButton");
    ASSERT_NE(exportButton, nullptr);
    dialogs.clear();
    dialogs.chooseOneNext(QStringLiteral("spamassassin:"));
    dialogs.saveNext(path);
    {
        FileSizeLimit limit(4096); // the rules take about 40 KB
        exportButton->click();
    }
    ASSERT_EQ(dialogs.count(), 3u) << qPrintable(dialogs.texts().join(" | "));
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Error);
    EXPECT_TRUE(dialogs.lastText().startsWith("Error: The items could not be exported to \"" +
                                              path + "\": "))
        << qPrintable(dialogs.lastText());
    EXPECT_EQ(out.read(QStringLiteral("rules.cf")), earlier);
    EXPECT_EQ(folderNames(out.path()), QStringList{QStringLiteral("rules.cf")});
}

// A real full file system: a 64 KiB tmpfs mounted in a mount namespace of a
// child process (so that nothing stays mounted), filled up before the save.
TEST(FullDisk, SavesOnAFullFileSystem) {
    TempFolder folder;
    const QString mountPoint = folder.mkdir(QStringLiteral("small-disk"));
    const ChildReport report = runInChild([&]() -> std::string {
        if (::unshare(CLONE_NEWNS) != 0)
            return std::string("skip=no mount namespace: ") + std::strerror(errno) + "\n";
        if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, "size=64k") !=
                0)
            return std::string("skip=cannot mount a tmpfs: ") + std::strerror(errno) + "\n";
        const QString dir = mountPoint + QLatin1Char('/');
        ScriptedDialogs dialogs;
        SortedList list(SortedList::Selection::Multiple);
        fill(list, 10);
        const QString listPath = dir + QStringLiteral("Junkloupe.ini_int");
        const QString iniPath = dir + QStringLiteral("Junkloupe.ini");
        std::string out;
        out += "first-save=" + std::to_string(Save_List_File(list, listPath, dialogs)) + "\n";
        out += "first-settings=" + std::to_string(writeSettings(iniPath, SettingsValues())) + "\n";
        const QByteArray savedList = readAll(listPath);
        const QByteArray savedIni = readAll(iniPath);
        // Fill the disk.
        QFile filler(dir + QStringLiteral("filler"));
        if (!filler.open(QIODevice::WriteOnly))
            return "skip=no filler\n";
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();
        fill(list, 200);
        out += "full-save=" + std::to_string(Save_List_File(list, listPath, dialogs)) + "\n";
        out += "message-right=" + std::to_string(dialogs.lastText() == couldNotBeSaved(listPath)) +
               "\n";
        out += "list-whole=" + std::to_string(readAll(listPath) == savedList) + "\n";
        SettingsValues changed;
        changed.currentDirectory = QString(3000, QLatin1Char('d'));
        QString error;
        out += "full-settings=" + std::to_string(writeSettings(iniPath, changed, &error)) + "\n";
        out += "settings-error=" + error.toStdString() + "\n";
        out += "settings-whole=" + std::to_string(readAll(iniPath) == savedIni) + "\n";
        out += "files=" + folderNames(dir).join(QLatin1Char(',')).toStdString() + "\n";
        ::umount(QFile::encodeName(mountPoint).constData());
        return out;
    });
    if (report.values.count("skip"))
        GTEST_SKIP() << report.value("skip") << " (the file size limit tests above cover it)";
    ASSERT_TRUE(report.exitedNormally) << report.text;
    EXPECT_EQ(report.value("first-save"), "0");
    EXPECT_EQ(report.value("first-settings"), "1");
    EXPECT_EQ(report.value("full-save"), "-1");
    EXPECT_EQ(report.value("message-right"), "1");
    EXPECT_EQ(report.value("list-whole"), "1");
    EXPECT_EQ(report.value("full-settings"), "0");
    EXPECT_EQ(report.value("settings-error"), std::strerror(ENOSPC));
    EXPECT_EQ(report.value("settings-whole"), "1");
    EXPECT_EQ(report.value("files"), "Junkloupe.ini,Junkloupe.ini_int,filler");
}

} // namespace
} // namespace jl::test
