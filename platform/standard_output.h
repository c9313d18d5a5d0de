// The console streams: the chip's contents on standard output (read -), byte for byte,
// whatever the platform's C runtime would make of a line end; and whether a stream is a
// terminal, where a progress bar may be drawn.
#pragma once

#include <cstdio>
#include <string_view>

namespace brindle::platform {

// Writes `bytes` to stdout exactly as they are and flushes; false when not all of them went.
[[nodiscard]] bool writeStandardOutput(std::string_view bytes);

// True when the stream is a terminal (a console window on Windows).
bool isTerminal(std::FILE* stream);

} // namespace brindle::platform
