#include "about/memory_status.h"
#include "about/widgets/about_box.h"
#include "about/widgets/app_icon.h"
#include "support/fifo_trap.h"
#include "support/temp_folder.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace jl {
namespace {

constexpr quint64 KiB = 1024;
constexpr quint64 GiB = KiB * 1024 * 1024;

TEST(FreeMemory, FormulaOnFixedFigures) {
    MemoryStatus s{4 * GiB, 16 * GiB, 1 * GiB, 4 * GiB}; // (4 + 1) / (16 + 4)
    EXPECT_DOUBLE_EQ(freeMemoryPercentage(s), 25.0);
    EXPECT_EQ(freeMemoryText(s), "25%");

    // Physical bytes are cut to whole KiB, page-file bytes are not.
    MemoryStatus cut{1023, 2048, 512, 0}; // (0 + 0.5) / (2 + 0)
    EXPECT_DOUBLE_EQ(freeMemoryPercentage(cut), 25.0);

    MemoryStatus noSwap{3 * KiB, 8 * KiB, 0, 0};
    EXPECT_EQ(freeMemoryText(noSwap), "38%"); // 37.5 rounds up
    MemoryStatus third{1 * KiB, 3 * KiB, 0, 0};
    EXPECT_EQ(freeMemoryText(third), "33%");
    EXPECT_EQ(freeMemoryText(MemoryStatus{}), "0%");
}

TEST(FreeMemory, MeminfoFigures) {
    const QByteArray text = "MemTotal:       16000000 kB\n"
                            "MemFree:         1000000 kB\n"
                            "MemAvailable:    6000000 kB\n"
                            "Buffers:          100000 kB\n"
                            "SwapTotal:       4000000 kB\n"
                            "SwapFree:        4000000 kB\n"
                            "HugePages_Total:       0\n";
    const std::optional<MemoryStatus> s = parseMeminfo(text);
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->totalPhysical, 16000000 * KiB);
    EXPECT_EQ(s->availablePhysical, 6000000 * KiB);
    EXPECT_EQ(freeMemoryText(*s), "50%");

    const std::optional<MemoryStatus> old = parseMeminfo("MemTotal: 1000 kB\nMemFree: 100 kB\n"
                                                         "Buffers: 50 kB\nCached: 100 kB\n");
    ASSERT_TRUE(old.has_value());
    EXPECT_EQ(freeMemoryText(*old), "25%"); // no swap lines: no swap
    EXPECT_FALSE(parseMeminfo("garbage").has_value());
    EXPECT_TRUE(parseMeminfo(readMeminfo()).has_value()) << "this machine's /proc/meminfo";

    // A pipe in its place is not waited on.
    test::TempFolder folder;
    const test::FifoTrap pipe(folder.file("meminfo"));
    ASSERT_TRUE(pipe.made());
    QByteArray read = "unset";
    EXPECT_TRUE(pipe.run([&] { read = readMeminfo(folder.file("meminfo")); }));
    EXPECT_TRUE(read.isEmpty());
}

// An About dialog fed with fixed figures, counting the refreshes.
struct AboutFixture : ::testing::Test {
    int refreshes = 0;
    TAboutBox box{nullptr, [this]() -> std::optional<MemoryStatus> {
                      ++refreshes;
                      return MemoryStatus{57 * KiB, 100 * KiB, 0, 0};
                  }};
    void SetUp() override { box.setProductTexts(); }
    void TearDown() override { box.hide(); }
};

TEST_F(AboutFixture, TextsAndLayout) {
    EXPECT_EQ(box.objectName(), "AboutBox");
    EXPECT_EQ(box.windowTitle(), "About Junkloupe v1.0f ...");
    EXPECT_EQ(box.Product_Name_Label->text(), "Junkloupe v1.0f");
    EXPECT_EQ(box.productName(), "Junkloupe v1.0f");
    EXPECT_TRUE(box.Author_and_Date_Label->text().startsWith("September 2007, "));
    EXPECT_GT(box.Author_and_Date_Label->text().size(), 16);
    EXPECT_EQ(box.Free_Resources_Label->text(), "Free %");
    EXPECT_EQ(refreshes, 0);
    EXPECT_EQ(box.size(), QSize(622, 411));
    EXPECT_EQ(box.minimumSize(), box.maximumSize());
    EXPECT_TRUE(box.isModal());
    EXPECT_FALSE(box.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(box.OKButton->isDefault());
    EXPECT_EQ(box.OKButton->text(), "OK");
    EXPECT_EQ(box.Free_Resources_Timer->interval(), 500);
    EXPECT_FALSE(box.Free_Resources_Timer->isActive());
    for (const char* name : {"Product_Name_Label", "Author_and_Date_Label", "Free_Resources_Label",
                             "OKButton", "Free_Resources_Timer"})
        EXPECT_NE(box.findChild<QObject*>(name), nullptr) << name;
    bool captionFound = false;
    for (const QLabel* label : box.findChildren<QLabel*>())
        captionFound |= label->text() == "Free System Resources :";
    EXPECT_TRUE(captionFound);
}

// The icon rendered by the build is in the program: every theme size, drawn
// (not blank), and shown in the dialog without overlapping its texts.
TEST_F(AboutFixture, ProgramIcon) {
    const QIcon icon = applicationIcon();
    const QList<QSize> sizes = icon.availableSizes();
    for (const int size : {16, 32, 48, 256})
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
    const QImage small = icon.pixmap(16, 16).toImage();
    int opaque = 0;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x)
            opaque += qAlpha(small.pixel(x, y)) > 128;
    EXPECT_GT(opaque, 16 * 16 / 3);
    EXPECT_LT(opaque, 16 * 16);

    const auto* picture = box.findChild<QLabel*>("Program_Icon_Image");
    ASSERT_NE(picture, nullptr);
    EXPECT_FALSE(picture->pixmap().isNull());
    for (const QLabel* label : {box.Product_Name_Label, box.Author_and_Date_Label})
        EXPECT_FALSE(label->geometry().intersects(picture->geometry()))
            << label->objectName().toStdString();
}

TEST_F(AboutFixture, ShowingRefreshesAtOnceAndStartsTheTimer) {
    box.open();
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(box.Free_Resources_Label->text(), "57%");
    EXPECT_TRUE(box.Free_Resources_Timer->isActive());
    box.Free_Resources_Timer->setInterval(10);
    QTRY_VERIFY_WITH_TIMEOUT(refreshes >= 3, 2000);
}

TEST_F(AboutFixture, EscapeEnterAndOkCloseAndStopTheTimer) {
    struct Way {
        const char* name;
        std::function<void(TAboutBox&)> close;
    };
    const Way ways[] = {
        {"Escape", [](TAboutBox& b) { QTest::keyClick(&b, Qt::Key_Escape); }},
        {"Escape on the button", [](TAboutBox& b) { QTest::keyClick(b.OKButton, Qt::Key_Escape); }},
        {"Enter", [](TAboutBox& b) { QTest::keyClick(&b, Qt::Key_Return); }},
        {"OK click", [](TAboutBox& b) { QTest::mouseClick(b.OKButton, Qt::LeftButton); }},
    };
    for (const Way& way : ways) {
        box.open();
        ASSERT_TRUE(box.isVisible()) << way.name;
        ASSERT_TRUE(box.Free_Resources_Timer->isActive()) << way.name;
        QSignalSpy finished(&box, &QDialog::finished);
        way.close(box);
        EXPECT_FALSE(box.isVisible()) << way.name;
        EXPECT_FALSE(box.Free_Resources_Timer->isActive()) << way.name;
        ASSERT_EQ(finished.count(), 1) << way.name;
        EXPECT_EQ(finished.at(0).at(0).toInt(), QDialog::Accepted) << way.name;
    }
    // Reopening restarts the timer and refreshes again.
    const int before = refreshes;
    box.open();
    EXPECT_TRUE(box.Free_Resources_Timer->isActive());
    EXPECT_EQ(refreshes, before + 1);
}

} // namespace
} // namespace jl
