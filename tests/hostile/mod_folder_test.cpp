// A mod folder holding one sheet re-saved by ImageMagick, beside a game
// installed with its data: the checker names each file's origin and kind,
// the game runs on the folder, and the endless key script ends at its bound.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sstream>

#include "../support/process.h"

using namespace std::chrono_literals;

namespace {

const fs::path DATA = KESTRAVA_DATA_DIR;

// games/kestrava and share/games/kestrava/, as an installation lays them out.
struct Installed {
    TempDir root{DATA};  // a scratch folder; the data copy itself is unused
    fs::path game = root.dir / "games" / "kestrava";
    fs::path mod = root.dir / "mod";
    Installed()
    {
        fs::create_directories(root.dir / "games");
        fs::create_directories(root.dir / "share" / "games" / "kestrava");
        fs::create_directories(mod);
        fs::copy_file(KESTRAVA_GAME, game);
        for (const fs::directory_entry& e : fs::directory_iterator(DATA))
            if (e.is_regular_file()) fs::copy_file(e.path(), root.dir / "share/games/kestrava" / e.path().filename());
    }
};

std::string line_of(const std::string& text, const std::string& start)
{
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(start, 0) == 0) return line;
    return "";
}

}  // namespace

TEST(ModFolder, OneReplacedSheetIsCheckedAndRuns)
{
    Installed install;
    const fs::path sheet = install.mod / "PlayerShip.bmp";
    ASSERT_EQ(std::system(("convert " + (DATA / "PlayerShip.bmp").string() + " " + sheet.string()).c_str()), 0);
    const std::string bytes = file_text(sheet);
    ASSERT_GT(bytes.size(), 34u);
    ASSERT_EQ(std::pair(int(bytes[14]), int(bytes[30])), std::pair(124, 1)) << "ImageMagick wrote another kind";

    // A 16-colour copy: ImageMagick writes 4 bits and its own palette order.
    const fs::path shots = install.mod / "Projectile.bmp";
    ASSERT_EQ(std::system(("convert " + (DATA / "Projectile.bmp").string() + " -colors 16 -type Palette BMP3:" +
                           shots.string()).c_str()), 0);

    const std::string out = (install.root.dir / "check.txt").string();
    const std::string check = install.game.string() + " --check-data " + install.mod.string() + " >" + out;
    EXPECT_EQ(WEXITSTATUS(std::system(check.c_str())), 0);
    const std::string lines = file_text(out);
    const std::pair<const char*, const char*> expected[] = {
        {"PlayerShip.bmp: ", "(data folder): BMP 369 x 39, 124-byte header, 8 bits, RLE8"},
        {"PlayerShip.bmp: ", "loaded; palette matches splash.bmp's"},
        {"Projectile.bmp: ",
         "4 bits, uncompressed, 16 colours, bottom row first: loaded; palette differs from splash.bmp's at"},
        {"splash.bmp: ", "(installed)"},
    };
    for (const auto& [file, said] : expected) EXPECT_NE(line_of(lines, file).find(said), std::string::npos) << lines;

    Program game({install.game.string(), "--data", install.mod.string()}, install.root.dir,
                 {{"SDL_VIDEODRIVER", "dummy"}, {"SDL_AUDIODRIVER", "dummy"}});
    Ended e = game.wait(7000ms);
    ASSERT_FALSE(e.exited) << e.status << ": " << e.err;
    game.signal(SIGTERM);
    e = game.wait(10s);
    EXPECT_TRUE(e.exited && e.status == 0) << e.err;
}

TEST(ModFolder, EndlessKeyScriptEndsWithOneLine)
{
    Installed install;
    const auto start = std::chrono::steady_clock::now();
    Program game({install.game.string(), "--play", "/dev/zero"}, install.root.dir, {});
    const Ended e = game.wait(10s);
    ASSERT_TRUE(e.exited);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(std::pair(e.status, e.err),
              std::pair(2, std::string("kestrava: /dev/zero:1: line longer than 4096 bytes\n")));
}
