// RIFF WAVE files: the format record as the file stores it, the reader the
// effect bank loads with, and a writer for the tools and tests that make
// effect files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct WAVEFORMATEX {
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
};

constexpr uint16_t WAVE_FORMAT_PCM = 1;
constexpr uint32_t EFFECT_SAMPLE_RATE = 11025;

// A complete RIFF WAVE file of 8-bit unsigned mono PCM.
std::vector<uint8_t> wav_encode_pcm8(const uint8_t* samples, size_t count, uint32_t sample_rate);
int wav_write_pcm8(const char* path, const uint8_t* samples, size_t count, uint32_t sample_rate);

// What the effect bank takes from a file: the format chunk and the sample
// bytes (pointing into the caller's buffer).
struct WavData {
    WAVEFORMATEX format;
    const uint8_t* data;
    uint32_t data_bytes;
};
// Walks the RIFF chunks as the effect bank loads them: a RIFF "WAVE" form, its
// "fmt " chunk (PCM only), then its "data" chunk, every size checked against
// the buffer. Returns 1, or 0 with *why naming the fault.
int wav_parse(const uint8_t* bytes, size_t size, WavData& out, const char** why);
