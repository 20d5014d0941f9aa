// Options that take a value, the same in the game and the replay runner:
// `--name value` or `--name=value`. A separate value that begins with "--"
// is taken for a forgotten value followed by the next option, and refused
// (a file of such a name is written `--name=./--file`).
#pragma once

#include <string>
#include <string_view>

enum OptionMatch { OPTION_OTHER, OPTION_TAKEN, OPTION_REFUSED };

// Whether argv[i] is the option `name` ("--record"). When it is and has a
// value, `value` points at it and i is moved past it; when its value is
// missing or refused, `why` says so: "--record takes a file name, ...";
// `takes` is what the option takes ("a file name").
OptionMatch option_value(int argc, char** argv, int& i, std::string_view name, const char* takes,
                         const char*& value, std::string& why);

// Flushes standard output: 0, or 1 after one line saying why it could not be
// written (a full disk, a closed pipe).
int stdout_finished(const char* program);
