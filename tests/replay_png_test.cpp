// kestrava-replay --dump --png: the same pictures as the BMP dumps, pixel for
// pixel and colour for colour, as palette PNGs.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "formats/bmp.h"
#include "support/png_read.h"
#include "process.h"

namespace {

const std::string REPLAY = KESTRAVA_REPLAY;

TEST(ReplayPng, DumpsTheFramesTheBmpDumpsShow)
{
    const std::string dir = test_temp_dir();
    const std::string script = dir + "/run.keys";
    std::ofstream(script) << "\n\nRETURN\nUP SPACE\nUP SPACE LEFT\n\n";
    const ProcessResult bmp = run_process(REPLAY + " --trace /dev/null --dump " + dir + " --every 2 " + script);
    ASSERT_EQ(bmp.status, 0) << bmp.err;
    const ProcessResult png = run_process(REPLAY + " --trace /dev/null --dump " + dir + " --every 2 --png " + script);
    ASSERT_EQ(png.status, 0) << png.err;

    for (int frame : {0, 2, 4, 6}) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%06d", frame);
        LoadedBitmap b{};
        ASSERT_EQ(bmp_read(b, (dir + name + ".bmp").c_str()), 1) << name;
        PngFile p;
        ASSERT_TRUE(read_png(dir + name + ".png", p)) << name;
        EXPECT_EQ(p.colour_type, PNG_COLOR_TYPE_PALETTE);
        ASSERT_EQ(p.width, 640);
        ASSERT_EQ(p.height, 480);
        ASSERT_EQ(p.palette.size(), 256u);
        for (size_t i = 0; i < 256; ++i) {
            EXPECT_TRUE(p.palette[i].r == b.palette[i].peRed && p.palette[i].g == b.palette[i].peGreen &&
                        p.palette[i].b == b.palette[i].peBlue)
                << name << " colour " << i;
        }
        // The reader gives the BMP's rows top first, as the PNG stores them.
        const int64_t stride = bmp_row_stride(b.info_header.biWidth, 8);
        int wrong = 0;
        for (int y = 0; y < 480; ++y) {
            wrong += std::memcmp(&p.rows[static_cast<size_t>(y) * 640], b.pixels + y * stride, 640) != 0;
        }
        EXPECT_EQ(wrong, 0) << name << ": rows differ";
        bmp_release(b);
    }
    // Odd frames were not asked for.
    std::ifstream odd(dir + "/frame-000001.png");
    EXPECT_FALSE(odd.good());
}

TEST(ReplayPng, PngWithoutDumpIsACommandLineError)
{
    const ProcessResult r = run_process(REPLAY + " --png /dev/null");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--png"), std::string::npos) << r.err;
}

}  // namespace
