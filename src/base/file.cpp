// Bounded reads of regular files, whole-file writes and the whole-file
// replacement.
#include "base/file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

FileSyncCalls file_sync_calls = {::fsync, ::close};

static const char* not_regular(mode_t mode)
{
    if (S_ISDIR(mode)) return "a folder, not a regular file";
    if (S_ISFIFO(mode)) return "a pipe, not a regular file";
    if (S_ISSOCK(mode)) return "a socket, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device, not a regular file";
    return "not a regular file";
}

int open_regular(const char* path, const char** why)
{
    // Looked at before it is opened: opening some devices already does
    // something (a tape rewinds, a modem line rises).
    struct stat st{};
    if (stat(path, &st) != 0) {
        *why = std::strerror(errno);
        return -1;
    }
    int fd = -1;
    if (S_ISREG(st.st_mode)) fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 && S_ISREG(st.st_mode)) {
        *why = std::strerror(errno);
        return -1;
    }
    // Looked at again once open: the name may have been pointed elsewhere.
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0) close(fd);
        *why = not_regular(st.st_mode);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

int check_regular(const char* path, const char** why)
{
    const int fd = open_regular(path, why);
    if (fd < 0) return 0;
    close(fd);
    return 1;
}

int read_file(const char* path, size_t limit, std::vector<uint8_t>& out, const char** why)
{
    out.clear();
    const int fd = open_regular(path, why);
    if (fd < 0) return 0;
    errno = 0;
    // Read in pieces rather than trusting a size from the file system: the
    // file may still be growing.
    uint8_t piece[16384];
    ssize_t got;
    while ((got = read(fd, piece, sizeof piece)) != 0) {
        if (got < 0 && errno == EINTR) continue;
        if (got > 0 && out.size() + static_cast<size_t>(got) > limit) errno = EFBIG;
        if (got < 0 || errno == EFBIG) break;
        out.insert(out.end(), piece, piece + got);
    }
    const int saved = errno;
    close(fd);
    errno = saved;
    if (got == 0) return 1;
    *why = errno == EFBIG ? "file is too large" : std::strerror(errno);
    out.clear();
    return 0;
}

bool same_file(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// The failing step's reason, taken before anything else can change errno.
static int failed(const char* step, std::string* why)
{
    *why = std::string(step) + ": " + std::strerror(errno);
    return 0;
}

static bool write_all(int fd, const std::string& bytes)
{
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

static int write_beside(int fd, const std::string& bytes, const struct stat* like, std::string* why)
{
    mode_t mode = 0644;
    if (like) {
        mode = like->st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode &= ~mask;
    }
    if (like && fchown(fd, like->st_uid, like->st_gid) != 0) return failed("keeping its owner and group", why);
    if (fchmod(fd, mode) != 0) return failed("keeping its mode", why);
    if (!write_all(fd, bytes)) return failed("writing", why);
    if (file_sync_calls.fsync(fd) != 0) return failed("syncing", why);
    return 1;
}

int replace_file(const std::string& path, const std::string& bytes, const struct stat* like, std::string* why)
{
    std::string temporary = path + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) return failed("creating a file beside it", why);
    int ok = write_beside(fd, bytes, like, why);
    if (file_sync_calls.close(fd) != 0 && ok) ok = failed("closing", why);
    if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) ok = failed("renaming", why);
    if (!ok) unlink(temporary.c_str());
    return ok;
}

int write_file(const char* path, const std::vector<uint8_t>& bytes)
{
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return 0;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return (std::fclose(file) == 0 && ok) ? 1 : 0;
}
