// A mod folder beside a game installed with its data: the checker names each
// file's origin and kind, the game runs on the folder, pictures import into
// the splash's palette, and the endless key script ends at its bound.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "../support/files.h"
#include "../support/process.h"
#include "base/bytes.h"
#include "base/data_files.h"
#include "formats/bmp.h"
#include "formats/png.h"

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

// A mod tried out in a data folder (the build's, where scripts/run starts the
// game) takes the files it lacks from there; started elsewhere, from the
// installed data. The checker says which, names the files the game does not
// read, and counts the images its recoloured splash leaves in other palettes.
TEST(ModFolder, ReplacedFilesAreCheckedAndRun)
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
    std::string splash = file_text(DATA / "splash.bmp");
    splash[54 + 5 * 4] = char(splash[54 + 5 * 4] ^ 0x40);  // a recolour: one entry's blue
    std::ofstream(install.mod / "splash.bmp", std::ios::binary) << splash;
    for (const char* misnamed : {"playership.bmp", "Explosion.wav", "Asteroids.bmp", "star.png"})
        std::ofstream(install.mod / misnamed) << "x";
    const std::string sound = file_text(DATA / "ahh.WAV");
    std::ofstream(install.mod / "ahh.WAV", std::ios::binary) << sound.substr(0, 44 + 100);
    const uint32_t cut = get32le(reinterpret_cast<const uint8_t*>(sound.data()) + 40) - 100;
    char shorter[120];
    std::snprintf(shorter, sizeof shorter, "0.01 s: its data is %u bytes (%.2f s) shorter than its header claims: "
                  "loaded as far as it goes", cut, cut / 11025.0);

    const std::string mod = install.mod.string(), here = "(working directory; not in " + mod + "): ";
    const struct {
        fs::path cwd;
        bool verbose;
        std::vector<std::pair<std::string, std::string>> said;  // a line's start, and what it holds
    } runs[] = {
        {install.root.dir, false, {
            {"PlayerShip.bmp: ", "(data folder): BMP 369 x 39, 124-byte header, 8 bits, RLE8"},
            {"Projectile.bmp: ", "4 bits, uncompressed, 16 colours, bottom row first: loaded"},
            {"backdrop.bmp: ", "./backdrop.bmp " + here}, {"ahh.WAV: ", shorter},
            {"playership.bmp: ", "not read by the game; did you mean PlayerShip.bmp?"},
            {"Explosion.wav: ", "not read by the game; did you mean Explosion.WAV?"},
            {"Asteroids.bmp: ", "not read by the game; did you mean Asteroid.bmp?"},
            {"star.png: ", "not read by the game; kestrava --import turns it into star.bmp"},
            {"8 images carry a palette other than splash.bmp's", "(--verbose says where each differs)"}}},
        {install.root.dir, true, {{"Projectile.bmp: ", "loaded; palette differs from splash.bmp's at"}}},
        {install.root.dir / "games", false, {{"backdrop.bmp: ", "(installed; not in " + mod + "): "}}},
    };
    for (const auto& run : runs) {
        std::vector<std::string> argv = {install.game.string(), "--check-data", mod};
        if (run.verbose) argv.push_back("--verbose");
        const Ended e = run_program(argv, run.cwd);
        EXPECT_EQ(e.status, 0) << e.out;
        for (const auto& [start, said] : run.said)
            EXPECT_NE(line_of(e.out, start).find(said), std::string::npos) << start << "\n" << e.out;
        EXPECT_EQ(e.out.find("palette differs") == std::string::npos, !run.verbose) << e.out;
    }

    Program game({install.game.string(), "--no-splash-wait", "--data", mod}, install.root.dir,
                 {{"SDL_VIDEODRIVER", "dummy"}, {"SDL_AUDIODRIVER", "dummy"}});
    Ended e = game.wait(3s);
    ASSERT_FALSE(e.exited) << e.status << ": " << e.err;
    game.signal(SIGTERM);
    e = game.wait(10s);
    EXPECT_TRUE(e.exited && e.status == 0) << e.err;
}

// Every colour of the splash's palette but index 0's comes back as its own
// index (no colour is there twice), a fully transparent pixel as index 0, and
// a colour halfway between two entries as the lower; the importer refuses a
// picture of another size than the image's, a name that is not an image's,
// and an output that exists.
TEST(Import, ColoursBecomeTheSplashsIndicesAndNothingIsReplaced)
{
    TempDir dir(DATA);
    fs::create_directory(dir.dir / "mod");
    LoadedBitmap splash{};
    ASSERT_EQ(bmp_read(splash, (DATA / "splash.bmp").c_str()), 1);
    std::vector<uint8_t> rgba(28 * 10 * 4, 0), want(28 * 10, 0);
    for (int i = 1; i < 256; ++i) {
        const PALETTEENTRY& e = splash.palette[size_t(i)];
        std::copy_n(std::array<uint8_t, 4>{e.peRed, e.peGreen, e.peBlue, 255}.begin(), 4, &rgba[size_t(i - 1) * 4]);
        want[size_t(i - 1)] = uint8_t(i);
    }
    std::copy_n(std::array<uint8_t, 4>{12, 12, 12, 255}.begin(), 4, &rgba[256 * 4]);  // (8, 8, 8) or (16, 16, 16)
    want[256] = 1;
    bmp_release(splash);
    ASSERT_EQ(png_write_rgba((dir.dir / "shots.png").c_str(), 28, 10, rgba.data()), 1);

    const auto import = [&](const std::string& from, const std::string& to) {
        return run_program({KESTRAVA_GAME, "--import", from, to}, dir.dir);
    };
    Ended e = import("shots.png", "mod/Projectile.bmp");
    ASSERT_EQ(e.status, 0) << e.err;
    LoadedBitmap made{};
    ASSERT_EQ(bmp_read(made, (dir.dir / "mod/Projectile.bmp").c_str()), 1);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), made.pixels));
    bmp_release(made);
    // The game's own sheet comes back as it is: as it stands (a palette BMP), and saved by ImageMagick with
    // black transparent as PNG and as a BMP of 32 bits with colour masks.
    for (const std::string kind : {"", "PNG32", "BMP"}) {
        const std::string from = kind.empty() ? "star.bmp" : "star." + kind, to = "as" + kind + "/star.bmp";
        const std::string convert = "convert " + (DATA / "star.bmp").string() + " -transparent black " + kind + ":" +
                                    (dir.dir / from).string();
        ASSERT_TRUE(kind.empty() || std::system(convert.c_str()) == 0) << convert;
        fs::create_directory(dir.dir / ("as" + kind));
        ASSERT_EQ(import(from, to).status, 0) << kind;
        EXPECT_EQ(file_text(dir.dir / to).substr(1078), file_text(DATA / "star.bmp").substr(1078)) << kind;
    }

    const std::pair<std::vector<std::string>, std::string> refused[] = {
        {{"shots.png", "mod/Projectile.bmp"}, "mod/Projectile.bmp: already exists; an import never replaces a file"},
        {{"shots.png", "mod/Asteroid.bmp"},
         "shots.png: 28 x 10, not the 513 x 32 (16 cells of 31 x 30 in a 1-pixel grid) of Asteroid.bmp"},
        {{"shots.png", "mod/projectile.bmp"},
         "mod/projectile.bmp: not the name of one of the game's images; did you mean Projectile.bmp?"},
    };
    for (const auto& [args, why] : refused) {
        e = import(args[0], args[1]);
        EXPECT_EQ(std::pair(e.status, e.err), std::pair(1, "kestrava: " + why + "\n"));
    }
    EXPECT_EQ(file_text(dir.dir / "mod/Projectile.bmp").size(), 54u + 1024u + 28u * 10u);
}

// Endless input ends at the line bound, not in the machine's memory (the
// line-count bound: KeyScript.LinesWordsCommentsAndRoundTrips).
TEST(ModFolder, EndlessKeyScriptEndsWithOneLine)
{
    const Ended e = run_program({KESTRAVA_GAME, "--play", "/dev/zero"});
    EXPECT_EQ(std::pair(e.status, e.err),
              std::pair(2, std::string("kestrava: /dev/zero:1: line longer than 4096 bytes\n")));
}

// Pipes without a writer, devices, a folder and a link loop where a mod's data
// files belong: the checker names each as its file's refusal at once (nothing
// falls back to the installed file); a splash without the colours its pixels
// use is refused too.
TEST(ModFolder, SpecialFilesAreEachTheirFilesRefusal)
{
    Installed install;
    const fs::path& mod = install.mod;
    Bytes splash = bmp_image(640, 480, 8);
    splash.erase(splash.begin() + 54, splash.begin() + 54 + 1024);
    set32(splash, 10, 54);
    install.root.write("mod/splash.bmp", splash);
    const char* devices[] = {"/dev/zero", "/dev/null", "/dev/urandom"};
    for (int f = 1; f < DATA_FILE_COUNT; ++f) {
        const fs::path path = mod / data_file_name(DataFile(f));
        if (f == DATA_SHEET_STAR) {
            fs::create_directory(path);
        } else if (f == DATA_SHEET_ASTEROID) {
            fs::create_symlink(path.filename(), path);
        } else if (f % 2) {
            ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
        } else {
            fs::create_symlink(devices[f % 3], path);
        }
    }
    Program check({install.game.string(), "--check-data", mod.string()}, install.root.dir);
    const Ended e = check.wait(60s);
    ASSERT_TRUE(e.exited) << "the checker waits";
    EXPECT_EQ(std::tuple(e.status, count_lines(e.out), e.out.find("(installed)")), std::tuple(1, 21, std::string::npos))
        << e.out;
    EXPECT_NE(line_of(e.out, "splash.bmp: ").find("refused: its palette holds 0 entries"), std::string::npos) << e.out;
    const std::pair<DataFile, const char*> said[] = {
        {DATA_MUSIC_CLASSIC, "refused: a pipe, not a regular file"}, {DATA_INTROTEXT, "refused: a device, not a"},
        {DATA_SHEET_STAR, "refused: a folder, not a"}, {DATA_SHEET_ASTEROID, "refused: Too many levels of symbolic"}};
    for (const auto& [file, refusal] : said)
        EXPECT_NE(line_of(e.out, data_file_name(file) + std::string(": ")).find(refusal), std::string::npos) << e.out;
}
