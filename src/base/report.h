// The game shows no dialogs; a failed start-up is one line on standard error.
// Subsystems record why they failed here, and the shell prints the first one.
#pragma once

#include <string>
#include <string_view>

// Keeps the first failure since the last report_clear: "subject: reason".
void report_failure(const char* subject, const char* reason);
// The recorded failure, or an empty string.
const char* report_text();
void report_clear();  // before each attempt whose failure is to be reported
// One warning line on standard error, for what the game survives.
void report_warning(const char* subject, const char* reason);
// Text from a file or the command line as a message may show it: control
// bytes (a NUL, the escape that starts a terminal sequence) as \x00, \x1b.
std::string shown_text(std::string_view text);
