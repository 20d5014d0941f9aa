// Running the project's programs from tests: started with the environment and
// folder a test chooses, both outputs kept in files (so that no pipe fills
// up), and watched until they end.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "temp_dir.h"

struct Ended {
    bool exited = false;  // false: still running when the time was up
    int status = -1;      // exit status, or 128 + signal
    std::string out;
    std::string err;
};

using EnvList = std::vector<std::pair<std::string, std::string>>;

class Program {
public:
    // argv[0] is looked up in PATH; `env` is added to the test's environment
    // and `unset` taken from it.
    Program(const std::vector<std::string>& argv, const fs::path& cwd = {}, const EnvList& env = {},
            const std::vector<std::string>& unset = {})
    {
        start([&] {
            if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
            for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
            for (const std::string& name : unset) unsetenv(name.c_str());
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        });
    }
    // The test's own code in a child process, its result the exit status: a
    // call that hangs there fails the test instead of stopping the suite.
    explicit Program(const std::function<int()>& body)
    {
        start([&] {
            std::fflush(nullptr);
            _exit(body());
        });
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
    void signal(int number) const { if (pid_ > 0) kill(pid_, number); }
    // Waits up to `limit` for the end; what it printed so far either way.
    Ended wait(std::chrono::milliseconds limit)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        Ended e;
        while (pid_ > 0) {
            int raw = 0;
            if (waitpid(pid_, &raw, WNOHANG) == pid_) {
                pid_ = -1;
                e.exited = true;
                e.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
                break;
            }
            if (std::chrono::steady_clock::now() >= end) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        e.out = outputs_.read("out");
        e.err = outputs_.read("err");
        return e;
    }

private:
    template <typename Child>
    void start(Child child)
    {
        const std::string out = outputs_.file("out"), err = outputs_.file("err");
        pid_ = fork();
        if (pid_ != 0) return;
        const int i = open("/dev/null", O_RDONLY);
        const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (i < 0 || o < 0 || e < 0 || dup2(i, 0) < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(126);
        child();
    }
    TempDir outputs_;
    pid_t pid_ = -1;
};

// Runs a program to its end (a minute at most).
inline Ended run_program(const std::vector<std::string>& argv, const fs::path& cwd = {}, const EnvList& env = {})
{
    return Program(argv, cwd, env).wait(std::chrono::minutes(1));
}

inline long count_lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }
inline bool one_line_starting(const std::string& text, const std::string& start)
{
    return text.rfind(start, 0) == 0 && count_lines(text) == 1;
}
// What the test's own code says on standard error.
template <typename F>
std::string stderr_of(F f) { return testing::internal::CaptureStderr(), f(), testing::internal::GetCapturedStderr(); }
