#include "standard_output.h"

#include <cstdio>
#include <unistd.h>

namespace brindle::platform {

// A Unix stream has no text mode: what is written is what arrives.
bool writeStandardOutput(std::string_view bytes)
{
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
}

bool isTerminal(std::FILE* stream) { return isatty(fileno(stream)); }

} // namespace brindle::platform
