// Reading RIFF WAVE files for the effect bank, and writing the 8-bit mono
// ones the generator and the tests make. The whole file is in memory and
// every size in it is checked against what is really there before a byte is
// read: a hostile file is refused, never read past.
//
// One chunk may be short: the data chunk, the last thing read. A file cut off
// in its sample data (its data chunk, and usually its RIFF size, promise more
// than there is) still plays as far as it goes. A chunk that must be stepped
// over, or the format chunk, running past the end is refused: there is
// nothing sensible behind it.
#include "formats/wav.h"

#include <cstdio>
#include <cstring>

#include "base/bytes.h"
#include "base/file.h"

struct RiffChunk {
    size_t body;    // offset of the first byte after the 8-byte header
    uint64_t size;  // as the header declares it
};

enum FindResult { FIND_OK, FIND_MISSING, FIND_OVERRUN };

// Looks for the chunk `tag` starting at `pos`, stepping over others (each
// padded to an even length). Chunks are searched inside [pos, end).
static FindResult find_chunk(const uint8_t* bytes, size_t pos, size_t end, const char* tag, RiffChunk& out)
{
    while (end - pos >= 8) {
        const uint8_t* header = bytes + pos;
        const uint64_t size = get32le(header + 4);
        const size_t body = pos + 8;
        if (tag_is(header, tag)) {
            out = RiffChunk{body, size};
            return FIND_OK;
        }
        // The pad byte after an odd chunk is optional at the very end.
        if (body + size == end) return FIND_MISSING;
        const uint64_t next = body + size + (size & 1);
        if (next > end) return FIND_OVERRUN;
        pos = static_cast<size_t>(next);
    }
    return FIND_MISSING;
}

// The tail every extensible subformat shares; its first two bytes name the
// samples as the plain format tag would.
static constexpr uint8_t SUBFORMAT_TAIL[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                               0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// Rates far outside what any tool writes for a sound are a damaged header.
constexpr uint32_t WAV_LOWEST_RATE = 1000;
constexpr uint32_t WAV_HIGHEST_RATE = 384000;

// Decodes the format fields and says what, if anything, the effect bank
// cannot take from them.
static const char* sample_format(const uint8_t* f, uint64_t fmt_size, WavData& out)
{
    WAVEFORMATEX& format = out.format;
    format.wFormatTag = get16le(f);
    format.nChannels = get16le(f + 2);
    format.nSamplesPerSec = get32le(f + 4);
    format.nAvgBytesPerSec = get32le(f + 8);
    format.nBlockAlign = get16le(f + 12);
    format.wBitsPerSample = get16le(f + 14);
    // The usual 16-byte PCM chunk has no extra-size field.
    format.cbSize = fmt_size >= 18 ? get16le(f + 16) : 0;
    out.samples = format.wFormatTag;
    if (format.wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
        if (fmt_size < 40 || format.cbSize < 22) return "extensible format chunk is too short for its subformat";
        out.samples = get16le(f + 24);
        if (std::memcmp(f + 26, SUBFORMAT_TAIL, sizeof SUBFORMAT_TAIL) != 0 ||
            (out.samples != WAVE_FORMAT_PCM && out.samples != WAVE_FORMAT_IEEE_FLOAT))
            return "extensible format whose samples are neither PCM nor float";
    }
    if (out.samples != WAVE_FORMAT_PCM && out.samples != WAVE_FORMAT_IEEE_FLOAT) return "not PCM data";
    const int bits = format.wBitsPerSample;
    if (out.samples == WAVE_FORMAT_PCM && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return "PCM samples of other than 8, 16, 24 or 32 bits";
    if (out.samples == WAVE_FORMAT_IEEE_FLOAT && bits != 32) return "float samples of other than 32 bits";
    if (format.nChannels != 1 && format.nChannels != 2) return "neither mono nor stereo";
    if (format.nBlockAlign != format.nChannels * bits / 8) return "frame size does not match the channels and bits";
    if (format.nSamplesPerSec < WAV_LOWEST_RATE || format.nSamplesPerSec > WAV_HIGHEST_RATE)
        return "sample rate outside 1000 to 384000 Hz";
    return nullptr;
}

int wav_parse(const uint8_t* bytes, size_t size, WavData& out, const char** why)
{
    if (size < 12) {
        *why = "truncated RIFF header";
        return 0;
    }
    if (!tag_is(bytes, "RIFF") || !tag_is(bytes + 8, "WAVE")) {
        *why = "not a RIFF WAVE file";
        return 0;
    }
    const uint64_t riff_size = get32le(bytes + 4);
    if (riff_size < 4) {
        *why = "RIFF size is smaller than its own header";
        return 0;
    }
    // A RIFF size past the end is a file cut short: walk what is there.
    const size_t form_end = (8 + riff_size < size) ? static_cast<size_t>(8 + riff_size) : size;

    RiffChunk fmt{};
    switch (find_chunk(bytes, 12, form_end, "fmt ", fmt)) {
    case FIND_OK: break;
    case FIND_MISSING: *why = "no format chunk"; return 0;
    case FIND_OVERRUN: *why = "a chunk size runs past the end of the file"; return 0;
    }
    if (fmt.body + fmt.size > form_end) {
        *why = "format chunk runs past the end of the file";
        return 0;
    }
    if (fmt.size < 16) {
        *why = "format chunk is shorter than 16 bytes";
        return 0;
    }
    const uint8_t* f = bytes + fmt.body;
    if (const char* problem = sample_format(f, fmt.size, out)) {
        *why = problem;
        return 0;
    }

    // The data chunk is looked for after the format chunk, as the files are written.
    const uint64_t after_fmt = fmt.body + fmt.size + (fmt.size & 1);
    RiffChunk data{};
    const FindResult found =
        after_fmt > form_end ? FIND_MISSING
                             : find_chunk(bytes, static_cast<size_t>(after_fmt), form_end, "data", data);
    switch (found) {
    case FIND_OK: break;
    case FIND_MISSING: *why = "no data chunk after the format chunk"; return 0;
    case FIND_OVERRUN: *why = "a chunk size runs past the end of the file"; return 0;
    }
    const uint64_t there = form_end - data.body;
    const uint64_t held = data.size < there ? data.size : there;
    if (held == 0) {
        *why = "data chunk is empty";
        return 0;
    }
    // A frame cut in half at the end is not a sound.
    const uint64_t whole = held - held % out.format.nBlockAlign;
    if (whole == 0) {
        *why = "data chunk holds less than one sample frame";
        return 0;
    }
    out.data = bytes + data.body;
    out.data_bytes = static_cast<uint32_t>(whole);
    out.declared_bytes = static_cast<uint32_t>(data.size);
    return 1;
}

void wav_describe(const WavData& wav, char* out, size_t size)
{
    const WAVEFORMATEX& f = wav.format;
    const double seconds = static_cast<double>(wav.data_bytes) / f.nBlockAlign / f.nSamplesPerSec;
    std::snprintf(out, size, "WAV %u-bit %s%s, %s, %u Hz, %.2f s", f.wBitsPerSample,
                  wav.samples == WAVE_FORMAT_IEEE_FLOAT ? "float" : "PCM",
                  f.wFormatTag == WAVE_FORMAT_EXTENSIBLE ? " (extensible)" : "", f.nChannels == 1 ? "mono" : "stereo",
                  f.nSamplesPerSec, seconds);
}

// --- writing ---------------------------------------------------------------

static uint8_t* put_tag(uint8_t* p, const char* tag)
{
    std::memcpy(p, tag, 4);
    return p + 4;
}

std::vector<uint8_t> wav_encode_pcm8(const uint8_t* samples, size_t count, uint32_t sample_rate)
{
    constexpr size_t HEADER = 44;
    const size_t padded = count + (count & 1);  // chunks are word aligned
    std::vector<uint8_t> out(HEADER + padded, 0x80);
    const WAVEFORMATEX fmt{WAVE_FORMAT_PCM, 1, sample_rate, sample_rate, 1, 8, 0};
    uint8_t* p = out.data();
    p = put_tag(p, "RIFF");
    p = put32le(p, static_cast<uint32_t>(4 + 8 + 16 + 8 + padded));
    p = put_tag(p, "WAVE");
    p = put_tag(p, "fmt ");
    p = put32le(p, 16);
    p = put16le(p, fmt.wFormatTag);
    p = put16le(p, fmt.nChannels);
    p = put32le(p, fmt.nSamplesPerSec);
    p = put32le(p, fmt.nAvgBytesPerSec);
    p = put16le(p, fmt.nBlockAlign);
    p = put16le(p, fmt.wBitsPerSample);
    p = put_tag(p, "data");
    p = put32le(p, static_cast<uint32_t>(count));
    if (count) std::memcpy(p, samples, count);
    return out;
}

int wav_write_pcm8(const char* path, const uint8_t* samples, size_t count, uint32_t sample_rate)
{
    return write_file(path, wav_encode_pcm8(samples, count, sample_rate));
}
