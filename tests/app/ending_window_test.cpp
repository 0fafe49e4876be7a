// Every ending of the window ends the program, whenever it comes (while the
// first file is read, before the event loop runs; during a scan), and a later
// start's hand-off reaches the window as a drop once no command is under way.

#include "support/window_fixture.h"

#include "app/widgets/start_up.h"
#include "util/list_file.h"

#include <QAction>
#include <QPushButton>
#include <QTimer>

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
        form->ExitOption->trigger();
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
            form->ExitOption->trigger();
        });
        form->BitBtn1->click();
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

} // namespace
} // namespace jl::test
