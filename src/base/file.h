// The files the game reads and the one it rewrites. Every file is opened
// without waiting on it (a pipe with no writer would hang the game with no
// window and no word) and must be a regular file: a device, a pipe, a socket
// or a folder is refused before a byte is read. Reads stop at a bound, so a
// link to an endless device cannot take the machine's memory.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Larger than any effect or track of the game by far; a bigger sound or music
// file is refused rather than allowed to take the machine's memory.
constexpr size_t AUDIO_FILE_LIMIT = size_t{16} << 20;

// Opens `path` for reading without blocking. Returns the descriptor, or -1
// with *why ("a pipe, not a regular file", or the system's words) and errno
// saying why (ENOENT when nothing is there).
int open_regular(const char* path, const char** why);

// Checks, without blocking, that `path` opens as a regular file: for files a
// library opens by their path. 1, or 0 with *why and errno as above.
int check_regular(const char* path, const char** why);

// Reads the file at `path` whole, refusing one of more than `limit` bytes.
// Returns 1, or 0 with *why and errno as open_regular leaves them.
int read_file(const char* path, size_t limit, std::vector<uint8_t>& out, const char** why);

// True when both name the same file (device and inode), through any links.
bool same_file(const struct stat& a, const struct stat& b);

// The calls that make a rewritten file last; the tests put failing ones here.
struct FileSyncCalls {
    int (*fsync)(int fd);
    int (*close)(int fd);
};
extern FileSyncCalls file_sync_calls;

// Replaces the file at `path` (no link) with `bytes`: written beside it,
// synced and renamed over it, so it is whole at every moment. It keeps the
// mode, owner and group of `like` (the file as it was), else gets 0644 less
// the umask. Returns 1, or 0 with *why naming the failing step's own reason.
int replace_file(const std::string& path, const std::string& bytes, const struct stat* like, std::string* why);
// Writes the bytes as the whole file at `path`. Returns 1, or 0 when the file
// cannot be made or written to its end.
int write_file(const char* path, const std::vector<uint8_t>& bytes);
