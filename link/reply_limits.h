// How long the board may take to answer. Each reply gets the wire time of its characters plus
// the chip work the board must finish before it answers, above a floor that covers the latency
// of USB serial adapters. A board that never answers is thus found out within a second or so,
// while a slow erase is still waited for.
#pragma once

#include <chrono>

namespace brindle::link {

// What the board does before its reply.
enum class Work {
    None,      // identification, a read block, a handshake
    Erase,     // the slowest chip erases in about half a second
    BlankCheck,
    Program,   // a 32-byte block, or a lock bit
};

struct ReplyLimits {
    static constexpr std::chrono::milliseconds kFloor{300};
    static constexpr std::chrono::milliseconds kErase{2000};
    static constexpr std::chrono::milliseconds kBlankCheck{700};
    static constexpr std::chrono::milliseconds kProgram{300};
    static constexpr int kCharsPerSecond = 1920; // 19200 baud, 10 bits a character

    // The limit for a reply of `characters` after `work`, stretched by `scale`.
    static std::chrono::milliseconds forReply(int characters, Work work, double scale = 1.0);
};

} // namespace brindle::link
