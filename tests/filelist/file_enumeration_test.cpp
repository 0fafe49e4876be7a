// Directory enumeration and dropped names: what joins the file list.

#include "filelist/file_enumeration.h"
#include "support/temp_folder.h"

#include "../util/qstring_printer.h"

#include <QFile>
#include <QLocale>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

using jl::AddFilesOptions;
using jl::SortedList;
using jl::test::TempFolder;

namespace {

SortedList makeList() {
    return SortedList(SortedList::Selection::Single, QLocale::c());
}

QStringList sortedCopy(QStringList names) {
    names.sort(Qt::CaseInsensitive);
    return names;
}

// Binds a Unix socket at path and leaves it there.
void makeSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(path);
    ASSERT_LT(size_t(encoded.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
}

// A folder holding every kind of entry the enumerator meets.
class MixedFolder : public ::testing::Test {
protected:
    void SetUp() override {
        dir = folder.mkdir(QStringLiteral("mail"));
        folder.write(QStringLiteral("mail/a.eml"), "a\r\n");
        folder.write(QStringLiteral("mail/B.eml"), "b\r\n");
        folder.write(QStringLiteral("mail/.hidden"), "h\r\n");
        folder.write(QStringLiteral("mail/readonly.txt"), "r\r\n");
        ::chmod(QFile::encodeName(dir + QStringLiteral("readonly.txt")).constData(), 0444);
        folder.write(QStringLiteral("mail/sub/inner.eml"), "i\r\n");
        ASSERT_EQ(::mkfifo(QFile::encodeName(dir + QStringLiteral("pipe")).constData(), 0600), 0);
        makeSocket(dir + QStringLiteral("sock"));
        ASSERT_TRUE(
            QFile::link(dir + QStringLiteral("a.eml"), dir + QStringLiteral("link-to-file")));
        ASSERT_TRUE(QFile::link(dir + QStringLiteral("sub"), dir + QStringLiteral("link-to-dir")));
        ASSERT_TRUE(QFile::link(dir + QStringLiteral("gone"), dir + QStringLiteral("dangling")));
    }

    QStringList expectedFiles() const {
        QStringList names;
        for (const char* name : {".hidden", "a.eml", "B.eml", "link-to-file", "readonly.txt"})
            names << dir + QLatin1String(name);
        return names;
    }

    TempFolder folder;
    QString dir;
};

TEST_F(MixedFolder, DirectoryGivesItsOwnRegularFilesAndLinksToThem) {
    SortedList list = makeList();
    EXPECT_EQ(jl::Add_Files_From_Directory(list, dir, jl::fileListOptions()), 5);
    EXPECT_EQ(list.entries(), sortedCopy(expectedFiles()));
}

TEST_F(MixedFolder, PathWithoutTrailingSeparatorIsAPattern) {
    struct Case {
        const char* pattern;
        QStringList expected;
    };
    const Case cases[] = {
        {"*.eml", {dir + "a.eml", dir + "B.eml"}},
        {"?.eml", {dir + "a.eml", dir + "B.eml"}},
        {"*.EML", {}}, // shell wildcards keep letter case
        {"[ab]*", {dir + "a.eml"}},
        {".h*", {dir + ".hidden"}},
        {"a.eml", {dir + "a.eml"}},
        {"sub", {}},  // a directory named without "/" is skipped
        {"pipe", {}}, // so is a named pipe
        {"nothing*", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        SortedList list = makeList();
        const int added = jl::Add_Files_From_Directory(list, dir + QLatin1String(c.pattern),
                                                       jl::fileListOptions());
        EXPECT_EQ(added, c.expected.size());
        EXPECT_EQ(list.entries(), sortedCopy(c.expected));
    }
}

TEST_F(MixedFolder, PrefixIsNormalised) {
    SortedList list = makeList();
    QString doubled = dir;
    doubled.replace(QLatin1String("/mail/"), QLatin1String("//mail///"));
    jl::Add_Files_From_Directory(list, doubled + QLatin1String("a.eml"), jl::fileListOptions());
    EXPECT_EQ(list.entries(), QStringList{dir + "a.eml"});
}

TEST_F(MixedFolder, DuplicatesAreTheSamePathNotTheSameLetters) {
    SortedList list = makeList();
    list.insert(dir + "a.eml");
    list.insert(dir + "A.EML");           // another file of this folder, as far as names go
    list.insert(dir.toUpper() + "b.eml"); // another folder
    EXPECT_EQ(jl::Add_Files_From_Directory(list, dir, jl::fileListOptions()), 4);
    EXPECT_EQ(list.count(), 7);
    for (const QString& path : {dir + "a.eml", dir + "A.EML", dir + "B.eml"})
        EXPECT_EQ(list.entries().count(path), 1) << qPrintable(path);
    // A second run over the same directory adds nothing.
    EXPECT_EQ(jl::Add_Files_From_Directory(list, dir, jl::fileListOptions()), 0);
    EXPECT_EQ(list.count(), 7);
}

TEST_F(MixedFolder, OptionsShapeTheNames) {
    struct Case {
        const char* what;
        AddFilesOptions options;
        QStringList expected;
    };
    AddFilesOptions bare;
    bare.fullPath = false;
    AddFilesOptions lower;
    lower.lowerCase = true;
    AddFilesOptions noExtension;
    noExtension.keepExtension = false;
    AddFilesOptions noDuplicateTest;
    noDuplicateTest.skipDuplicates = false;
    const Case cases[] = {
        {"bare names", bare, {"a.eml", "B.eml"}},
        {"lower case", lower, {dir + "a.eml", dir + "b.eml"}},
        {"extension removed", noExtension, {dir + "a", dir + "B"}},
        {"duplicates kept", noDuplicateTest, {dir + "a.eml", dir + "a.eml", dir + "B.eml"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SortedList list = makeList();
        if (QLatin1String(c.what) == QLatin1String("duplicates kept"))
            list.insert(dir + "a.eml");
        jl::Add_Files_From_Directory(list, dir + "*.eml", c.options);
        EXPECT_EQ(list.entries(), c.expected);
    }
}

TEST(FileEnumeration, ExtensionRemovalLooksAtTheFileNameOnly) {
    TempFolder folder;
    const QString dir = folder.mkdir(QStringLiteral("v1.2"));
    folder.write(QStringLiteral("v1.2/README"), "x");
    folder.write(QStringLiteral("v1.2/x.gz.gz"), "x");
    AddFilesOptions options;
    options.keepExtension = false;
    SortedList list = makeList();
    jl::Add_Files_From_Directory(list, dir, options);
    EXPECT_EQ(list.entries(), (QStringList{dir + "README", dir + "x"}));
}

TEST(FileEnumeration, NamesThatDifferOnlyInLetterCaseAreFilesOfTheirOwn) {
    TempFolder folder;
    const QString dir = folder.mkdir(QStringLiteral("d"));
    for (const char* name : {"Spam.eml", "spam.eml", "SPAM.EML", "other.eml"})
        folder.write(QStringLiteral("d/") + QLatin1String(name), name);
    SortedList list = makeList();
    EXPECT_EQ(jl::Add_Files_From_Directory(list, dir, jl::fileListOptions()), 4);
    // Still in the list order, which ignores letter case: the three together.
    ASSERT_EQ(list.count(), 4);
    EXPECT_EQ(list.at(0), dir + "other.eml");
    QStringList spams = list.entries().mid(1);
    spams.sort();
    EXPECT_EQ(spams, (QStringList{dir + "SPAM.EML", dir + "Spam.eml", dir + "spam.eml"}));
    EXPECT_EQ(jl::Add_Files_From_Directory(list, dir, jl::fileListOptions()), 0);
}

TEST(FileEnumeration, NamesThatCannotStandInTheListAreSkippedAndReported) {
    TempFolder folder;
    const QString dir = folder.mkdir(QStringLiteral("d"));
    const QByteArray encodedDir = QFile::encodeName(dir);
    folder.write(QStringLiteral("d/good.eml"), "g");
    for (const QByteArray& raw : {QByteArray("line\nbreak"), QByteArray("carriage\rreturn"),
                                  QByteArray("latin1-\xe9t\xe9")}) {
        // Created through the raw bytes: the name need not be valid UTF-8.
        const QByteArray full = encodedDir + raw;
        FILE* file = std::fopen(full.constData(), "w");
        ASSERT_NE(file, nullptr) << full.constData();
        std::fputs("x", file);
        std::fclose(file);
    }
    QList<QByteArray> reported;
    AddFilesOptions options;
    options.skippedName = [&reported](const QByteArray& raw, const QString& reason) {
        EXPECT_FALSE(reason.isEmpty());
        reported.append(raw);
    };
    SortedList list = makeList();
    EXPECT_EQ(jl::Add_Files_From_Directory(list, dir, options), 1);
    EXPECT_EQ(list.entries(), QStringList{dir + "good.eml"});
    std::sort(reported.begin(), reported.end());
    EXPECT_EQ(reported,
              (QList<QByteArray>{encodedDir + "carriage\rreturn", encodedDir + "latin1-\xe9t\xe9",
                                 encodedDir + "line\nbreak"}));
    for (const QByteArray& raw : reported)
        ::unlink(raw.constData()); // the temporary folder cannot remove what it cannot name
}

TEST(FileEnumeration, ProgressStopFlagAndEvents) {
    TempFolder folder;
    const QString dir = folder.mkdir(QStringLiteral("d"));
    for (int i = 0; i < 45; ++i)
        folder.write(QStringLiteral("d/f%1").arg(i, 2, 10, QLatin1Char('0')), "x");

    QStringList shown;
    int pumps = 0;
    AddFilesOptions options;
    options.progress = [&shown](const QString& name) { shown << name; };
    options.pumpEvents = [&pumps] { ++pumps; };
    SortedList list = makeList();
    EXPECT_EQ(jl::Add_Files_From_Directory(list, dir, options), 45);
    EXPECT_EQ(shown.size(), 2); // the 21st and the 42nd name
    for (const QString& name : shown)
        EXPECT_TRUE(name.startsWith(dir + "f"));
    EXPECT_EQ(pumps, 3); // after each progress, and once at the end

    // The stop flag is asked before every entry after the first.
    int asked = 0;
    AddFilesOptions stopping;
    stopping.stop = [&asked] { return ++asked >= 10; };
    SortedList stopped = makeList();
    EXPECT_EQ(jl::Add_Files_From_Directory(stopped, dir, stopping), 10);
    EXPECT_EQ(asked, 10);
}

TEST(FileEnumeration, DateFilterKeepsFilesNotOlderThanTheMinimum) {
    TempFolder folder;
    const QString dir = folder.mkdir(QStringLiteral("d"));
    const QString oldFile = folder.write(QStringLiteral("d/old"), "x");
    folder.write(QStringLiteral("d/new"), "x");
    const timeval times[2] = {{1000000000, 0}, {1000000000, 0}}; // 2001
    ASSERT_EQ(::utimes(QFile::encodeName(oldFile).constData(), times), 0);
    AddFilesOptions options;
    options.dateFilter = true;
    options.minimumDateTime = QDateTime::fromSecsSinceEpoch(1500000000); // 2017
    SortedList list = makeList();
    jl::Add_Files_From_Directory(list, dir, options);
    EXPECT_EQ(list.entries(), QStringList{dir + "new"});
    options.minimumDateTime = QDateTime::fromSecsSinceEpoch(1000000000); // equal counts
    jl::Add_Files_From_Directory(list, dir, options);
    EXPECT_EQ(list.entries(), (QStringList{dir + "new", dir + "old"}));
}

TEST(FileEnumeration, UnreadableOrMissingDirectoryAddsNothing) {
    TempFolder folder;
    SortedList list = makeList();
    list.insert(QStringLiteral("/kept"));
    EXPECT_EQ(jl::Add_Files_From_Directory(list, folder.file(QStringLiteral("none/")),
                                           jl::fileListOptions()),
              0);
    EXPECT_EQ(jl::Add_Files_From_Directory(list, QString(), jl::fileListOptions()), 0);
    EXPECT_EQ(list.entries(), QStringList{QStringLiteral("/kept")});
}

TEST(FileEnumeration, BatchMergeKeepsTheListSortedAndUnique) {
    TempFolder folder;
    const QString dir = folder.mkdir(QStringLiteral("d"));
    SortedList list = makeList();
    // Entries before, between and after the new names; some equal to them in other case.
    // Of the multiples of 6, those of 12 are listed as they are and the
    // others in other case (other files); the other multiples of 3 are no
    // files of the folder.
    QStringList before;
    for (int i = 0; i < 300; i += 3)
        before << dir + QString::fromLatin1(i % 12 == 0 ? "m%1.eml" : "M%1.eml").arg(i);
    before << QStringLiteral("/0-first") << QStringLiteral("/zzz-last");
    list.insertMany(before);
    for (int i = 0; i < 300; i += 2)
        folder.write(QStringLiteral("d/m%1.eml").arg(i), "x");
    const int added = jl::Add_Files_From_Directory(list, dir, jl::fileListOptions());
    EXPECT_EQ(added, 125); // 150 files, 25 of them (multiples of 12) already listed
    EXPECT_EQ(list.count(), 102 + 125);
    for (int i = 1; i < list.count(); ++i)
        EXPECT_LE(list.compareWithEntry(list.at(i - 1), i), 0) << list.at(i - 1).toStdString();
    EXPECT_EQ(list.entries().removeDuplicates(), 0);

    // A few names against a long list: one of them there, one in other case.
    const QString few = folder.mkdir(QStringLiteral("few"));
    folder.write(QStringLiteral("few/a.eml"), "x");
    folder.write(QStringLiteral("few/b.eml"), "x");
    list.insert(few + "A.EML");
    list.insert(few + "b.eml");
    EXPECT_EQ(jl::Add_Files_From_Directory(list, few, jl::fileListOptions()), 1);
    EXPECT_EQ(list.count(), 230);
    EXPECT_EQ(jl::Add_Files_From_Directory(list, few, jl::fileListOptions()), 0);
}

// Dropped names, one table of the cases a drop meets.
TEST(DropNames, EdgeCases) {
    TempFolder folder;
    const QString dir = folder.mkdir(QStringLiteral("drop"));
    const QString inside = folder.write(QStringLiteral("drop/inside.eml"), "x");
    folder.write(QStringLiteral("drop/.hidden"), "x");
    folder.write(QStringLiteral("drop/sub/deep.eml"), "x");
    const QString loose = folder.write(QStringLiteral("loose.eml"), "x");
    const QString onDisk = folder.write(QStringLiteral("Listed.eml"), "x");
    const QString listed = folder.write(QStringLiteral("LISTED.EML"), "x"); // in the list
    const QString longName =
        folder.write(QString(250, QLatin1Char('n')) + QStringLiteral(".eml"), "x");
    QString dirNoSlash = dir;
    dirNoSlash.chop(1);

    struct Case {
        const char* what;
        QStringList dropped;
        QStringList added;
        QStringList ignored;
    };
    const Case cases[] = {
        {"nothing that exists",
         {"", ".", "..", folder.file("nope")},
         {},
         {"", ".", "..", folder.file("nope")}},
        {"a file the list holds", {listed}, {}, {}},
        {"a file in the list in other case is another file", {onDisk}, {onDisk}, {}},
        {"a directory gives its own files", {dirNoSlash}, {dir + ".hidden", inside}, {}},
        {"a directory with its trailing separator", {dir}, {dir + ".hidden", inside}, {}},
        {"a directory and a file inside it", {inside, dirNoSlash}, {dir + ".hidden", inside}, {}},
        {"the same file twice", {loose, loose}, {loose}, {}},
        {"names are used whole", {longName}, {longName}, {}},
        {"a name with a line break", {loose + "\n"}, {}, {loose + "\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SortedList list = makeList();
        list.insert(listed);
        const jl::DropOutcome outcome =
            jl::dropNamesIntoList(list, c.dropped, jl::fileListOptions());
        EXPECT_EQ(outcome.added, c.added.size());
        EXPECT_EQ(outcome.ignored, c.ignored);
        QStringList entries = list.entries();
        QStringList expected = c.added + QStringList{listed};
        entries.sort();
        expected.sort();
        EXPECT_EQ(entries, expected);
    }
}

} // namespace
