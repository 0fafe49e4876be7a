#include "desktop/auto_run.h"
#include "desktop/freedesktop_registry.h"

#include "desktop_sandbox.h"
#include "support/scripted_dialogs.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace jl {
namespace {

using test::ScriptedDialogs;
using test::Shown;

const QString kName = "junkloupe";
const QString kPath = "/opt/Tools/junkloupe";

// A sandboxed desktop with its autostart folder and a registry on it.
struct AutoRunDesk {
    test::DesktopSandbox box;
    FreedesktopRegistry reg{box.env};
    ScriptedDialogs dialogs;

    AutoRunDesk() { QDir().mkpath(box.autostart()); }
    void storeEntry(const QString& name, const QByteArray& exec) {
        box.tmp.write("etc-xdg/autostart/" + name + ".desktop",
                      "[Desktop Entry]\nType=Application\nName=x\nExec=" + exec + "\n");
    }
    QString stored(const QString& name = kName) {
        QString data;
        reg.selectRoot(RegistryRoot::LocalMachine);
        reg.openKey(kRunKeyPath);
        reg.readString(name, &data);
        reg.closeKey();
        return data;
    }
};

TEST(AutoRunMenu, EnableAndDisableFlipTheTickWithTheirConfirmations) {
    AutoRunDesk d;
    EXPECT_TRUE(Auto_Run_at_Windows_Startup_OptionClick(d.reg, d.dialogs, false, kName, kPath));
    EXPECT_EQ(d.dialogs.lastType(), Shown::Type::Information);
    EXPECT_EQ(d.dialogs.lastText(),
              "This program (junkloupe) will now run automatically at Windows Start-Up.");
    EXPECT_EQ(d.stored(), kPath);
    EXPECT_TRUE(REGISTRY_INC__Check_Auto_Run(d.reg, d.dialogs, kName, kPath));

    EXPECT_FALSE(Auto_Run_at_Windows_Startup_OptionClick(d.reg, d.dialogs, true, kName, kPath));
    EXPECT_EQ(d.dialogs.lastText(),
              "This program (junkloupe) will now no-longer run automatically at Windows Start-Up.");
    EXPECT_FALSE(QFile::exists(d.box.autostart() + "/junkloupe.desktop"));
    EXPECT_FALSE(REGISTRY_INC__Check_Auto_Run(d.reg, d.dialogs, kName, kPath));
    EXPECT_EQ(d.dialogs.count(), 2u);
}

TEST(AutoRunMenu, DisablingWithoutAnEntryStillSucceeds) {
    AutoRunDesk d;
    EXPECT_FALSE(Auto_Run_at_Windows_Startup_OptionClick(d.reg, d.dialogs, true, kName, kPath));
    ASSERT_EQ(d.dialogs.count(), 1u);
    EXPECT_EQ(d.dialogs.lastType(), Shown::Type::Information);
}

TEST(AutoRunMenu, NoFullAccessKeepsTheTick) {
    test::DesktopSandbox box; // no autostart folder at all
    FreedesktopRegistry reg(box.env);
    ScriptedDialogs dialogs;
    EXPECT_FALSE(Auto_Run_at_Windows_Startup_OptionClick(reg, dialogs, false, kName, kPath));
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Error);
    EXPECT_TRUE(dialogs.lastText().startsWith(
        "Error: The specified Registry Key for this operation \ndoes NOT exist on your PC.  \n"));
    EXPECT_TRUE(dialogs.lastText().contains(" Error Item  = junkloupe\n Error Value = " + kPath));
    EXPECT_FALSE(QDir(box.autostart()).exists()) << "the key must never be created";

    EXPECT_TRUE(Auto_Run_at_Windows_Startup_OptionClick(reg, dialogs, true, kName, kPath));
    EXPECT_EQ(dialogs.count(), 2u);
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Error);
}

TEST(AutoRunCheck, EntriesThatMatchOrNot) {
    struct Case {
        const char* what;
        QByteArray exec;
        bool asks;
        bool tick;
    };
    const Case cases[] = {
        {"same path", "/opt/Tools/junkloupe", false, true},
        {"ASCII case only", "/OPT/tools/JUNKLOUPE", false, true},
        {"quoted (a desktop quotes it anyway)", "\"/opt/Tools/junkloupe\"", false, true},
        {"literal quotes in the data", "\"\\\\\"/opt/Tools/junkloupe\\\\\"\"", true, true},
        {"with arguments", "/opt/Tools/junkloupe --show=minimized", true, true},
        {"moved", "/old/place/junkloupe", true, true},
        {"empty data", "", false, false},
    };
    for (const Case& c : cases) {
        AutoRunDesk d;
        d.storeEntry(kName, c.exec);
        d.dialogs.answerNo();
        EXPECT_EQ(REGISTRY_INC__Check_Auto_Run(d.reg, d.dialogs, kName, kPath), c.tick) << c.what;
        EXPECT_EQ(d.dialogs.count(), c.asks ? 1u : 0u) << c.what;
        if (c.asks) {
            EXPECT_EQ(d.dialogs.lastType(), Shown::Type::Warning) << c.what;
        }
    }
    // Non-ASCII letters are compared as they are.
    AutoRunDesk d;
    d.storeEntry(kName, QStringLiteral(u"/opt/Ärger/junkloupe").toUtf8());
    d.dialogs.answerNo();
    EXPECT_TRUE(REGISTRY_INC__Check_Auto_Run(d.reg, d.dialogs, kName,
                                             QStringLiteral(u"/opt/äRGER/junkloupe")));
    EXPECT_EQ(d.dialogs.count(), 1u);
}

TEST(AutoRunCheck, RelocationAnsweredYesAndNo) {
    AutoRunDesk d;
    d.storeEntry(kName, "/old/place/junkloupe");
    d.dialogs.answerNo();
    EXPECT_TRUE(REGISTRY_INC__Check_Auto_Run(d.reg, d.dialogs, kName, kPath));
    EXPECT_EQ(d.dialogs.lastText(),
              "The directory / path settings required to make this program (junkloupe)\n"
              "run automatically at Windows Start-up do not match where the program \n"
              "is currently being run from.\n"
              "\n"
              " Old      = /old/place/junkloupe\n"
              " Current = /opt/Tools/junkloupe\n"
              "\n"
              "Do you want to update the Windows Registry to reflect the programs current "
              "locaton ?");
    EXPECT_EQ(d.stored(), "/old/place/junkloupe");

    d.dialogs.answerNo(); // asked again at the next showing
    EXPECT_TRUE(REGISTRY_INC__Check_Auto_Run(d.reg, d.dialogs, kName, kPath));
    EXPECT_EQ(d.dialogs.count(), 2u);

    d.dialogs.answerYes();
    EXPECT_TRUE(REGISTRY_INC__Check_Auto_Run(d.reg, d.dialogs, kName, kPath));
    EXPECT_EQ(d.dialogs.lastText(),
              "This program (junkloupe) will now run automatically at Windows Start-Up.");
    EXPECT_EQ(d.stored(), kPath);
    EXPECT_TRUE(REGISTRY_INC__Check_Auto_Run(d.reg, d.dialogs, kName, kPath));
    EXPECT_EQ(d.dialogs.count(), 4u);
    EXPECT_TRUE(d.dialogs.scriptUsedUp());
}

TEST(AutoRunCheck, RenamedExecutableNeitherFindsNorRemovesTheOldEntry) {
    AutoRunDesk d;
    d.storeEntry(kName, "/opt/Tools/junkloupe");
    EXPECT_FALSE(REGISTRY_INC__Check_Auto_Run(d.reg, d.dialogs, "jl2", "/opt/Tools/jl2"));
    EXPECT_TRUE(
        Auto_Run_at_Windows_Startup_OptionClick(d.reg, d.dialogs, false, "jl2", "/opt/Tools/jl2"));
    EXPECT_EQ(d.stored("jl2"), "/opt/Tools/jl2");
    EXPECT_EQ(d.stored(), "/opt/Tools/junkloupe");
}

TEST(AutoRunCheck, UnopenableKeyReadsAsNoEntry) {
    AutoRunDesk d;
    d.storeEntry(kName, "/opt/Tools/junkloupe");
    // Point the system config folders at a place without the entry's folder.
    d.box.env.xdgConfigDirs = d.box.tmp.path() + "nowhere";
    FreedesktopRegistry other(d.box.env);
    EXPECT_FALSE(REGISTRY_INC__Check_Auto_Run(other, d.dialogs, kName, kPath));
    EXPECT_EQ(d.dialogs.count(), 0u);
    EXPECT_EQ(asciiUpperCase(QStringLiteral(u"a-zé")), QStringLiteral(u"A-Zé"));
}

} // namespace
} // namespace jl
