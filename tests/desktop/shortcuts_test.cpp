#include "desktop/desktop_entry.h"
#include "desktop/freedesktop_registry.h"
#include "desktop/shortcuts.h"

#include "desktop_sandbox.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace jl {
namespace {

using test::ScriptedDialogs;
using test::Shown;

const QString kTarget = "/opt/my tools/junkloupe";

// A desktop with all three shell folders present.
struct ShortcutDesk {
    test::DesktopSandbox box;
    FreedesktopRegistry reg{box.env};
    ScriptedDialogs dialogs;
    DesktopEntryLinkWriter writer;

    ShortcutDesk() {
        for (const QString& f : {box.desktop(), box.applications(), box.sendTo()})
            QDir().mkpath(f);
    }
    void create(const QString& folder, const QString& sub = QString()) {
        REGISTRY_INC__Create_Shortcut(reg, dialogs, writer, kTarget, folder, sub);
    }
};

TEST(Shortcuts, CreateWritesAnExecutableLauncherInEachFolder) {
    ShortcutDesk d;
    d.create("Desktop");
    d.create("Start Menu");
    d.create("SendTo");
    EXPECT_EQ(d.dialogs.count(), 0u);
    for (const QString& folder : {d.box.desktop(), d.box.applications(), d.box.sendTo()}) {
        const QString file = folder + "/junkloupe.desktop";
        ASSERT_TRUE(QFile::exists(file)) << qPrintable(file);
        EXPECT_EQ(QFileInfo(file).permissions() & (QFile::ExeOwner | QFile::ExeOther),
                  QFile::ExeOwner | QFile::ExeOther);
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray entry = f.readAll();
        EXPECT_EQ(desktopEntryValue(entry, "Type"), "Application");
        EXPECT_EQ(desktopEntryValue(entry, "Name"), "Junkloupe");
        EXPECT_EQ(desktopEntryValue(entry, "Terminal"), "false");
        EXPECT_TRUE(desktopEntryValue(entry, "Icon").has_value());
        EXPECT_EQ(splitExecLine(*desktopEntryValue(entry, "Exec")), (QStringList{kTarget, "%F"}));
    }
    // A second time overwrites the same file without a word.
    d.create("Desktop");
    EXPECT_EQ(d.dialogs.count(), 0u);
    EXPECT_EQ(QDir(d.box.desktop()).entryList(QDir::Files), QStringList{"junkloupe.desktop"});
}

// The tool's own icon: the drawing installed beside the target's folder (or
// in the build tree), else the theme name.
TEST(Shortcuts, IconOfTheInstallation) {
    test::TempFolder tmp;
    const QString target = tmp.write("prefix/bin/junkloupe", "");
    EXPECT_EQ(shortcutIcon(target), "junkloupe");
    const QString drawing =
        tmp.write("prefix/share/icons/hicolor/scalable/apps/junkloupe.svg", "<svg/>");
    EXPECT_EQ(shortcutIcon(target), drawing);
    EXPECT_EQ(desktopEntryValue(shortcutEntry(target), "Icon"), drawing);
    EXPECT_EQ(shortcutIcon(kTarget), "junkloupe");
}

TEST(Shortcuts, ProgramsSubFolderIsNeverCreated) {
    ShortcutDesk d;
    d.create("Start Menu", "Programs");
    EXPECT_EQ(d.dialogs.count(), 0u);
    EXPECT_FALSE(QFileInfo::exists(d.box.applications() + "/Programs"));
    QDir().mkpath(d.box.applications() + "/Programs");
    d.create("Start Menu", "Programs");
    EXPECT_TRUE(QFile::exists(d.box.applications() + "/Programs/junkloupe.desktop"));
    EXPECT_FALSE(QFile::exists(d.box.applications() + "/junkloupe.desktop"));
}

TEST(Shortcuts, UnknownOrMissingFoldersAreReportedWithTheFolderLookedFor) {
    struct Case {
        const char* folder;
        bool removeSendTo;
        const char* lookedFor; // below the sandbox
    };
    for (const Case& c : {Case{"desktop", false, nullptr}, Case{"Programs", false, nullptr},
                          Case{"SendTo", true, "home/.local/share/Thunar/sendto"}}) {
        ShortcutDesk d;
        if (c.removeSendTo)
            QDir(d.box.sendTo()).removeRecursively();
        const QString key = QString("The key \"") + c.folder +
                            "\" is invalid or could not be found in the registry.";
        const QString folderLine =
            c.lookedFor ? "\nFolder looked for: " + d.box.tmp.path() + c.lookedFor : QString();
        d.create(c.folder);
        ASSERT_EQ(d.dialogs.count(), 1u) << c.folder;
        EXPECT_EQ(d.dialogs.lastType(), Shown::Type::Information);
        EXPECT_EQ(d.dialogs.lastText(), "REGISTRY_INC__Create_Shortcut Error: " + key + folderLine);

        ScriptedDialogs quiet;
        EXPECT_FALSE(REGISTRY_INC__Delete_Shortcut(d.reg, quiet, "junkloupe", c.folder, false));
        EXPECT_EQ(quiet.count(), 0u);
        EXPECT_FALSE(REGISTRY_INC__Delete_Shortcut(d.reg, d.dialogs, "junkloupe", c.folder, true));
        EXPECT_EQ(d.dialogs.lastText(), "REGISTRY_INC__Delete_Shortcut Error: " + key + folderLine);
        // The send-to folder is the file manager's to make.
        EXPECT_FALSE(QFileInfo::exists(d.box.sendTo()) && c.removeSendTo);
    }
}

// Only the create command makes the applications folder; deleting and
// reading leave a missing one missing.
TEST(Shortcuts, MissingApplicationsFolderIsCreatedForTheStartMenuOnly) {
    test::DesktopSandbox box;
    FreedesktopRegistry reg{box.env};
    ScriptedDialogs dialogs;
    DesktopEntryLinkWriter writer;
    REGISTRY_INC__Delete_All_Shortcuts(reg, dialogs, kTarget, true);
    EXPECT_TRUE(dialogs.lastText().startsWith("No Desktop, Start Menu, or SendTo shortcuts"));
    EXPECT_EQ(REGISTRY_INC__Read_String(reg, RegistryRoot::CurrentUser, kShellFoldersKeyPath,
                                        "Start Menu"),
              "");
    ASSERT_FALSE(QFileInfo::exists(box.tmp.path() + "home/.local"));
    dialogs.clear();
    REGISTRY_INC__Create_Shortcut(reg, dialogs, writer, kTarget, "Start Menu", QString());
    EXPECT_EQ(dialogs.count(), 0u) << qPrintable(dialogs.lastText());
    EXPECT_TRUE(QFile::exists(box.applications() + "/junkloupe.desktop"));
    for (const QString& made : {box.tmp.path() + "home/.local", box.applications()}) {
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(made).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << qPrintable(made);
    }
}

TEST(Shortcuts, DeleteOneReportsFoundAndNotFound) {
    ShortcutDesk d;
    d.create("Desktop");
    EXPECT_TRUE(REGISTRY_INC__Delete_Shortcut(d.reg, d.dialogs, "junkloupe", "Desktop", true));
    EXPECT_EQ(d.dialogs.lastText(),
              "Success: The \"junkloupe\" shortcut has been deleted from the \"Desktop\" menu.");
    EXPECT_FALSE(QFile::exists(d.box.desktop() + "/junkloupe.desktop"));
    EXPECT_FALSE(REGISTRY_INC__Delete_Shortcut(d.reg, d.dialogs, "junkloupe", "Desktop", true));
    EXPECT_EQ(d.dialogs.lastText(), "Error: The \"junkloupe\" shortcut could not be found, or it "
                                    "has been renamed in the \"Desktop\" menu.");
    EXPECT_EQ(d.dialogs.lastType(), Shown::Type::Information);

    // A shortcut the user renamed is neither found nor deleted.
    d.create("SendTo");
    QFile::rename(d.box.sendTo() + "/junkloupe.desktop", d.box.sendTo() + "/Open in JL.desktop");
    EXPECT_FALSE(REGISTRY_INC__Delete_Shortcut(d.reg, d.dialogs, "junkloupe", "SendTo", true));
    EXPECT_TRUE(QFile::exists(d.box.sendTo() + "/Open in JL.desktop"));
}

TEST(Shortcuts, DeleteAllWithSomeAndWithNone) {
    ShortcutDesk d;
    d.create("Desktop");
    d.create("SendTo");
    QDir().mkpath(d.box.applications() + "/Programs");
    d.create("Start Menu", "Programs");
    REGISTRY_INC__Delete_All_Shortcuts(d.reg, d.dialogs, kTarget, true);
    ASSERT_EQ(d.dialogs.count(), 1u);
    EXPECT_EQ(d.dialogs.lastText(),
              "Success: All Desktop, Start Menu, and SendTo shortcuts to \"junkloupe\" have been "
              "deleted.");
    EXPECT_FALSE(QFile::exists(d.box.desktop() + "/junkloupe.desktop"));
    EXPECT_FALSE(QFile::exists(d.box.sendTo() + "/junkloupe.desktop"));
    EXPECT_TRUE(QFile::exists(d.box.applications() + "/Programs/junkloupe.desktop"));

    REGISTRY_INC__Delete_All_Shortcuts(d.reg, d.dialogs, kTarget, true);
    EXPECT_EQ(d.dialogs.count(), 2u);
    EXPECT_EQ(d.dialogs.lastText(),
              "No Desktop, Start Menu, or SendTo shortcuts called \"junkloupe\" could be found !  "
              "i.e. they may have been renamed to something else or deleted already.");

    REGISTRY_INC__Delete_All_Shortcuts(d.reg, d.dialogs, kTarget, false);
    EXPECT_EQ(d.dialogs.count(), 2u);
}

TEST(Shortcuts, FileNamesFromTheTarget) {
    EXPECT_EQ(shortcutFileName("/opt/junkloupe"), "junkloupe.desktop");
    EXPECT_EQ(shortcutFileName("/opt/a.b/Junkloupe.exe"), "Junkloupe.desktop");
    EXPECT_EQ(shortcutFileName("/opt/a.b.run"), "a.b.desktop");
}

} // namespace
} // namespace jl
