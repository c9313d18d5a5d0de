// How the simulated board behaves: which chip sits in its socket, its timing and the
// faults it injects for tests.
#pragma once

#include <string>
#include <vector>

namespace brindle::board {

struct BoardOptions {
    std::string chip = "AT89S52"; // a part number (AT89C1051 ... AT89C55WD), a code, or "none"
    bool pacing = false;          // line rate: 19200 baud, 10 bits a character, both ways
    int eraseDelayMs = 0;
    int blockDelayMs = 0;         // per programmed 32-byte block
    std::string adapter = "none"; // the USB serial adapter the program reaches the board through
    int latencyMs = 0;            // the ftdi adapter's latency timer; 0: its default

    // Fault injection; 0 or -1 (or empty) leaves it off.
    char silentAfter = 0;         // command letter from which on the board says nothing
    char wrongReplyFor = 0;       // command letter whose reply is replaced ...
    std::string wrongReply;       // ... by this text
    int shortBlock = -1;          // read block number sent as its first 4 characters and CR LF
    bool lowerCase = false;       // read data in lower-case hexadecimal
    std::string extraAfterReply;  // characters appended to every reply
    int hangUpAfterBlocks = -1;   // close the line once a write or read has passed this many blocks
    int failBlock = -1;           // write block number answered "w", as by a chip that will not take it
    std::string readStatus;       // sent in place of a read's status letter after its last block
};

// Parses options such as {"--chip", "AT89C2051", "--pace"} (no program name). Both
// "--opt VALUE" and "--opt=VALUE" are taken. False with *error set on a bad option; *options is
// then left as it was.
[[nodiscard]] bool parseBoardOptions(const std::vector<std::string>& args, BoardOptions* options,
                                     std::string* error);

// The option lines for --help.
std::string boardOptionsHelp();

// --adapter NAME and --latency-ms N (empty: not given) as brindle and brindle-cli take them
// beside --simulate. False with *error set when they are wrong.
[[nodiscard]] bool applyAdapterOptions(const std::string& adapter, const std::string& latencyMs,
                                       BoardOptions* options, std::string* error);

// The help lines of those two.
std::string adapterOptionsHelp();

} // namespace brindle::board
