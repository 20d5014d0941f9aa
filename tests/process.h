// Running the project's programs from tests: exit status and both outputs.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

struct ProcessResult {
    int status;  // the exit status, or 128 + signal
    std::string out;
    std::string err;
};

inline std::string read_whole_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::string test_temp_dir()
{
    char templ[] = "/tmp/kestrava-test-XXXXXX";
    const char* dir = mkdtemp(templ);
    return dir ? dir : "/tmp";
}

// Runs `command` through the shell; its standard output and error are
// captured through files so that neither pipe can fill up.
inline ProcessResult run_process(const std::string& command)
{
    static int serial = 0;
    const std::string base = test_temp_dir() + "/run" + std::to_string(serial++);
    const std::string line = command + " >" + base + ".out 2>" + base + ".err";
    const int raw = std::system(line.c_str());
    ProcessResult r{};
    if (raw == -1) {
        r.status = -1;
    } else if (WIFEXITED(raw)) {
        r.status = WEXITSTATUS(raw);
    } else {
        r.status = 128 + WTERMSIG(raw);
    }
    r.out = read_whole_file(base + ".out");
    r.err = read_whole_file(base + ".err");
    return r;
}
