// Writing 8-bit mono RIFF WAVE files.
#include "audio/wav.h"

#include <cstdio>
#include <cstring>

static void put16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
static void put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
static void put_tag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

std::vector<uint8_t> wav_encode_pcm8(const uint8_t* samples, size_t count, uint32_t sample_rate)
{
    std::vector<uint8_t> out;
    const size_t padded = count + (count & 1);  // chunks are word aligned
    out.reserve(44 + padded);
    put_tag(out, "RIFF");
    put32(out, static_cast<uint32_t>(4 + 8 + 16 + 8 + padded));
    put_tag(out, "WAVE");
    put_tag(out, "fmt ");
    put32(out, 16);
    const WAVEFORMATEX fmt{WAVE_FORMAT_PCM, 1, sample_rate, sample_rate, 1, 8, 0};
    put16(out, fmt.wFormatTag);
    put16(out, fmt.nChannels);
    put32(out, fmt.nSamplesPerSec);
    put32(out, fmt.nAvgBytesPerSec);
    put16(out, fmt.nBlockAlign);
    put16(out, fmt.wBitsPerSample);
    put_tag(out, "data");
    put32(out, static_cast<uint32_t>(count));
    out.insert(out.end(), samples, samples + count);
    if (count & 1) out.push_back(0x80);
    return out;
}

int wav_write_pcm8(const char* path, const uint8_t* samples, size_t count, uint32_t sample_rate)
{
    const std::vector<uint8_t> bytes = wav_encode_pcm8(samples, count, sample_rate);
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return 0;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return (std::fclose(file) == 0 && ok) ? 1 : 0;
}
