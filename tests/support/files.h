// Small files made by the tests, byte by byte so that any field can be made
// wrong: RIFF WAVE files chunk by chunk, Standard MIDI Files, BMP images.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "formats/bmp.h"

using Bytes = std::vector<uint8_t>;

inline void put16le(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); }
inline void put32le(Bytes& b, uint32_t v) { put16le(b, v), put16le(b, v >> 16); }
inline void put16be(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v >> 8), uint8_t(v)}); }
inline void put32be(Bytes& b, uint32_t v) { put16be(b, v >> 16), put16be(b, v); }
inline void put_tag(Bytes& b, const char* tag) { b.insert(b.end(), tag, tag + 4); }
inline void append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

// --- RIFF WAVE ------------------------------------------------------------------

// One chunk: its tag, its body, and the size its header declares (the body's
// own size unless told otherwise). Odd bodies get their pad byte.
inline Bytes chunk(const char* tag, const Bytes& body, int64_t declared = -1)
{
    Bytes b;
    put_tag(b, tag);
    put32le(b, declared < 0 ? uint32_t(body.size()) : uint32_t(declared));
    append(b, body);
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
    for (const Bytes& c : chunks) append(inner, c);
    Bytes b;
    put_tag(b, "RIFF");
    put32le(b, declared < 0 ? uint32_t(inner.size()) : uint32_t(declared));
    append(b, inner);
    return b;
}

// The usual effect: 8-bit mono PCM at 11,025 Hz.
inline Bytes pcm8_wave(const Bytes& samples)
{
    return riff_wave({chunk("fmt ", fmt_body(1, 1, 11025, 8)), chunk("data", samples)});
}

// --- Standard MIDI Files ----------------------------------------------------------

inline Bytes mtrk(const Bytes& events, int64_t declared = -1)
{
    Bytes b;
    put_tag(b, "MTrk");
    put32be(b, declared < 0 ? uint32_t(events.size()) : uint32_t(declared));
    append(b, events);
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
    for (const Bytes& c : chunks) append(b, c);
    return b;
}

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

// --- BMP ------------------------------------------------------------------------

// Field offsets of the two headers, from the start of the file.
constexpr size_t BF_OFF_BITS = 10, BI_SIZE = 14, BI_WIDTH = 18, BI_HEIGHT = 22, BI_BIT_COUNT = 28, BI_COMPRESSION = 30,
                 BI_SIZE_IMAGE = 34;

inline void set32(Bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}
inline Bytes with32(Bytes b, size_t at, uint32_t v) { return set32(b, at, v), b; }

// A well-formed image of any bit count: headers, a palette of 2^bits entries
// up to 8 bits, and `stride x height` pixel bytes of a pattern.
inline Bytes bmp_image(int32_t width, int32_t height, uint16_t bits)
{
    const int64_t stride = bmp_row_stride(width, bits);
    const int64_t rows = height < 0 ? -int64_t{height} : height;
    const size_t palette = bits <= 8 ? (size_t{4} << bits) : 0;
    Bytes b;
    put16le(b, BMP_MAGIC);
    put32le(b, uint32_t(54 + palette + size_t(stride * rows)));
    put32le(b, 0);
    put32le(b, uint32_t(54 + palette));
    put32le(b, 40);
    put32le(b, uint32_t(width));
    put32le(b, uint32_t(height));
    put16le(b, 1);
    put16le(b, bits);
    put32le(b, 0);
    put32le(b, uint32_t(stride * rows));
    b.resize(54 + palette + size_t(stride * rows));
    for (size_t i = 54 + palette; i < b.size(); ++i) b[i] = uint8_t(i * 7 % 251);
    return b;
}
