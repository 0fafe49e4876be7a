// The stored window geometry is put back only as far as it fits the screens:
// the pure rule over many screen layouts, and the window over the offscreen
// platform's screen, which writes back what it applied.

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

TEST(WindowPlace, StoredGeometryIsKeptOnlyAsFarAsItFits) {
    const ScreenArea one{kFullHd, kFullHdLessPanel};
    // A second screen to the right of the first, smaller and lower.
    const ScreenArea right{QRect(1920, 200, 1280, 720), QRect(1920, 200, 1280, 720)};
    const ScreenArea tiny{QRect(0, 0, 640, 480), QRect(0, 0, 640, 480)};
    const struct {
        const char* what;
        QList<ScreenArea> screens;
        WindowPlace stored;
        WindowPlace expected;
    } cases[] = {
        {"usable geometry is kept", {one}, {150, 100, 700, 500}, {150, 100, 700, 500}},
        {"the defaults fit", {one}, kDefaults, kDefaults},
        {"a huge size gives the default size",
         {one},
         {20, 20, 40000, 2147483647},
         {20, 20, 815, 543}},
        {"each key on its own: a usable width stays",
         {one},
         {20, 20, 1000, 99999},
         {20, 20, 1000, 543}},
        {"the whole available width is still usable",
         {one},
         {0, 27, 1920, 1053},
         {0, 27, 1920, 1053}},
        {"a pixel more is not", {one}, {0, 27, 1921, 1054}, {0, 27, 815, 543}},
        {"below a quarter of the design size", {one}, {20, 20, 202, 136}, {20, 20, 815, 543}},
        {"a quarter of the design size is usable", {one}, {20, 20, 203, 137}, {20, 20, 203, 137}},
        {"negative and zero sizes", {one}, {20, 20, -5, 0}, {20, 20, 815, 543}},
        {"far right and down: both keys' defaults",
         {one},
         {5000, 3000, 800, 500},
         {20, 20, 800, 500}},
        {"far left only: the default left", {one}, {-99999, 300, 800, 500}, {20, 300, 800, 500}},
        {"title bar above the screen: the default top",
         {one},
         {300, -40, 800, 500},
         {300, 20, 800, 500}},
        {"the extremes of int", {one}, {INT_MIN, INT_MAX, INT_MAX, INT_MIN}, {20, 20, 815, 543}},
        {"mostly off to the left but grabbable",
         {one},
         {-700, 100, 800, 500},
         {-700, 100, 800, 500}},
        {"less than the grip width on screen", {one}, {-750, 100, 800, 500}, {20, 100, 800, 500}},
        {"title bar too close to the bottom", {one}, {100, 1040, 800, 500}, {100, 20, 800, 500}},
        {"on the second screen", {one, right}, {2500, 400, 800, 500}, {2500, 400, 800, 500}},
        {"in the gap above the second screen",
         {one, right},
         {2500, 100, 800, 500},
         {20, 100, 800, 500}},
        {"the second screen gone", {one}, {2500, 400, 800, 500}, {20, 400, 800, 500}},
        {"wider than the smaller screen but fits the larger",
         {one, right},
         {2000, 300, 1600, 900},
         {2000, 300, 1600, 900}},
        {"a small screen shrinks the default too",
         {tiny},
         {20, 20, 4000, 4000},
         {20, 20, 640, 480}},
        {"no place with a default works: the primary's corner",
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

TEST_F(WindowPlaceTest, RunawayGeometryIsReplacedOnScreenAndWrittenBackAsApplied) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_GE(screen.width(), 815) << "the test main gives the offscreen platform a large screen";
    const struct {
        const char* keys;
        QRect expected;
    } cases[] = {
        {"window_Width=40000\r\nwindow_Height=2147483647\r\n", QRect(20, 20, 815, 543)},
        {"window_left_posn=5000\r\nwindow_top_posn=3000\r\n", QRect(20, 20, 815, 543)},
        {"window_left_posn=-99999\r\nwindow_top_posn=300\r\n", QRect(20, 300, 815, 543)},
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
