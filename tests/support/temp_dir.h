// Folders and environment variables of a test's own, removed or put back
// as they were when the test is done with them.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

inline std::string file_text(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct TempDir {
    fs::path dir;
    TempDir()
    {
        char name[] = "/tmp/kestrava-test-XXXXXX";
        if (mkdtemp(name)) dir = name;
    }
    // A copy of every file of `from` (the data folder, say).
    explicit TempDir(const fs::path& from) : TempDir()
    {
        for (const fs::directory_entry& e : fs::directory_iterator(from)) {
            if (e.is_regular_file()) fs::copy_file(e.path(), dir / e.path().filename());
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir()
    {
        std::error_code ignored;
        if (!dir.empty()) fs::remove_all(dir, ignored);
    }
    std::string path() const { return dir.string(); }
    std::string file(const std::string& name) const { return (dir / name).string(); }
    // Writes the bytes and returns the file's path.
    template <typename Bytes>
    std::string write(const std::string& name, const Bytes& bytes) const
    {
        std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        EXPECT_TRUE(out.good()) << file(name);
        return file(name);
    }
    std::string write(const std::string& name, const char* text) const { return write(name, std::string(text)); }
    std::string read(const std::string& name) const { return file_text(dir / name); }
};

class ScopedEnv {
public:
    ScopedEnv() = default;
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv()
    {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
            it->second ? setenv(it->first.c_str(), it->second->c_str(), 1) : unsetenv(it->first.c_str());
    }
    void set(const std::string& name, const std::string& value) { save(name), setenv(name.c_str(), value.c_str(), 1); }
    void unset(const std::string& name) { save(name), unsetenv(name.c_str()); }

private:
    void save(const std::string& name)
    {
        const char* old = std::getenv(name.c_str());
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};
