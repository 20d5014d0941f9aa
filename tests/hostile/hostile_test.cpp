// Hostile, missing and odd data files, and missing devices: each case is put
// into a copy of the data folder and the game started on it. A file the game
// cannot use ends the start-up with one line on standard error naming the
// file and why, and exit status 1; a file that is merely odd but safe lets
// the game run. Never a signal, a hang or a sanitizer report (under the asan
// preset any report would be more than the one line, or another status).
//
// The replay runner does the game's own start-up without the splash wait, so
// it takes every case; the real game, under SDL's dummy drivers, takes a
// representative few (each costs the four seconds of the splash).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "../audio_files.h"
#include "game_process.h"
#include "formats/bmp.h"

namespace {

using namespace std::chrono_literals;

const fs::path DATA = KESTRAVA_DATA_DIR;
const std::string GAME = KESTRAVA_GAME;
const std::string REPLAY = KESTRAVA_REPLAY;

const std::vector<std::pair<std::string, std::string>> DUMMY_DRIVERS = {{"SDL_VIDEODRIVER", "dummy"},
                                                                        {"SDL_AUDIODRIVER", "dummy"}};

// Long enough for the splash and every load, under the sanitizers too.
constexpr auto GAME_STARTED = 7000ms;
constexpr auto ENDS_WITHIN = 60s;

std::string text_of(const Bytes& b) { return std::string(b.begin(), b.end()); }
std::string real_file(const std::string& name) { return file_text(DATA / name); }

// The subject of a failure line: the images are opened as "./name".
std::string subject_of(const std::string& file)
{
    return file.size() > 4 && file.compare(file.size() - 4, 4, ".bmp") == 0 ? "./" + file : file;
}

// --- crafted images -----------------------------------------------------------

void set16(std::string& b, size_t at, uint16_t v)
{
    b[at] = char(v);
    b[at + 1] = char(v >> 8);
}
void set32(std::string& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = char(v >> (8 * i));
}
constexpr size_t BF_TYPE = 0, BI_WIDTH = 18, BI_HEIGHT = 22, BI_BIT_COUNT = 28, BI_SIZE_IMAGE = 34;

std::string with32(std::string b, size_t at, uint32_t v)
{
    set32(b, at, v);
    return b;
}

// A well-formed image of any bit count: headers, a palette of 2^bits entries
// up to 8 bits, and `stride x height` pixel bytes of a pattern.
std::string image(int32_t width, int32_t height, uint16_t bits)
{
    const int64_t stride = bmp_row_stride(width, bits);
    const int64_t rows = height < 0 ? -int64_t{height} : height;
    const size_t palette = bits <= 8 ? (size_t{4} << bits) : 0;
    std::string b(54 + palette + size_t(stride * rows), '\0');
    set16(b, BF_TYPE, 0x4D42);
    set32(b, 2, uint32_t(b.size()));
    set32(b, 10, uint32_t(54 + palette));
    set32(b, 14, 40);
    set32(b, BI_WIDTH, uint32_t(width));
    set32(b, BI_HEIGHT, uint32_t(height));
    set16(b, 26, 1);
    set16(b, BI_BIT_COUNT, bits);
    set32(b, BI_SIZE_IMAGE, uint32_t(stride * rows));
    for (size_t i = 54 + palette; i < b.size(); ++i) b[i] = char(i * 7 % 251);
    return b;
}

// The real sheet stored top row first, as a negative height says.
std::string top_down(const std::string& bottom_up)
{
    std::string b = bottom_up;
    int32_t width = 0, height = 0;
    std::memcpy(&width, b.data() + BI_WIDTH, 4);
    std::memcpy(&height, b.data() + BI_HEIGHT, 4);
    const auto stride = size_t(bmp_row_stride(width, 8));
    const size_t pixels = 54 + 1024;
    for (int32_t r = 0; r < height; ++r)
        b.replace(pixels + size_t(r) * stride, stride, bottom_up, pixels + size_t(height - 1 - r) * stride, stride);
    set32(b, BI_HEIGHT, uint32_t(-height));
    return b;
}

std::string random_bytes(size_t n, uint32_t seed)
{
    std::string b(n, '\0');
    for (char& c : b) {
        seed = seed * 1664525u + 1013904223u;
        c = char(seed >> 24);
    }
    return b;
}

// --- the cases ----------------------------------------------------------------

struct Case {
    const char* name;
    const char* file;
    std::string bytes;
    const char* reason;  // nullptr: the game runs
    bool real_game;      // also started as the player starts it
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.file << " (" << c.name << ")"; }

const char* const SHEET_CUT = "sheet too small for its cells or not 8 bits per pixel";
const char* const SCREEN_CUT = "image smaller than 640 x 480 or not 8 bits per pixel";

std::vector<Case> hostile_cases()
{
    const std::string star = real_file("star.bmp");
    const std::string ship = real_file("PlayerShip.bmp");
    const std::string splash = real_file("splash.bmp");
    const std::string backdrop = real_file("backdrop.bmp");
    std::string no_magic = backdrop;
    no_magic[0] = 'P';
    no_magic[1] = 'K';

    const Bytes fmt8 = chunk("fmt ", fmt_body(1, 1, 11025, 8));
    const Bytes tone = {0x80, 0xC0, 0xFF, 0xC0, 0x80, 0x40, 0x00, 0x40};
    const Bytes fmt16 = fmt_body(1, 1, 11025, 8);
    const Bytes fmt_short(fmt16.begin(), fmt16.begin() + 12);
    const std::string classic = real_file("classic.mid");

    return {
        // Images: headers.
        {"BmpTruncatedHeader", "splash.bmp", splash.substr(0, 30), "truncated BMP header", true},
        {"BmpEmpty", "Astronaut.bmp", "", "truncated BMP header", false},
        {"BmpWithoutMagic", "backdrop.bmp", no_magic, "not a BMP file", false},
        {"BmpSizeImageHuge", "star.bmp", with32(star, BI_SIZE_IMAGE, 0xFFFFFFF0u), "BMP image size too large", true},
        {"BmpSizeImageBelowRows", "Asteroid.bmp", with32(real_file("Asteroid.bmp"), BI_SIZE_IMAGE, 16511),
         "BMP image size smaller than its rows", false},
        {"BmpSizeImagePastTheFile", "Explosion.bmp", with32(real_file("Explosion.bmp"), BI_SIZE_IMAGE, 60u << 20),
         "BMP pixel data truncated", false},
        {"BmpPixelsCutShort", "PlayerShip.bmp", ship.substr(0, ship.size() - 100), "BMP pixel data truncated",
         false},
        {"BmpWidthZero", "Projectile.bmp", with32(real_file("Projectile.bmp"), BI_WIDTH, 0),
         "BMP width is not positive", false},
        {"BmpWidthNegative", "Explosion.bmp", with32(real_file("Explosion.bmp"), BI_WIDTH, uint32_t(-431)),
         "BMP width is not positive", true},
        {"BmpWidthEnormous", "star.bmp", with32(star, BI_WIDTH, 0x7FFFFFFF), "BMP image too large", false},
        {"BmpHeightZero", "Astronaut.bmp", with32(real_file("Astronaut.bmp"), BI_HEIGHT, 0), "BMP height is zero",
         false},
        {"BmpHeightEnormous", "star.bmp", with32(star, BI_HEIGHT, 0x7FFFFFFF), "BMP image too large", false},
        {"BmpHeightMostNegative", "star.bmp", with32(star, BI_HEIGHT, 0x80000000u), "BMP image too large", false},
        {"BmpSizesOverflowThirtyTwoBits", "star.bmp", with32(with32(star, BI_WIDTH, 70000), BI_HEIGHT, 70000),
         "BMP image too large", false},
        // Images: bit counts.
        {"Bmp2Bit", "Asteroid.bmp", image(513, 32, 2), "unsupported BMP bit count", false},
        {"Bmp32Bit", "splash.bmp", image(640, 480, 32), SCREEN_CUT, false},
        {"Bmp24BitSheet", "star.bmp", image(156, 26, 24), SHEET_CUT, false},
        {"Bmp16BitScreen", "introtext.bmp", image(640, 480, 16), SCREEN_CUT, false},
        {"Bmp24BitSplash", "splash.bmp", image(640, 480, 24), SCREEN_CUT, false},
        {"BmpPaletteCutShort", "Projectile.bmp", real_file("Projectile.bmp").substr(0, 54 + 500),
         "truncated BMP palette", false},
        // Images: sheets smaller than their cells.
        {"SheetNarrowerThanItsCells", "PlayerShip.bmp", image(100, 39, 8), SHEET_CUT, true},
        {"SheetOneCellShort", "Projectile.bmp", image(19, 10, 8), SHEET_CUT, false},
        {"SheetLowerThanItsCells", "Asteroid.bmp", image(513, 30, 8), SHEET_CUT, false},
        {"SheetWithoutItsSecondRow", "PlayerShip.bmp", image(369, 37, 8), SHEET_CUT, false},
        {"ScreenImageTooSmall", "backdrop.bmp", image(320, 240, 8), SCREEN_CUT, false},
        {"SplashOneRowShort", "splash.bmp", image(640, 479, 8), SCREEN_CUT, false},
        // Images that are odd but safe: a size of zero is the rows' own for
        // plain data, and palette images of 1 and 4 bits are widened to 8.
        {"BmpSizeImageZero", "introtext.bmp", with32(real_file("introtext.bmp"), BI_SIZE_IMAGE, 0), nullptr, false},
        {"Bmp1Bit", "Asteroid.bmp", image(513, 32, 1), nullptr, false},
        {"Bmp4Bit", "PlayerShip.bmp", image(369, 39, 4), nullptr, true},
        {"SheetStoredTopDown", "PlayerShip.bmp", top_down(ship), nullptr, true},
        {"ScreenImageLarger", "backdrop.bmp", image(700, 500, 8), nullptr, false},

        // Effects.
        {"WavTruncatedHeader", "ahh.WAV", "RIFF\x10", "truncated RIFF header", false},
        {"WavRandomBytes", "energize.WAV", random_bytes(3000, 7), "not a RIFF WAVE file", false},
        {"WavChunkPastTheEnd", "GAMEOVER.WAV",
         text_of(riff_wave({chunk("LIST", {1, 2, 3, 4}, 0x7FFFFFF0), fmt8, chunk("data", tone)})),
         "a chunk size runs past the end of the file", true},
        {"WavFormatPastTheEnd", "Projectile.WAV", text_of(riff_wave({chunk("fmt ", fmt_body(1, 1, 11025, 8), 5000)})),
         "format chunk runs past the end of the file", false},
        {"WavWithoutFormat", "Engines.WAV", text_of(riff_wave({chunk("data", tone)})), "no format chunk", false},
        {"WavWithoutData", "Explosion.WAV", text_of(riff_wave({fmt8})), "no data chunk after the format chunk", true},
        {"WavFormatShorterThan16", "LevCOMP.WAV", text_of(riff_wave({chunk("fmt ", fmt_short), chunk("data", tone)})),
         "format chunk is shorter than 16 bytes", false},
        {"WavNotPcm", "ahh.WAV", text_of(riff_wave({chunk("fmt ", fmt_body(2, 1, 11025, 4)), chunk("data", tone)})),
         "not PCM data", false},
        {"WavEmptyData", "energize.WAV", text_of(riff_wave({fmt8, chunk("data", {})})), "data chunk is empty", false},
        // Effects in another format, converted to the bank's own at load.
        {"Wav16BitStereo", "Engines.WAV",
         text_of(riff_wave({chunk("fmt ", fmt_body(1, 2, 44100, 16)), chunk("data", Bytes(8000, 0x20))})), nullptr,
         true},
        {"WavShortDataChunk", "Explosion.WAV", text_of(riff_wave({fmt8, chunk("data", tone, 100000)}, 200000)),
         nullptr, false},

        // Music.
        {"MidiTruncatedHeader", "classic.mid", classic.substr(0, 10), "truncated MIDI header", false},
        {"MidiTruncatedTrack", "midifile0.mid", real_file("midifile0.mid").substr(0, 200),
         "a track runs past the end of the file", true},
        {"MidiHeaderOnly", "midifile3.mid", real_file("midifile3.mid").substr(0, 14),
         "the file holds fewer tracks than its header declares", false},
        {"MidiRandomBytes", "midifile7.mid", random_bytes(5000, 11), "not a Standard MIDI File", false},
        {"MidiRandomTrack", "classic.mid",
         text_of(smf(0, 1, 480, {mtrk(Bytes{0x00, 0x90})})) + random_bytes(2000, 3),
         "a track ends inside a channel event", false},
    };
}

std::string case_name(const testing::TestParamInfo<Case>& info) { return info.param.name; }

// A minute of play: into the game, thrust, turn and fire.
std::string play_script()
{
    std::string s = "RETURN\n";
    for (int i = 0; i < 120; ++i) s += i % 3 ? "UP SPACE\n" : "LEFT SPACE\n";
    return s;
}

Ended replay_on(const DataCopy& data, const std::vector<std::string>& extra = {})
{
    data.write("play.keys", play_script());
    std::vector<std::string> argv = {REPLAY, "--frames", "121"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    argv.push_back("play.keys");
    Program replay(argv, data.dir, {});
    return replay.wait(ENDS_WITHIN);
}

// The real game: one that fails ends by itself; one that runs is still
// running after its start-up and then quits cleanly on SIGTERM, as SDL turns
// the signal into the quit event.
void expect_game_fails(const DataCopy& data, const std::string& line,
                       const std::vector<std::pair<std::string, std::string>>& env = DUMMY_DRIVERS,
                       const std::vector<std::string>& unset = {})
{
    Program game({GAME}, data.dir, env, unset);
    const Ended e = game.wait(ENDS_WITHIN);
    ASSERT_TRUE(e.exited) << "no end within a minute";
    EXPECT_EQ(e.status, 1) << e.err;
    EXPECT_EQ(e.err, line);
}

Ended game_runs_then_quits(const DataCopy& data, int quit_signal,
                           const std::vector<std::pair<std::string, std::string>>& env = DUMMY_DRIVERS)
{
    Program game({GAME}, data.dir, env);
    Ended e = game.wait(GAME_STARTED);
    EXPECT_FALSE(e.exited) << "ended during start-up with " << e.status << ": " << e.err;
    if (e.exited) return e;
    game.signal(quit_signal);
    e = game.wait(10s);
    EXPECT_TRUE(e.exited) << "still running after the signal";
    EXPECT_EQ(e.status, 0) << e.err;
    return e;
}

class HostileFile : public testing::TestWithParam<Case> {};

TEST_P(HostileFile, ReplayRunner)
{
    const Case& c = GetParam();
    DataCopy data(DATA);
    data.write(c.file, c.bytes);
    const Ended e = replay_on(data);
    ASSERT_TRUE(e.exited) << "no end within a minute";
    if (c.reason) {
        EXPECT_EQ(e.status, 1);
        EXPECT_EQ(e.err, "kestrava-replay: " + subject_of(c.file) + ": " + c.reason + "\n");
    } else {
        EXPECT_EQ(e.status, 0);
        EXPECT_EQ(e.err, "");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileFile, testing::ValuesIn(hostile_cases()), case_name);

class HostileFileInTheGame : public testing::TestWithParam<Case> {};

TEST_P(HostileFileInTheGame, RealGame)
{
    const Case& c = GetParam();
    DataCopy data(DATA);
    data.write(c.file, c.bytes);
    if (c.reason) {
        expect_game_fails(data, "kestrava: " + subject_of(c.file) + ": " + c.reason + "\n");
    } else {
        EXPECT_EQ(game_runs_then_quits(data, SIGTERM).err, "");
    }
}

std::vector<Case> real_game_cases()
{
    std::vector<Case> all = hostile_cases();
    std::vector<Case> some;
    std::copy_if(all.begin(), all.end(), std::back_inserter(some), [](const Case& c) { return c.real_game; });
    return some;
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileFileInTheGame, testing::ValuesIn(real_game_cases()), case_name);

// A sheet stored top row first is the same picture: the frames of a run on it
// are those of a run on the real sheet.
TEST(OddFiles, TopDownSheetGivesTheSamePictures)
{
    DataCopy real(DATA);
    DataCopy flipped(DATA);
    flipped.write("PlayerShip.bmp", top_down(real.read("PlayerShip.bmp")));
    ASSERT_NE(flipped.read("PlayerShip.bmp"), real.read("PlayerShip.bmp"));
    for (const DataCopy* d : {&real, &flipped}) {
        fs::create_directory(d->dir / "frames");
        const Ended e = replay_on(*d, {"--dump", "frames", "--every", "40"});
        ASSERT_TRUE(e.exited && e.status == 0) << e.err;
    }
    for (const char* frame : {"frame-000040.bmp", "frame-000080.bmp", "frame-000120.bmp"}) {
        const std::string a = real.read(std::string("frames/") + frame);
        ASSERT_EQ(a.size(), 54u + 1024u + 640u * 480u) << frame;
        EXPECT_TRUE(a == flipped.read(std::string("frames/") + frame)) << frame;
    }
}

// --- missing files --------------------------------------------------------------

const char* const DATA_FILES[] = {
    "splash.bmp",   "backdrop.bmp",   "introtext.bmp",  "star.bmp",       "Asteroid.bmp",
    "PlayerShip.bmp", "Projectile.bmp", "Explosion.bmp", "Astronaut.bmp", "ahh.WAV",
    "energize.WAV", "GAMEOVER.WAV",   "Projectile.WAV", "Engines.WAV",    "Explosion.WAV",
    "LevCOMP.WAV",  "classic.mid",    "midifile0.mid",  "midifile3.mid",  "midifile7.mid",
};

std::string file_name(const testing::TestParamInfo<const char*>& info)
{
    std::string n = info.param;
    std::replace(n.begin(), n.end(), '.', '_');
    return n;
}

class MissingFile : public testing::TestWithParam<const char*> {};

TEST_P(MissingFile, ReplayRunner)
{
    DataCopy data(DATA);
    fs::remove(data.dir / GetParam());
    const Ended e = replay_on(data);
    ASSERT_TRUE(e.exited);
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(e.err, "kestrava-replay: " + subject_of(GetParam()) + ": No such file or directory\n");
}

INSTANTIATE_TEST_SUITE_P(EachInTurn, MissingFile, testing::ValuesIn(DATA_FILES), file_name);

class MissingFileInTheGame : public testing::TestWithParam<const char*> {};

TEST_P(MissingFileInTheGame, RealGame)
{
    DataCopy data(DATA);
    fs::remove(data.dir / GetParam());
    expect_game_fails(data, "kestrava: " + subject_of(GetParam()) + ": No such file or directory\n");
}

// The first file of each loader, and the last file the game loads.
INSTANTIATE_TEST_SUITE_P(OneOfEachKind, MissingFileInTheGame,
                         testing::Values("splash.bmp", "introtext.bmp", "classic.mid", "ahh.WAV", "PlayerShip.bmp"),
                         file_name);

// --- devices and signals ----------------------------------------------------------

TEST(RealGame, QuitsCleanlyOnInterruptAndTerminate)
{
    DataCopy data(DATA);
    EXPECT_EQ(game_runs_then_quits(data, SIGINT).err, "");
    EXPECT_EQ(game_runs_then_quits(data, SIGTERM).err, "");
}

TEST(NoDevice, WithoutAudioTheGamePlaysSilentlyAfterOneWarning)
{
    DataCopy data(DATA);
    const Ended e = game_runs_then_quits(data, SIGTERM, {{"SDL_VIDEODRIVER", "dummy"}, {"SDL_AUDIODRIVER", "no-such-device"}});
    EXPECT_EQ(count_lines(e.err), 1) << e.err;
    EXPECT_EQ(e.err.rfind("kestrava: audio: ", 0), 0u) << e.err;
    EXPECT_NE(e.err.find("; playing without sound\n"), std::string::npos) << e.err;
}

TEST(NoDevice, WithoutADisplayTheGameExitsWithTheReason)
{
    DataCopy data(DATA);
    Program game({GAME}, data.dir, {{"SDL_VIDEODRIVER", "no-such-display"}, {"SDL_AUDIODRIVER", "dummy"}});
    const Ended e = game.wait(ENDS_WITHIN);
    ASSERT_TRUE(e.exited);
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(count_lines(e.err), 1) << e.err;
    EXPECT_EQ(e.err.rfind("kestrava: display: ", 0), 0u) << e.err;
}

// With no display at all (no X or Wayland server named, no driver asked
// for) SDL falls back to its offscreen driver, and the game would run with
// no window to see or to quit from. The window must refuse that fallback.
TEST(NoDevice, WithNoDisplayAtAllTheGameExitsWithTheReason)
{
    DataCopy data(DATA);
    Program game({GAME}, data.dir, {{"SDL_AUDIODRIVER", "dummy"}}, {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"});
    const Ended e = game.wait(10s);
    ASSERT_TRUE(e.exited) << "still running without a display";
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(count_lines(e.err), 1) << e.err;
    EXPECT_EQ(e.err.rfind("kestrava: display: ", 0), 0u) << e.err;
}

}  // namespace
