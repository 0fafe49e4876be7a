// Every ending of the window ends the program, whenever it comes (while the
// first file is read, before the event loop runs; during a scan), and a later
// start's hand-off reaches the window as a drop once no command is under way.

#include "support/window_fixture.h"

#include "app/widgets/start_up.h"
#include "desktop/auto_run.h"
#include "desktop/registry.h"
#include "util/list_file.h"

#include <QAction>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

namespace jl::test {
namespace {

class EndingTest : public WindowTest {
protected:
    // Runs the window as the program does, with a watchdog that ends an event
    // loop still running after ten seconds. True when the loop was never
    // left waiting.
    bool runEndsByItself(const CommandLine& commandLine) {
        bool watchdogFired = false;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            watchdogFired = true;
            QCoreApplication::quit();
        });
        watchdog.start(10000);
        EXPECT_EQ(runMainWindow(*qApp, *form, commandLine), 0);
        return !watchdogFired;
    }
    // A message long enough that reading it lets events run many times.
    QString bigMessage(const QString& name, const QByteArray& extra = {}) {
        QByteArray body = "Received: from a\r\nSubject: x\r\n" + extra;
        while (body.size() < 400'000)
            body += "X-Filler: " + QByteArray(60, 'f') + "\r\n";
        return message(name, body);
    }
    QStringList savedFileList() { return decodeListFile(program.read("Junkloupe.ini_file")); }
};

TEST_F(EndingTest, ExitWhileTheFirstFileIsReadEndsTheProgram) {
    create();
    const QString big = bigMessage("big.eml");
    CommandLine commandLine;
    commandLine.paths = {big};
    // File > Exit as soon as events run: while the file named on the command
    // line is read, before the event loop has started.
    int pumpsBeforeExit = 0;
    QTimer::singleShot(0, form.get(), [&] {
        pumpsBeforeExit = form->isBusy() ? 1 : 0;
        action("ExitOption")->trigger();
    });
    EXPECT_TRUE(runEndsByItself(commandLine)) << "the process would never end";
    EXPECT_EQ(pumpsBeforeExit, 1) << "the exit did not come while the file was read";
    EXPECT_TRUE(form->closeAccepted());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(savedFileList(), QStringList{big});
}

TEST_F(EndingTest, ExitDuringAScanEndsTheProgram) {
    create();
    const QString last = message("zz-clean.eml", "Subject: clean\r\n");
    program.write("Junkloupe.ini_int", "spam-token\r\n");
    QStringList names;
    for (int i = 0; i < 40; ++i)
        names << bigMessage(QStringLiteral("m%1.eml").arg(i, 2, 10, QChar('0')), "spam-token\r\n");
    program.write("Junkloupe.ini_file", encodeListFile(names << last));
    program.write("Junkloupe.ini", "[Junkloupe]\r\nSelected_File_Num=-1\r\n");

    bool scanning = false;
    QTimer::singleShot(0, form.get(), [&] {
        // The exit comes at the first events the scan lets run.
        QTimer::singleShot(0, form.get(), [&] {
            scanning = true;
            action("ExitOption")->trigger();
        });
        button("BitBtn1")->click();
    });
    EXPECT_TRUE(runEndsByItself(CommandLine())) << "the scan kept the program alive";
    EXPECT_TRUE(scanning);
    EXPECT_TRUE(form->closeAccepted());
    EXPECT_EQ(savedFileList(), names);
    EXPECT_EQ(dialogs.count(), 0u) << qPrintable(dialogs.texts().join(" | "));
}

TEST_F(EndingTest, HandOffIsADropThatWaitsForTheCommandUnderWay) {
    shown();
    const QString a = message("a.eml", "Subject: a\r\n");
    const QString b = message("b.eml", "Subject: b\r\n");
    const QString c = message("c.eml", "Subject: c\r\n");

    // Idle: taken at once, the window as asked.
    form->takeHandedOverStart(StartUpShow::Maximized, {b});
    EXPECT_EQ(files().entries(), QStringList{b});
    EXPECT_EQ(current(), 0);
    EXPECT_TRUE(form->isMaximized());
    form->takeHandedOverStart(StartUpShow::Minimized, {});
    EXPECT_TRUE(form->isMinimized());
    form->takeHandedOverStart(std::nullopt, {});
    EXPECT_FALSE(form->isMinimized());

    // During a command (one that asks a question or reads a file): the list
    // is left alone until the command has ended.
    form->runCommand([&] {
        form->takeHandedOverStart(std::nullopt, {a});
        QCoreApplication::processEvents();
        EXPECT_EQ(files().entries(), QStringList{b});
    });
    for (int i = 0; i < 50 && files().count() < 2; ++i)
        QTest::qWait(20);
    EXPECT_EQ(files().entries(), (QStringList{a, b}));
    EXPECT_EQ(Get_First_Selected_Text(files()), b) << "the current file stays current";

    // A close while it waits: the path joins the list before the save.
    form->runCommand([&] {
        form->takeHandedOverStart(std::nullopt, {c});
        EXPECT_TRUE(form->close());
    });
    EXPECT_EQ(savedFileList(), (QStringList{a, b, c}));
}

// A close or the session's end while a box of the start-up is open (the
// settings notice, the auto-run question, the file list's boxes) writes no
// list that was not loaded: both list files stay byte for byte as they were,
// and after a close the start-up goes no further.
TEST_F(EndingTest, EndingDuringAStartUpBoxWritesNoListThatWasNotLoaded) {
    const QByteArray fileList = "/m/a.eml\r\n/m/bb.eml\r\n";
    const QByteArray itemsFile = "spam\r\nfoo.bar\r\n";
    const QString settings = program.file("Junkloupe.ini");
    const QString fileListPath = program.file("Junkloupe.ini_file");
    FreedesktopRegistry registry{desk.env};
    const struct {
        const char* box;
        std::function<void()> arrange;
        Shown::Type type;
    } boxes[] = {
        {"the settings notice",
         [&] { ASSERT_EQ(::truncate(QFile::encodeName(settings).constData(), 5LL << 30), 0); },
         Shown::Type::Information},
        {"the auto-run question",
         [&] {
             desk.tmp.mkdir("etc-xdg/autostart");
             REGISTRY_INC__Enable_Auto_Run(registry, dialogs, "junkloupe", "/elsewhere/junkloupe");
         },
         Shown::Type::Warning},
        {"the file list not read whole",
         [&] { program.write("Junkloupe.ini_file", QByteArray("/m/a.eml\r\n\0/m/b", 15)); },
         Shown::Type::Information},
        {"the file list that cannot be opened",
         [&] {
             QFile::remove(fileListPath);
             ASSERT_EQ(::mkfifo(QFile::encodeName(fileListPath).constData(), 0600), 0);
         },
         Shown::Type::Error},
    };
    for (const auto& box : boxes) {
        for (const bool sessionEnd : {false, true}) {
            SCOPED_TRACE(std::string(box.box) + (sessionEnd ? ", session end" : ", close"));
            form.reset();
            QFile::remove(fileListPath);
            QFile::remove(settings);
            program.write("Junkloupe.ini", "[Junkloupe]\r\n");
            program.write("Junkloupe.ini_file", fileList);
            program.write("Junkloupe.ini_int", itemsFile);
            QFile::remove(desk.autostart() + "/junkloupe.desktop");
            box.arrange();
            const bool fileListIsFile = QFileInfo(fileListPath).isFile();
            const QByteArray fileListBefore =
                fileListIsFile ? program.read("Junkloupe.ini_file") : QByteArray();
            dialogs.clear();
            if (box.type == Shown::Type::Warning)
                dialogs.answerNo();
            bool ended = false;
            dialogs.whileShown = [&](const Shown& shown) {
                if (ended)
                    return;
                ended = true;
                EXPECT_EQ(shown.type, box.type) << qPrintable(shown.text);
                if (sessionEnd) {
                    EXPECT_TRUE(form->saveAtSessionEnd());
                } else {
                    EXPECT_TRUE(form->close());
                }
            };
            open();
            dialogs.whileShown = nullptr;
            EXPECT_TRUE(ended);
            EXPECT_EQ(program.read("Junkloupe.ini_int"), itemsFile);
            if (fileListIsFile) {
                EXPECT_EQ(program.read("Junkloupe.ini_file"), fileListBefore);
            }
            EXPECT_EQ(form->closeAccepted(), !sessionEnd);
            if (!sessionEnd) {
                EXPECT_TRUE(items().isEmpty()) << "the start-up went on after the close";
                continue;
            }
            // The window goes on, and its close leaves the unchanged lists.
            EXPECT_EQ(items().count(), 2);
            EXPECT_TRUE(form->close());
            EXPECT_EQ(program.read("Junkloupe.ini_int"), itemsFile);
        }
    }
    QFile::remove(fileListPath);
}

// While the close saves (it may ask a question) the window takes no later
// start: one taken then could miss the save. It takes them again once a
// failed save has kept it open.
TEST_F(EndingTest, NoLaterStartIsTakenWhileTheCloseSaves) {
    shown();
    EXPECT_TRUE(form->acceptsHandOffs());
    files().insert(QStringLiteral("/m/window.eml"));
    program.write("Junkloupe.ini_file", "/m/by-a-script.eml\r\n");
    std::vector<bool> accepting;
    dialogs.whileShown = [&](const Shown&) { accepting.push_back(form->acceptsHandOffs()); };
    dialogs.answerYes();
    EXPECT_TRUE(form->close());
    dialogs.whileShown = nullptr;
    EXPECT_EQ(accepting, std::vector<bool>{false});
    EXPECT_FALSE(form->acceptsHandOffs());
    EXPECT_EQ(savedFileList(), QStringList{"/m/window.eml"});

    // A window whose lists are not loaded yet takes none either.
    form.reset();
    create();
    EXPECT_FALSE(form->acceptsHandOffs());
}

} // namespace
} // namespace jl::test
