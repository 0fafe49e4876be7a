#include "desktop/companion_documents.h"

#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace jl {
namespace {

using test::ScriptedDialogs;
using test::Shown;

// Records every start instead of starting anything.
class RecordingLauncher : public ProcessLauncher {
public:
    struct Start {
        QString program;
        QStringList arguments;
    };
    std::vector<Start> starts;
    std::vector<FailureReport> reports;
    void start(const QString& program, const QStringList& arguments,
               FailureReport failed) override {
        starts.push_back({program, arguments});
        reports.push_back(std::move(failed));
    }
};

// A program folder with a PATH folder holding an executable "xdg-open".
struct Docs {
    test::TempFolder tmp;
    QString programDir = tmp.mkdir("prog dir");
    QString binDir = tmp.mkdir("bin");
    RecordingLauncher launcher;
    ScriptedDialogs dialogs;

    void installOpener() {
        const QString opener = tmp.write("bin/xdg-open", "#!/bin/sh\nexit 0\n");
        QFile::setPermissions(opener, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    DocumentOpener opener(const QString& path) { return DocumentOpener(launcher, path); }
};

TEST(CompanionDocuments, ReadmeIsNamedAfterTheExecutable) {
    EXPECT_EQ(readmePath("/opt/j/", "junkloupe"), "/opt/j/junkloupe.txt");
    EXPECT_EQ(readmePath("/opt/j/", "Junkloupe.exe"), "/opt/j/Junkloupe.txt");
    EXPECT_EQ(readmePath("/opt/j/", "a.b.exe"), "/opt/j/a.txt");
    EXPECT_EQ(cataloguePath("/opt/j/"), "/opt/j/catalog.txt");
}

// The guide beside the executable (a build tree) wins; an installed copy
// finds it under ../share/doc/junkloupe/; with neither the opener is handed
// the path beside the executable and reports it missing itself.
TEST(CompanionDocuments, ReadmeBesideTheProgramOrInstalled) {
    const struct {
        bool beside, installed;
        const char* expected;
    } cases[] = {
        {true, true, "usr/bin/junkloupe.txt"},
        {false, true, "usr/share/doc/junkloupe/junkloupe.txt"},
        {true, false, "usr/bin/junkloupe.txt"},
        {false, false, "usr/bin/junkloupe.txt"},
    };
    for (const auto& c : cases) {
        Docs d;
        d.installOpener();
        const QString bin = d.tmp.mkdir("usr/bin");
        if (c.beside)
            d.tmp.write("usr/bin/junkloupe.txt", "guide");
        if (c.installed)
            d.tmp.write("usr/share/doc/junkloupe/junkloupe.txt", "guide");
        DocumentOpener opener = d.opener(d.binDir);
        View_Readme_File(opener, d.dialogs, bin, "junkloupe");
        ASSERT_EQ(d.launcher.starts.size(), 1u);
        EXPECT_EQ(d.launcher.starts[0].arguments, QStringList{d.tmp.file(c.expected)})
            << c.beside << c.installed;
    }
}

TEST(CompanionDocuments, PathWithBlanksIsOneArgument) {
    Docs d;
    d.installOpener();
    DocumentOpener opener = d.opener("relative/bin::" + d.binDir);
    View_Readme_File(opener, d.dialogs, d.programDir, "junkloupe");
    EXPECT_EQ(d.dialogs.count(), 0u) << "a missing readme is the opener's business";
    ASSERT_EQ(d.launcher.starts.size(), 1u);
    EXPECT_EQ(d.launcher.starts[0].program, d.binDir + "xdg-open");
    EXPECT_EQ(d.launcher.starts[0].arguments, QStringList{d.programDir + "junkloupe.txt"});

    opener.View_Text_File_In_Notepad(d.dialogs, "");
    EXPECT_EQ(d.dialogs.lastText(), "No Log File to View.");
    EXPECT_EQ(d.dialogs.lastType(), Shown::Type::Information);
    EXPECT_EQ(d.launcher.starts.size(), 1u);
}

TEST(CompanionDocuments, MissingOpener) {
    Docs d;
    // A non-executable file of that name does not count either.
    d.tmp.write("bin/xdg-open", "not a program");
    for (const QString& path : {QString(), d.binDir, QString("bin")}) {
        DocumentOpener opener = d.opener(path);
        d.dialogs.clear();
        View_Readme_File(opener, d.dialogs, d.programDir, "junkloupe");
        ASSERT_EQ(d.dialogs.count(), 1u);
        EXPECT_EQ(d.dialogs.lastText(), "Windows Notepad could not be found.");
        // The opener is tested before the path is.
        opener.View_Text_File_In_Notepad(d.dialogs, "");
        EXPECT_EQ(d.dialogs.lastText(), "Windows Notepad could not be found.");
    }
    EXPECT_TRUE(d.launcher.starts.empty());
}

TEST(CompanionDocuments, Catalogue) {
    const QString missing = "Oskarn's Shareware Catalog is not in the same directory as "
                            "Junkloupe v1.0f.  The required file 'catalog.txt' was included in "
                            "the distribution ZIP file.  Please unzip this file and try again.";
    Docs d;
    DocumentOpener noOpener = d.opener(QString());
    View_Shareware_Catalog(noOpener, d.dialogs, d.programDir, "Junkloupe v1.0f");
    ASSERT_EQ(d.dialogs.count(), 1u) << "only the catalogue message, not the opener's";
    EXPECT_EQ(d.dialogs.lastText(), missing);

    d.installOpener();
    DocumentOpener opener = d.opener(d.binDir);
    View_Shareware_Catalog(opener, d.dialogs, d.programDir, "Junkloupe v1.0f");
    EXPECT_EQ(d.dialogs.count(), 2u);
    EXPECT_TRUE(d.launcher.starts.empty());

    d.tmp.write("prog dir/catalog.txt", "list\n");
    View_Shareware_Catalog(opener, d.dialogs, d.programDir, "Junkloupe v1.0f");
    EXPECT_EQ(d.dialogs.count(), 2u);
    ASSERT_EQ(d.launcher.starts.size(), 1u);
    EXPECT_EQ(d.launcher.starts[0].arguments, QStringList{d.programDir + "catalog.txt"});
}

// The opener's failure comes after the command has returned: it is shown
// with the document's path while the opener lives, and dropped after.
TEST(CompanionDocuments, OpenerFailureIsShownWithThePath) {
    Docs d;
    d.installOpener();
    {
        DocumentOpener opener = d.opener(d.binDir);
        View_Readme_File(opener, d.dialogs, d.programDir, "junkloupe");
        ASSERT_EQ(d.launcher.reports.size(), 1u);
        EXPECT_EQ(d.dialogs.count(), 0u);
        d.launcher.reports[0]("ended with status 4");
        ASSERT_EQ(d.dialogs.count(), 1u);
        EXPECT_EQ(d.dialogs.lastType(), Shown::Type::Error);
        EXPECT_EQ(d.dialogs.lastText(),
                  "The document could not be opened: xdg-open ended with status 4.\r\n\r\nYou "
                  "can open it yourself, it is\r\n" +
                      d.programDir + "junkloupe.txt");
    }
    d.launcher.reports[0]("ended with status 4");
    EXPECT_EQ(d.dialogs.count(), 1u) << "reported after the opener was gone";
}

// The real launcher watches the program it started: a failure status, a
// crash or a program that does not start is reported, success is not.
TEST(CompanionDocuments, LauncherReportsHowTheProgramEnded) {
    const struct {
        const char* script; // the program's body, after it has left its mark
        const char* reason; // the start of the reason, or nullptr for none
    } cases[] = {
        {"exit 0", nullptr},
        {"exit 4", "ended with status 4"},
        {"kill -KILL $$", "ended abnormally"},
    };
    for (const auto& c : cases) {
        test::TempFolder tmp;
        const QString program =
            tmp.write("opener", QByteArray("#!/bin/sh\ntouch \"$0.ran\"\n") + c.script + "\n");
        QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
        QStringList reasons;
        WatchedProcessLauncher launcher;
        launcher.start(program, {"a b.txt"}, [&](const QString& why) { reasons << why; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(program + ".ran"); }, 20000));
        if (c.reason)
            ASSERT_TRUE(QTest::qWaitFor([&] { return !reasons.isEmpty(); }, 20000)) << c.script;
        else
            QTest::qWait(300);
        EXPECT_EQ(reasons, c.reason ? QStringList{c.reason} : QStringList{}) << c.script;
    }
    QStringList reasons;
    WatchedProcessLauncher launcher;
    launcher.start("/nonexistent/opener", {}, [&](const QString& why) { reasons << why; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !reasons.isEmpty(); }, 20000));
    EXPECT_TRUE(reasons[0].startsWith("could not be started: ")) << reasons[0].toStdString();
}

} // namespace
} // namespace jl
