// What the game says when it cannot start where it was started: one line on
// standard error that names what it tried, never a library's stray report
// or a reason that is not the one.
#include <gtest/gtest.h>

#include <string>

#include "../support/process.h"

namespace {

using namespace std::chrono_literals;

// An X display number no test machine runs a server on.
constexpr const char* ABSENT_DISPLAY = ":4711";

TEST(NoDevice, ANamedDisplayThatIsNotThereIsNamedInOneLine)
{
    TempDir data(KESTRAVA_DATA_DIR);
    // Without XDG_RUNTIME_DIR a Wayland library tried on the way would print
    // a complaint of its own.
    Program game({KESTRAVA_GAME}, data.dir, {{"DISPLAY", ABSENT_DISPLAY}, {"SDL_AUDIODRIVER", "dummy"}},
                 {"WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "XDG_RUNTIME_DIR"});
    const Ended e = game.wait(60s);
    ASSERT_TRUE(e.exited);
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(e.err, std::string("kestrava: display: could not open the X display '") + ABSENT_DISPLAY +
                         "' (DISPLAY)\n");
}

TEST(NoData, TheGameSaysWhereItLooked)
{
    TempDir data(KESTRAVA_DATA_DIR);
    fs::remove(data.dir / "splash.bmp");
    Program game({KESTRAVA_GAME}, data.dir, {{"SDL_VIDEODRIVER", "dummy"}, {"SDL_AUDIODRIVER", "dummy"}});
    const Ended e = game.wait(60s);
    ASSERT_TRUE(e.exited);
    EXPECT_EQ(e.status, 1);
    // The working directory first, then the installed folders; on one line.
    const std::string start = "kestrava: splash.bmp: No such file or directory in " + data.dir.string() + ", ";
    EXPECT_EQ(e.err.rfind(start, 0), 0u) << e.err;
    EXPECT_NE(e.err.find("/share/games/kestrava or /"), std::string::npos) << e.err;
    EXPECT_EQ(e.err.find('\n'), e.err.size() - 1) << e.err;
}

}  // namespace
