// Whole-file reads.
#include "base/file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

int read_file(const char* path, size_t limit, std::vector<uint8_t>& out, const char** why)
{
    out.clear();
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        *why = std::strerror(errno);
        return 0;
    }
    // Read in pieces rather than trusting a size from the file system: the
    // path may name a pipe or a file that is still growing.
    uint8_t piece[16384];
    errno = 0;
    for (;;) {
        const size_t got = std::fread(piece, 1, sizeof piece, file);
        if (out.size() + got > limit) {
            std::fclose(file);
            out.clear();
            *why = "file is too large";
            return 0;
        }
        out.insert(out.end(), piece, piece + got);
        if (got < sizeof piece) break;
    }
    const bool failed = std::ferror(file) != 0;
    const int read_errno = errno;
    std::fclose(file);
    if (failed) {
        out.clear();
        *why = std::strerror(read_errno != 0 ? read_errno : EIO);
        return 0;
    }
    return 1;
}
