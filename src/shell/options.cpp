// Option values and the end of what a program prints.
#include "shell/options.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/report.h"

OptionMatch option_value(int argc, char** argv, int& i, std::string_view name, const char* takes,
                         const char*& value, std::string& why)
{
    const std::string_view arg = argv[i];
    if (!arg.starts_with(name)) return OPTION_OTHER;
    const std::string_view rest = arg.substr(name.size());
    if (!rest.empty() && rest[0] != '=') return OPTION_OTHER;
    why = std::string(name) + " takes " + takes;
    if (!rest.empty()) {
        value = argv[i] + name.size() + 1;
        return value[0] != '\0' ? OPTION_TAKEN : OPTION_REFUSED;
    }
    if (i + 1 >= argc) return OPTION_REFUSED;
    const std::string_view next = argv[i + 1];
    if (next.starts_with("--")) {
        why += ", not the option '" + shown_text(next) + "'";
        const std::string_view kind = takes;
        if (kind.find("file") != kind.npos || kind.find("folder") != kind.npos)
            why += " (one of that name is written " + std::string(name) + "=./" + shown_text(next) + ")";
        return OPTION_REFUSED;
    }
    value = argv[++i];
    return OPTION_TAKEN;
}

int stdout_finished(const char* program)
{
    // A text longer than the buffer met its fault while it was written: the
    // reason is that write's.
    const int written = std::ferror(stdout) ? errno : 0;
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return 0;
    std::fprintf(stderr, "%s: standard output: %s\n", program,
                 std::strerror(errno ? errno : written ? written : EIO));
    return 1;
}
