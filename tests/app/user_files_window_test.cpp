// A copy whose user files live in the configuration folder (an installed
// copy): the folder is made by the first write, every file goes there and
// comes back from there, and nothing is written beside the program.

#include "support/window_fixture.h"
#include "util/qstring_printer.h"

#include "util/program_folder.h"

#include <QDir>
#include <QLineEdit>

#include <sys/stat.h>

namespace jl::test {
namespace {

class UserFilesWindowTest : public WindowTest {
protected:
    TempFolder home;
    QString config = home.path() + QStringLiteral(".config/junkloupe/");

    TMainForm1& start() {
        form.reset();
        form = std::make_unique<TMainForm1>(
            ProgramFolder(program.path(), QStringLiteral("junkloupe"), config), dialogs, clipboard,
            desktop);
        form->show();
        QApplication::processEvents();
        return *form;
    }
    QStringList programFolderFiles() const {
        return QDir(program.path()).entryList({QStringLiteral("Junkloupe*")}, QDir::Files);
    }
};

TEST_F(UserFilesWindowTest, FilesGoToTheConfigFolderMadeAtTheFirstWrite) {
    const QString a = message("a.eml", "Received: from a\r\nMessage-ID: <1>\r\n");
    const QString b = message("b.eml", "Received: from b\r\nMessage-ID: <2>\r\n");
    start();
    EXPECT_FALSE(QFileInfo::exists(config)) << "nothing is written before the first change";
    EXPECT_EQ(form->programFolder().settingsFile(), config + "Junkloupe.ini");

    // The first write is the auto-save of the items list; it makes the folder
    // with the umask's permissions.
    const mode_t previous = ::umask(022);
    showText(QStringLiteral("relay.example.test"), 0, 18);
    form->Interesting_Items_Add_Selected_Text_BitBtnClick();
    ::umask(previous);
    EXPECT_EQ(dialogs.count(), 0u) << qPrintable(dialogs.texts().join(" | "));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(config).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    EXPECT_TRUE(QFileInfo::exists(config + "Junkloupe.ini_int"));

    files().insertMany({a, b});
    Select_List_Index(files(), 1);
    ASSERT_TRUE(form->close());
    EXPECT_EQ(dialogs.count(), 0u) << qPrintable(dialogs.texts().join(" | "));
    EXPECT_EQ(QDir(config).entryList(QDir::Files),
              (QStringList{"Junkloupe.ini", "Junkloupe.ini_file", "Junkloupe.ini_int"}));
    EXPECT_TRUE(programFolderFiles().isEmpty()) << programFolderFiles().join(", ").toStdString();

    // Everything comes back from there.
    start();
    EXPECT_EQ(files().entries(), (QStringList{a, b}));
    EXPECT_EQ(current(), 1);
    EXPECT_EQ(items().entries(), QStringList{"relay.example.test"});
    EXPECT_TRUE(viewText().contains("Received: from b"));
    EXPECT_TRUE(form->close());
    EXPECT_TRUE(programFolderFiles().isEmpty());
}

// A configuration folder that cannot be made is a file that cannot be
// written where it must be: the close is refused and says which.
TEST_F(UserFilesWindowTest, ConfigFolderThatCannotBeMadeRefusesTheClose) {
    home.write(QStringLiteral(".config"), "a file in the way");
    start();
    EXPECT_FALSE(form->close());
    EXPECT_EQ(dialogs.lastText(), "Unable to write to " + config + "Junkloupe.ini");
    QFile::remove(home.file(QStringLiteral(".config")));
    dialogs.clear();
    EXPECT_TRUE(form->close());
    EXPECT_EQ(dialogs.count(), 0u);
    EXPECT_TRUE(QFileInfo::exists(config + "Junkloupe.ini"));
}

// The directory chooser of an installed copy starts in the home folder, not
// in the folder of the program.
TEST_F(UserFilesWindowTest, ChooserStartsAtHome) {
    start();
    dialogs.chooseNext(QString());
    form->Add_All_Files_In_A_Directory_BitBtnClick();
    EXPECT_EQ(QDir::cleanPath(dialogs.lastStartDirectory()), QDir::cleanPath(QDir::homePath()));

    form.reset();
    open();
    dialogs.chooseNext(QString());
    form->Add_All_Files_In_A_Directory_BitBtnClick();
    EXPECT_EQ(QDir::cleanPath(dialogs.lastStartDirectory()), QDir::cleanPath(program.path()));
}

} // namespace
} // namespace jl::test
