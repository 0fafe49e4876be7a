#include "desktop/desktop_entry.h"
#include "desktop/freedesktop_registry.h"
#include "desktop/registry.h"

#include "desktop_sandbox.h"
#include "support/fifo_trap.h"
#include "support/scripted_dialogs.h"
#include "util/failure.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <map>

#include <unistd.h>

namespace jl {
namespace {

using test::DesktopSandbox;
using test::ScriptedDialogs;
using test::Shown;

// A registry of one key whose behaviour each test sets, recording whether
// every opened key was closed again.
class FakeRegistry : public Registry {
public:
    bool keyThere = true;
    bool refuseWrite = false;
    bool storeDifferently = false; // keeps a changed text, as a faulty store would
    bool refuseDelete = false;
    bool nonString = false;
    std::map<QString, QString> values;
    int opens = 0;
    int closes = 0;

    void selectRoot(RegistryRoot) override {}
    bool keyOpensWithFullAccess(const QString&) override { return keyThere; }
    bool openKey(const QString&) override {
        ++opens;
        return keyThere;
    }
    void closeKey() override { ++closes; }
    bool writeString(const QString& name, const QString& data) override {
        if (refuseWrite)
            return false;
        values[name] = storeDifferently ? data.toLower() : data;
        return true;
    }
    ValueType readString(const QString& name, QString* data) override {
        data->clear();
        if (nonString)
            return ValueType::Other;
        const auto it = values.find(name);
        if (it == values.end())
            return ValueType::Absent;
        *data = it->second;
        return ValueType::String;
    }
    bool deleteValue(const QString& name) override {
        if (!refuseDelete)
            values.erase(name);
        return !refuseDelete;
    }
    bool valueExists(const QString& name) override { return values.count(name) > 0; }
};

const QString kKey = kRunKeyPath;

TEST(RegistryRoutines, WriteReportsEachFailureWithItsExactMessage) {
    {
        FakeRegistry reg;
        ScriptedDialogs dialogs;
        EXPECT_TRUE(REGISTRY_INC__Write_String(reg, dialogs, RegistryRoot::LocalMachine, kKey,
                                               "junkloupe", "/opt/J/junkloupe"));
        EXPECT_EQ(dialogs.count(), 0u);
        EXPECT_EQ(reg.values["junkloupe"], "/opt/J/junkloupe");
    }
    {
        FakeRegistry reg;
        reg.keyThere = false;
        ScriptedDialogs dialogs;
        EXPECT_FALSE(REGISTRY_INC__Write_String(reg, dialogs, RegistryRoot::LocalMachine, kKey,
                                                "junkloupe", "/opt/J/junkloupe"));
        ASSERT_EQ(dialogs.count(), 1u);
        EXPECT_EQ(dialogs.lastType(), Shown::Type::Error);
        EXPECT_EQ(dialogs.lastText(),
                  "Error: The specified Registry Key for this operation \n"
                  "does NOT exist on your PC.  \n"
                  "\n"
                  " Error Key   = \\Software\\Microsoft\\Windows\\CurrentVersion\\Run\n"
                  " Error Item  = junkloupe\n"
                  " Error Value = /opt/J/junkloupe\n"
                  "\n"
                  "Please contact the program's author.");
        EXPECT_TRUE(reg.values.empty());
    }
    {
        FakeRegistry reg;
        reg.storeDifferently = true;
        ScriptedDialogs dialogs;
        EXPECT_FALSE(REGISTRY_INC__Write_String(reg, dialogs, RegistryRoot::LocalMachine, kKey,
                                                "junkloupe", "/opt/J/junkloupe"));
        ASSERT_EQ(dialogs.count(), 1u);
        EXPECT_EQ(dialogs.lastType(), Shown::Type::Error);
        EXPECT_EQ(dialogs.lastText(),
                  "Error: The required settings could not be created \n"
                  "or saved in the Windows Registry.  \n"
                  "\n"
                  " Error Key   = \\Software\\Microsoft\\Windows\\CurrentVersion\\Run\n"
                  " Error Item  = junkloupe\n"
                  " Error Value = /opt/J/junkloupe\n"
                  "\n"
                  "Please contact the program's author.");
        EXPECT_EQ(reg.opens, reg.closes);
    }
}

TEST(RegistryRoutines, RefusedWriteAndNonStringValuesAreFailures) {
    FakeRegistry reg;
    reg.refuseWrite = true;
    ScriptedDialogs dialogs;
    try {
        REGISTRY_INC__Write_String(reg, dialogs, RegistryRoot::LocalMachine, kKey, "junkloupe",
                                   "/x");
        FAIL() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.text(), "Failed to set data for 'junkloupe'");
    }
    EXPECT_EQ(reg.opens, reg.closes);

    FakeRegistry typed;
    typed.nonString = true;
    try {
        REGISTRY_INC__Read_String(typed, RegistryRoot::LocalMachine, kKey, "junkloupe");
        FAIL() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.text(), "Invalid data type for 'junkloupe'");
    }
    EXPECT_EQ(typed.opens, typed.closes);
    EXPECT_EQ(dialogs.count(), 0u);
}

TEST(RegistryRoutines, DeleteAndRead) {
    {
        FakeRegistry reg; // absent from the start counts as deleted
        ScriptedDialogs dialogs;
        EXPECT_TRUE(REGISTRY_INC__Delete_Value(reg, dialogs, RegistryRoot::LocalMachine, kKey,
                                               "junkloupe"));
        EXPECT_EQ(dialogs.count(), 0u);
    }
    {
        FakeRegistry reg;
        reg.keyThere = false;
        ScriptedDialogs dialogs;
        EXPECT_FALSE(REGISTRY_INC__Delete_Value(reg, dialogs, RegistryRoot::LocalMachine, kKey,
                                                "junkloupe"));
        EXPECT_EQ(dialogs.lastType(), Shown::Type::Error);
        EXPECT_EQ(dialogs.lastText(),
                  "Error: The specified Registry Key for this operation \n"
                  "does NOT exist on your PC.  \n"
                  "\n"
                  " Error Key   = \\Software\\Microsoft\\Windows\\CurrentVersion\\Run\n"
                  " Error Item  = junkloupe\n"
                  "\n"
                  "Please contact the program's author.");
        EXPECT_EQ(REGISTRY_INC__Read_String(reg, RegistryRoot::LocalMachine, kKey, "junkloupe"),
                  "");
    }
    {
        FakeRegistry reg;
        reg.values["junkloupe"] = "/x";
        reg.refuseDelete = true;
        ScriptedDialogs dialogs;
        EXPECT_FALSE(REGISTRY_INC__Delete_Value(reg, dialogs, RegistryRoot::LocalMachine, kKey,
                                                "junkloupe"));
        EXPECT_EQ(dialogs.lastText(),
                  "Error: The required Registry Key settings \n"
                  "could not be removed from the Windows Registry.  \n"
                  "\n"
                  " Error Key   = \\Software\\Microsoft\\Windows\\CurrentVersion\\Run\n"
                  " Error Item  = junkloupe\n"
                  "\n"
                  "Please contact the program's author.");
        EXPECT_EQ(REGISTRY_INC__Read_String(reg, RegistryRoot::LocalMachine, kKey, "junkloupe"),
                  "/x");
        EXPECT_EQ(reg.opens, reg.closes);
    }
}

TEST(DesktopEntryFormat, ExecArgumentsRoundTrip) {
    const QString paths[] = {"/usr/bin/junkloupe", "/home/u/my tools/junk loupe",
                             "/weird/\"q\" $HOME `x` back\\slash 100%", "/tab\there/new\nline",
                             " /leading blank"};
    for (const QString& p : paths) {
        const QByteArray entry = applicationEntry("x", quoteExecArgument(p));
        const std::optional<QString> exec = desktopEntryValue(entry, "Exec");
        ASSERT_TRUE(exec.has_value());
        const std::optional<QStringList> args = splitExecLine(*exec);
        ASSERT_TRUE(args.has_value()) << qPrintable(p);
        EXPECT_EQ(*args, QStringList{p});
        EXPECT_FALSE(entry.contains("\n\n")) << "a line break leaked into the file";
    }
    EXPECT_EQ(splitExecLine("a \"b c\" %F 100%%"), (QStringList{"a", "b c", "%F", "100%"}));
    EXPECT_FALSE(splitExecLine("\"unterminated").has_value());
    EXPECT_FALSE(desktopEntryValue("[Other]\nExec=x\n", "Exec").has_value());
    EXPECT_FALSE(desktopEntryValue("[Desktop Entry]\nexec=x\n", "Exec").has_value());
    EXPECT_EQ(desktopEntryValue("[Desktop Entry]\nName=a\n[Desktop Action x]\nExec=y\n", "Exec"),
              std::nullopt);
}

TEST(DesktopEnvironmentFolders, DefaultsAndUserDirs) {
    DesktopSandbox box;
    DesktopEnvironment e;
    e.home = "/home/u";
    e.xdgConfigDirs = "relative/dir::/etc/custom:/etc/xdg";
    EXPECT_EQ(e.configHome(), "/home/u/.config");
    EXPECT_EQ(e.dataHome(), "/home/u/.local/share");
    EXPECT_EQ(e.systemConfigDir(), "/etc/custom");
    e.xdgConfigDirs.clear();
    EXPECT_EQ(e.systemConfigDir(), "/etc/xdg");
    e.xdgDataHome = "not/absolute";
    EXPECT_EQ(e.dataHome(), "/home/u/.local/share");

    EXPECT_EQ(box.env.desktopDir() + "/", box.env.home + "Desktop/");
    box.tmp.write("home/.config/user-dirs.dirs", "# comment\n"
                                                 "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n"
                                                 "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    EXPECT_EQ(box.env.desktopDir(), box.env.home + "Schreibtisch");
    box.tmp.write("home/.config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"/srv/desk top\"\n");
    EXPECT_EQ(box.env.desktopDir(), "/srv/desk top");
}

TEST(DesktopEnvironmentFolders, UserDirsThatIsAPipeIsNotWaitedOn) {
    DesktopSandbox box;
    const test::FifoTrap pipe(box.env.configHome() + "/user-dirs.dirs");
    ASSERT_TRUE(pipe.made());
    QString desktop;
    EXPECT_TRUE(pipe.run([&] { desktop = box.env.desktopDir(); })) << "blocked in open()";
    EXPECT_EQ(desktop + "/", box.env.home + "Desktop/");
}

TEST(FreedesktopRegistryRun, ValuesAreAutostartEntries) {
    DesktopSandbox box;
    FreedesktopRegistry reg(box.env);
    reg.selectRoot(RegistryRoot::LocalMachine);
    EXPECT_FALSE(reg.keyOpensWithFullAccess(kKey)) << "no autostart folder yet";
    QDir().mkpath(box.autostart());
    for (const QString& key : {kKey, QString("software\\microsoft\\windows\\currentversion\\RUN")})
        EXPECT_TRUE(reg.keyOpensWithFullAccess(key)) << qPrintable(key);
    EXPECT_FALSE(
        reg.keyOpensWithFullAccess("\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"));
    reg.selectRoot(RegistryRoot::CurrentUser);
    EXPECT_FALSE(reg.keyOpensWithFullAccess(kKey)) << "the Run key is machine-wide only";

    ScriptedDialogs dialogs;
    const QString path = "/opt/my tools/junkloupe";
    ASSERT_TRUE(REGISTRY_INC__Write_String(reg, dialogs, RegistryRoot::LocalMachine, kKey,
                                           "junkloupe", path));
    const QString file = box.autostart() + "/junkloupe.desktop";
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray entry = f.readAll();
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(entry.contains("\nType=Application\n"));
    EXPECT_TRUE(entry.contains("\nName=junkloupe\n"));
    EXPECT_TRUE(entry.contains("\nExec=\"/opt/my tools/junkloupe\"\n"));
    EXPECT_EQ(REGISTRY_INC__Read_String(reg, RegistryRoot::LocalMachine, kKey, "junkloupe"), path);
    EXPECT_EQ(REGISTRY_INC__Read_String(reg, RegistryRoot::LocalMachine, kKey, "other"), "");

    // A hand-made entry with arguments reads as its whole command line.
    box.tmp.write("etc-xdg/autostart/manual.desktop",
                  "[Desktop Entry]\nType=Application\nExec=/usr/bin/junkloupe --show=minimized\n");
    EXPECT_EQ(REGISTRY_INC__Read_String(reg, RegistryRoot::LocalMachine, kKey, "manual"),
              "/usr/bin/junkloupe --show=minimized");
    box.tmp.write("etc-xdg/autostart/notanentry.desktop", "just text\n");
    EXPECT_THROW(REGISTRY_INC__Read_String(reg, RegistryRoot::LocalMachine, kKey, "notanentry"),
                 Failure);

    EXPECT_TRUE(
        REGISTRY_INC__Delete_Value(reg, dialogs, RegistryRoot::LocalMachine, kKey, "junkloupe"));
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_EQ(dialogs.count(), 0u);

    // Names that are not plain file names never reach outside the folder.
    reg.selectRoot(RegistryRoot::LocalMachine);
    ASSERT_TRUE(reg.openKey(kKey));
    EXPECT_FALSE(reg.writeString("../escape", "/x"));
    EXPECT_FALSE(QFile::exists(box.tmp.path() + "etc-xdg/escape.desktop"));
    reg.closeKey();
}

TEST(FreedesktopRegistryRun, MissingKeyMessagesNameTheFolderLookedFor) {
    DesktopSandbox box;
    FreedesktopRegistry reg(box.env);
    ScriptedDialogs dialogs;
    const QString lookedFor = "\nFolder looked for: " + box.autostart();
    for (const bool underAFile : {false, true}) {
        if (underAFile)
            box.tmp.write("etc-xdg", "a file where the folder should be");
        dialogs.clear();
        EXPECT_FALSE(REGISTRY_INC__Write_String(reg, dialogs, RegistryRoot::LocalMachine, kKey,
                                                "junkloupe", "/x/junkloupe"));
        EXPECT_FALSE(REGISTRY_INC__Delete_Value(reg, dialogs, RegistryRoot::LocalMachine, kKey,
                                                "junkloupe"));
        EXPECT_EQ(dialogs.texts(),
                  (QStringList{registryKeyMissingWriteMessage(kKey, "junkloupe", "/x/junkloupe") +
                                   lookedFor,
                               registryKeyMissingDeleteMessage(kKey, "junkloupe") + lookedFor}));
    }
}

TEST(FreedesktopRegistryRun, ReadOnlyFolderHasNoAccess) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write anywhere";
    DesktopSandbox box;
    QDir().mkpath(box.autostart());
    box.tmp.write("etc-xdg/autostart/junkloupe.desktop",
                  "[Desktop Entry]\nType=Application\nExec=/x/junkloupe\n");
    QFile::setPermissions(box.autostart(), QFile::ReadOwner | QFile::ExeOwner);
    FreedesktopRegistry reg(box.env);
    reg.selectRoot(RegistryRoot::LocalMachine);
    EXPECT_FALSE(reg.keyOpensWithFullAccess(kKey));
    EXPECT_EQ(REGISTRY_INC__Read_String(reg, RegistryRoot::LocalMachine, kKey, "junkloupe"), "");
    QFile::setPermissions(box.autostart(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(FreedesktopRegistryShellFolders, ReadOnlyAndOnlyExistingFolders) {
    DesktopSandbox box;
    FreedesktopRegistry reg(box.env);
    const QString key = kShellFoldersKeyPath;
    const QString bare = key.mid(1);
    EXPECT_EQ(REGISTRY_INC__Read_String(reg, RegistryRoot::CurrentUser, key, "Desktop"), "");
    QDir().mkpath(box.desktop());
    QDir().mkpath(box.applications());
    QDir().mkpath(box.sendTo());
    EXPECT_EQ(REGISTRY_INC__Read_String(reg, RegistryRoot::CurrentUser, key, "Desktop"),
              box.desktop());
    EXPECT_EQ(REGISTRY_INC__Read_String(reg, RegistryRoot::CurrentUser, bare, "Start Menu"),
              box.applications());
    EXPECT_EQ(REGISTRY_INC__Read_String(reg, RegistryRoot::CurrentUser, bare.toUpper(), "SendTo"),
              box.sendTo());
    EXPECT_EQ(REGISTRY_INC__Read_String(reg, RegistryRoot::CurrentUser, key, "Programs"), "");
    EXPECT_EQ(REGISTRY_INC__Read_String(reg, RegistryRoot::LocalMachine, key, "Desktop"), "");

    reg.selectRoot(RegistryRoot::CurrentUser);
    ASSERT_TRUE(reg.openKey(key));
    EXPECT_FALSE(reg.writeString("Desktop", "/elsewhere"));
    EXPECT_TRUE(reg.valueExists("Desktop"));
    reg.closeKey();
}

} // namespace
} // namespace jl
