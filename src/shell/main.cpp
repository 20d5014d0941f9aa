// kestrava: the game. It takes no options and reads its data files from the
// working directory.
#include <cstdio>

#include "shell/report.h"
#include "shell/shell.h"

int main(int, char**)
{
    if (!startup_all()) {
        const char* why = report_text();
        std::fprintf(stderr, "kestrava: %s\n", why[0] ? why : "start-up failed");
        shutdown_all();
        return 1;
    }
    const int code = main_loop();
    shutdown_all();
    return code;
}
