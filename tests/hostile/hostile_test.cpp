// Hostile, missing and odd data files, and missing devices, each put into a
// copy of the data folder. A file the game cannot use ends the start-up with
// one line naming the file and why, and status 1; a file merely odd but safe
// lets the game run. Never a signal, a hang or a sanitizer report (any would
// be more than the one line, or another status). The replay runner takes
// every case; the real game, under SDL's dummy drivers and without the
// splash's wait, those where its devices make a difference.
#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <sstream>

#include "../support/files.h"
#include "../support/process.h"
#include "base/bytes.h"
#include "base/data_files.h"

namespace {

using namespace std::chrono_literals;

const fs::path DATA = KESTRAVA_DATA_DIR;
const EnvList DUMMY_DRIVERS = {{"SDL_VIDEODRIVER", "dummy"}, {"SDL_AUDIODRIVER", "dummy"}};

Bytes real(DataFile f) { const std::string s = file_text(DATA / data_file_name(f)); return {s.begin(), s.end()}; }
Bytes head(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + std::ptrdiff_t(std::min(n, b.size()))); }

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
        {"WavRandomBytes", DATA_SOUND_ENERGIZE, random_bytes(3000, 7), "not a RIFF WAVE file"},
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

Ended game_runs_then_quits(const TempDir& data, int quit_signal, const EnvList& env = DUMMY_DRIVERS)
{
    std::signal(quit_signal, SIG_DFL);  // what the game inherits, whoever started the tests
    Program game({KESTRAVA_GAME, "--no-splash-wait"}, data.dir, env);
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
    std::string line;
    for (std::istringstream in(check.out); std::getline(in, line);)
        if (line.rfind(data_file_name(c.file) + std::string(": "), 0) == 0) break;
    const std::string verdict = !refused ? "" : c.bytes ? ": refused: " + c.reason : ": refused";
    EXPECT_EQ(line.substr(line.size() - std::min(line.size(), verdict.size())), verdict) << line;
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileFile, testing::ValuesIn(hostile_cases()), [](auto& i) { return i.param.name; });

// A sheet stored top row first gives the frames of the real sheet.
TEST(OddFiles, TopDownSheetGivesTheSamePictures)
{
    TempDir real_data(DATA), flipped(DATA);
    flipped.write("PlayerShip.bmp", top_down(real(DATA_SHEET_SHIP)));
    for (const TempDir* d : {&real_data, &flipped}) {
        fs::create_directory(d->dir / "frames");
        const Ended e = replay_on(*d, {"--dump", "frames", "--every", "40"});
        ASSERT_TRUE(e.exited && e.status == 0) << e.err;
    }
    for (const char* frame : {"frames/frame-000040.bmp", "frames/frame-000080.bmp", "frames/frame-000120.bmp"}) {
        ASSERT_EQ(real_data.read(frame).size(), 54u + 1024u + 640u * 480u) << frame;
        EXPECT_TRUE(real_data.read(frame) == flipped.read(frame)) << frame;
    }
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

}  // namespace
