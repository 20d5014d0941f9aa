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
constexpr uint16_t WAVE_FORMAT_IEEE_FLOAT = 3;
constexpr uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;
constexpr uint32_t EFFECT_SAMPLE_RATE = 11025;  // the effect bank's one rate, and the generator's

// A complete RIFF WAVE file of 8-bit unsigned mono PCM.
std::vector<uint8_t> wav_encode_pcm8(const uint8_t* samples, size_t count, uint32_t sample_rate);
// wav_encode_pcm8 written to `path`: 1, or 0 when the file cannot be written.
int wav_write_pcm8(const char* path, const uint8_t* samples, size_t count, uint32_t sample_rate);

// What the effect bank takes from a file: the format chunk, what its samples
// are, and the sample bytes (pointing into the caller's buffer), whole
// frames only.
struct WavData {
    WAVEFORMATEX format;
    uint16_t samples;  // WAVE_FORMAT_PCM or WAVE_FORMAT_IEEE_FLOAT, also behind the extensible tag
    const uint8_t* data;
    uint32_t data_bytes;
    uint32_t declared_bytes;  // the data chunk's size as its header says; more when the file is cut short
};
// Walks the RIFF chunks as the effect bank loads them: a RIFF "WAVE" form, its
// "fmt " chunk, then its "data" chunk, every size checked against the buffer.
// Takes integer PCM of 8, 16, 24 or 32 bits and float samples of 32 bits,
// mono or stereo, plain or behind the extensible tag. Returns 1, or 0 with
// *why naming the fault.
int wav_parse(const uint8_t* bytes, size_t size, WavData& out, const char** why);
// "16-bit PCM, stereo, 44100 Hz, 1.25 s": what a parsed file holds, for the
// data checker's lines.
void wav_describe(const WavData& wav, char* out, size_t size);
