// Failure and warning lines: "kestrava: subject: reason", never a byte that
// could cut the line short or steer the terminal.
#include "base/report.h"

#include <cstdio>

static char failure_text[512];  // the first failure since report_clear; "" for none

std::string shown_text(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7f) {
            out += c;
            continue;
        }
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
        out += escaped;
    }
    return out;
}

void report_failure(const char* subject, const char* reason)
{
    if (failure_text[0] != '\0') return;
    std::snprintf(failure_text, sizeof failure_text, "%s: %s", shown_text(subject).c_str(),
                  shown_text(reason).c_str());
}

const char* report_text() { return failure_text; }

void report_clear() { failure_text[0] = '\0'; }

void report_warning(const char* subject, const char* reason)
{
    std::fprintf(stderr, "kestrava: %s: %s\n", shown_text(subject).c_str(), shown_text(reason).c_str());
}
