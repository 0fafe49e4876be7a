// Many files and awkward names: 100,000 files in one directory come into the
// list in one go; names with blanks, quotes, wildcards and other odd
// characters round-trip through the list file and stay readable, and names
// that the list cannot hold (line breaks, bytes that are not text in the
// system's encoding) are left out and reported by the enumeration.

#include "fault_support.h"
#include "support/window_fixture.h"
#include "util/qstring_printer.h"

#include "filelist/file_enumeration.h"
#include "util/list_file.h"
#include "util/list_ops.h"
#include "view/message_reader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <functional>

#include <fcntl.h>
#include <unistd.h>

namespace jl::test {
namespace {

bool createFile(const QByteArray& path, const QByteArray& bytes) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    ::close(fd);
    return ok;
}

QString viewOf(const QString& path) {
    ViewTextBuilder view;
    ReaderHooks hooks;
    hooks.filter = [] { return int(AllText); };
    const LoadResult result = Load_File_Into_View(path, view, hooks);
    return result.status == LoadStatus::Read
               ? view.toQString()
               : QString::number(int(result.status)) + ": " + result.error;
}

class ManyFilesTest : public WindowTest {};

TEST_F(ManyFilesTest, HundredThousandFilesInOneDirectory) {
    const QString dir = QDir::cleanPath(messages.mkdir(QStringLiteral("pile"))) + QLatin1Char('/');
    const QByteArray native = QFile::encodeName(dir);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 100000; ++i)
        ASSERT_TRUE(createFile(native + QByteArray::number(i) + ".eml", QByteArray()));
    const qint64 createMs = timer.restart();

    SortedList list(SortedList::Selection::Single);
    EXPECT_EQ(Add_Files_From_Directory(list, dir, fileListOptions()), 100000);
    const qint64 listMs = timer.restart();
    ASSERT_EQ(list.count(), 100000);
    for (int i = 0; i + 1 < list.count(); i += 997)
        EXPECT_LT(list.collator().compare(list.at(i), list.at(i + 1)), 0);
    // A second time adds nothing: every name is there already.
    EXPECT_EQ(Add_Files_From_Directory(list, dir, fileListOptions()), 0);
    const qint64 againMs = timer.restart();

    // Through the window: the directory chosen, the list filled, the first
    // file shown; at close the list file holds every name.
    // The window's longest pause between two turns of its event loop while
    // the directory is read and merged.
    open();
    QElapsedTimer sinceTick;
    qint64 longestPauseMs = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout,
                     [&] { longestPauseMs = std::max(longestPauseMs, sinceTick.restart()); });
    dialogs.chooseNext(dir);
    timer.restart();
    sinceTick.start();
    ticks.start(1);
    form->Add_All_Files_In_A_Directory_BitBtnClick();
    longestPauseMs = std::max(longestPauseMs, sinceTick.elapsed());
    ticks.stop();
    const qint64 windowMs = timer.restart();
    EXPECT_EQ(files().count(), 100000);
    EXPECT_EQ(current(), 0);
    EXPECT_EQ(dialogs.count(), 1u) << qPrintable(dialogs.texts().join(" | ")); // the chooser
    ASSERT_TRUE(form->close());
    const qint64 closeMs = timer.restart();
    const ListFileContents saved = readListFile(program.file(QStringLiteral("Junkloupe.ini_file")));
    EXPECT_EQ(saved.entries, list.entries());
    std::printf("[ figures  ] 100,000 files: made in %lld ms, listed in %lld ms (again %lld ms), "
                "through the window %lld ms (longest pause of the window %lld ms), saved at "
                "close %lld ms\n",
                createMs, listMs, againMs, windowMs, longestPauseMs, closeMs);

    // Read off the user-interface thread, the directory can be left while it
    // is read: Escape keeps what was found so far, a close keeps the list as
    // the close saved it. Both come from the first event the window handles.
    const struct {
        const char* name;
        std::function<void(TMainForm1&)> leave;
        bool closes;
    } ways[] = {{"Escape", [](TMainForm1& f) { QTest::keyClick(&f, Qt::Key_Escape); }, false},
                {"close", [](TMainForm1& f) { f.close(); }, true}};
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        QFile::remove(program.file(QStringLiteral("Junkloupe.ini_file")));
        QFile::remove(program.file(QStringLiteral("Junkloupe.ini")));
        open();
        files().insert(QStringLiteral("/m/kept.eml"));
        QTimer::singleShot(0, form.get(), [this, &way] { way.leave(*form); });
        dialogs.chooseNext(dir);
        form->Add_All_Files_In_A_Directory_BitBtnClick();
        EXPECT_FALSE(form->isBusy());
        EXPECT_FALSE(form->isWorking());
        if (way.closes) {
            EXPECT_FALSE(form->isVisible());
            EXPECT_EQ(files().entries(), QStringList{QStringLiteral("/m/kept.eml")});
            EXPECT_EQ(program.read(QStringLiteral("Junkloupe.ini_file")), "/m/kept.eml\r\n");
        } else {
            EXPECT_GT(files().count(), 1);
            EXPECT_LT(files().count(), 100001) << "the whole directory was read before the stop";
            std::printf("[ figures  ] stopped by Escape after %d of 100,000 names\n",
                        files().count() - 1);
            EXPECT_EQ(current(), 0);
            for (int i = 0; i + 1 < files().count(); i += 97)
                EXPECT_LT(list.collator().compare(files().at(i), files().at(i + 1)), 0);
        }
    }
}

TEST_F(ManyFilesTest, AwkwardNamesRoundTripAndStayReadable) {
    const QString dir = QDir::cleanPath(messages.mkdir(QStringLiteral("odd"))) + QLatin1Char('/');
    const QByteArray native = QFile::encodeName(dir);
    const QByteArray kept[] = {
        "with blank.eml",
        " leading and trailing blank ",
        "double\"quote.eml",
        "single'quote.eml",
        "back\\slash.eml",
        "semi;colon=eq[1].eml",
        "tab\tinside.eml",
        "star*and?question.eml",
        "-starts-with-dash.eml",
        "#hash and %percent.eml",
        "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80.eml", // UTF-8: e acute, euro, an emoji
    };
    const QByteArray leftOut[] = {
        "line\nbreak.eml", "carriage\rreturn.eml",
        "latin1-\xE9.eml", // not UTF-8
    };
    int n = 0;
    for (const QByteArray& name : kept)
        ASSERT_TRUE(
            createFile(native + name, "Received: file " + QByteArray::number(n++) + "\r\n"));
    for (const QByteArray& name : leftOut)
        ASSERT_TRUE(createFile(native + name, "Received: left out\r\n"));

    SortedList list(SortedList::Selection::Single);
    AddFilesOptions options = fileListOptions();
    QList<QByteArray> skipped;
    options.skippedName = [&](const QByteArray& raw, const QString&) { skipped << raw; };
    EXPECT_EQ(Add_Files_From_Directory(list, dir, options), int(std::size(kept)));
    std::sort(skipped.begin(), skipped.end());
    QList<QByteArray> expectedSkipped;
    for (const QByteArray& name : leftOut)
        expectedSkipped << native + name;
    std::sort(expectedSkipped.begin(), expectedSkipped.end());
    EXPECT_EQ(skipped, expectedSkipped);

    // Every listed name opens the file it names.
    n = 0;
    for (const QByteArray& name : kept) {
        SCOPED_TRACE(name.toStdString());
        const QString path = dir + QFile::decodeName(name);
        EXPECT_GE(Find_List_Item(list, path), 0);
        EXPECT_EQ(viewOf(path), QStringLiteral("\nReceived: file %1").arg(n++));
    }

    // Saved and read back, the list is the same.
    ScriptedDialogs saveDialogs;
    ASSERT_EQ(Save_List_File(list, program.file(QStringLiteral("Junkloupe.ini_file")), saveDialogs),
              0);
    SortedList back(SortedList::Selection::Single);
    Load_List_File(back, program.file(QStringLiteral("Junkloupe.ini_file")));
    EXPECT_EQ(back.entries(), list.entries());

    // And the window that starts over that list file shows each of them.
    open();
    ASSERT_EQ(files().entries(), list.entries());
    for (int i = 0; i < files().count(); ++i) {
        SCOPED_TRACE(files().at(i).toStdString());
        Select_List_Index(files(), i);
        dialogs.clear();
        form->Process_The_Selected_File_BitBtnClick();
        EXPECT_EQ(dialogs.count(), 0u) << qPrintable(dialogs.texts().join(" | "));
        EXPECT_TRUE(viewText().startsWith(QStringLiteral("\nReceived: file ")))
            << viewText().toStdString();
    }
}

} // namespace
} // namespace jl::test
