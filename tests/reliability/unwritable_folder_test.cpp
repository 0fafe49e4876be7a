// A program folder that cannot be written: the close is refused with "Unable
// to write to <settings file>" and everything stays in the window; once the
// folder can be written again the close saves it all. The faults hold for
// root too: the settings path taken by a directory, a program folder that is
// a regular file, a read-only bind mount (where mounting is allowed) and,
// for other users, a folder without write permission.

#include "fault_support.h"
#include "support/window_fixture.h"
#include "util/qstring_printer.h"

#include "app/settings.h"
#include "util/list_file.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>

#include <cerrno>
#include <cstring>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

namespace jl::test {
namespace {

class UnwritableFolderTest : public WindowTest {
protected:
    // Fills the window with state worth keeping.
    void makeState() {
        QStringList names;
        for (int i = 0; i < 12; ++i)
            names << messages.write(QStringLiteral("m%1.eml").arg(i, 2, 10, QChar('0')),
                                    "Received: from a\r\nSubject: s\r\nMessage-ID: <x>\r\n");
        files().insertMany(names);
        Select_List_Index(files(), 4);
        form->Process_The_Selected_File_BitBtnClick();
        items().insert(QStringLiteral("spam-token"));
        items().insert(QStringLiteral("other@example.com"));
        control<QLineEdit>("Current_Directory_Edit")->setText(messages.path());
        group("File_Contents_Filter_RadioGroup")->setItemIndex(2);
        dialogs.clear();
    }
    void expectStateKept() {
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(files().count(), 12);
        EXPECT_EQ(current(), 4);
        EXPECT_EQ(items().count(), 2);
        EXPECT_EQ(control<QLineEdit>("Current_Directory_Edit")->text(), messages.path());
        EXPECT_EQ(group("File_Contents_Filter_RadioGroup")->itemIndex(), 2);
        EXPECT_TRUE(viewText().contains(QStringLiteral("Subject: s")));
    }
    // Closes while the fault lasts, then once it is repaired.
    void closeRefusedThenSaved(const QString& settingsPath, const std::function<void()>& repair) {
        EXPECT_FALSE(form->close());
        ASSERT_EQ(dialogs.count(), 1u) << qPrintable(dialogs.texts().join(" | "));
        EXPECT_EQ(dialogs.lastType(), Shown::Type::Error);
        EXPECT_EQ(dialogs.lastText(), QStringLiteral("Unable to write to ") + settingsPath);
        expectStateKept();

        repair();
        dialogs.clear();
        EXPECT_TRUE(form->close());
        EXPECT_EQ(dialogs.count(), 0u) << qPrintable(dialogs.texts().join(" | "));
        const QString dir = QFileInfo(settingsPath).path() + QLatin1Char('/');
        EXPECT_EQ(readSettings(settingsPath).selectedFileNum, 4);
        EXPECT_EQ(readSettings(settingsPath).viewFilter, 2);
        QFile list(dir + QStringLiteral("Junkloupe.ini_int"));
        ASSERT_TRUE(list.open(QIODevice::ReadOnly));
        EXPECT_EQ(decodeListFile(list.readAll()), (QStringList{"other@example.com", "spam-token"}));
    }
};

TEST_F(UnwritableFolderTest, SettingsPathTakenByADirectory) {
    const QString settings = program.mkdir(QStringLiteral("Junkloupe.ini"));
    open();
    makeState();
    closeRefusedThenSaved(program.file(QStringLiteral("Junkloupe.ini")),
                          [&] { QDir(settings).removeRecursively(); });
}

TEST_F(UnwritableFolderTest, ProgramFolderIsARegularFile) {
    // Every path inside it fails with "Not a directory", for root too.
    program.write(QStringLiteral("folder"), "not a folder");
    const QString folder = program.file(QStringLiteral("folder")) + QLatin1Char('/');
    open(folder);
    EXPECT_EQ(dialogs.count(), 0u) << qPrintable(dialogs.texts().join(" | "));
    makeState();
    closeRefusedThenSaved(folder + QStringLiteral("Junkloupe.ini"), [&] {
        QFile::remove(program.file(QStringLiteral("folder")));
        QDir().mkpath(folder);
    });
}

TEST_F(UnwritableFolderTest, FolderWithoutWritePermission) {
    if (runningAsRoot())
        GTEST_SKIP() << "running as root: permissions do not stop root (the other faults here do)";
    const QString folder =
        QDir::cleanPath(program.mkdir(QStringLiteral("locked"))) + QLatin1Char('/');
    ::chmod(QFile::encodeName(folder).constData(), 0555);
    open(folder);
    makeState();
    closeRefusedThenSaved(folder + QStringLiteral("Junkloupe.ini"),
                          [&] { ::chmod(QFile::encodeName(folder).constData(), 0755); });
}

TEST_F(UnwritableFolderTest, ReadOnlyMount) {
    // A read-only bind mount of the program folder in a mount namespace of
    // this test process, so that nothing outside it sees the mount.
    const QString folder =
        QDir::cleanPath(program.mkdir(QStringLiteral("mounted"))) + QLatin1Char('/');
    const QByteArray native = QFile::encodeName(folder);
    if (::unshare(CLONE_NEWNS) != 0)
        GTEST_SKIP() << "no mount namespace: " << std::strerror(errno);
    if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount(native.constData(), native.constData(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "cannot bind-mount: " << std::strerror(errno);
    if (::mount(nullptr, native.constData(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) !=
        0) {
        ::umount(native.constData());
        GTEST_SKIP() << "cannot remount read-only: " << std::strerror(errno);
    }
    open(folder);
    makeState();
    closeRefusedThenSaved(folder + QStringLiteral("Junkloupe.ini"),
                          [&] { ::umount(native.constData()); });
}

// The start-up read of a settings file that cannot be read yields the
// defaults without a message; the window still comes up.
TEST_F(UnwritableFolderTest, UnreadableSettingsGiveTheDefaults) {
    program.mkdir(QStringLiteral("Junkloupe.ini"));
    open();
    EXPECT_EQ(dialogs.count(), 0u) << qPrintable(dialogs.texts().join(" | "));
    EXPECT_EQ(group("File_Contents_Filter_RadioGroup")->itemIndex(), 1);
    EXPECT_EQ(group("Expand_Selection_RadioGroup")->itemIndex(), 2);
    EXPECT_EQ(group("File_Contents_Colour_Coding_RadioGroup")->itemIndex(), 3);
}

} // namespace
} // namespace jl::test
