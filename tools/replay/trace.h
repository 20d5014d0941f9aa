// The state trace: one block of 43 lines for the World after each frame.
#pragma once

#include <cstddef>

// Writes the block of frame `frame` into `out` (at least TRACE_BLOCK_MAX
// bytes) and returns its length; called after each frame, and once for
// frame 0 after start-up.
constexpr size_t TRACE_BLOCK_MAX = 16384;
size_t trace_block(long frame, char* out);
