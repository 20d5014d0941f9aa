// The fuzz input as a file, for the readers that take a path as the game
// calls them. One scratch file a process, in memory where the system has it.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

inline const std::string& fuzz_scratch_path(const char* suffix)
{
    static const std::string path = [suffix] {
        const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
        std::string p = std::string(dir) + "/kestrava-fuzz-" + std::to_string(getpid()) + suffix;
        static std::string removed;
        removed = p;
        std::atexit([] { std::remove(removed.c_str()); });
        return p;
    }();
    return path;
}

// Writes the bytes to the scratch file; aborts when it cannot, so that a full
// disk is not mistaken for a refused file.
inline const char* fuzz_write_file(const uint8_t* data, size_t size, const char* suffix)
{
    const std::string& path = fuzz_scratch_path(suffix);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
    return path.c_str();
}

// Aborts with a message: libFuzzer keeps the input that broke the property.
#define FUZZ_CHECK(condition)                                                          \
    do {                                                                               \
        if (!(condition)) {                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                              \
        }                                                                              \
    } while (0)
