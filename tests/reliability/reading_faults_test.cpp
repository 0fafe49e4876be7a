// Faults while message files and directories are read: a file deleted,
// truncated, replaced or grown while it is read (made to happen through the
// reader's event pump, which runs before the file is opened and then after
// every 10,001 bytes); directories that cannot be read; files without read
// permission. Nothing crashes, nothing blocks, no descriptor stays open, and
// what the view shows is what a clean read of the bytes that could be read
// shows.

#include "fault_support.h"
#include "support/window_fixture.h"
#include "util/qstring_printer.h"

#include "filelist/file_enumeration.h"
#include "util/file_helpers.h"
#include "view/message_reader.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <functional>

#include <sys/stat.h>
#include <unistd.h>

namespace jl::test {
namespace {

QByteArray messageBytes(int lines) {
    QByteArray bytes;
    for (int i = 0; i < lines; ++i)
        bytes += QStringLiteral("Received: line %1 from host-%2.example.com\r\n")
                     .arg(i, 5, 10, QChar('0'))
                     .arg(i * 7 % 1000)
                     .toLatin1();
    return bytes;
}

struct Read {
    LoadResult result;
    std::string text;
    int pumps = 0;
};

Read readFile(const QString& path, const std::function<void(int pump)>& onPump = {}) {
    Read read;
    ViewTextBuilder view;
    ReaderHooks hooks;
    hooks.filter = [] { return int(AllText); };
    hooks.pumpEvents = [&] {
        ++read.pumps;
        if (onPump)
            onPump(read.pumps);
    };
    read.result = Load_File_Into_View(path, view, hooks);
    read.text = view.text();
    return read;
}

// What a clean read of these bytes shows.
std::string cleanView(const QByteArray& bytes) {
    TempFolder folder;
    return readFile(folder.write(QStringLiteral("clean.eml"), bytes)).text;
}

TEST(ReadingFaults, FileChangedWhileItIsRead) {
    const QByteArray original = messageBytes(2000); // about 100 KB: three chunks
    ASSERT_GT(original.size(), 90000);
    const QByteArray appended = messageBytes(50).replace("Received", "Appended");

    struct Row {
        const char* what;
        int pump; // 1: before the file is opened; 2: after the first 10,001 bytes
        std::function<void(const QString& path, TempFolder& folder)> fault;
        LoadStatus status;
        QString error;
        QByteArray readable; // the bytes a clean read would show instead
    };
    const LoadStatus cannotRead = LoadStatus::CannotRead;
    QByteArray overwritten = original;
    overwritten.replace(40000, 20000, QByteArray(20000, 'Z'));
    const Row rows[] = {
        {"deleted before it is opened",
         1,
         [](const QString& p, TempFolder&) { QFile::remove(p); },
         cannotRead,
         QString::fromLocal8Bit(std::strerror(ENOENT)),
         {}},
        {"replaced by a named pipe before it is opened",
         1,
         [](const QString& p, TempFolder&) {
             QFile::remove(p);
             ::mkfifo(QFile::encodeName(p).constData(), 0644);
         },
         cannotRead,
         QStringLiteral("Not a regular file (a named pipe)"),
         {}},
        {"replaced by a directory before it is opened",
         1,
         [](const QString& p, TempFolder&) {
             QFile::remove(p);
             QDir().mkdir(p);
         },
         cannotRead,
         QString::fromLocal8Bit(std::strerror(EISDIR)),
         {}},
        {"deleted while it is read", 2, [](const QString& p, TempFolder&) { QFile::remove(p); },
         LoadStatus::Read, QString(), original},
        {"truncated to nothing while it is read", 2,
         [](const QString& p, TempFolder&) { QFile::resize(p, 0); }, LoadStatus::Read, QString(),
         original.left(32768)}, // the first chunk was read already
        {"truncated to half while it is read", 2,
         [&](const QString& p, TempFolder&) { QFile::resize(p, original.size() / 2); },
         LoadStatus::Read, QString(), original.left(original.size() / 2)},
        {"replaced by another file while it is read", 2,
         [](const QString& p, TempFolder& folder) {
             const QString other = folder.write(QStringLiteral("other.eml"), "Received: other\r\n");
             ::rename(QFile::encodeName(other).constData(), QFile::encodeName(p).constData());
         },
         LoadStatus::Read, QString(), original},
        {"grown while it is read", 2,
         [&](const QString& p, TempFolder&) {
             QFile f(p);
             if (f.open(QIODevice::Append))
                 f.write(appended);
         },
         LoadStatus::Read, QString(), original + appended},
        {"overwritten in place while it is read", 2,
         [&](const QString& p, TempFolder&) {
             QFile f(p);
             if (f.open(QIODevice::ReadWrite) && f.seek(40000))
                 f.write(QByteArray(20000, 'Z'));
         },
         LoadStatus::Read, QString(), overwritten},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempFolder folder;
        const QString path = folder.write(QStringLiteral("message.eml"), original);
        const int descriptors = openDescriptorCount();
        const Read read = readFile(path, [&](int pump) {
            if (pump == row.pump)
                row.fault(path, folder);
        });
        EXPECT_EQ(read.result.status, row.status);
        EXPECT_EQ(read.result.error, row.error);
        EXPECT_GE(read.pumps, row.pump);
        EXPECT_EQ(openDescriptorCount(), descriptors);
        if (row.status == LoadStatus::Read)
            EXPECT_EQ(read.text, cleanView(row.readable));
        else
            EXPECT_EQ(read.text, "");
    }
}

class ReadingFaultsWindowTest : public WindowTest {};

TEST_F(ReadingFaultsWindowTest, FileGoneBeforeOrAsItIsProcessed) {
    open();
    const QString path = messages.write(QStringLiteral("gone.eml"), messageBytes(10));
    files().insert(path);
    files().insert(messages.write(QStringLiteral("other.eml"), messageBytes(3)));
    Select_List_Index(files(), 0);

    // Deleted before processing: the view says so, no message box.
    QFile::remove(path);
    dialogs.clear();
    form->Process_The_Selected_File_BitBtnClick();
    EXPECT_EQ(viewText(), QStringLiteral(" *** Error: File does NOT exist !!"));
    EXPECT_EQ(dialogs.count(), 0u);

    // Deleted while processing starts (the first pump of events runs before
    // the file is opened): the failure is reported and the window is usable.
    messages.write(QStringLiteral("gone.eml"), messageBytes(10));
    QTimer::singleShot(0, [&] { QFile::remove(path); });
    form->Process_The_Selected_File_BitBtnClick();
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Error);
    EXPECT_EQ(dialogs.lastText(), QStringLiteral("Error: The file \"%1\" could not be read: %2")
                                      .arg(path, QString::fromLocal8Bit(std::strerror(ENOENT))));
    EXPECT_FALSE(form->isBusy());
    EXPECT_TRUE(button("Next_File_BitBtn")->isEnabled());
    EXPECT_FALSE(control<QGroupBox>("File_Processing_Progress_GroupBox")->isVisible());
    EXPECT_EQ(viewText(), QString());

    // Navigation goes on to the next file.
    dialogs.clear();
    form->Next_File_BitBtnClick();
    EXPECT_EQ(current(), 1);
    EXPECT_TRUE(viewText().contains(QStringLiteral("Received: line 00002")));
    EXPECT_EQ(dialogs.count(), 0u);
}

TEST(ReadingFaults, DirectoriesThatCannotBeRead) {
    TempFolder folder;
    const QString regular = folder.write(QStringLiteral("plain"), "x");
    SortedList list(SortedList::Selection::Single);
    list.insert(QStringLiteral("/kept/entry.eml"));

    // A path through a regular file ("Not a directory", also for root), a
    // missing directory, and a pattern in one.
    for (const QString& path :
         {regular + QStringLiteral("/sub/"), regular + QStringLiteral("/"),
          folder.path() + QStringLiteral("missing/"), regular + QStringLiteral("/*.eml")}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(Add_Files_From_Directory(list, path, fileListOptions()), 0);
        EXPECT_EQ(list.entries(), QStringList{"/kept/entry.eml"});
    }

    // A directory removed while it is enumerated: what was listed before it
    // went may come in, nothing else, and reading those names fails cleanly.
    const QString dir = folder.mkdir(QStringLiteral("vanishing"));
    for (int i = 0; i < 300; ++i)
        folder.write(QStringLiteral("vanishing/m%1.eml").arg(i, 3, 10, QChar('0')),
                     "Received: x\r\n");
    AddFilesOptions options = fileListOptions();
    bool removed = false;
    options.progress = [&](const QString&) {
        if (!removed)
            removed = QDir(dir).removeRecursively();
    };
    const int descriptors = openDescriptorCount();
    const int added = Add_Files_From_Directory(list, dir, options);
    EXPECT_TRUE(removed);
    EXPECT_LE(added, 300);
    EXPECT_EQ(openDescriptorCount(), descriptors);
    for (const QString& entry : list.entries()) {
        if (entry == QStringLiteral("/kept/entry.eml"))
            continue;
        EXPECT_TRUE(entry.startsWith(QDir::cleanPath(dir) + QLatin1Char('/')))
            << entry.toStdString();
        EXPECT_EQ(readFile(entry).result.status, LoadStatus::CannotRead);
    }
}

TEST(ReadingFaults, NoReadPermission) {
    if (runningAsRoot())
        GTEST_SKIP() << "running as root: permissions do not stop root from reading";
    TempFolder folder;
    const QString file = folder.write(QStringLiteral("locked.eml"), messageBytes(5));
    ::chmod(QFile::encodeName(file).constData(), 0);
    const Read read = readFile(file);
    EXPECT_EQ(read.result.status, LoadStatus::CannotRead);
    EXPECT_EQ(read.result.error, QString::fromLocal8Bit(std::strerror(EACCES)));

    const QString dir = folder.mkdir(QStringLiteral("locked-dir"));
    folder.write(QStringLiteral("locked-dir/a.eml"), "x");
    ::chmod(QFile::encodeName(dir).constData(), 0);
    SortedList list(SortedList::Selection::Single);
    EXPECT_EQ(Add_Files_From_Directory(list, dir + QLatin1Char('/'), fileListOptions()), 0);
    ::chmod(QFile::encodeName(dir).constData(), 0755);
}

} // namespace
} // namespace jl::test
