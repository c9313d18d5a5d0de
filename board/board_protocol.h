// The board's side of the serial protocol: characters in, replies out. Pure: no clock, no I/O.
//
// Choices where the protocol says nothing:
// - CR, LF and any character that is no command are ignored between commands.
// - With an empty socket "I" answers "00"; every other command answers its lower-case letter,
//   and "R" answers "r" at once.
// - "W" is refused with "w" (no "Q") when the socket is empty or lock bit 1 is set.
// - A block that fails (a character that is not a hexadecimal digit, or a bit that would have
//   to go from 0 to 1) is answered "w" in place of "Q" and ends the write. A block is always 64
//   characters, so data letters A-C never reach the command decoder.
// - At a block boundary of a write, a command letter that is no hexadecimal digit and not "Z"
//   abandons the write and is taken as a new command; likewise any command but "T" ends a read.
// - "Z" or "T" outside a write or read answers "w" or "r".
// - While lock bit 2 is set a read still sends every block, but as FF, and ends with "r".
#pragma once

#include "flash_chip.h"

#include <optional>
#include <string>

namespace brindle::board {

class BoardProtocol {
public:
    // chip: the chip in the socket, nullptr for an empty socket.
    explicit BoardProtocol(const ChipType* chip);

    struct Step {
        char command = 0;      // the command letter this character was taken as, 0 otherwise
        int writtenBlock = -1; // number within its write of the block this character completed
        int readBlock = -1;    // number within its read of the block this reply carries
        std::string reply;     // what the board sends back, possibly nothing
    };

    Step receive(char c);

    // The line has been quiet so long that a half-received write block will never be completed:
    // the write is abandoned without a reply, as the board's watchdog would.
    void lineIdle();
    bool inMiddleOfBlock() const { return mode_ == Mode::Writing && !block_.empty(); }

    // nullptr for an empty socket.
    const FlashChip* chip() const { return chip_ ? &*chip_ : nullptr; }
    FlashChip* chip() { return chip_ ? &*chip_ : nullptr; }

private:
    enum class Mode { Idle, Writing, Reading };

    Step command(char c);
    Step writeCharacter(char c);
    Step readCharacter(char c);
    Step finishBlock();
    Step sendBlock();

    std::optional<FlashChip> chip_;
    Mode mode_ = Mode::Idle;
    int blockNumber_ = 0;
    std::string block_; // the write block being received, at most 64 characters
};

} // namespace brindle::board
