// The chip's contents on standard output (read -): byte for byte, whatever the platform's C
// runtime would make of a line end.
#pragma once

#include <string_view>

namespace brindle::link {

// Writes `bytes` to stdout exactly as they are and flushes; false when not all of them went.
[[nodiscard]] bool writeStandardOutput(std::string_view bytes);

} // namespace brindle::link
