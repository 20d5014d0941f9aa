// What the generator makes, read back the way the game reads it: the images
// checked for the ways the art could break the game, the effects and music
// played as the banks play them, and the same bytes on every run. Its own
// mathematical functions against the C library's over the ranges the art and
// the sounds use: a wrong quadrant, sign or series would spoil the pictures
// and sounds while still giving the same bytes on every machine. And the
// surfaces the game cuts its cells into and draws on: 8-bit SDL surfaces,
// blits, the clip list and text.
#include <SDL.h>
#include <gtest/gtest.h>

#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <map>
#include <numbers>
#include <numeric>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "audio/midi.h"
#include "base/bytes.h"
#include "base/data_files.h"
#include "formats/bmp.h"
#include "formats/midi_file.h"
#include "formats/wav.h"
#include "portable_math.h"
#include "game/sprite_sizes.h"
#include "graphics/surface.h"
#include "support/process.h"

namespace {

// Cells on a one-pixel grid that runs round every cell, the outer edge included.
struct Sheet {
    const char* file;
    SpriteSize size;
    int rows;
    std::pair<int, int> extent() const { return {size.frames * (size.width + 1) + 1, rows * (size.height + 1) + 1}; }
};
constexpr Sheet SHOT{"Projectile.bmp", SHOT_SPRITE, 1}, ROCK{"Asteroid.bmp", ASTEROID_SPRITE, 1},
    ASTRONAUT{"Astronaut.bmp", ASTRONAUT_SPRITE, 1}, SHIP{"PlayerShip.bmp", SHIP_SPRITE, 2};
constexpr Sheet SHEETS[] = {SHOT, {"Explosion.bmp", EXPLOSION_SPRITE, 1}, ASTRONAUT, {"star.bmp", STAR_SPRITE, 1},
                            ROCK, SHIP};

// One image as the game reads it.
struct Picture {
    LoadedBitmap bmp{};
    int w = 0, h = 0;
    explicit Picture(const char* file)
    {
        if (bmp_read(bmp, (std::string(KESTRAVA_DATA_DIR) + "/" + file).c_str()) != 1) return;
        w = bmp.info_header.biWidth;
        h = std::abs(bmp.info_header.biHeight);
    }
    Picture(const Picture&) = delete;
    ~Picture() { bmp_release(bmp); }
    uint8_t at(int x, int y) const { return bmp.pixels[size_t(y) * size_t(bmp_row_stride(w, 8)) + size_t(x)]; }
    std::vector<uint8_t> cell(const SpriteSize& s, int col, int row) const
    {
        std::vector<uint8_t> out;
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x)
                out.push_back(at(col * (s.width + 1) + 1 + x, row * (s.height + 1) + 1 + y));
        return out;
    }
};

uint32_t rgb(const PALETTEENTRY& e) { return uint32_t(e.peRed) << 16 | uint32_t(e.peGreen) << 8 | e.peBlue; }

TEST(GeneratedImages, AllAreEightBitInTheSplashPalette)
{
    Picture splash("splash.bmp");
    ASSERT_NE(splash.w, 0);
    std::vector<uint32_t> pal(256);
    std::transform(std::begin(splash.bmp.palette), std::end(splash.bmp.palette), pal.begin(), rgb);
    // Index 0 is the transparent key and black. (No colour twice, so that a picture exported in these colours
    // imports back to its own indices: Import.ColoursBecomeTheSplashsIndicesAndNothingIsReplaced.)
    EXPECT_EQ(pal[0], 0u);
    // The game writes its texts in these colours; each must be there exactly.
    for (uint32_t c : {0x404040u, 0x00FF00u, 0xC84000u, 0xFF1414u})
        EXPECT_NE(std::find(pal.begin(), pal.end(), c), pal.end()) << std::hex << c;

    // Sizes and bit counts other than the game's it refuses to start on.
    auto check = [&](const char* file) {
        Picture p(file);
        for (int i = 0; i < 256; ++i) EXPECT_EQ(rgb(p.bmp.palette[i]), pal[size_t(i)]) << file << " " << i;
    };
    for (const char* file : {"backdrop.bmp", "introtext.bmp"}) check(file);
    for (const Sheet& s : SHEETS) check(s.file);
}

// Cells drawn, with transparency round them (clear corners: nothing cut by the
// edge), each picture of an animation or heading unlike the rest of its row.
TEST(GeneratedImages, EverySheetCellIsFramedDrawnAndDistinct)
{
    for (const Sheet& s : SHEETS) {
        SCOPED_TRACE(s.file);
        Picture p(s.file);
        ASSERT_EQ(std::make_pair(p.w, p.h), s.extent());
        int gaps = 0;
        for (int y = 0; y < p.h; ++y)
            for (int x = 0; x < p.w; ++x)
                gaps += !p.at(x, y) && (x % (s.size.width + 1) == 0 || y % (s.size.height + 1) == 0);
        EXPECT_EQ(gaps, 0) << "gaps in the grid";
        for (int row = 0; row < s.rows; ++row)
            for (int col = 0; col < s.size.frames; ++col) {
                const std::vector<uint8_t> px = p.cell(s.size, col, row);
                const auto clear = size_t(std::count(px.begin(), px.end(), 0));
                EXPECT_TRUE(clear > 0 && clear < px.size() && px.front() == 0 && px.back() == 0)
                    << "cell " << col << "," << row << ": " << clear << " clear";
                for (int other = 0; other < col; ++other)
                    EXPECT_NE(p.cell(s.size, other, row), px) << col << " as " << other;
            }
    }
}

double degrees(double y, double x) { return std::atan2(y, x) * 180.0 / std::numbers::pi; }
// How far angle a is from b, in degrees, folded into [0, 180].
double angle_gap(double a, double b) { return std::fabs(std::fmod(a - b + 540.0, 360.0) - 180.0); }

// Mean relative luminance and chroma (max - min of r, g, b) of a row's drawn pixels.
std::pair<double, double> look(const Sheet& s, int row)
{
    Picture p(s.file);
    double luminance = 0, chroma = 0, drawn = 0;
    auto linear = [](double c) {  // sRGB to linear light
        c /= 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    for (int col = 0; col < s.size.frames && p.w; ++col)
        for (uint8_t index : p.cell(s.size, col, row)) {
            const PALETTEENTRY& e = p.bmp.palette[index];
            luminance += index ? 0.2126 * linear(e.peRed) + 0.7152 * linear(e.peGreen) + 0.0722 * linear(e.peBlue) : 0;
            chroma += index ? std::max({e.peRed, e.peGreen, e.peBlue}) - std::min({e.peRed, e.peGreen, e.peBlue}) : 0;
            drawn += index != 0;
        }
    EXPECT_GT(drawn, 0) << s.file;
    return {luminance / std::max(drawn, 1.0), chroma / std::max(drawn, 1.0)};
}

// The ship is also what the eye finds first: brighter than rock and astronaut,
// in a colour the greys and tans of the rocks lack.
TEST(GeneratedImages, ShipPointsAlongItsHeadingWithTheFlameBehindAndOutshinesTheRocks)
{
    const auto [rock, rock_chroma] = look(ROCK, 0);
    const double brightest_other = std::max(rock, look(ASTRONAUT, 0).first);
    for (int row = 0; row < 2; ++row) {  // coasting, then under thrust
        const auto [ship, ship_chroma] = look(SHIP, row);
        EXPECT_GE(ship, 1.3 * brightest_other) << "row " << row;
        EXPECT_GT(ship_chroma, 2.0 * rock_chroma) << "row " << row << ": the ship is drawn in the rocks' greys";
    }
    Picture p(SHIP.file);
    ASSERT_NE(p.w, 0);
    const SpriteSize& s = SHIP.size;
    double mean_x = 0, mean_y = 0;
    for (int h = 0; h < 16; ++h) {
        SCOPED_TRACE("heading " + std::to_string(h));
        const double want = h * 22.5;
        const std::vector<uint8_t> plain = p.cell(s, h, 0), thrust = p.cell(s, h, 1);
        // The nose is the drawn pixel farthest from the centre (11, 9).
        std::array<double, 2> nose{};
        std::array<double, 3> ship{}, flame{};  // sums of x, y and count about the centre
        int same = 0;
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x) {
                const size_t i = size_t(y * s.width + x);
                const double dx = x + 0.5 - 11.0, dy = y + 0.5 - 9.0;
                if (plain[i] && std::hypot(dx, dy) > std::hypot(nose[0], nose[1])) nose = {dx, dy};
                if (plain[i] || thrust[i]) {
                    std::array<double, 3>& sum = plain[i] ? ship : flame;
                    sum = {sum[0] + dx, sum[1] + dy, sum[2] + 1};
                }
                same += plain[i] && thrust[i] == plain[i];
            }
        ASSERT_GT(ship[2], 0);
        EXPECT_LT(angle_gap(degrees(nose[1], nose[0]), want), 22.5) << "points at " << degrees(nose[1], nose[0]);
        mean_x += ship[0] / ship[2] / 16.0;
        mean_y += ship[1] / ship[2] / 16.0;
        // Row 1 adds the flame out of the tail and changes little else.
        ASSERT_GT(flame[2], 0) << "no flame";
        EXPECT_LT(angle_gap(degrees(flame[1], flame[0]), want + 180.0), 22.5);
        EXPECT_GT(same, 0.85 * ship[2]);
    }
    // Turning about its centre: over all headings the ship averages out there.
    EXPECT_TRUE(std::fabs(mean_x) < 0.75 && std::fabs(mean_y) < 0.75) << mean_x << ", " << mean_y;
}

// The page rests at y = 50 (rows from 430 never seen), its margins within 2x
// of each other and clear of the bottom edge.
TEST(GeneratedImages, IntroTextFitsAboveWhereTheScrollStops)
{
    Picture p("introtext.bmp");
    ASSERT_EQ(p.h, 480);
    int below = 0, above = 0, first = -1, last = 0;
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x)
            if (p.at(x, y)) {
                (y >= 430 ? below : above) += 1;
                first = first < 0 ? y : first;
                last = y < 430 ? y : last;
            }
    EXPECT_EQ(below, 0);
    EXPECT_GT(above, 5000) << "a page of text, not a stray pixel";
    const int top_margin = 50 + first, bottom_margin = 480 - (50 + last + 1);
    EXPECT_GE(bottom_margin, 24);
    EXPECT_TRUE(top_margin <= 2 * bottom_margin && bottom_margin <= 2 * top_margin)
        << top_margin << " above, " << bottom_margin << " below";
}

// Two runs of the generator give the same bytes: a build is reproducible.
TEST(AssetGenerator, WritesTheSameBytesOnEveryRun)
{
    TempDir a, b;
    ASSERT_EQ(run_program({KESTRAVA_ASSETGEN, a.path()}).status, 0);
    ASSERT_EQ(run_program({KESTRAVA_ASSETGEN, b.path()}).status, 0);
    for (int i = 0; i < DATA_FILE_COUNT; ++i) {
        const std::string file = data_file_name(DataFile(i));
        EXPECT_TRUE(!a.read(file).empty() && a.read(file) == b.read(file)) << file << " missing or not the same twice";
    }
}

std::string data_file(const char* name) { return file_text(std::string(KESTRAVA_DATA_DIR) + "/" + name); }

double rms(const uint8_t* s, size_t count)
{
    double sum = 0.0;
    for (size_t i = 0; i < count; ++i) sum += (s[i] - 128.0) * (s[i] - 128.0);
    return std::sqrt(sum / static_cast<double>(count));
}

// A cry, the beam-up, a phrase, a zap fired every other frame, the engine
// restarted while its key is held.
constexpr std::tuple<const char*, double, double> kEffects[] = {
    {"ahh.WAV", 0.3, 0.999},   {"energize.WAV", 0.5, 3.0},  {"GAMEOVER.WAV", 1.0, 2.0}, {"Projectile.WAV", 0.05, 0.199},
    {"Engines.WAV", 0.2, 1.5}, {"Explosion.WAV", 0.4, 3.0}, {"LevCOMP.WAV", 0.5, 3.0}};

// 8-bit mono at 11,025 Hz (or heard at the wrong speed), near full scale without
// clipping or clicks, all within 8 dB of one another at their loudest 0.25 s.
TEST(GeneratedEffects, PlayAsTheBankPlaysThemAtOneLevelWithoutClicks)
{
    std::vector<double> levels;
    for (const auto& [name, min_seconds, max_seconds] : kEffects) {
        SCOPED_TRACE(name);
        const std::string file = data_file(name);
        WavData w{};
        const char* why = "";
        ASSERT_EQ(wav_parse(reinterpret_cast<const uint8_t*>(file.data()), file.size(), w, &why), 1) << why;
        const WAVEFORMATEX& f = w.format;
        EXPECT_EQ(std::make_tuple(f.wFormatTag, f.nChannels, f.nSamplesPerSec, f.wBitsPerSample),
                  std::make_tuple(WAVE_FORMAT_PCM, 1, EFFECT_SAMPLE_RATE, 8));
        const uint8_t* s = w.data;
        const size_t n = w.data_bytes;
        const double seconds = double(n) / EFFECT_SAMPLE_RATE;
        EXPECT_TRUE(seconds >= min_seconds && seconds <= max_seconds) << seconds << " s";
        const auto [lo, hi] = std::minmax_element(s, s + n);
        EXPECT_GE(std::max(128 - *lo, *hi - 128), 100) << "too quiet";
        EXPECT_TRUE(*lo > 0 && *hi < 255) << "clipped";
        EXPECT_TRUE(std::abs(s[0] - 128) <= 2 && std::abs(s[n - 1] - 128) <= 2) << "a click at an end";
        const size_t window = std::min<size_t>(EFFECT_SAMPLE_RATE / 4, n);
        double loudest = 0.0;
        for (size_t at = 0; at + window <= n; at += window / 8) loudest = std::max(loudest, rms(s + at, window));
        levels.push_back(20.0 * std::log10(loudest / 128.0 + 1e-9));

        // The engine restarts as it ends while the key is held: loud ends would thump.
        if (std::string(name) != "Engines.WAV") continue;
        const size_t edge = EFFECT_SAMPLE_RATE / 200, slice = EFFECT_SAMPLE_RATE / 50;
        const double body = rms(s + n / 4, n / 2);
        EXPECT_TRUE(rms(s, edge) < body * 0.5 && rms(s + n - edge, edge) < body * 0.5) << "no taper";
        for (size_t at = n / 10; at + slice < n - n / 10; at += slice) EXPECT_GT(rms(s + at, slice), body * 0.3) << at;
    }
    const auto [quietest, loudest] = std::minmax_element(levels.begin(), levels.end());
    EXPECT_LT(*loudest - *quietest, 8.0) << std::get<0>(kEffects[loudest - levels.begin()]) << " against "
                                         << std::get<0>(kEffects[quietest - levels.begin()]);
}

// The notes the player hands the synthesiser: struck again while sounding,
// left sounding; parts (channels with notes), those without an instrument.
struct Notes {
    fluid_synth_t* synth = nullptr;
    int restruck = 0, parts = 0, parts_without_instrument = 0;
    std::map<int, bool> has_program, has_note;
    std::map<std::pair<int, int>, int> sounding;
};

int hear(void* data, fluid_midi_event_t* event)
{
    Notes& n = *static_cast<Notes*>(data);
    const int kind = fluid_midi_event_get_type(event), channel = fluid_midi_event_get_channel(event);
    if (kind == 0xC0) n.has_program[channel] = true;
    if (kind == 0x90 || kind == 0x80) {
        const bool on = kind == 0x90 && fluid_midi_event_get_velocity(event) > 0;
        int& count = n.sounding[{channel, fluid_midi_event_get_key(event)}];
        n.restruck += on && count > 0;
        count += on ? 1 : -1;
        if (on && !n.has_note[channel]) {
            n.has_note[channel] = true;
            n.parts += 1;
            n.parts_without_instrument += channel != 9 && !n.has_program[channel];
        }
    }
    return fluid_synth_handle_midi_event(n.synth, event);
}

// Format 1, accepted by the bank, every note released, every part with an
// instrument. Levels start a track at random, so all play at one loudness,
// clear of the effects and of full scale, for two to three minutes. Rendered
// as the game plays them (its soundfont, never the system's default by name;
// gain, reverb, chorus) at a quarter of the rate: levels move under 0.5 dB.
TEST(GeneratedMusic, WellFormedArrangementsAtOneLoudnessForTwoToThreeMinutes)
{
    const auto soundfont = std::find_if(std::begin(MIDI_SOUNDFONTS), std::end(MIDI_SOUNDFONTS),
                                        [](const char* path) { return std::ifstream(path).good(); });
    ASSERT_NE(soundfont, std::end(MIDI_SOUNDFONTS)) << "no soundfont of the game's list";
    constexpr double kRate = 11025.0;
    fluid_settings_t* settings = new_fluid_settings();
    fluid_settings_setnum(settings, "synth.sample-rate", kRate);
    fluid_settings_setnum(settings, "synth.gain", MUSIC_GAIN);
    fluid_settings_setint(settings, "synth.reverb.active", 1);
    fluid_settings_setint(settings, "synth.chorus.active", 1);
    fluid_settings_setstr(settings, "player.timing-source", "sample");
    fluid_settings_setint(settings, "synth.lock-memory", 0);
    fluid_synth_t* synth = new_fluid_synth(settings);
    ASSERT_NE(synth, nullptr);
    ASSERT_NE(fluid_synth_sfload(synth, *soundfont, 1), FLUID_FAILED);

    constexpr int kBlock = 512;
    constexpr size_t kLongest = size_t(kRate) * 200 / kBlock;  // a player that never ends fails rather than hangs
    constexpr size_t kOpening = size_t(kRate) * 15 / kBlock, kWindow = size_t(kRate) * 5 / kBlock;
    auto db = [](double energy, size_t blocks) { return 10.0 * std::log10(energy / (2.0 * blocks * kBlock) + 1e-15); };
    const char* const tracks[] = {"classic.mid", "midifile0.mid", "midifile3.mid", "midifile7.mid"};
    std::vector<double> levels;
    for (const char* name : tracks) {
        SCOPED_TRACE(name);
        const std::string file = data_file(name);
        const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
        const char* why = "";
        ASSERT_EQ(midi_validate(bytes, file.size(), &why), 1) << "the music bank refuses it: " << why;
        EXPECT_EQ(get16be(bytes + 8), 1) << "format";
        fluid_synth_system_reset(synth);
        fluid_player_t* player = new_fluid_player(synth);
        Notes notes;
        notes.synth = synth;
        fluid_player_set_playback_callback(player, hear, &notes);
        ASSERT_EQ(fluid_player_add_mem(player, file.data(), file.size()), FLUID_OK);
        ASSERT_EQ(fluid_player_play(player), FLUID_OK);
        std::vector<float> left(kBlock), right(kBlock);
        std::vector<double> blocks;  // the energy of each block
        float peak = 0.0f;
        while (fluid_player_get_status(player) == FLUID_PLAYER_PLAYING && blocks.size() < kLongest) {
            ASSERT_EQ(fluid_synth_write_float(synth, kBlock, left.data(), 0, 1, right.data(), 0, 1), FLUID_OK);
            double block = 0.0;
            for (int i = 0; i < kBlock; ++i) {
                block += double(left[i]) * left[i] + double(right[i]) * right[i];
                peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
            }
            blocks.push_back(block);
        }
        EXPECT_EQ(std::make_tuple(notes.restruck, notes.parts_without_instrument), std::make_tuple(0, 0))
            << "notes struck again while sounding, parts without an instrument";
        EXPECT_EQ(std::count_if(notes.sounding.begin(), notes.sounding.end(), [](auto& n) { return n.second; }), 0)
            << "notes left sounding or released twice";
        EXPECT_GE(notes.parts, 3) << "too few parts to be an arrangement";
        fluid_player_stop(player);
        fluid_player_join(player);
        delete_fluid_player(player);
        const double seconds = double(blocks.size() * kBlock) / kRate;
        const auto last_sound = std::find_if(blocks.rbegin(), blocks.rend(), [&](double e) { return db(e, 1) > -60; });
        EXPECT_TRUE(seconds >= 120.0 && seconds <= 180.0) << seconds << " s";
        EXPECT_LT(double(last_sound - blocks.rbegin()) * kBlock / kRate, 8.0) << "silence pads the end";
        const double track_db = db(std::accumulate(blocks.begin(), blocks.end(), 0.0), blocks.size());
        levels.push_back(track_db);
        // Each level starts its track anew: no 5 s of the first 15 over 8 dB under it.
        for (size_t at = 0; at + kWindow <= std::min(kOpening, blocks.size()); at += kWindow / 10) {
            const double energy = std::accumulate(blocks.begin() + long(at), blocks.begin() + long(at + kWindow), 0.0);
            EXPECT_GT(db(energy, kWindow), track_db - 8.0) << "the 5 s from " << double(at * kBlock) / kRate << " s";
        }
        // about -24 dBFS: clear over the effects, with room for the peaks
        EXPECT_TRUE(track_db > -27.0 && track_db < -21.0) << track_db << " dB";
        EXPECT_LT(20.0 * std::log10(peak + 1e-15), -2.0) << "peaks too close to full scale";
    }
    delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    ASSERT_EQ(levels.size(), std::size(tracks));
    const auto [quietest, loudest] = std::minmax_element(levels.begin(), levels.end());
    EXPECT_LT(*loudest - *quietest, 3.0) << tracks[loudest - levels.begin()] << " against "
                                         << tracks[quietest - levels.begin()];
}

}  // namespace

TEST(PortableMath, AgreesWithTheCLibraryToAFewUnitsInTheLastPlace)
{
    struct Case {
        const char* name;
        std::function<double(double)> ours, libc;
        double lo, hi;
    };
    const Case cases[] = {
        {"sin", [](double x) { return portable::sin(x); }, [](double x) { return std::sin(x); }, -2e4, 2e4},
        {"cos", [](double x) { return portable::cos(x); }, [](double x) { return std::cos(x); }, -2e4, 2e4},
        {"exp", [](double x) { return portable::exp(x); }, [](double x) { return std::exp(x); }, -700, 700},
        {"log", [](double x) { return portable::log(x); }, [](double x) { return std::log(x); }, 1e-9, 1e9},
        {"pow", [](double x) { return portable::pow(x, -2.6); }, [](double x) { return std::pow(x, -2.6); }, 1e-3, 1e3},
        {"tanh", [](double x) { return portable::tanh(x); }, [](double x) { return std::tanh(x); }, -30, 30},
        {"atan2", [](double x) { return portable::atan2(x, -0.7); }, [](double x) { return std::atan2(x, -0.7); },
         -50, 50},
        {"acos", [](double x) { return portable::acos(x); }, [](double x) { return std::acos(x); }, -1, 1},
    };
    for (const Case& c : cases)
        for (int i = 0; i <= 20000; ++i) {
            const double x = c.lo + (c.hi - c.lo) * i / 20000.0, want = c.libc(x);
            EXPECT_NEAR(c.ours(x), want, 1e-14 * std::fabs(want) + 1e-300) << c.name << "(" << x << ")";
        }
}

namespace {

uint8_t& pixel(Surface* s, int x, int y) { return static_cast<uint8_t*>(s->pixels)[y * s->pitch + x]; }
void fill(Surface* s, uint8_t index) { SDL_FillRect(s, nullptr, index); }

// Each {x, y, index} wanted.
void expect_pixels(Surface* s, std::initializer_list<std::array<int, 3>> want)
{
    for (const auto& [x, y, index] : want) EXPECT_EQ(pixel(s, x, y), index) << "at " << x << "," << y;
}

// A 640 x 480 screen of index 3, clipped to itself, in a palette whose entry
// i is (i, 255 - i, i / 2).
class Surfaces : public ::testing::Test {
protected:
    SDL_Palette* palette = SDL_AllocPalette(256);
    Surface* screen = nullptr;
    void SetUp() override
    {
        SDL_Color colours[256];
        for (int i = 0; i < 256; ++i) colours[i] = SDL_Color{Uint8(i), Uint8(255 - i), Uint8(i / 2), 255};
        SDL_SetPaletteColors(palette, colours, 0, 256);
        surface_set_palette(palette);
        screen = surface_create(640, 480, -1);
        const Rect whole{0, 0, 640, 480};
        clipper_attach(screen, 1, &whole);
        fill(screen, 3);
    }
    void TearDown() override
    {
        surface_release(screen);
        surface_set_palette(nullptr);
        SDL_FreePalette(palette);
    }
};

TEST_F(Surfaces, WidthsRoundUpToEightAndKeySwitch)
{
    const std::pair<int, int> widths[] = {{8, 8}, {18, 24}, {22, 24}, {30, 32}, {31, 32}, {42, 48}, {640, 640}};
    for (const auto& [asked, made] : widths) {
        Surface* s = surface_create(asked, 5, 0);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(std::make_tuple(s->w, s->h, s->format->palette), std::make_tuple(made, 5, palette)) << asked;
        surface_release(s);
    }
    for (int key : {-1, 0, 5}) {
        Surface* s = surface_create(8, 8, key);
        Uint32 colour_key = 99;
        EXPECT_EQ(SDL_GetColorKey(s, &colour_key) == 0, key >= 0) << key;
        EXPECT_EQ(colour_key, key >= 0 ? 0u : 99u) << "index 0, whatever the switch said";
        surface_release(s);
    }
    EXPECT_EQ(surface_create(0, 8, 0), nullptr);
}

// A sheet of 4 x 2 cells of 22 x 18 on a grid of index 9, cell (c, r) filled
// with 10 + c + 20 r; read bordered, then plain and stored bottom-up.
TEST_F(Surfaces, CellsOfBorderedAndPlainSheets)
{
    LoadedBitmap sheet{};
    sheet.info_header.biWidth = 4 * 23 + 1;
    sheet.info_header.biHeight = -39;
    sheet.info_header.biBitCount = 8;
    const auto stride = size_t(bmp_row_stride(sheet.info_header.biWidth, 8));
    sheet.pixel_bytes = stride * 39;
    sheet.pixels = static_cast<uint8_t*>(std::malloc(sheet.pixel_bytes));
    for (size_t i = 0; i < sheet.pixel_bytes; ++i) {
        const size_t x = i % stride, y = i / stride;
        sheet.pixels[i] = uint8_t(x % 23 && y % 19 && x < 93 ? 10 + x / 23 + 20 * (y / 19) : 9);
    }
    Surface* s = surface_create(22, 18, 0);
    const auto cell = [&](int width, int col, int row, int grid) {
        return surface_fill_from_cell(sheet, s, width, 18, col, row, grid);
    };
    ASSERT_EQ(cell(22, 2, 0, 1), 1);
    expect_pixels(s, {{0, 0, 12}, {21, 17, 12}, {22, 0, 0}});  // the rounding columns are never written
    ASSERT_EQ(cell(22, 2, 1, 1), 1);
    expect_pixels(s, {{0, 0, 32}, {21, 17, 32}});
    // A cell past the sheet or bigger than the surface is refused, writing nothing.
    fill(s, 77);
    EXPECT_EQ(std::tuple(cell(22, 4, 0, 1), cell(22, 0, 2, 1), cell(30, 0, 0, 1), pixel(s, 0, 0)),
              std::tuple(0, 0, 0, 77));
    // Plain cell (1, 1) starts at sheet pixel (22, 18).
    sheet.info_header.biHeight = 39;
    ASSERT_EQ(cell(22, 1, 1, 0), 1);
    expect_pixels(s, {{0, 0, 10}, {1, 0, 9}, {0, 1, 9}, {2, 2, 31}, {21, 17, 31}});
    bmp_release(sheet);
    surface_release(s);
}

TEST_F(Surfaces, BlitsKeyedAndOpaqueClippedAtTheEdgesAndByTheClipList)
{
    Surface* sprite = surface_create(31, 30, 0);
    // Column c of the sprite holds 100 + c, but for a transparent hole at (15, 15).
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 31; ++x) pixel(sprite, x, y) = uint8_t(x == 15 && y == 15 ? 0 : 100 + x);
    EXPECT_EQ(surface_blit(sprite, -10, 50, 31, 30, screen, 1), 1);
    // The right-hand 21 columns land in 0..20; index 0 lets the backdrop show.
    expect_pixels(screen, {{0, 50, 110}, {20, 79, 130}, {21, 60, 3}, {5, 65, 3}, {0, 49, 3}, {0, 80, 3}});
    // Opaque it writes its 0 too, only the width asked; its key survives.
    EXPECT_EQ(surface_blit(sprite, 600, 0, 31, 30, screen, 0), 1);
    expect_pixels(screen, {{615, 15, 0}, {631, 0, 3}});
    EXPECT_EQ(std::pair(SDL_HasColorKey(sprite), surface_blit(nullptr, 0, 0, 8, 8, screen, 1)), std::pair(SDL_TRUE, 0));

    // The intro image rising from below.
    Surface* intro = surface_create(640, 480, 0);
    for (int y = 0; y < 480; ++y) std::memset(&pixel(intro, 0, y), 1 + y % 200, 640);
    surface_blit(intro, 0, 400, 640, 480, screen, 1);
    expect_pixels(screen, {{0, 399, 3}, {0, 400, 1}, {0, 479, 80}});
    surface_release(intro);

    // The clip list bounds every blit; an empty list draws nothing.
    fill(sprite, 7);
    fill(screen, 3);
    const Rect two[] = {{10, 20, 30, 40}, {5, 25, 50, 35}};
    ASSERT_EQ(clipper_attach(screen, 2, two), 1);
    surface_blit(sprite, 0, 0, 31, 30, screen, 0);
    surface_blit(sprite, 30, 30, 31, 30, screen, 0);
    expect_pixels(screen, {{5, 20, 7}, {4, 20, 3}, {30, 19, 3}, {49, 39, 7}, {50, 39, 3}, {49, 40, 3}});
    fill(screen, 3);
    EXPECT_EQ(std::pair(clipper_attach(screen, 0, nullptr), clipper_attach(nullptr, 0, nullptr)), std::pair(1, 0));
    surface_blit(sprite, 0, 0, 31, 30, screen, 0);
    EXPECT_EQ(pixel(screen, 10, 10), 3);
    surface_release(sprite);
}

TEST_F(Surfaces, TextInTheNearestPaletteIndexOverATransparentBackground)
{
    ASSERT_EQ(text_init(TEXT_FONT_PATH), 1);
    const auto* px = static_cast<uint8_t*>(screen->pixels);  // rows of 640
    const auto count = [&](int row, int end, uint8_t i) { return std::count(px + 640 * row, px + 640 * end, i); };
    EXPECT_EQ(std::pair(text_draw("", 10, 10, 0x0000FF, screen), count(0, 480, 3)), std::pair(1, 640L * 480));
    // (200, 55, 100) is entry 200, all that is written, in a line 16 pixels high.
    EXPECT_EQ(text_draw("SCORE: 10", 100, 100, 0x6437C8, screen), 1);
    EXPECT_GT(count(100, 117, 200), 100);
    EXPECT_EQ(count(100, 117, 200) + count(100, 117, 3), 640 * 17);
    EXPECT_EQ(count(0, 100, 3) + count(117, 480, 3), 640 * 463);
    // Text crossing the screen edge is clipped, not wrapped.
    fill(screen, 3);
    text_draw("WWWWWWWW", 600, 470, 0x6437C8, screen);
    EXPECT_EQ(pixel(screen, 0, 0), 3);
    text_shutdown();
    EXPECT_EQ(text_draw("x", 0, 0, 0, screen), 0);
}

}  // namespace
