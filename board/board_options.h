// How the simulated board behaves: which chip sits in its socket, its timing and the
// faults it injects for tests.
#pragma once

#include <string>
#include <vector>

namespace brindle::board {

struct BoardOptions {
    std::string chip = "AT89S52"; // a device name (AT89C1051 ... AT89C55WD) or "none"
    bool pacing = false;          // line rate: 19200 baud, 10 bits a character, both ways
    int eraseDelayMs = 0;
    int blockDelayMs = 0;         // per programmed 32-byte block

    // Fault injection (see board/README or --help of the executable).
    std::string silentAfter;      // command letter after which the board says nothing more
    std::string wrongReplyFor;    // command letter whose reply is replaced ...
    std::string wrongReply;       // ... by this text
    int shortBlock = -1;          // read block number sent short, ending in CR LF
    bool lowerCase = false;       // read data in lower-case hexadecimal
    std::string extraAfterReply;  // characters appended to every reply
    int hangUpAfterBlocks = -1;   // close the line after this many written or read blocks
};

// Parses the executable's options; false with *error set on a bad option.
[[nodiscard]] bool parseBoardOptions(const std::vector<std::string>& args, BoardOptions* options,
                                     std::string* error);

} // namespace brindle::board
