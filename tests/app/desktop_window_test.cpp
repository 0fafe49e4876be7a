// The desktop commands of the File and Help menus and the start-up check of
// the auto-run entry, on a desktop whose every folder is a temporary one.

#include "support/window_fixture.h"

#include "about/widgets/about_box.h"
#include "desktop/auto_run.h"
#include "desktop/companion_documents.h"
#include "desktop/desktop_entry.h"
#include "desktop/desktop_sandbox.h"
#include "desktop/freedesktop_registry.h"
#include "desktop/registry.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace jl::test {
namespace {

class DesktopWindowTest : public WindowTest {
protected:
    // The registry the window's services use, read and written by the tests.
    FreedesktopRegistry registry{desk.env};

    // A new window, as if the executable were at programDir + "junkloupe".
    TMainForm1& start(const QString& programDir = QString()) {
        form.reset();
        form = makeWindow(programDir.isEmpty() ? program.path() : programDir);
        form->show();
        return *form;
    }
    QString exePath() { return program.file("junkloupe"); }
    QString autostartEntry() { return desk.autostart() + "/junkloupe.desktop"; }
    QString storedAutoRun() {
        return REGISTRY_INC__Read_String(registry, RegistryRoot::LocalMachine, kRunKeyPath,
                                         "junkloupe");
    }
    bool autoRunTick() { return action("Auto_Run_at_Windows_Startup_Option")->isChecked(); }
};

TEST_F(DesktopWindowTest, AutoRunMenuWritesAndRemovesTheAutostartEntry) {
    // Without the autostart folder (a user who may not write it) the key is
    // missing: the message names it and the tick stays clear.
    start();
    action("Auto_Run_at_Windows_Startup_Option")->trigger();
    EXPECT_FALSE(autoRunTick());
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Error);
    EXPECT_EQ(dialogs.lastText(),
              registryKeyMissingWriteMessage(kRunKeyPath, "junkloupe", exePath()) +
                  "\nFolder looked for: " + desk.autostart());

    desk.tmp.mkdir("etc-xdg/autostart");
    dialogs.clear();
    action("Auto_Run_at_Windows_Startup_Option")->trigger();
    EXPECT_TRUE(autoRunTick());
    EXPECT_EQ(dialogs.lastText(), autoRunEnabledMessage("junkloupe"));
    EXPECT_EQ(storedAutoRun(), exePath());

    action("Auto_Run_at_Windows_Startup_Option")->trigger();
    EXPECT_FALSE(autoRunTick());
    EXPECT_EQ(dialogs.lastText(), autoRunDisabledMessage("junkloupe"));
    EXPECT_FALSE(QFileInfo::exists(autostartEntry()));
    EXPECT_EQ(dialogs.count(), 2u);
}

TEST_F(DesktopWindowTest, StartUpCheckSetsTheTickFromTheEntryNotFromTheSettings) {
    program.write("Junkloupe.ini", "[Junkloupe]\r\nAuto_Run_at_Windows_Startup_Option=1\r\n");
    start();
    EXPECT_FALSE(autoRunTick());
    ASSERT_TRUE(form->close());

    desk.tmp.mkdir("etc-xdg/autostart");
    ASSERT_TRUE(REGISTRY_INC__Enable_Auto_Run(registry, dialogs, "junkloupe", exePath()));
    program.write("Junkloupe.ini", "[Junkloupe]\r\nAuto_Run_at_Windows_Startup_Option=0\r\n");
    dialogs.clear();
    start();
    EXPECT_TRUE(autoRunTick());
    EXPECT_EQ(dialogs.count(), 0u);
}

TEST_F(DesktopWindowTest, MovedProgramIsAskedAboutItsEntryAtEveryShow) {
    desk.tmp.mkdir("etc-xdg/autostart");
    ASSERT_TRUE(REGISTRY_INC__Enable_Auto_Run(registry, dialogs, "junkloupe", exePath()));
    const QString moved = program.mkdir("moved");
    program.write("Junkloupe.ini_int", "kept\r\n");
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes);
        dialogs.clear();
        yes ? dialogs.answerYes() : dialogs.answerNo();
        start(moved);
        ASSERT_GE(dialogs.count(), 1u);
        EXPECT_EQ(dialogs.shown()[0].type, Shown::Type::Warning);
        EXPECT_EQ(dialogs.shown()[0].text,
                  autoRunRelocationQuestion("junkloupe", exePath(), moved + "junkloupe"));
        EXPECT_TRUE(autoRunTick()); // an entry exists either way
        EXPECT_EQ(storedAutoRun(), yes ? moved + "junkloupe" : exePath());
        EXPECT_EQ(dialogs.count(), yes ? 2u : 1u);
        if (yes) {
            EXPECT_EQ(dialogs.lastText(), autoRunEnabledMessage("junkloupe"));
        }
    }
}

TEST_F(DesktopWindowTest, UnreadableEntryIsReportedAndTheFirstShowGoesOn) {
    // Something that is no desktop entry stands under the program's name.
    desk.tmp.mkdir("etc-xdg/autostart/junkloupe.desktop");
    program.write("Junkloupe.ini_int", "kept\r\n");
    start();
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Error);
    EXPECT_EQ(dialogs.lastText(), "Invalid data type for 'junkloupe'.");
    EXPECT_TRUE(autoRunTick());
    // The lists were still loaded, so the close cannot save them empty.
    EXPECT_EQ(items().entries(), QStringList({"kept"}));
    EXPECT_EQ(control<QTabWidget>("PageControl1")->currentWidget(), control("TabSheet1"));
}

TEST_F(DesktopWindowTest, ShortcutCommandsWriteAndDeleteDesktopEntries) {
    desk.tmp.mkdir("home/Desktop");
    desk.tmp.mkdir("home/.local/share/applications");
    desk.tmp.mkdir("home/.local/share/Thunar/sendto");
    start();
    action("Create_Shortcut_on_Desktop_Option")->trigger();
    action("Create_Shortcut_on_Start_Menu_Option")->trigger();
    action("Create_Shortcut_on_SendTo_Menu_Option")->trigger();
    // No "Programs" folder below the start menu: nothing written, nothing said.
    action("Create_Shortcut_on_Start_Programs_Menu_Option")->trigger();
    EXPECT_EQ(dialogs.count(), 0u);
    EXPECT_FALSE(QFileInfo::exists(desk.applications() + "/Programs"));
    for (const QString& dir : {desk.desktop(), desk.applications(), desk.sendTo()}) {
        QFile entry(dir + "/junkloupe.desktop");
        ASSERT_TRUE(entry.open(QIODevice::ReadOnly)) << qPrintable(dir);
        const auto exec = desktopEntryValue(entry.readAll(), "Exec");
        ASSERT_TRUE(exec.has_value());
        EXPECT_EQ(splitExecLine(*exec), QStringList({exePath(), "%F"}));
    }

    desk.tmp.mkdir("home/.local/share/applications/Programs");
    action("Create_Shortcut_on_Start_Programs_Menu_Option")->trigger();
    EXPECT_TRUE(QFileInfo::exists(desk.applications() + "/Programs/junkloupe.desktop"));

    action("Delete_All_Shortcuts_Option")->trigger();
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.lastText(),
              "Success: All Desktop, Start Menu, and SendTo shortcuts to \"junkloupe\" have "
              "been deleted.");
    for (const QString& dir : {desk.desktop(), desk.applications(), desk.sendTo()})
        EXPECT_FALSE(QFileInfo::exists(dir + "/junkloupe.desktop"));
    EXPECT_TRUE(QFileInfo::exists(desk.applications() + "/Programs/junkloupe.desktop"));

    action("Delete_All_Shortcuts_Option")->trigger();
    EXPECT_TRUE(dialogs.lastText().startsWith("No Desktop, Start Menu, or SendTo shortcuts"));
}

TEST_F(DesktopWindowTest, HelpMenuOpensTheDocumentsBesideTheProgram) {
    // No opener installed yet.
    start();
    action("View_Readme_file_Option")->trigger();
    EXPECT_EQ(dialogs.lastText(), "Windows Notepad could not be found.");

    const QString xdgOpen = desk.tmp.write("bin/xdg-open", "#!/bin/sh\n");
    QFile::setPermissions(xdgOpen, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    action("View_Readme_file_Option")->trigger();
    EXPECT_EQ(launcher.started, QStringList({xdgOpen + " | " + program.file("junkloupe.txt")}));

    // The catalogue is not shipped: the message names the product.
    dialogs.clear();
    action("View_Shareware_Catalog_Option")->trigger();
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.lastText(), catalogueMissingMessage("Junkloupe v1.0f"));
    EXPECT_EQ(launcher.started.size(), 1);
    program.write("catalog.txt", "x");
    action("View_Shareware_Catalog_Option")->trigger();
    EXPECT_EQ(launcher.started.last(), xdgOpen + " | " + program.file("catalog.txt"));
}

TEST_F(DesktopWindowTest, AboutOpensModallyWithTheProductTexts) {
    start();
    QString title;
    QString product;
    bool wasModal = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<TAboutBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        wasModal = box->isModal();
        title = box->windowTitle();
        product = box->Product_Name_Label->text();
        box->OKButton->click();
    });
    action("AboutOption")->trigger();
    EXPECT_TRUE(wasModal);
    EXPECT_EQ(title, "About Junkloupe v1.0f ...");
    EXPECT_EQ(product, "Junkloupe v1.0f");
    EXPECT_FALSE(form->AboutBox()->isVisible());
    EXPECT_EQ(form->AboutBox(), form->AboutBox()); // one dialog for the program's life
}

} // namespace
} // namespace jl::test
