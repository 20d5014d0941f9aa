// Small sound and music files made by the tests: RIFF WAVE files chunk by
// chunk (so that any size can be made wrong) and Standard MIDI Files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A directory of its own for each test, removed afterwards.
struct TempDir {
    std::string path;
    TempDir()
    {
        char name[] = "/tmp/kestrava-audio-XXXXXX";
        if (mkdtemp(name)) path = name;
    }
    ~TempDir()
    {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    std::string file(const std::string& name) const { return path + "/" + name; }
    // Writes the bytes and returns the file's path.
    std::string write(const std::string& name, const Bytes& bytes) const
    {
        const std::string p = file(name);
        std::FILE* f = std::fopen(p.c_str(), "wb");
        EXPECT_NE(f, nullptr) << p;
        if (f) {
            EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
            std::fclose(f);
        }
        return p;
    }
};

inline void put16le(Bytes& b, uint32_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void put32le(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
inline void put_tag(Bytes& b, const char* tag) { b.insert(b.end(), tag, tag + 4); }

// One chunk: its tag, its body, and the size its header declares (the body's
// own size unless told otherwise). Odd bodies get their pad byte.
inline Bytes chunk(const char* tag, const Bytes& body, int64_t declared = -1)
{
    Bytes b;
    put_tag(b, tag);
    put32le(b, declared < 0 ? uint32_t(body.size()) : uint32_t(declared));
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1) b.push_back(0);
    return b;
}

// The body of a format chunk, 16 bytes (or 18 with the extra-size field).
inline Bytes fmt_body(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, bool with_extra = false)
{
    Bytes b;
    put16le(b, tag);
    put16le(b, channels);
    put32le(b, rate);
    put32le(b, rate * channels * bits / 8);
    put16le(b, uint16_t(channels * bits / 8));
    put16le(b, bits);
    if (with_extra) put16le(b, 0);
    return b;
}

// A RIFF WAVE file of the given chunks; its RIFF size as declared, or right.
inline Bytes riff_wave(std::initializer_list<Bytes> chunks, int64_t declared = -1)
{
    Bytes inner;
    put_tag(inner, "WAVE");
    for (const Bytes& c : chunks) inner.insert(inner.end(), c.begin(), c.end());
    Bytes b;
    put_tag(b, "RIFF");
    put32le(b, declared < 0 ? uint32_t(inner.size()) : uint32_t(declared));
    b.insert(b.end(), inner.begin(), inner.end());
    return b;
}

// The usual effect: 8-bit mono PCM at 11,025 Hz.
inline Bytes pcm8_wave(const Bytes& samples)
{
    return riff_wave({chunk("fmt ", fmt_body(1, 1, 11025, 8)), chunk("data", samples)});
}

// --- Standard MIDI Files -----------------------------------------------------

inline void put16be(Bytes& b, uint32_t v)
{
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}
inline void put32be(Bytes& b, uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
}

inline Bytes mtrk(const Bytes& events, int64_t declared = -1)
{
    Bytes b;
    put_tag(b, "MTrk");
    put32be(b, declared < 0 ? uint32_t(events.size()) : uint32_t(declared));
    b.insert(b.end(), events.begin(), events.end());
    return b;
}

inline Bytes smf(uint16_t format, uint16_t tracks, uint16_t division, std::initializer_list<Bytes> chunks)
{
    Bytes b;
    put_tag(b, "MThd");
    put32be(b, 6);
    put16be(b, format);
    put16be(b, tracks);
    put16be(b, division);
    for (const Bytes& c : chunks) b.insert(b.end(), c.begin(), c.end());
    return b;
}

inline const Bytes end_of_track = {0x00, 0xFF, 0x2F, 0x00};

// One track at 480 ticks a quarter, 120 beats a minute (a tick is 1/960 s):
// a piano chord struck at once and held for `held` ticks, then silence until
// `length` ticks, then the end. Running status carries the note-offs.
inline Bytes chord_track(uint32_t held, uint32_t length)
{
    auto vlq = [](Bytes& b, uint32_t v) {
        uint8_t tmp[5];
        int n = 0;
        do {
            tmp[n++] = uint8_t(v & 0x7F);
            v >>= 7;
        } while (v);
        while (n--) b.push_back(uint8_t(tmp[n] | (n ? 0x80 : 0)));
    };
    Bytes e = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // tempo 500,000 us a quarter
               0x00, 0xC0, 0x00,                          // piano
               0x00, 0x90, 60, 110, 0x00, 64, 110, 0x00, 67, 110};
    vlq(e, held);
    e.insert(e.end(), {60, 0, 0x00, 64, 0, 0x00, 67, 0});
    vlq(e, length - held);
    e.insert(e.end(), {0xFF, 0x2F, 0x00});
    return e;
}

inline Bytes chord_file(uint32_t held = 480, uint32_t length = 960)
{
    return smf(0, 1, 480, {mtrk(chord_track(held, length))});
}
