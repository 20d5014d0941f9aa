// Failure and warning lines: "kestrava: subject: reason".
#include "base/report.h"

#include <cstdio>

static char failure_text[512];

void report_failure(const char* subject, const char* reason)
{
    if (failure_text[0] != '\0') return;
    std::snprintf(failure_text, sizeof failure_text, "%s: %s", subject, reason);
}

const char* report_text() { return failure_text; }

void report_clear() { failure_text[0] = '\0'; }

void report_warning(const char* subject, const char* reason)
{
    std::fprintf(stderr, "kestrava: %s: %s\n", subject, reason);
}
