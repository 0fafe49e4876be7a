// Where the user's files are kept: beside the executable when its folder can
// take them, otherwise in the user's configuration folder. The cases are set
// up on the real file system with permission bits; under the superuser the
// decision runs with the real user id of "nobody", so that access(2) judges
// it as an ordinary user's (the effective id stays, to undo it afterwards).

#include "support/temp_folder.h"
#include "util/qstring_printer.h"

#include "util/program_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace jl::test {
namespace {

// Real user and group "nobody" for the lifetime of the object, when running
// as the superuser; nothing otherwise.
class AsOrdinaryUser {
public:
    AsOrdinaryUser() {
        if (::geteuid() != 0)
            return;
        m_groups.resize(static_cast<size_t>(::getgroups(0, nullptr)));
        ::getgroups(static_cast<int>(m_groups.size()), m_groups.data());
        m_active = ::setgroups(0, nullptr) == 0 && ::setresgid(65534, -1, -1) == 0 &&
                   ::setresuid(65534, -1, -1) == 0;
    }
    ~AsOrdinaryUser() {
        if (::geteuid() != 0)
            return;
        [[maybe_unused]] const int u = ::setresuid(0, -1, -1);
        [[maybe_unused]] const int g = ::setresgid(0, -1, -1);
        [[maybe_unused]] const int s = ::setgroups(m_groups.size(), m_groups.data());
    }
    bool ok() const { return ::geteuid() != 0 || m_active; }

private:
    std::vector<gid_t> m_groups;
    bool m_active = false;
};

void setMode(const QString& path, mode_t mode) {
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0) << path.toStdString();
}

enum class Held {
    None,
    Writable,   // a regular file anyone may write
    Unwritable, // a regular file no one but the superuser may write
    Link,       // a link to a writable file in a writable folder
};

struct Case {
    const char* name;
    mode_t folderMode;
    Held settings, fileList, itemsList;
    bool beside;
    bool installed = false; // the folder is an installation's
};

const Case kCases[] = {
    {"WritableFolder", 0777, Held::None, Held::None, Held::None, true},
    // The owner's read-only files stay where they are; the close reports them.
    {"WritableFolderWithUnwritableFiles", 0777, Held::Unwritable, Held::Unwritable,
     Held::Unwritable, true},
    {"ReadOnlyFolder", 0555, Held::None, Held::None, Held::None, false},
    {"ReadOnlyFolderHoldingTheFiles", 0555, Held::Link, Held::Link, Held::Link, true},
    {"ReadOnlyFolderWithTheFilesUnwritable", 0555, Held::Unwritable, Held::Unwritable,
     Held::Unwritable, false},
    // A new copy cannot be made beside a regular file in a read-only folder.
    {"ReadOnlyFolderWithWritableRegularFiles", 0555, Held::Writable, Held::Writable, Held::Writable,
     false},
    {"ReadOnlyFolderHoldingSomeOfTheFiles", 0555, Held::Link, Held::None, Held::Link, false},
    {"ReadOnlyFolderWithOneFileUnwritable", 0555, Held::Link, Held::Unwritable, Held::Link, false},
    // An installation keeps no user's files, whatever its folder allows.
    {"InstalledWritableFolder", 0777, Held::None, Held::None, Held::None, false, true},
    {"InstalledFolderHoldingTheFiles", 0555, Held::Link, Held::Link, Held::Link, false, true},
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class UserFilesFolderTest : public testing::TestWithParam<Case> {};

TEST_P(UserFilesFolderTest, ChoosesTheFolder) {
    const Case& c = GetParam();
    TempFolder root;
    setMode(root.path(), 0755);
    const QString program = root.mkdir(QStringLiteral("program"));
    const QString elsewhere = root.mkdir(QStringLiteral("elsewhere"));
    setMode(elsewhere, 0777);
    const QString config = root.path() + QStringLiteral("home/.config/junkloupe/");

    const std::pair<QString, Held> files[] = {{kSettingsFileName, c.settings},
                                              {kFileListFileName, c.fileList},
                                              {kItemsListFileName, c.itemsList}};
    for (const auto& [name, held] : files) {
        const QString path = program + name;
        if (held == Held::Writable || held == Held::Unwritable) {
            root.write(QStringLiteral("program/") + name, "x\r\n");
            setMode(path, held == Held::Writable ? 0666 : 0444);
        } else if (held == Held::Link) {
            const QString target = root.write(QStringLiteral("elsewhere/") + name, "x\r\n");
            setMode(target, 0666);
            ASSERT_TRUE(QFile::link(target, path));
        }
    }
    setMode(program, c.folderMode);

    QString chosen;
    {
        AsOrdinaryUser user;
        ASSERT_TRUE(user.ok());
        chosen = chooseUserFilesFolder(program, config, c.installed);
    }
    setMode(program, 0755);
    EXPECT_EQ(chosen, c.beside ? program : config);
    EXPECT_FALSE(QFileInfo::exists(config)) << "the decision created the folder";
}

INSTANTIATE_TEST_SUITE_P(Cases, UserFilesFolderTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.name);
                         });

TEST(UserFilesFolder, ConfigFolderHoldingFilesDoesNotDecide) {
    TempFolder root;
    root.write(QStringLiteral("config/junkloupe/Junkloupe.ini"), "[Junkloupe]\r\n");
    EXPECT_EQ(chooseUserFilesFolder(root.path() + QStringLiteral("program//"),
                                    root.path() + QStringLiteral("config/junkloupe"), false),
              root.path() + QStringLiteral("config/junkloupe/"))
        << "a missing program folder takes no files";
    root.mkdir(QStringLiteral("program"));
    EXPECT_EQ(chooseUserFilesFolder(root.path() + QStringLiteral("program//"),
                                    root.path() + QStringLiteral("config/junkloupe"), false),
              root.path() + QStringLiteral("program/"));
}

// An installation's record names the folder it put the program in; only
// that folder, by whatever path it is reached, is an installed copy's.
TEST(UserFilesFolder, InstalledCopyIsTheOneItsRecordNames) {
    const struct {
        const char* name;
        const char* record;  // the record's text; "@" stands for the prefix; nullptr: none
        const char* program; // the folder asked about, below the temporary root
        bool installed;
    } cases[] = {
        {"RecordNamesTheFolder", "@/bin\n", "prefix/bin", true},
        {"ReachedThroughALink", "@/bin", "link-to-prefix/bin/", true},
        {"RecordThroughALink", "@/../link-to-prefix/bin", "prefix/bin", true},
        {"NoRecord", nullptr, "prefix/bin", false},
        {"RecordNamesAnotherFolder", "/usr/bin\n", "prefix/bin", false},
        {"CopiedTreeKeepsTheOldRecord", "@/bin\n", "copy/bin", false},
        {"RelativeRecord", "prefix/bin\n", "prefix/bin", false},
        {"EmptyRecord", "", "prefix/bin", false},
    };
    for (const auto& c : cases) {
        TempFolder root;
        const QString prefix = root.mkdir(QStringLiteral("prefix"));
        root.mkdir(QStringLiteral("prefix/bin"));
        root.mkdir(QStringLiteral("copy/bin"));
        ASSERT_TRUE(QFile::link(prefix, root.file(QStringLiteral("link-to-prefix"))));
        if (c.record) {
            const QByteArray text =
                QByteArray(c.record).replace('@', QFile::encodeName(root.path() + "prefix"));
            for (const char* tree : {"prefix", "copy"})
                root.write(QString::fromUtf8(tree) + "/share/" + kInstallRecordPath, text);
        }
        EXPECT_EQ(isInstalledProgramFolder(root.file(QString::fromUtf8(c.program))), c.installed)
            << c.name;
    }
}

enum class Beside { None, Readable, Pipe, OthersFile };

// At start, files beside the program that are not used come along into the
// configuration folder once, and the user is told where they are kept.
TEST(UserFilesFolder, FilesBesideTheProgramAreTakenOverOnce) {
    const struct {
        const char* name;
        bool installed;
        Beside settings, fileList, itemsList;
        bool configInUse; // the configuration folder holds a file already
        QStringList copied;
        const char* said; // a piece of the notice, or nullptr for none
    } cases[] = {
        {"NothingBeside", false, Beside::None, Beside::None, Beside::None, false, {}, nullptr},
        {"ReadOnlyFolder",
         false,
         Beside::Readable,
         Beside::None,
         Beside::Readable,
         false,
         {kSettingsFileName, kItemsListFileName},
         "\r\nand not beside the program, where you may not write them:\r\n@program/\r\n"},
        {"ConfigFolderInUse",
         false,
         Beside::Readable,
         Beside::Readable,
         Beside::Readable,
         true,
         {},
         nullptr},
        {"Unreadable",
         false,
         Beside::Pipe,
         Beside::Readable,
         Beside::None,
         false,
         {kFileListFileName},
         "These could not be taken over and start afresh: Junkloupe.ini (not a regular file)."},
        {"InstalledCopyTakesItsUsersOwn",
         true,
         Beside::Readable,
         Beside::Readable,
         Beside::Readable,
         false,
         {kSettingsFileName, kFileListFileName, kItemsListFileName},
         "\r\nand not beside the program, in the folder of an installation:\r\n@program/\r\n"},
        {"InstalledCopyLeavesOthersFiles",
         true,
         Beside::OthersFile,
         Beside::OthersFile,
         Beside::None,
         false,
         {},
         nullptr},
    };
    for (const auto& c : cases) {
        if ((c.settings == Beside::OthersFile) && ::geteuid() != 0)
            continue; // only the superuser makes files of another user
        TempFolder root;
        const QString program = root.mkdir(QStringLiteral("program"));
        const QString config = root.path() + QStringLiteral("home/.config/junkloupe/");
        const std::pair<QString, Beside> files[] = {{kSettingsFileName, c.settings},
                                                    {kFileListFileName, c.fileList},
                                                    {kItemsListFileName, c.itemsList}};
        for (const auto& [name, beside] : files) {
            const QByteArray path = QFile::encodeName(program + name);
            if (beside == Beside::Pipe) {
                ASSERT_EQ(::mkfifo(path.constData(), 0644), 0);
            } else if (beside != Beside::None) {
                root.write("program/" + name, name.toUtf8() + "\r\n");
            }
            if (beside == Beside::OthersFile) {
                ASSERT_EQ(::chown(path.constData(), 65534, 65534), 0);
            }
        }
        if (c.configInUse)
            root.write(QStringLiteral("home/.config/junkloupe/") + kItemsListFileName, "mine\r\n");
        const ProgramFolder folder(program, QStringLiteral("junkloupe"), config, c.installed);

        const QString notice = takeOverFilesBesideProgram(folder);
        QString said = QString::fromUtf8(c.said ? c.said : "");
        said.replace(QLatin1Char('@'), root.path());
        if (c.said) {
            EXPECT_TRUE(
                notice.startsWith("Junkloupe keeps your settings and lists in\r\n" + config))
                << c.name << ": " << notice.toStdString();
            EXPECT_TRUE(notice.contains(said)) << c.name << ": " << notice.toStdString();
        } else {
            EXPECT_EQ(notice, QString()) << c.name;
        }
        for (const auto& [name, beside] : files) {
            const bool copied = c.copied.contains(name);
            EXPECT_EQ(QFileInfo::exists(config + name),
                      copied || (c.configInUse && name == kItemsListFileName))
                << c.name << " " << name.toStdString();
            if (copied) {
                EXPECT_EQ(root.read("home/.config/junkloupe/" + name), name.toUtf8() + "\r\n");
            }
        }
        if (!c.copied.isEmpty()) {
            EXPECT_TRUE(
                notice.contains("copies of the files found there: " + c.copied.join(", ") + ". "))
                << c.name;
            EXPECT_EQ(takeOverFilesBesideProgram(folder), QString()) << c.name << ": said twice";
        }
    }
    // Files kept beside the program are the program's own: nothing to take.
    TempFolder root;
    root.write(kSettingsFileName, "[Junkloupe]\r\n");
    EXPECT_TRUE(takeOverFilesBesideProgram(ProgramFolder(root.path(), "junkloupe")).isEmpty());
}

TEST(UserFilesFolder, ConfigFolderFollowsTheEnvironment) {
    const struct {
        const char* xdg;
        const char* home;
        const char* folder;
    } cases[] = {
        {"/x/conf", "/home/u", "/x/conf/junkloupe/"},
        {"/x/conf///", "/home/u", "/x/conf/junkloupe/"},
        {"", "/home/u", "/home/u/.config/junkloupe/"},
        {"relative/conf", "/home/u/", "/home/u/.config/junkloupe/"},
        {"", "/", "/.config/junkloupe/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(userConfigFolder(QString::fromUtf8(c.xdg), QString::fromUtf8(c.home)),
                  QString::fromUtf8(c.folder))
            << c.xdg << " | " << c.home;
    }
}

TEST(UserFilesFolder, PreparedWithTheUsersUmask) {
    TempFolder root;
    const ProgramFolder folder(root.path() + QStringLiteral("bin"), QStringLiteral("junkloupe"),
                               root.path() + QStringLiteral("conf/junkloupe"));
    EXPECT_EQ(folder.settingsFile(), root.path() + QStringLiteral("conf/junkloupe/Junkloupe.ini"));
    EXPECT_EQ(folder.itemsListFile(),
              root.path() + QStringLiteral("conf/junkloupe/Junkloupe.ini_int"));
    EXPECT_FALSE(folder.userFilesBesideProgram());

    const mode_t previous = ::umask(027);
    const bool made = folder.prepareUserFilesFolder();
    ::umask(previous);
    ASSERT_TRUE(made);
    for (const char* made : {"conf", "conf/junkloupe"}) {
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(root.file(QString::fromUtf8(made))).constData(), &st),
                  0);
        EXPECT_EQ(st.st_mode & 07777, 0750u) << made;
    }
    EXPECT_TRUE(folder.prepareUserFilesFolder()) << "an existing folder is fine";

    root.write(QStringLiteral("file"), "not a folder");
    EXPECT_FALSE(ProgramFolder(root.path(), QStringLiteral("junkloupe"),
                               root.path() + QStringLiteral("file/junkloupe"))
                     .prepareUserFilesFolder());
}

} // namespace
} // namespace jl::test
