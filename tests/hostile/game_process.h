// Starting the real game and the replay runner on a data folder of the test's
// own, with the environment it chooses, and watching how they end.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
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

// A copy of the game's data folder, removed afterwards.
struct DataCopy {
    fs::path dir;
    explicit DataCopy(const fs::path& from)
    {
        char name[] = "/tmp/kestrava-hostile-XXXXXX";
        if (mkdtemp(name)) dir = name;
        for (const fs::directory_entry& e : fs::directory_iterator(from)) {
            if (e.is_regular_file()) fs::copy_file(e.path(), dir / e.path().filename());
        }
    }
    ~DataCopy()
    {
        std::error_code ignored;
        if (!dir.empty()) fs::remove_all(dir, ignored);
    }
    void write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(dir / name, std::ios::binary | std::ios::trunc) << bytes;
    }
    std::string read(const std::string& name) const { return file_text(dir / name); }
};

struct Ended {
    bool exited = false;  // false: still running when the time was up
    int status = -1;      // exit status, or 128 + signal
    std::string err;
};

// A program started in `cwd` with `env` added to the test's environment, its
// standard output thrown away and its standard error kept.
class Program {
public:
    Program(const std::vector<std::string>& argv, const fs::path& cwd,
            const std::vector<std::pair<std::string, std::string>>& env, const std::vector<std::string>& unset = {})
    {
        err_path_ = cwd / ".stderr";
        pid_ = fork();
        if (pid_ == 0) {
            if (chdir(cwd.c_str()) != 0) _exit(126);
            for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
            for (const std::string& name : unset) unsetenv(name.c_str());
            const int in = open("/dev/null", O_RDONLY);
            const int out = open("/dev/null", O_WRONLY);
            const int err = open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (in < 0 || out < 0 || err < 0) _exit(126);
            dup2(in, 0);
            dup2(out, 1);
            dup2(err, 2);
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    ~Program()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    // Waits up to `limit` for the end.
    Ended wait(std::chrono::milliseconds limit)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        Ended e;
        while (pid_ > 0) {
            int raw = 0;
            const pid_t r = waitpid(pid_, &raw, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                e.exited = true;
                e.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
                break;
            }
            if (std::chrono::steady_clock::now() >= end) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        e.err = file_text(err_path_);
        return e;
    }
    void signal(int number) const
    {
        if (pid_ > 0) kill(pid_, number);
    }

private:
    pid_t pid_ = -1;
    fs::path err_path_;
};

inline long count_lines(const std::string& text)
{
    long n = 0;
    for (char c : text) n += c == '\n';
    return n;
}
