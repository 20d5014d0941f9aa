// Files made by the tools players use (ImageMagick, sox), written at
// test time from the game's own data. Each case first checks, in the file's
// own bytes, which header, compression or sample format the tool really
// wrote, so that another version of a tool cannot make a case test nothing.
// And files that are not what they seem: pipes, devices, folders, bytes that
// would steer the terminal.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "audio/mixer.h"
#include "audio/sfx.h"
#include "base/report.h"
#include "formats/bmp.h"
#include "formats/png.h"
#include "input/keyscript.h"
#include "base/bytes.h"
#include "shell/screenshot.h"
#include "shell/settings.h"
#include "support/env.h"
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
    testing::internal::CaptureStderr();
    EXPECT_EQ(png_write_indexed(full, 640, 480, pixels.data(), 640, Palette{}), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    std::fclose(full);
}
