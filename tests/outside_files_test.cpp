// Files of the player's, files made by the tools players use, and the banks
// that hold the sounds: the settings file's warnings and its one rewritten
// line, never in a file the player keeps apart; the game's outputs never in
// the place of the player's files; what ImageMagick and sox write (each case
// first checks in the file's bytes which kind the tool really wrote, so that
// another version of a tool cannot make it test nothing); pipes, devices and
// bytes that would steer the terminal; the banks' slots and the WAV and MIDI
// checks. (GCC 12 at -O3 sees writes past a vector in the MIDI builders that
// cannot happen, depending on how they are inlined.)
#pragma GCC diagnostic ignored "-Wstringop-overflow"
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "audio/midi.h"
#include "audio/mixer.h"
#include "audio/sfx.h"
#include "base/bytes.h"
#include "base/file.h"
#include "base/report.h"
#include "formats/bmp.h"
#include "formats/midi_file.h"
#include "formats/png.h"
#include "formats/wav.h"
#include "input/keyscript.h"
#include "shell/screenshot.h"
#include "shell/settings.h"
#include "support/files.h"
#include "support/process.h"

namespace {

uint32_t le32(const std::string& b, size_t at) { return get32le(reinterpret_cast<const uint8_t*>(b.data() + at)); }
uint16_t le16(const std::string& b, size_t at) { return get16le(reinterpret_cast<const uint8_t*>(b.data() + at)); }

void run(const std::string& command)
{
    const Ended r = run_program({"/bin/sh", "-c", command});
    ASSERT_EQ(r.status, 0) << command << "\n" << r.err;
}

// The picture as colours, top row first: what the player sees.
std::vector<uint32_t> colours_of(const std::string& path)
{
    LoadedBitmap b{};
    report_clear();
    EXPECT_EQ(bmp_read(b, path.c_str()), 1) << report_text();
    std::vector<uint32_t> out;
    if (!b.pixels) return out;
    const int64_t stride = bmp_row_stride(b.info_header.biWidth, 8);
    const int rows = std::abs(b.info_header.biHeight);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < b.info_header.biWidth; ++x) {
            const PALETTEENTRY& e = b.palette[b.pixels[y * stride + x]];
            out.push_back(uint32_t(e.peRed) << 16 | uint32_t(e.peGreen) << 8 | e.peBlue);
        }
    bmp_release(b);
    return out;
}

template <typename T>
double rms(const std::vector<T>& s)
{
    double sum = 0;
    for (T v : s) sum += double(v) * v;
    return std::sqrt(sum / double(s.size()));
}

// The level of each 10 ms window.
std::vector<double> envelope(const std::vector<float>& s)
{
    std::vector<double> out;
    for (auto at = s.begin(); s.end() - at >= 441; at += 441) out.push_back(rms(std::vector<float>(at, at + 441)));
    return out;
}

double correlation(const std::vector<double>& a, const std::vector<double>& b)
{
    const size_t n = std::min(a.size(), b.size());
    double ma = 0, mb = 0, ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < n; ++i) ma += a[i] / double(n), mb += b[i] / double(n);
    for (size_t i = 0; i < n; ++i)
        ab += (a[i] - ma) * (b[i] - mb), aa += (a[i] - ma) * (a[i] - ma), bb += (b[i] - mb) * (b[i] - mb);
    return ab / std::sqrt(aa * bb);
}

}  // namespace

TEST(OutsideImages, EveryKindTheToolsWriteIsTheSamePicture)
{
    struct Kind {
        std::string options;  // ImageMagick's, the output's name right after them
        const char* source;   // the 16-colour kinds need an image of 16 colours or fewer
        std::tuple<uint32_t, uint16_t, uint32_t> header_bits_compression;
    };
    const std::string to_4_bits = "-colors 16 -type Palette ";
    const char* ship = "./Astronaut.bmp";
    const Kind kinds[] = {
        {"", ship, {124, 8, BI_RLE8}},
        {"-compress None ", ship, {124, 8, BI_RGB}},
        {"BMP3:", ship, {40, 8, BI_RLE8}},
        {"-compress None BMP3:", ship, {40, 8, BI_RGB}},
        {"BMP2:", ship, {12, 8, BI_RGB}},
        {to_4_bits + "BMP3:", "./introtext.bmp", {40, 4, BI_RGB}},
        {to_4_bits + "-compress None ", "./introtext.bmp", {124, 4, BI_RGB}},
    };
    TempDir dir;
    int n = 0;
    for (const Kind& k : kinds) {
        const std::string out = dir.file("kind" + std::to_string(n++) + ".bmp");
        const std::string command = "convert " + std::string(k.source) + " " + k.options + out;
        SCOPED_TRACE(command);
        run(command);
        const std::string bytes = file_text(out);
        ASSERT_GT(bytes.size(), 40u);
        const uint32_t header = le32(bytes, 14);
        ASSERT_EQ(std::tuple(header, le16(bytes, header == 12 ? 24 : 28), header == 12 ? BI_RGB : le32(bytes, 30)),
                  k.header_bits_compression) << "the tool wrote another kind";
        const std::vector<uint32_t> original = colours_of(k.source);
        ASSERT_FALSE(original.empty());
        EXPECT_TRUE(colours_of(out) == original) << "another picture";
    }
}

// No tool at hand writes RLE4 (ImageMagick codes a 16-colour image as RLE8),
// so this one is made by hand: 5 x 2 pixels, a run, a literal, a delta.
TEST(OutsideImages, RunLengthFourBitsIsDecoded)
{
    Bytes b;
    put16le(b, 0x4D42);
    for (const uint32_t v : {0u, 0u, 14u + 40 + 16 * 4, 40u, 5u, 2u, 1u | 4u << 16, BI_RLE4, 0u, 0u, 0u, 16u, 0u})
        put32le(b, v);
    for (int i = 0; i < 16; ++i) put32le(b, uint32_t(i * 0x111111));
    // Bottom row: 3 pixels alternating 1 and 2, then a literal 7, 8, 9 (the
    // 9 past the edge); end of line. Top row: a delta of 2 right, then 3
    // pixels of 5; end of image.
    append(b, {3, 0x12, 0, 3, 0x78, 0x90, 0, 0, 0, 2, 2, 0, 3, 0x55, 0, 1});
    TempDir dir;
    const std::string path = dir.write("rle4.bmp", b);
    LoadedBitmap bitmap{};
    ASSERT_EQ(bmp_read(bitmap, path.c_str()), 1) << report_text();
    EXPECT_EQ((std::tuple{Bytes(bitmap.pixels, bitmap.pixels + 16), bitmap.info_header.biBitCount}),
              std::tuple(Bytes{0, 0, 5, 5, 5, 0, 0, 0, 1, 2, 1, 7, 8, 0, 0, 0}, 8));
    bmp_release(bitmap);
}

// Measured where the player hears it, at the mixer's output, against the
// source as sox itself mixes it down to mono at the mixer's rate.
TEST(OutsideSounds, EveryPcmKindSoundsAsItsSource)
{
    struct Kind {
        const char* options;  // sox's output options
        std::tuple<uint16_t, uint16_t, uint16_t> tag_channels_bits;  // as the file must say
    };
    const Kind kinds[] = {
        {"-b 16 -c 2 -r 44100", {1, 2, 16}},      {"-b 8 -c 1 -r 22050", {1, 1, 8}},
        {"-b 24 -c 2 -r 48000", {0xFFFE, 2, 24}}, {"-b 32 -e signed -c 1 -r 32000", {0xFFFE, 1, 32}},
        {"-b 32 -e float -c 2 -r 44100", {3, 2, 32}}, {"-b 16 -c 1 -r 8000", {1, 1, 16}},
    };
    TempDir dir;
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.options);
        const std::string wav = dir.file("effect.wav");
        const std::string reference = dir.file("reference.f32");
        // A rising tone that swells and fades, at about half scale.
        run(std::string("sox -n ") + k.options + " " + wav + " synth 0.8 sine 220-660 fade q 0.1 0.8 0.3 vol 0.5");
        run("sox " + wav + " -t f32 -c 1 -r 44100 " + reference);
        const std::string bytes = file_text(wav);
        ASSERT_GT(bytes.size(), 44u);
        ASSERT_EQ(std::tuple(le16(bytes, 20), le16(bytes, 22), le16(bytes, 34)), k.tag_channels_bits)
            << "sox wrote another kind";
        report_clear();
        sfx_init();
        const int id = sfx_load_wav(wav.c_str());
        ASSERT_EQ(id, 0) << report_text();
        mixer_start(id);
        // A frame at a time, so that the count ends where the voice does.
        std::vector<float> played;
        int16_t frame[2];
        while (mixer_playing(id) && played.size() < 10 * 44100u) {
            mixer_render(frame, 1);
            played.push_back(float(frame[0]) / 32767.0f / EFFECT_GAIN);
        }
        sfx_shutdown();
        const std::string floats = file_text(reference);
        std::vector<float> expected(floats.size() / 4);
        std::memcpy(expected.data(), floats.data(), expected.size() * 4);
        const double seconds = double(expected.size()) / 44100, heard = double(played.size()) / 44100;
        const double level = 20 * std::log10(rms(played) / rms(expected));
        const double shape = correlation(envelope(played), envelope(expected));
        EXPECT_TRUE(std::abs(heard - seconds) <= seconds * 0.01 && std::abs(level) <= 1.0 && shape >= 0.95)
            << heard << " s of " << seconds << ", " << level << " dB, envelope " << shape;
    }
}

// A pipe with no writer and an endless device where the settings file or
// user-dirs.dirs belongs: each reader refuses it at once, saying what it is
// (the data files: ModFolder.SpecialFilesAreEachTheirFilesRefusal). Each runs in a child, so that a reader that waits
// fails its case instead of stopping the suite.
TEST(SpecialFiles, NothingWaitsOnAPipeOrReadsAnEndlessDevice)
{
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.file("pipe").c_str(), 0644), 0);
    fs::create_symlink("/dev/zero", dir.file("zero"));
    const std::string pipe = dir.file("pipe"), zero = dir.file("zero");
    auto user_dirs = [&](const std::string& file) {
        ScopedEnv env;
        env.set("HOME", dir.path());
        env.set("XDG_CONFIG_HOME", dir.path());
        fs::remove(dir.file("user-dirs.dirs"));
        fs::create_symlink(file, dir.file("user-dirs.dirs"));
        return screenshot_folder() == dir.path();
    };
    struct Case {
        const char* name;
        std::function<bool()> reads;  // true when the reader went on as it should
        std::string said;
    };
    const Case cases[] = {
        {"settings file, a pipe", [&] { Settings s; settings_load(pipe, s); return true; }, "a pipe, not a regular file"},
        {"settings file, /dev/zero", [&] { Settings s; settings_load(zero, s); return true; }, "a device, not a regular"},
        {"user-dirs.dirs, a pipe", [&] { return user_dirs(pipe); }, "a pipe, not a regular file"},
        {"user-dirs.dirs, /dev/zero", [&] { return user_dirs(zero); }, "a device, not a regular file"},
    };
    for (const Case& c : cases) {
        Program child([&] { return c.reads() ? 0 : 1; });
        const Ended e = child.wait(std::chrono::seconds(30));
        EXPECT_TRUE(e.exited && e.status == 0 && e.err.find(c.said) != std::string::npos) << c.name << ": " << e.err;
    }
}

TEST(Messages, ByteOrderMarksAreSkippedAndControlBytesShownEscaped)
{
    std::vector<uint8_t> frames;
    KeyScriptError error{};
    EXPECT_EQ(keyscript_parse("\xEF\xBB\xBFUP\n", 6, frames, error), 1);
    EXPECT_EQ(frames, std::vector<uint8_t>{SCRIPT_UP});
    EXPECT_EQ(keyscript_parse("UP\x1b[2J\0!\n", 9, frames, error), 0);
    EXPECT_EQ(keyscript_fault_text(error), "unknown key 'UP\\x1b[2J\\x00!'");
    // A full disk is one line, the game's: libpng says nothing of its own.
    std::FILE* full = std::fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    const std::vector<uint8_t> pixels(640 * 480);
    EXPECT_EQ(stderr_of([&] { EXPECT_EQ(png_write_indexed(full, 640, 480, pixels.data(), 640, Palette{}), 0); }), "");
    std::fclose(full);
}

namespace {

TEST(Settings, ABadLineIsOneWarningSayingWhatIsWrongAndTheRestApplies)
{
    constexpr char raw_bytes[] = "col\x1b[31mours\0 = 1\n";
    const std::string text =
        "\xEF\xBB\xBF# mine\n"
        "music-volume = 40 # quieter\n"
        "effects-volume = 101\n"  // out of range: the default stays
        "busy-clock = yes\n"
        "gentle=YES\n"  // the older name of the default clock
        "colours = calm\n"
        "just words\n"
        "  steady-colours =  On  \r\n"
        "integer-scale = yes\n"
        "focus-pause = No\n"
        "soundfont = \"/fonts/a #1.sf2\" # the GM font\n"
        "music-volume = -1\n"
        "splash-wait = no\n"
        "fullscreen = \"no\n" +
        std::string(raw_bytes, sizeof raw_bytes - 1);
    Settings s;
    std::vector<SettingsProblem> problems;
    settings_parse(text, s, problems);
    EXPECT_EQ(std::tuple(s.music_volume, s.effects_volume, s.busy_clock, s.integer_scale, s.steady_colours,
                         s.focus_pause, s.fullscreen, s.splash_wait, s.soundfont),
              std::tuple(40, 100, false, true, true, false, true, false, std::string("/fonts/a #1.sf2")));
    std::vector<std::pair<int, std::string>> said;
    for (const SettingsProblem& p : problems) said.emplace_back(p.line, p.what.substr(0, p.what.find(" (")));
    EXPECT_EQ(said, (std::vector<std::pair<int, std::string>>{
                        {3, "effects-volume: the value '101' is not understood; it takes a whole number from 0 to 100"},
                        {6, "'colours' is not a setting"},
                        {7, "not a 'name = value' line"},
                        {12, "music-volume: the value '-1' is not understood; it takes a whole number from 0 to 100"},
                        {14, "fullscreen: the value's closing quote is missing"},
                        {15, "'col\\x1b[31mours\\x00' is not a setting"}}));

    TempDir dir;
    const std::string path = dir.write("kestrava.conf", text);
    Settings loaded;
    const std::string warned = stderr_of([&] { settings_load(path, loaded); });
    EXPECT_EQ(std::tuple(count_lines(warned), warned.find("kestrava: " + path + ":6: 'colours'") != std::string::npos,
                         loaded.music_volume),
              std::tuple(6, true, 40)) << warned;
}

TEST(Settings, TheFullscreenChoiceChangesItsValueAlone)
{
    const std::pair<const char*, const char*> cases[] = {
        {"# a\r\nfullscreen = yes\r\ngentle = yes", "# a\r\nfullscreen = no\r\ngentle = yes"},
        {"gentle = yes", "gentle = yes\nfullscreen = no\n"},
        {"gentle = yes\r\n", "gentle = yes\r\nfullscreen = no\r\n"},
        {"", "fullscreen = no\n"},
        {"\t fullscreen\t=  \"yes\"   # my choice\nx=1", "\t fullscreen\t=  no   # my choice\nx=1"},
        {"\xEF\xBB\xBF""fullscreen # no value\n", "\xEF\xBB\xBF""fullscreen = no # no value\n"},
        {"fullscreen = # empty\r\n", "fullscreen = no # empty\r\n"},
    };
    for (const auto& [before, after] : cases) EXPECT_EQ(settings_with_fullscreen(before, false), after) << before;
}

// The fullscreen choice saved into a file made as each case says: what the
// file then holds, and the one warning when it is left alone.
TEST(Settings, TheRewriteKeepsTheFileThePlayers)
{
    TempDir dir;
    const std::string folder = dir.file("config/kestrava"), path = folder + "/kestrava.conf";
    const std::string mine = "# mine\r\n  fullscreen = yes # big\r\n";
    const std::string theirs = "# mine\r\n  fullscreen = no # big\r\n";
    const std::string full(SETTINGS_FILE_LIMIT - 6, '#');  // loads, but not with a line added
    auto failing = [](int) { return errno = EIO, -1; };
    struct Case {
        const char* name;
        std::function<void()> make;
        std::string warning;  // "" when the choice is kept
        std::string kept;     // what the player's file then holds
        std::string file = {};  // where that file is; the settings path when empty
    };
    const Case cases[] = {
        {"no file nor folder yet", [] {}, "", "fullscreen = no\n"},
        {"a plain file", [&] { dir.write("config/kestrava/kestrava.conf", mine); }, "", theirs},
        {"a link to the player's dotfiles, mode 0640, owner and group 1",
         [&] {
             const std::string dotfiles = dir.write("dotfiles.conf", mine);
             fs::create_symlink("../../dotfiles.conf", path);
             EXPECT_EQ(chmod(dotfiles.c_str(), 0640) + chown(dotfiles.c_str(), 1, 1), 0);
         },
         "", theirs, dir.file("dotfiles.conf")},
        {"a dangling link", [&] { fs::create_symlink(dir.file("new.conf"), path); }, "", "fullscreen = no\n",
         dir.file("new.conf")},
        {"read-only", [&] { dir.write("config/kestrava/kestrava.conf", mine), chmod(path.c_str(), 0444); },
         "the file is read-only", mine},
        {"hard-linked", [&] { dir.write("config/kestrava/kestrava.conf", mine), fs::create_hard_link(path, dir.file("b")); },
         "it has other hard links", mine},
        {"too large with the line", [&] { dir.write("config/kestrava/kestrava.conf", full); },
         "the file would grow past", full},
        {"fsync fails", [&] { dir.write("config/kestrava/kestrava.conf", mine), file_sync_calls.fsync = failing; },
         "syncing: Input/output error", mine},
        {"close fails", [&] { dir.write("config/kestrava/kestrava.conf", mine), file_sync_calls.close = failing; },
         "closing: Input/output error", mine},
    };
    for (const Case& c : cases) {
        fs::remove_all(dir.file("config")), fs::create_directories(folder);
        c.make();
        bool kept = false;
        const std::string warned = stderr_of([&] { kept = settings_save_fullscreen(path, false); });
        file_sync_calls = {::fsync, ::close};
        EXPECT_EQ(std::tuple(kept, count_lines(warned), warned.find(c.warning) != std::string::npos),
                  std::tuple(c.warning.empty(), c.warning.empty() ? 0 : 1, true)) << c.name << ": " << warned;
        EXPECT_TRUE(file_text(c.file.empty() ? path : c.file) == c.kept) << c.name;
        int files = 0;
        for (const auto& e : fs::directory_iterator(folder)) files += e.is_regular_file() || e.is_symlink();
        EXPECT_EQ(files, 1) << c.name << ": nothing is left beside the file";
    }
    struct stat st{};
    ASSERT_EQ(stat(dir.file("dotfiles.conf").c_str(), &st), 0);
    EXPECT_EQ(std::tuple(st.st_mode & 07777, st.st_uid, st.st_gid), std::tuple(0640u, 1u, 1u)) << "the player's still";

    const std::string no_home = stderr_of([] { EXPECT_FALSE(settings_save_fullscreen("", true)); });
    EXPECT_EQ(count_lines(no_home), 1) << "neither HOME nor XDG_CONFIG_HOME";
    ScopedEnv env;
    env.unset("XDG_CONFIG_HOME");
    env.set("HOME", "/home/player");
    EXPECT_EQ(settings_path(), "/home/player/.config/kestrava/kestrava.conf");
    env.unset("HOME");
    EXPECT_EQ(settings_path(), "");
}

TEST(Settings, TheSoundfontListKeepsItsBoundsAndSaysWhatItLeftOut)
{
    std::vector<std::string> unused;
    EXPECT_EQ(soundfont_list("a.sf2::/b c.sf2:", &unused), (std::vector<std::string>{"a.sf2", "/b c.sf2"}));
    std::string many;
    for (int i = 0; i < 40; ++i) many.append("f").append(std::to_string(i)).append(":");
    EXPECT_EQ(soundfont_list(many, &unused).size(), SOUNDFONT_LIST_LIMIT);
    const std::string long_path(SOUNDFONT_PATH_LIMIT + 1, 'x');
    EXPECT_EQ(soundfont_list(long_path + ":ok", &unused), (std::vector<std::string>{"ok"}));
    EXPECT_EQ(unused, (std::vector<std::string>{"entries past the sixteenth are not used",
                                                "a path of 4097 bytes is not used (at most 4096)"}));
}

// The game's command lines that write or refuse: what they say, their status,
// and what is left of the player's files.
TEST(Outputs, TheGameNeverTakesThePlaceOfThePlayersFiles)
{
    TempDir dir;
    const std::string game = KESTRAVA_GAME, earlier = dir.write("run.keys", "UP\nUP\n");
    fs::create_directory(dir.file("empty"));
    const std::string no_data = " --data " + dir.file("empty");
    struct Case {
        std::string command;  // run by sh in the folder
        int status;
        std::string said;  // the one line on standard error starts so
    };
    const Case cases[] = {
        {game + " --record run.keys", 2, "kestrava: run.keys: already exists"},
        {game + " --record new.keys" + no_data, 1, "kestrava: splash.bmp: No such file"},
        {game + " --record=./--window" + no_data, 1, "kestrava: splash.bmp: No such file"},
        {game + " --record --window", 2, "kestrava: --record takes a file name, not the option '--window' (one of "
                                         "that name is written --record=./--window)"},
        {game + " --music-volume=50 --effects-volume=7 --check-data=" + KESTRAVA_DATA_DIR + " >/dev/null", 0, ""},
        {game + " --music-volume=101", 2, "kestrava: --music-volume takes a whole number from 0 to 100"},
        {game + " --soundfont=$(printf %05000d 0)", 2, "kestrava: --soundfont takes a file name of at most 4096"},
        {game + " --check-data " + KESTRAVA_DATA_DIR + " >/dev/full", 1, "kestrava: standard output: No space left on device"},
        {game + " --help >/dev/full", 1, "kestrava: standard output: No space left on device"},
        {game + " --version >/dev/full", 1, "kestrava: standard output: No space left on device"},
    };
    for (const Case& c : cases) {
        const Ended r = run_program({"/bin/sh", "-c", c.command}, dir.dir);
        EXPECT_EQ(std::tuple(r.status, count_lines(r.err), r.err.rfind(c.said, 0)),
                  std::tuple(c.status, c.said.empty() ? 0 : 1, 0u)) << c.command << "\n" << r.err;
    }
    EXPECT_EQ(file_text(earlier), "UP\nUP\n");
    EXPECT_FALSE(fs::exists(dir.file("new.keys")) || fs::exists(dir.file("--window"))) << "a failed start records nothing";
}

}  // namespace

namespace {

class Banks : public ::testing::Test {
protected:
    TempDir dir;
    const Bytes samples = {0x80, 0xFF, 0x00, 0x40, 0xC0};
    std::string effect, track;
    void SetUp() override
    {
        effect = dir.write("effect.wav", pcm8_wave(samples));
        track = dir.write("track.mid", chord_file());
        report_clear();
        sfx_init(), midi_init();
    }
    void TearDown() override
    {
        midi_shutdown();
        sfx_shutdown();
    }
    int load(const std::string& path) { return sfx_load_wav(path.c_str()); }
    // What a load meant to fail reported.
    static std::string refused(int id)
    {
        const std::string text = id == -1 ? report_text() : "loaded into slot " + std::to_string(id);
        report_clear();
        return text;
    }
};

// An effect slot as one record: in use, id, length, its bytes if any.
std::tuple<int, int, int, Bytes> slot(int id)
{
    const SoundSlot& s = sfx_slot(id);
    return {s.in_use, s.id, s.data_bytes, s.buffer ? Bytes(s.buffer, s.buffer + s.data_bytes) : Bytes{}};
}

// A deleted slot keeps its place and is not reused; without a device every
// effect is silent, so the game's engine sound is started freely. The id of a
// failed load (-1), or one past the bank, names no slot: nothing outside the
// bank is touched (the sanitizers watch).
TEST_F(Banks, EffectSlotsFromLoadToShutdown)
{
    sfx_play(0), sfx_play(-1), sfx_stop(-1), sfx_delete(-1);
    EXPECT_EQ(std::tuple(sfx_status(0), sfx_status(-1), sfx_status(SOUND_SLOTS), sfx_slot(-1).buffer),
              std::tuple(-1, -1, -1, nullptr));
    for (int i = 0; i < SOUND_SLOTS; ++i) ASSERT_EQ(load(effect), i);
    EXPECT_EQ(slot(1), std::make_tuple(1, 1, 5, samples));
    EXPECT_NE(sfx_slot(0).buffer, sfx_slot(1).buffer);
    EXPECT_EQ(load(effect), -1);
    EXPECT_NE(std::string(report_text()).find("every sound slot is taken"), std::string::npos) << report_text();
    sfx_play(1);
    EXPECT_EQ(sfx_status(1), 0);

    sfx_init();
    for (int i = 0; i < 3; ++i) ASSERT_EQ(load(effect), i);
    sfx_delete(0);
    EXPECT_EQ(slot(0), std::make_tuple(1, 0, 5, Bytes{}));
    EXPECT_EQ(sfx_status(0), -1);
    EXPECT_EQ(load(effect), 3);
    sfx_init();
    for (int i : {0, 2, 255}) EXPECT_EQ(slot(i), std::make_tuple(0, i, 0, Bytes{})) << i;
    ASSERT_EQ(load(effect), 0);
    ASSERT_EQ(load(effect), 1);
    sfx_shutdown();
    EXPECT_EQ(slot(1), std::make_tuple(1, 1, 5, Bytes{})) << "nothing dangles for a late play";
    sfx_play(1);
    EXPECT_EQ(sfx_status(1), -1);
}

TEST_F(Banks, RefusedFilesLeaveTheirSlotFree)
{
    EXPECT_EQ(refused(load(dir.file("missing.wav"))), dir.file("missing.wav") + ": No such file or directory");
    // Taken as its bytes, 16-bit stereo would play as noise at the wrong
    // speed: it is converted to the bank's 8-bit mono, half as many frames here.
    Bytes pcm16;
    for (int frame = 0; frame < 2000; ++frame)  // left +1/4, right +3/4 of full scale
        for (const uint16_t v : {0x2000, 0x6000}) pcm16.insert(pcm16.end(), {uint8_t(v), uint8_t(v >> 8)});
    const Bytes wide = riff_wave({chunk("fmt ", fmt_body(1, 2, 22050, 16)), chunk("data", pcm16)});
    ASSERT_EQ(load(dir.write("wide.wav", wide)), 0) << report_text();
    EXPECT_NEAR(sfx_slot(0).data_bytes, 1000, 10);
    ASSERT_NE(sfx_slot(0).buffer, nullptr);
    EXPECT_NEAR(sfx_slot(0).buffer[500], 128 + 64, 2) << "the channels' mean, half scale above silence";

    const Bytes chord = chord_file();
    const std::string path = dir.write("cut.mid", Bytes(chord.begin(), chord.end() - 5));
    EXPECT_EQ(refused(midi_load(path.c_str())), path + ": a track runs past the end of the file");
    EXPECT_EQ(midi_load(track.c_str()), 0);
}

// The first six music slots: Free, Loaded, Playing or Stopped.
std::string states()
{
    std::string out;
    for (int i = 0; i < 6; ++i) out += "FLPS"[midi_slot(i).play_state - MIDI_FREE];
    return out;
}

// One track plays at a time; stopping any loaded track clears the current
// one; an empty slot returns 0 and changes nothing.
TEST_F(Banks, MusicSlotsAndTheCurrentTrack)
{
    for (int i = 0; i < MUSIC_SLOTS; ++i) {
        ASSERT_EQ(midi_load(track.c_str()), i);
        EXPECT_TRUE(midi_slot(i).id == i && midi_slot(i).segment) << i;
    }
    EXPECT_EQ(midi_load(track.c_str()), -1);
    EXPECT_NE(std::string(report_text()).find("every music slot is taken"), std::string::npos);
    ASSERT_EQ(midi_play(3), 1);
    midi_delete_all();
    EXPECT_EQ(midi_current_track(), -1) << "no track plays from an empty bank";
    for (int i = 0; i < MUSIC_SLOTS; ++i)
        EXPECT_TRUE(midi_slot(i).play_state == MIDI_FREE && !midi_slot(i).segment) << i;
    EXPECT_EQ(midi_play(3), 0);

    midi_init();
    EXPECT_EQ(midi_current_track(), -1) << "a new bank has no current track";
    for (int i = 0; i < 4; ++i) ASSERT_EQ(midi_load(track.c_str()), i);
    EXPECT_EQ(states(), "LLLLFF");
    // Play or stop which id; the result, the current track, the states after.
    const std::tuple<bool, int, int, int, const char*> steps[] = {
        {true, 2, 1, 2, "LLPLFF"},  {true, 0, 1, 0, "PLSLFF"},  {true, 0, 1, 0, "PLSLFF"},  // again: from the top
        {true, 5, 0, 0, "PLSLFF"},  {false, 5, 0, 0, "PLSLFF"}, {false, 3, 1, -1, "PLSSFF"},
        {false, 0, 1, -1, "SLSSFF"}, {true, 0, 1, 0, "PLSSFF"},  // a stopped track plays again
    };
    for (const auto& [play, id, result, current, want] : steps) {
        const int got = play ? midi_play(id) : midi_stop(id);
        const auto after = std::make_tuple(got, midi_current_track(), states());
        EXPECT_EQ(after, std::make_tuple(result, current, std::string(want))) << (play ? "play " : "stop ") << id;
    }
}

// The WAV reader's refusal ("" if none) and the samples, which lie in the file.
std::pair<std::string, Bytes> read(const Bytes& file)
{
    WavData w{};
    const char* why = "(no reason)";
    if (!wav_parse(file.data(), file.size(), w, &why)) return {why, {}};
    EXPECT_TRUE(w.data >= file.data() && w.data + w.data_bytes <= file.data() + file.size()) << "outside the file";
    return {"", Bytes(w.data, w.data + w.data_bytes)};
}

// Cut samples or a wrong RIFF size play what there is; a short RIFF size cuts the data.
TEST(WavParse, TakesWhatCanBeReadSafelyAndRefusesTheRest)
{
    const Bytes some = {1, 2, 3, 4, 5, 6}, data = chunk("data", some), fmt8 = chunk("fmt ", fmt_body(1, 1, 11025, 8));
    const Bytes good = riff_wave({fmt8, data}), fmt16 = fmt_body(1, 1, 11025, 8), odd = {0x10, 0x80, 0xF0};
    Bytes not_riff = good, not_wave = good, cut = pcm8_wave({10, 20, 30, 40, 50, 60, 70, 80});
    not_riff[0] = 'X';
    not_wave[8] = 'A';
    cut.resize(cut.size() - 3);
    struct Case {
        Bytes file;
        const char* why;
        Bytes samples = {};
    };
    const Case cases[] = {
        {riff_wave({chunk("LIST", {'a', 'b', 'c'}), chunk("fmt ", fmt_body(1, 2, 22050, 16, true)),
                    chunk("fact", {9, 9, 9, 9, 9}), data}), "", {1, 2, 3, 4}},  // whole frames only
        {wav_encode_pcm8(odd.data(), 3, 11025), "", odd},
        {cut, "", {10, 20, 30, 40, 50}},
        {riff_wave({fmt8, chunk("data", some, 0xFFFFFFFF)}, 0xFFFFFFFF), "", some},
        {riff_wave({fmt8, data}, uint32_t(good.size() - 8 - 2)), "", {1, 2, 3, 4}},
        {{}, "truncated RIFF header"}, {Bytes(good.begin(), good.begin() + 11), "truncated RIFF header"},
        {not_riff, "not a RIFF WAVE file"}, {not_wave, "not a RIFF WAVE file"},
        {riff_wave({fmt8, data}, 3), "RIFF size is smaller than its own header"},
        {riff_wave({}), "no format chunk"}, {riff_wave({data}), "no format chunk"},
        {riff_wave({chunk("fmt ", fmt16, 4000)}), "format chunk runs past the end of the file"},
        {riff_wave({chunk("LIST", {1, 2}, 0x7FFFFFF0), fmt8, data}), "a chunk size runs past the end of the file"},
        {riff_wave({fmt8, chunk("LIST", {1, 2}, 0xFFFFFFF0), data}), "a chunk size runs past the end of the file"},
        {riff_wave({chunk("fmt ", Bytes(fmt16.begin(), fmt16.begin() + 14)), data}),
         "format chunk is shorter than 16 bytes"},
        {riff_wave({chunk("fmt ", fmt_body(2, 1, 11025, 4)), data}), "not PCM data"},
        {riff_wave({chunk("fmt ", fmt_body(0xFFFE, 1, 11025, 8)), data}),
         "extensible format chunk is too short for its subformat"},
        {riff_wave({fmt8}), "no data chunk after the format chunk"},
        {riff_wave({data, fmt8}), "no data chunk after the format chunk"},
        // An odd chunk at the very end without its pad byte is no overrun.
        {riff_wave({fmt8, Bytes{'L', 'I', 'S', 'T', 3, 0, 0, 0, 1, 2, 3}}), "no data chunk after the format chunk"},
        {riff_wave({fmt8, chunk("data", {})}), "data chunk is empty"},
        {riff_wave({fmt8, Bytes{'d', 'a', 't', 'a', 10, 0, 0, 0}}), "data chunk is empty"},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(read(cases[i].file), std::make_pair(std::string(cases[i].why), cases[i].samples)) << i;
    // Every cut of a good file is read within its bounds or refused.
    const Bytes& full = cases[0].file;
    for (size_t n = 0; n <= full.size(); ++n) {
        const auto [why, samples] = read(Bytes(full.begin(), full.begin() + long(n)));
        EXPECT_TRUE(why != "" || !samples.empty()) << n;
    }
}

// The MIDI checks' refusal, "" where the file is accepted.
std::string refusal(const Bytes& file)
{
    const char* why = "(no reason)";
    return midi_validate(file.data(), file.size(), &why) ? "" : why;
}

// Whole files, then single tracks that would be read past their end.
TEST(MidiValidate, RefusesWhatCannotBeReadSafely)
{
    const Bytes chord = chord_file();
    Bytes not_midi = chord, long_header = chord, short_header = chord;
    not_midi[1] = 'X';
    long_header[7] = 200;
    short_header[7] = 4;
    // a text event, a sysex, running status across notes
    const Bytes conductor = {0x00, 0xFF, 0x03, 0x04, 'S', 'o', 'n', 'g', 0x00, 0xFF, 0x58, 0x04, 4, 2, 24, 8,
                             0x00, 0xF0, 0x03, 0x7E, 0x09, 0xF7, 0x00, 0xFF, 0x2F, 0x00};
    const Bytes alien = {'X', 'F', 'I', 'H', 0, 0, 0, 2, 0xAB, 0xCD};  // a chunk of another kind
    const std::pair<Bytes, const char*> cases[] = {
        {chord_file(), ""},
        {smf(1, 2, 96, {mtrk(conductor), alien, mtrk(chord_track(96, 192))}), ""},
        // tracks beyond the declared count are not the player's business
        {smf(0, 1, 96, {mtrk(chord_track(10, 20)), Bytes{'M', 'T', 'r', 'k', 0xFF, 0, 0, 0}}), ""},
        {{}, "truncated MIDI header"}, {Bytes(chord.begin(), chord.begin() + 13), "truncated MIDI header"},
        {not_midi, "not a Standard MIDI File"}, {short_header, "MIDI header is shorter than 6 bytes"},
        {long_header, "MIDI header runs past the end of the file"}, {smf(0, 0, 480, {}), "the file holds no track"},
        {smf(3, 1, 480, {mtrk(chord_track(1, 2))}), "unknown MIDI file format"},
        {smf(0, 1, 0xE728, {mtrk(chord_track(1, 2))}), "SMPTE time division is not supported"},
        {smf(0, 1, 0, {mtrk(chord_track(1, 2))}), "zero ticks per quarter note"},
        {smf(1, 3, 480, {mtrk(chord_track(1, 2)), mtrk(chord_track(1, 2))}),
         "the file holds fewer tracks than its header declares"},
        {smf(0, 1, 480, {mtrk(chord_track(1, 2), 1000)}), "a track runs past the end of the file"},
        {smf(0, 1, 480, {Bytes{'J', 'U', 'N', 'K', 0x7F, 0xFF, 0xFF, 0xFF}, mtrk(chord_track(1, 2))}),
         "a track runs past the end of the file"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(refusal(cases[i].first), cases[i].second) << i;
    const std::pair<Bytes, const char*> tracks[] = {
        {{}, "a track has no end-of-track event"}, {{0x00, 0x90, 60, 100}, "a track has no end-of-track event"},
        {{0x81}, "a track ends inside a delta time"}, {{0x00, 0x90, 60}, "a track ends inside a channel event"},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0x2F, 0x00}, "a track ends inside a delta time"},
        {{0x00, 0x40, 0x40, 0x00, 0xFF, 0x2F, 0x00}, "a track has a data byte where a status byte belongs"},
        {{0, 0xFF}, "a track ends inside a meta event"}, {{0, 0xFF, 0x2F, 1, 0}, "a meta event has the wrong length"},
        {{0x00, 0x90, 60, 0x90, 0x00, 0xFF, 0x2F, 0x00}, "a channel event is cut short by a status byte"},
        {{0x00, 0xFF, 0x01, 0x20, 'a'}, "a meta event runs past the end of its track"},
        {{0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1, 0x00, 0xFF, 0x2F, 0x00}, "a meta event has the wrong length"},
        {{0x00, 0xF0, 0x10, 0x7E}, "a system-exclusive event runs past the end of its track"},
        {{0x00, 0xF8, 0x00, 0xFF, 0x2F, 0x00}, "a track holds a status byte that has no place in a file"},
        // running status does not survive a meta event
        {{0x00, 0x90, 60, 100, 0x00, 0xFF, 0x01, 0x00, 0x00, 61, 100, 0x00, 0xFF, 0x2F, 0x00},
         "a track has a data byte where a status byte belongs"},
        {{0x00, 0xFF, 0x2F, 0x00, 0x00}, "a track goes on after its end-of-track event"},
    };
    for (const auto& [events, why] : tracks) EXPECT_EQ(refusal(smf(0, 1, 480, {mtrk(events)})), why) << why;
    // Every cut of a good file is refused, never read past; random bytes are the fuzzer's.
    const Bytes good = smf(1, 2, 96, {mtrk(chord_track(10, 20)), mtrk(chord_track(30, 40))});
    for (size_t n = 0; n < good.size(); ++n) EXPECT_NE(refusal(Bytes(good.begin(), good.begin() + long(n))), "") << n;
}

}  // namespace
