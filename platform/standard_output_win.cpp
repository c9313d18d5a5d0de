#include "standard_output.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace brindle::platform {

// The C runtime opens stdout in text mode, which puts a CR before every LF: a binary image
// would gain a byte at each 0A and HEX lines would end in CR CR LF. Binary mode passes the
// bytes through; the HEX text carries its own CR LF.
bool writeStandardOutput(std::string_view bytes)
{
    std::fflush(stdout);
    const int previous = _setmode(_fileno(stdout), _O_BINARY);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
    if (previous != -1)
        _setmode(_fileno(stdout), previous);
    return written;
}

bool isTerminal(std::FILE* stream) { return _isatty(_fileno(stream)); }

} // namespace brindle::platform
