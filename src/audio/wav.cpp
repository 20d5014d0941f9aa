// Writing 8-bit mono RIFF WAVE files.
#include "audio/wav.h"

#include <cstdio>
#include <cstring>

static uint8_t* put16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    return p + 2;
}
static uint8_t* put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
    return p + 4;
}
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
    p = put32(p, static_cast<uint32_t>(4 + 8 + 16 + 8 + padded));
    p = put_tag(p, "WAVE");
    p = put_tag(p, "fmt ");
    p = put32(p, 16);
    p = put16(p, fmt.wFormatTag);
    p = put16(p, fmt.nChannels);
    p = put32(p, fmt.nSamplesPerSec);
    p = put32(p, fmt.nAvgBytesPerSec);
    p = put16(p, fmt.nBlockAlign);
    p = put16(p, fmt.wBitsPerSample);
    p = put_tag(p, "data");
    p = put32(p, static_cast<uint32_t>(count));
    if (count) std::memcpy(p, samples, count);
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
