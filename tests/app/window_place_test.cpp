// The stored window geometry is put back fitted to the screens: the pure rule
// over many screen layouts, and the window over the offscreen platform's
// screen, which writes back what it applied.

#include "support/window_fixture.h"

#include "app/window_place.h"
#include "util/ini_file.h"

#include <QScreen>

#include <climits>

namespace jl::test {
namespace {

const WindowPlace kDefaults{20, 20, 815, 543};
const QRect kFullHd(0, 0, 1920, 1080);
const QRect kFullHdLessPanel(0, 27, 1920, 1053);

TEST(WindowPlace, StoredGeometryIsFittedToTheScreenItIsOn) {
    const ScreenArea one{kFullHd, kFullHdLessPanel};
    // A second screen to the right of the first, smaller and lower.
    const ScreenArea right{QRect(1920, 200, 1280, 720), QRect(1920, 200, 1280, 720)};
    const ScreenArea tiny{QRect(0, 0, 640, 480), QRect(0, 0, 640, 480)};
    const ScreenArea small{QRect(0, 0, 1280, 900), QRect(0, 0, 1280, 900)};
    const struct {
        const char* what;
        QList<ScreenArea> screens;
        WindowPlace stored;
        WindowPlace expected;
    } cases[] = {
        {"usable geometry is kept", {one}, {150, 100, 700, 500}, {150, 100, 700, 500}},
        {"the defaults move below the panel", {one}, kDefaults, {20, 27, 815, 543}},
        {"five rows too high: shrunk and moved up",
         {small},
         {400, 200, 815, 905},
         {400, 0, 815, 900}},
        {"a huge size is cut to the available area",
         {one},
         {20, 20, 40000, 2147483647},
         {0, 27, 1920, 1053}},
        {"the whole available area is kept", {one}, {0, 27, 1920, 1053}, {0, 27, 1920, 1053}},
        {"a pixel more each way is cut", {one}, {0, 27, 1921, 1054}, {0, 27, 1920, 1053}},
        {"below a quarter of the design size", {one}, {20, 30, 202, 136}, {20, 30, 815, 543}},
        {"a quarter of the design size is usable", {one}, {20, 30, 203, 137}, {20, 30, 203, 137}},
        {"negative and zero sizes", {one}, {20, 30, -5, 0}, {20, 30, 815, 543}},
        {"far right and down: into the corner",
         {one},
         {5000, 3000, 800, 500},
         {1120, 580, 800, 500}},
        {"far left only: the left edge", {one}, {-99999, 300, 800, 500}, {0, 300, 800, 500}},
        {"title bar above the screen", {one}, {300, -40, 800, 500}, {300, 27, 800, 500}},
        {"partly below the bottom", {one}, {100, 1040, 800, 500}, {100, 580, 800, 500}},
        {"mostly off to the left", {one}, {-700, 100, 800, 500}, {0, 100, 800, 500}},
        {"the extremes of int", {one}, {INT_MIN, INT_MAX, INT_MAX, INT_MIN}, {0, 537, 1920, 543}},
        {"on the second screen", {one, right}, {2300, 400, 800, 500}, {2300, 400, 800, 500}},
        {"above the second screen's top",
         {one, right},
         {2300, 100, 800, 500},
         {2300, 200, 800, 500}},
        {"across both: onto the one holding more",
         {one, right},
         {1500, 300, 800, 500},
         {1120, 300, 800, 500}},
        {"the second screen gone", {one}, {2500, 400, 800, 500}, {1120, 400, 800, 500}},
        {"larger than the screen it is on",
         {one, right},
         {2000, 300, 1600, 900},
         {1920, 200, 1280, 720}},
        {"a small screen shrinks the default too", {tiny}, {20, 20, 4000, 4000}, {0, 0, 640, 480}},
        {"off every screen: onto the primary",
         {ScreenArea{QRect(3000, 3000, 800, 600), QRect(3000, 3030, 800, 570)}},
         {0, 0, 500, 400},
         {3000, 3030, 500, 400}},
        {"no screen at all: as stored", {}, {5000, 3000, 40000, 40000}, {5000, 3000, 40000, 40000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const WindowPlace got = fitWindowPlace(c.stored, kDefaults, c.screens);
        EXPECT_EQ(got.left, c.expected.left);
        EXPECT_EQ(got.top, c.expected.top);
        EXPECT_EQ(got.width, c.expected.width);
        EXPECT_EQ(got.height, c.expected.height);
    }
}

class WindowPlaceTest : public WindowTest {
protected:
    QString key(const char* name) {
        return IniFile::load(program.file(QStringLiteral("Junkloupe.ini")))
            .readString(QStringLiteral("Junkloupe"), QString::fromLatin1(name));
    }
};

TEST_F(WindowPlaceTest, StoredGeometryIsFittedOnScreenAndWrittenBackAsApplied) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_GE(screen.width(), 815) << "the test main gives the offscreen platform a large screen";
    const struct {
        const char* keys;
        QRect expected;
    } cases[] = {
        {"window_Width=40000\r\nwindow_Height=2147483647\r\n",
         QRect(screen.topLeft(), screen.size())},
        {"window_left_posn=5000\r\nwindow_top_posn=3000\r\n",
         QRect(screen.right() + 1 - 815, screen.bottom() + 1 - 543, 815, 543)},
        {"window_left_posn=-99999\r\nwindow_top_posn=300\r\n", QRect(screen.left(), 300, 815, 543)},
        {"window_top_posn=600\r\nwindow_Height=905\r\n",
         QRect(20, screen.bottom() + 1 - 905, 815, 905)},
        {"window_Width=100\r\nwindow_Height=-3\r\n", QRect(20, 20, 815, 543)},
        {"window_left_posn=150\r\nwindow_top_posn=100\r\nwindow_Width=700\r\nwindow_Height=500\r\n",
         QRect(150, 100, 700, 500)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        program.write("Junkloupe.ini", QByteArray("[Junkloupe]\r\n") + c.keys);
        open();
        EXPECT_EQ(form->frameGeometry(), c.expected);
        ASSERT_TRUE(form->close());
        // What the window had is what the next start reads.
        EXPECT_EQ(key("window_left_posn").toInt(), c.expected.left());
        EXPECT_EQ(key("window_top_posn").toInt(), c.expected.top());
        EXPECT_EQ(key("window_Width").toInt(), c.expected.width());
        EXPECT_EQ(key("window_Height").toInt(), c.expected.height());
    }
}

} // namespace
} // namespace jl::test
