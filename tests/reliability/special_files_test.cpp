// Named pipes, sockets and device nodes, in a listed directory and in the
// list: never read and never waited on. A listed directory gives only its
// regular files; such a file in the list is refused with the reason when it
// is processed, also in the middle of a scan; the tool's own files are never
// opened when they are not regular files. Every check runs under a deadline,
// so that a read that blocks fails the test instead of hanging it.

#include "fault_support.h"
#include "support/window_fixture.h"
#include "util/qstring_printer.h"

#include "app/settings.h"
#include "filelist/file_enumeration.h"
#include "filelist/left_out_files.h"
#include "items/scan_ahead.h"
#include "util/failure.h"
#include "util/file_helpers.h"
#include "util/list_file.h"
#include "util/list_ops.h"
#include "view/message_reader.h"

#include <QFile>
#include <QPushButton>

#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace jl::test {
namespace {

// Ends the whole test program (SIGALRM) if the scope is not left in time.
class Deadline {
public:
    explicit Deadline(unsigned seconds) { ::alarm(seconds); }
    ~Deadline() { ::alarm(0); }
};

bool makeSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    if (size_t(native.size()) >= sizeof address.sun_path) {
        ::close(fd);
        return false;
    }
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

struct Special {
    QString name;
    QString reason; // what the reader says
};

// Makes the special files in folder (the device node only where allowed) and
// returns them in name order.
std::vector<Special> makeSpecials(TempFolder& folder) {
    std::vector<Special> made;
    const QByteArray dir = QFile::encodeName(folder.path());
    if (::mkfifo(dir + "b-pipe", 0644) == 0)
        made.push_back(
            {QStringLiteral("b-pipe"), QStringLiteral("Not a regular file (a named pipe)")});
    if (makeSocket(folder.file(QStringLiteral("c-socket"))))
        made.push_back(
            {QStringLiteral("c-socket"), QStringLiteral("Not a regular file (a socket)")});
    if (::symlink("/dev/zero", dir + "d-zero") == 0)
        made.push_back({QStringLiteral("d-zero"), QStringLiteral("Not a regular file (a device)")});
    // The numbers of /dev/null; needs the right to make device nodes.
    if (::mknod(dir + "e-device", S_IFCHR | 0666, makedev(1, 3)) == 0)
        made.push_back(
            {QStringLiteral("e-device"), QStringLiteral("Not a regular file (a device)")});
    return made;
}

TEST(SpecialFiles, NeverReadInADirectoryOrInTheList) {
    TempFolder folder;
    const QString real = folder.write(QStringLiteral("a-real.eml"), "Received: a\r\n");
    ::symlink("a-real.eml",
              QFile::encodeName(folder.file(QStringLiteral("f-link.eml"))).constData());
    ::symlink(QFile::encodeName(folder.mkdir(QStringLiteral("g-dir"))).constData(),
              QFile::encodeName(folder.file(QStringLiteral("h-dirlink"))).constData());
    ::symlink("missing", QFile::encodeName(folder.file(QStringLiteral("i-dangling"))).constData());
    const std::vector<Special> specials = makeSpecials(folder);
    ASSERT_GE(specials.size(), 3u) << "could not make a pipe, a socket and a device link";
    if (specials.size() < 4)
        std::printf("note: no device node (mknod not allowed here); /dev/zero through a link\n");

    const Deadline deadline(30);
    SortedList list(SortedList::Selection::Single);
    Add_Files_From_Directory(list, folder.path(), fileListOptions());
    EXPECT_EQ(list.entries(), (QStringList{real, folder.file(QStringLiteral("f-link.eml"))}));

    for (const Special& s : specials) {
        SCOPED_TRACE(s.name.toStdString());
        const QString path = folder.file(s.name);
        ViewTextBuilder view;
        const LoadResult result = Load_File_Into_View(path, view);
        EXPECT_EQ(result.status, LoadStatus::CannotRead);
        EXPECT_EQ(result.error, s.reason);
        EXPECT_EQ(view.lineCount(), 0);
        EXPECT_EQ(Get_File_Status(path), QStringLiteral("ERROR"));
        // Dropped on the window, it stays out of the list and is told.
        SortedList dropped(SortedList::Selection::Single);
        AddFilesOptions options = fileListOptions();
        QStringList told;
        options.skippedName = [&told](const QByteArray&, const QString& reason) {
            told.append(reason);
        };
        EXPECT_EQ(dropNamesIntoList(dropped, {path}, options).added, 0);
        EXPECT_EQ(told, QStringList{notRegularFileReason()});
    }
}

TEST(SpecialFiles, OwnFilesThatAreNotRegularFilesAreNeverOpened) {
    TempFolder folder;
    const std::vector<Special> specials = makeSpecials(folder);
    ASSERT_FALSE(specials.empty());
    const Deadline deadline(30);
    for (const Special& s : specials) {
        SCOPED_TRACE(s.name.toStdString());
        const QString path = folder.file(s.name);
        // A list file: reported as a file that cannot be opened.
        EXPECT_EQ(readListFile(path).status, ListFileRead::Unreadable);
        SortedList list(SortedList::Selection::Multiple);
        try {
            Load_List_File(list, path);
            ADD_FAILURE() << "no failure";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.text(), QStringLiteral("Cannot open file ") + path);
        }
        // Saved over: refused, nothing written through it.
        ScriptedDialogs dialogs;
        list.insert(QStringLiteral("entry"));
        EXPECT_EQ(Save_List_File(list, path, dialogs), -1);
        EXPECT_EQ(dialogs.count(), 1u);
        // The settings file: read as missing (the defaults), and not written.
        EXPECT_EQ(readSettings(path), SettingsValues());
        EXPECT_FALSE(writeSettings(path, SettingsValues()));
    }
}

// A batch reader told that a path was just listed as a regular file opens it
// straight away; whatever is there by then (the listing may be out of date)
// must come out as it would without the hint, and no link is followed on the
// way that skips the usual look.
TEST(SpecialFiles, AHintOfARegularFileChangesNoOutcome) {
    TempFolder folder;
    std::vector<Special> cases = makeSpecials(folder);
    ASSERT_GE(cases.size(), 3u);
    folder.write(QStringLiteral("real.eml"), "Received: a\r\nSubject: b\r\n");
    folder.write(QStringLiteral("empty.eml"), "");
    folder.mkdir(QStringLiteral("dir"));
    const QByteArray dir = QFile::encodeName(folder.path());
    ::symlink("real.eml", dir + "link.eml");
    ::symlink("missing", dir + "dangling.eml");
    const QString unreadable = folder.write(QStringLiteral("unreadable.eml"), "Subject: c\r\n");
    ::chmod(QFile::encodeName(unreadable).constData(), 0);
    for (const char* name : {"real.eml", "empty.eml", "dir", "link.eml", "dangling.eml",
                             "missing.eml", "unreadable.eml"})
        cases.push_back({QString::fromLatin1(name), QString()});

    const Deadline deadline(30);
    for (const Special& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const QString path = folder.file(c.name);
        ViewTextBuilder plain;
        const LoadResult without = Load_File_Into_View(path, plain);
        ViewTextBuilder hinted;
        ReaderHooks hooks;
        hooks.listedRegular = true;
        const LoadResult with = Load_File_Into_View(path, hinted, hooks);
        EXPECT_EQ(with.status, without.status);
        EXPECT_EQ(with.error, without.error);
        EXPECT_EQ(hinted.text(), plain.text());
        if (!c.reason.isEmpty()) {
            EXPECT_EQ(with.error, c.reason);
        }
    }
}

class SpecialFilesWindowTest : public WindowTest {};

TEST_F(SpecialFilesWindowTest, ProcessingAndScanningPassThemBy) {
    open();
    const QString dirty =
        messages.write(QStringLiteral("a-real.eml"), "Subject: buy spam-token\r\n");
    const QString clean = messages.write(QStringLiteral("z-clean.eml"), "Subject: hello\r\n");
    const std::vector<Special> specials = makeSpecials(messages);
    ASSERT_GE(specials.size(), 3u);
    QStringList names{dirty, clean};
    for (const Special& s : specials)
        names << messages.file(s.name);
    files().insertMany(names);
    items().insert(QStringLiteral("spam-token"));
    group("File_Contents_Filter_RadioGroup")->setItemIndex(2);
    group("File_Contents_Colour_Coding_RadioGroup")->setItemIndex(3);

    const Deadline deadline(60);
    // Each one processed on its own: refused with its reason.
    for (const Special& s : specials) {
        SCOPED_TRACE(s.name.toStdString());
        const QString path = messages.file(s.name);
        Select_List_Index(files(), Find_List_Item(files(), path));
        dialogs.clear();
        form->Process_The_Selected_File_BitBtnClick();
        ASSERT_EQ(dialogs.count(), 1u);
        EXPECT_EQ(dialogs.lastType(), Shown::Type::Error);
        EXPECT_EQ(
            dialogs.lastText(),
            QStringLiteral("Error: The file \"%1\" could not be read: %2").arg(path, s.reason));
        EXPECT_FALSE(form->isBusy());
        EXPECT_EQ(viewText(), QString());
    }

    // The scan from the first file passes every one of them by and stops on
    // the clean file; one notice at the end counts them.
    Select_List_Index(files(), 0);
    form->Process_The_Selected_File_BitBtnClick();
    dialogs.clear();
    button("BitBtn1")->click();
    EXPECT_EQ(Get_First_Selected_Text(files()), clean);
    EXPECT_EQ(dialogs.texts(), QStringList{unreadableFilesMessage(int(specials.size()))});
    EXPECT_TRUE(viewText().contains(QStringLiteral("hello")));
    EXPECT_FALSE(form->isBusy());
}

} // namespace
} // namespace jl::test
