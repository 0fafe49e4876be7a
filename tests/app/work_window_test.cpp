// Work off the user-interface thread through the window: busy but live while
// it runs, its progress on the progress panel, and every way to stop it
// (Escape, a click on the panel, the stop flag, closing the window).

#include "support/window_fixture.h"
#include "util/background_job.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>

namespace jl::test {
namespace {

using namespace std::chrono_literals;

class WorkWindowTest : public WindowTest {
protected:
    void SetUp() override { openActive(); }

    // Work of 1,000 steps that never ends by itself (unless a broken stop lets
    // ten seconds pass); returns the steps it made.
    static int endless(const JobControl& control) {
        int steps = 0;
        const auto limit = std::chrono::steady_clock::now() + 10s;
        while (!control.stopRequested() && std::chrono::steady_clock::now() < limit) {
            control.reportProgress(std::min(++steps, 1000), 1000);
            std::this_thread::sleep_for(1ms);
        }
        return steps;
    }
};

TEST_F(WorkWindowTest, WindowIsBusyButLiveAndEveryWayStopsTheWork) {
    const struct {
        const char* name;
        std::function<void(TMainForm1&)> stop;
        bool closes;
    } ways[] = {
        {"Escape on the window", [](TMainForm1& f) { QTest::keyClick(&f, Qt::Key_Escape); }, false},
        {"click on the panel",
         [](TMainForm1& f) {
             QTest::mouseClick(f.findChild<QProgressBar*>("Progress_Guage"), Qt::LeftButton);
         },
         false},
        {"stop flag",
         [](TMainForm1& f) {
             f.findChild<QCheckBox*>("Abort_All_Processing_CheckBox")->setChecked(true);
         },
         false},
        {"close", [](TMainForm1& f) { f.close(); }, true},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        openActive();
        files().insert(QStringLiteral("/m/kept.eml"));
        // Seen from an event handled while the work runs, once its progress
        // is on the panel.
        bool busy = false;
        bool menusEnabled = false;
        int gaugeMaximum = -1;
        int ticks = 0;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            ++ticks;
            if (!control<QGroupBox>("File_Processing_Progress_GroupBox")->isVisible() ||
                control<QProgressBar>("Progress_Guage")->value() <= 0)
                return;
            watch.stop();
            busy = form->isBusy() && !button("Next_File_BitBtn")->isEnabled();
            menusEnabled = control<QMenuBar>("MainMenu1")->isEnabled();
            gaugeMaximum = control<QProgressBar>("Progress_Guage")->maximum();
            way.stop(*form);
        });
        watch.start(5);
        int steps = 0;
        form->runWork([&steps](const JobControl& control) { steps = endless(control); });

        EXPECT_GT(ticks, 1);
        EXPECT_TRUE(busy);
        EXPECT_TRUE(menusEnabled);
        EXPECT_EQ(gaugeMaximum, 1000);
        EXPECT_GT(steps, 0);
        EXPECT_LT(steps, 5000); // stopped, not timed out
        EXPECT_FALSE(form->isWorking());
        EXPECT_FALSE(form->isBusy());
        EXPECT_FALSE(control<QGroupBox>("File_Processing_Progress_GroupBox")->isVisible());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(form->isVisible(), !way.closes);
        if (way.closes) { // the close saved the list as it stood
            EXPECT_EQ(program.read("Junkloupe.ini_file"), "/m/kept.eml\r\n");
        } else {
            EXPECT_TRUE(button("Next_File_BitBtn")->isEnabled());
        }
    }
}

TEST_F(WorkWindowTest, ShortWorkShowsNoPanelAndAFailureIsReported) {
    bool panelSeen = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        panelSeen =
            panelSeen || control<QGroupBox>("File_Processing_Progress_GroupBox")->isVisible();
    });
    watch.start(5);
    form->runWork([](const JobControl& control) {
        control.reportProgress(1, 2);
        std::this_thread::sleep_for(50ms);
    });
    EXPECT_FALSE(panelSeen);

    form->runCommand([this] {
        form->runWork([](const JobControl&) { throw std::runtime_error("Out of luck"); });
    });
    ASSERT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.lastText(), "Out of luck.");
    EXPECT_FALSE(form->isBusy());
    EXPECT_FALSE(form->isWorking());
}

// A stop says how much of the directory went in, and the directory is not
// remembered as read: choosing it again adds the rest.
TEST_F(WorkWindowTest, FilesInDirectoryStoppedSaysHowFarItGotAndTheSameChoiceCompletesIt) {
    // The stop flag is asked before every name after the first.
    for (int i = 0; i < 5; ++i)
        message(QStringLiteral("dir/m%1.eml").arg(i), "Received: x\r\n");
    message("dir/sub/not-counted.eml", "Received: x\r\n");
    const QString dir = program.file("messages/dir");
    form->workspace().setCurrentDirectory(program.file("messages/"));
    control<QCheckBox>("Abort_All_Processing_CheckBox")->setChecked(true);
    dialogs.chooseNext(dir);
    form->Add_All_Files_In_A_Directory_BitBtnClick();
    EXPECT_EQ(files().count(), 1);
    EXPECT_EQ(current(), 0);
    EXPECT_FALSE(form->isBusy());
    ASSERT_EQ(dialogs.count(), 2u); // the chooser and the notice
    EXPECT_EQ(dialogs.lastType(), Shown::Type::Information);
    EXPECT_EQ(dialogs.lastText(), "Files in Directory was stopped after 1 of the 5 files in " +
                                      dir +
                                      "/: 1 of them was added to the list.\nThe directory "
                                      "was not read whole; choose it again to add the rest.");
    EXPECT_EQ(form->workspace().currentDirectory(), program.file("messages/"));
    EXPECT_EQ(dialogs.lastStartDirectory(), program.file("messages/"));

    // The same choice again reads it whole (the chooser starts there), and
    // only then is it the current directory.
    control<QCheckBox>("Abort_All_Processing_CheckBox")->setChecked(false);
    dialogs.clear();
    dialogs.chooseNext(dir);
    form->Add_All_Files_In_A_Directory_BitBtnClick();
    EXPECT_EQ(files().count(), 5);
    EXPECT_EQ(dialogs.count(), 1u);
    EXPECT_EQ(dialogs.lastStartDirectory(), dir + "/");
    EXPECT_EQ(form->workspace().currentDirectory(), dir + "/");
}

TEST_F(WorkWindowTest, FilesDroppedWhileADirectoryIsReadAreKeptWithIt) {
    for (int i = 0; i < 3; ++i)
        message(QStringLiteral("dir/m%1.eml").arg(i), "Received: x\r\n");
    const QString dropped = message(QStringLiteral("other.eml"), "Received: y\r\n");
    const QString dirEntry = program.file("messages/dir/m1.eml");
    // The drop comes from the first event the window handles after the
    // click, while the directory may still be read.
    QTimer::singleShot(0, form.get(), [this, dropped, dirEntry] {
        form->FormDropFiles({dropped, dirEntry});
    });
    dialogs.chooseNext(program.file("messages/dir"));
    form->Add_All_Files_In_A_Directory_BitBtnClick();
    QApplication::processEvents();
    QStringList expected = {dropped};
    for (int i = 0; i < 3; ++i)
        expected << program.file(QStringLiteral("messages/dir/m%1.eml").arg(i));
    expected.sort();
    QStringList got = files().entries();
    got.sort();
    EXPECT_EQ(got, expected);
    EXPECT_FALSE(form->isBusy());
}

} // namespace
} // namespace jl::test
