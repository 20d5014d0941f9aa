// Hostile, missing and odd data files and missing devices, each in a copy of
// the data folder: a file the game cannot use ends the start-up with one line
// naming it and why, and status 1 (never a signal, a hang or a sanitizer
// report: any would be more than the line, or another status); an odd but
// safe one lets the game run. The replay runner takes every case, the real
// game (dummy drivers, no splash wait) those its devices matter to. Then a
// mod folder beside an installed game: the checker, the game on the folder,
// pictures imported into the splash's palette, the endless key script.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

#include "../support/files.h"
#include "../support/process.h"
#include "base/bytes.h"
#include "base/data_files.h"
#include "formats/bmp.h"
#include "formats/png.h"

namespace {

using namespace std::chrono_literals;

const fs::path DATA = KESTRAVA_DATA_DIR;
const EnvList DUMMY_DRIVERS = {{"SDL_VIDEODRIVER", "dummy"}, {"SDL_AUDIODRIVER", "dummy"}};

Bytes real(DataFile f) { const std::string s = file_text(DATA / data_file_name(f)); return {s.begin(), s.end()}; }
Bytes head(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + std::ptrdiff_t(std::min(n, b.size()))); }

// The first line of `text` that starts with `start`, or "".
std::string line_of(const std::string& text, const std::string& start)
{
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(start, 0) == 0) return line;
    return "";
}

// The real sheet stored top row first, as a negative height says.
Bytes top_down(const Bytes& bottom_up)
{
    Bytes b = bottom_up;
    const int32_t width = int32_t(get32le(&b[BI_WIDTH])), height = int32_t(get32le(&b[BI_HEIGHT]));
    const size_t stride = size_t(bmp_row_stride(width, 8)), pixels = 54 + 1024;
    for (int32_t r = 0; r < height; ++r)
        std::copy_n(&bottom_up[pixels + size_t(height - 1 - r) * stride], stride, &b[pixels + size_t(r) * stride]);
    return with32(b, BI_HEIGHT, uint32_t(-height));
}

struct Case {
    std::string name;
    DataFile file;
    std::optional<Bytes> bytes;  // none: the file is not there
    std::string reason;          // empty: the game runs
    bool real_game = false;      // also started as the player starts it
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const char* const NOT_PALETTE = " bits a pixel, not a palette image (kestrava --import makes one)";
const std::string SCREEN = ", not 640 x 480", SHIP = ", not 369 x 39 (16 x 2 cells of 22 x 18 in a 1-pixel grid)";
const char* const TOO_LARGE = "BMP image too large";
const char* const PIXELS_CUT = "BMP pixel data truncated";
const char* const NOT_POSITIVE = "BMP width is not positive";
const char* const SIZE_BELOW_ROWS = "BMP image size smaller than its rows";
const char* const BIT_COUNT = "unsupported BMP bit count";

std::vector<Case> hostile_cases()
{
    const Bytes star = real(DATA_SHEET_STAR), ship = real(DATA_SHEET_SHIP), shot = real(DATA_SHEET_PROJECTILE),
                blast = real(DATA_SHEET_EXPLOSION), rock = real(DATA_SHEET_ASTEROID), man = real(DATA_SHEET_ASTRONAUT);
    Bytes no_magic = real(DATA_BACKDROP);
    no_magic[0] = 'P';
    const Bytes data = chunk("data", {0x80, 0xC0, 0xFF, 0xC0, 0x80, 0x40, 0, 0x40});
    // The pixels right after the header: a palette of no entries.
    Bytes no_palette = bmp_image(640, 480, 8);
    no_palette.erase(no_palette.begin() + 54, no_palette.begin() + 54 + 1024);
    set32(no_palette, 10, 54);
    // A literal run of 255 bytes with 100 left, the image size the file's rest.
    Bytes rle8_cut = with32(with32(ship, BI_COMPRESSION, BI_RLE8), BI_SIZE_IMAGE, 0);
    rle8_cut.resize(54 + 1024 + 100);
    rle8_cut[54 + 1024] = 0, rle8_cut[54 + 1024 + 1] = 0xFF;
    std::vector<Case> cases = {
        {"BmpTruncatedHeader", DATA_SPLASH, head(real(DATA_SPLASH), 30), "truncated BMP header", true},
        {"BmpEmpty", DATA_SHEET_ASTRONAUT, Bytes{}, "truncated BMP header"},
        {"BmpWithoutMagic", DATA_BACKDROP, no_magic, "not a BMP file"},
        {"BmpSizeImageHuge", DATA_SHEET_STAR, with32(star, BI_SIZE_IMAGE, 0xFFFFFFF0u), "BMP image size too large"},
        {"BmpSizeImageBelowRows", DATA_SHEET_ASTEROID, with32(rock, BI_SIZE_IMAGE, 16511), SIZE_BELOW_ROWS},
        {"BmpSizeImagePastTheFile", DATA_SHEET_EXPLOSION, with32(blast, BI_SIZE_IMAGE, 60u << 20), PIXELS_CUT},
        {"BmpPixelsCutShort", DATA_SHEET_SHIP, head(ship, ship.size() - 100), PIXELS_CUT},
        {"BmpWidthZero", DATA_SHEET_PROJECTILE, with32(shot, BI_WIDTH, 0), NOT_POSITIVE},
        {"BmpWidthNegative", DATA_SHEET_EXPLOSION, with32(blast, BI_WIDTH, uint32_t(-431)), NOT_POSITIVE},
        {"BmpWidthEnormous", DATA_SHEET_STAR, with32(star, BI_WIDTH, 0x7FFFFFFF), TOO_LARGE},
        {"BmpHeightZero", DATA_SHEET_ASTRONAUT, with32(man, BI_HEIGHT, 0), "BMP height is zero"},
        {"BmpHeightEnormous", DATA_SHEET_STAR, with32(star, BI_HEIGHT, 0x7FFFFFFF), TOO_LARGE},
        {"BmpHeightMostNegative", DATA_SHEET_STAR, with32(star, BI_HEIGHT, 0x80000000u), TOO_LARGE},
        {"BmpSizesOverflow32Bits", DATA_SHEET_STAR, with32(with32(star, BI_WIDTH, 70000), BI_HEIGHT, 70000), TOO_LARGE},
        // Found by the fuzzer: stride x rows wrapped past 64 bits to a size every later test let through.
        {"BmpSizesOverflow64Bits", DATA_SHEET_STAR,
         with32(with32(bmp_image(4, 4, 24), BI_WIDTH, 1627390064), BI_HEIGHT, uint32_t(-2096889712)), TOO_LARGE},
        {"Bmp2Bit", DATA_SHEET_ASTEROID, bmp_image(513, 32, 2), BIT_COUNT},
        {"Bmp32Bit", DATA_SPLASH, bmp_image(640, 480, 32), "32" + std::string(NOT_PALETTE)},
        {"Bmp24BitSheet", DATA_SHEET_STAR, bmp_image(156, 26, 24), "24" + std::string(NOT_PALETTE)},
        {"Bmp16BitScreen", DATA_INTROTEXT, bmp_image(640, 480, 16), "16" + std::string(NOT_PALETTE)},
        {"BmpPaletteCutShort", DATA_SHEET_PROJECTILE, head(shot, 54 + 500), "truncated BMP palette"},
        {"BmpHeaderOf20Bytes", DATA_SHEET_SHIP, with32(ship, BI_SIZE, 20),
         "BMP info header of a size the format does not define"},
        {"BmpJpegInside", DATA_SHEET_SHIP, with32(ship, BI_COMPRESSION, BI_JPEG),
         "BMP holds a JPEG picture, which the game does not read"},
        {"BmpRle4At8Bits", DATA_SHEET_SHIP, with32(ship, BI_COMPRESSION, BI_RLE4),
         "BMP is RLE4-coded but not of 4 bits per pixel"},
        {"BmpPixelsInsideTheHeaders", DATA_SHEET_SHIP, with32(ship, BF_OFF_BITS, 40),
         "BMP pixel data starts inside its headers"},
        {"BmpRle8CutShort", DATA_SHEET_SHIP, rle8_cut, "BMP run-length data cut short"},
        // An image of any size but the one its cells are cut from would show garbled.
        {"SheetNarrowerThanItsCells", DATA_SHEET_SHIP, bmp_image(100, 39, 8), "100 x 39" + SHIP},
        {"SheetOneColumnTooWide", DATA_SHEET_SHIP, bmp_image(370, 39, 8), "370 x 39" + SHIP, true},
        {"SheetWithoutItsSecondRow", DATA_SHEET_SHIP, bmp_image(369, 37, 8), "369 x 37" + SHIP},
        {"SheetLowerThanItsCells", DATA_SHEET_STAR, bmp_image(156, 24, 8),
         "156 x 24, not 156 x 26 (5 cells of 30 x 24 in a 1-pixel grid)"},
        {"SplashOneRowShort", DATA_SPLASH, bmp_image(640, 479, 8), "640 x 479" + SCREEN},
        {"ScreenImageLarger", DATA_BACKDROP, bmp_image(700, 500, 8), "700 x 500" + SCREEN},
        {"SplashWithoutPalette", DATA_SPLASH, no_palette,
         "its palette holds 0 entries, fewer than its pixels use (up to entry 250)"},
        // Images that are odd but safe: a size of zero is the rows' own for
        // plain data, and palette images of 1 and 4 bits are widened to 8.
        {"BmpSizeImageZero", DATA_INTROTEXT, with32(real(DATA_INTROTEXT), BI_SIZE_IMAGE, 0), ""},
        {"Bmp1Bit", DATA_SHEET_ASTEROID, bmp_image(513, 32, 1), ""},
        {"Bmp4Bit", DATA_SHEET_SHIP, bmp_image(369, 39, 4), ""},
        {"SheetWithoutItsClosingGridLine", DATA_SHEET_SHIP, bmp_image(368, 38, 8), ""},
        // A sheet stored top row first: OddFiles.TopDownSheetGivesTheSamePictures.
        // Every refusal of the sound readers: WavParse and MidiValidate.
        {"WavOfOtherBytes", DATA_SOUND_ENERGIZE, Bytes(3000, 0x5A), "not a RIFF WAVE file"},
        {"WavNotPcm", DATA_SOUND_AHH, riff_wave({chunk("fmt ", fmt_body(2, 1, 11025, 4)), data}), "not PCM data"},
        {"Wav16BitStereo", DATA_SOUND_ENGINES,
         riff_wave({chunk("fmt ", fmt_body(1, 2, 44100, 16)), chunk("data", Bytes(8000, 0x20))}), "", true},
        {"MidiTruncatedTrack", DATA_MUSIC_0, head(real(DATA_MUSIC_0), 200), "a track runs past the end of the file",
         true},
    };
    // Each file missing in turn (the real game looks before it starts: NoData).
    for (int f = 0; f < int(DATA_FILE_COUNT); ++f)
        cases.push_back({"Missing" + std::to_string(f), DataFile(f), {}, "No such file or directory"});
    return cases;
}

// A few seconds of play: into the game, thrust, turn and fire.
Ended replay_on(const TempDir& data, const std::vector<std::string>& extra = {})
{
    std::string keys = "RETURN\n";
    for (int i = 0; i < 120; ++i) keys += i % 3 ? "UP SPACE\n" : "LEFT SPACE\n";
    data.write("play.keys", keys);
    std::vector<std::string> argv = {KESTRAVA_REPLAY, "--frames", "121", "play.keys"};
    argv.insert(argv.begin() + 3, extra.begin(), extra.end());
    return run_program(argv, data.dir);
}

// The real game ends by itself with the one line, or runs on past its start-up
// (every load, under the sanitizers too) and quits cleanly on the signal.
Ended game_fails(const TempDir& data, const std::string& line_start, const EnvList& env = DUMMY_DRIVERS,
                 const std::vector<std::string>& unset = {})
{
    Program game({KESTRAVA_GAME, "--no-splash-wait"}, data.dir, env, unset);
    const Ended e = game.wait(60s);
    EXPECT_TRUE(e.exited && e.status == 1) << "no end within a minute, or status " << e.status << ": " << e.err;
    EXPECT_TRUE(e.err.rfind(line_start, 0) == 0 && count_lines(e.err) == 1) << e.err;
    return e;
}

Ended game_runs_then_quits(const TempDir& data, int quit_signal, const EnvList& env = DUMMY_DRIVERS,
                           std::vector<std::string> argv = {KESTRAVA_GAME})
{
    std::signal(quit_signal, SIG_DFL);  // what the game inherits, whoever started the tests
    argv.insert(argv.begin() + 1, "--no-splash-wait");
    Program game(argv, data.dir, env);
    Ended e = game.wait(3s);
    EXPECT_FALSE(e.exited) << "ended during start-up with " << e.status << ": " << e.err;
    if (e.exited) return e;
    game.signal(quit_signal);
    e = game.wait(10s);
    EXPECT_TRUE(e.exited && e.status == 0) << "still running after the signal, or status " << e.status << ": " << e.err;
    return e;
}

class HostileFile : public testing::TestWithParam<Case> {};

TEST_P(HostileFile, ReplayRunnerAndRealGame)
{
    const Case& c = GetParam();
    TempDir data(DATA);
    if (c.bytes) data.write(data_file_name(c.file), *c.bytes);
    else fs::remove(data.dir / data_file_name(c.file));
    const bool refused = !c.reason.empty();
    const Ended e = replay_on(data);
    EXPECT_TRUE(e.exited && e.status == (refused ? 1 : 0)) << "no end within a minute, or status " << e.status;
    const std::string why = refused ? std::string(DATA_FILES[c.file]) + ": " + c.reason + "\n" : "";
    EXPECT_EQ(e.err, refused ? "kestrava-replay: " + why : "");
    const Ended game = !c.real_game ? Ended{} : refused ? game_fails(data, "kestrava: " + why)
                                                        : game_runs_then_quits(data, SIGTERM);
    EXPECT_EQ(game.err, c.real_game && refused ? "kestrava: " + why : "");
    // The checker's verdict is the game's, reason and all.
    const Ended check = run_program({KESTRAVA_GAME, "--check-data", "."}, data.dir);
    EXPECT_EQ(check.status, refused ? 1 : 0) << check.out;
    const std::string line = line_of(check.out, data_file_name(c.file) + std::string(": "));
    const std::string verdict = !refused ? "" : c.bytes ? ": refused: " + c.reason : ": refused";
    EXPECT_EQ(line.substr(line.size() - std::min(line.size(), verdict.size())), verdict) << line;
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileFile, testing::ValuesIn(hostile_cases()), [](auto& i) { return i.param.name; });

// A sheet stored top row first reads as the real sheet's picture.
TEST(OddFiles, TopDownSheetGivesTheSamePictures)
{
    TempDir dir;
    LoadedBitmap sheet{}, flipped{};
    const std::string path = dir.write("top-down.bmp", top_down(real(DATA_SHEET_SHIP)));
    ASSERT_EQ(bmp_read(sheet, (DATA / "PlayerShip.bmp").c_str()) + bmp_read(flipped, path.c_str()), 2);
    EXPECT_TRUE(std::equal(sheet.pixels, sheet.pixels + sheet.pixel_bytes, flipped.pixels,
                           flipped.pixels + flipped.pixel_bytes));
    bmp_release(sheet), bmp_release(flipped);
}

// Every missing file is named with the folders looked in, before the window
// opens (there is no display here to open), the last loaded too.
TEST(NoData, TheGameSaysWhereItLookedBeforeTheWindow)
{
    TempDir data(DATA);
    fs::remove(data.dir / data_file_name(DATA_SPLASH));
    fs::remove(data.dir / data_file_name(DATA_SHEET_SHIP));
    Program game({KESTRAVA_GAME}, data.dir, {}, {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"});
    const Ended e = game.wait(60s);
    const std::string looked = " in " + data.path() + ", ";
    EXPECT_TRUE(e.exited && e.status == 1 && count_lines(e.err) == 2) << e.status << ": " << e.err;
    EXPECT_EQ(e.err.rfind("kestrava: splash.bmp: No such file or directory" + looked, 0), 0u) << e.err;
    EXPECT_NE(e.err.find("\nkestrava: PlayerShip.bmp: No such file or directory" + looked), std::string::npos) << e.err;
    EXPECT_NE(e.err.find("/share/games/kestrava or /"), std::string::npos) << e.err;
}

TEST(NoDevice, WithoutAudioTheGamePlaysSilentlyAfterOneWarning)
{
    TempDir data(DATA);
    const Ended e = game_runs_then_quits(data, SIGINT, {{"SDL_VIDEODRIVER", "dummy"}, {"SDL_AUDIODRIVER", "no-such"}});
    EXPECT_TRUE(e.err.rfind("kestrava: audio: ", 0) == 0 && count_lines(e.err) == 1) << e.err;
    EXPECT_NE(e.err.find("; playing without sound\n"), std::string::npos) << e.err;
}

// With no display SDL would fall back to a driver that shows nothing, a game
// no one can see or quit; an absent display is named. Without XDG_RUNTIME_DIR
// Wayland's library complains itself; D-Bus's leak under X is not the game's.
TEST(NoDevice, WithNoDisplayAtAllTheGameExitsWithTheReason)
{
    TempDir data(DATA);
    const std::string why = "kestrava: display: ";
    const std::string dbus = "print_suppressions=0:suppressions=" + data.write("lsan.supp", "leak:libdbus-1.so\n");
    game_fails(data, why, {{"SDL_AUDIODRIVER", "dummy"}}, {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"});
    game_fails(data, why, {{"SDL_VIDEODRIVER", "no-such"}, {"SDL_AUDIODRIVER", "dummy"}});
    game_fails(data, why + "could not open the X display ':4711' (DISPLAY)\n",
               {{"DISPLAY", ":4711"}, {"SDL_AUDIODRIVER", "dummy"}, {"LSAN_OPTIONS", dbus}},
               {"WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "XDG_RUNTIME_DIR"});
    game_fails(data, why + "could not open the Wayland display 'absent' (WAYLAND_DISPLAY)\n",
               {{"WAYLAND_DISPLAY", "absent"}, {"XDG_RUNTIME_DIR", data.path()}, {"SDL_AUDIODRIVER", "dummy"}},
               {"DISPLAY", "SDL_VIDEODRIVER"});
}

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

    game_runs_then_quits(install.root, SIGTERM, DUMMY_DRIVERS, {install.game.string(), "--data", mod});
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

}  // namespace
