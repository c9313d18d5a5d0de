// The simulated board served on a pseudo-terminal, on a thread of its own, so the program
// reaches it through the same serial code as a real board.
#pragma once

#include "board_options.h"

#include <memory>
#include <string>

namespace brindle::board {

class PtyBoard {
public:
    PtyBoard();
    ~PtyBoard(); // stops serving
    PtyBoard(const PtyBoard&) = delete;
    PtyBoard& operator=(const PtyBoard&) = delete;

    // Opens the pseudo-terminal and starts serving; false with *error set on failure (an
    // unknown chip, no pseudo-terminal, already started).
    [[nodiscard]] bool start(const BoardOptions& options, std::string* error);
    // Stops serving and closes the pseudo-terminal; returns within a few milliseconds.
    void stop();
    // The device path to open, as with --com1.
    std::string devicePath() const;
    // False once stopped, or once the board has hung up (hang-up fault) or its line failed.
    bool isServing() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace brindle::board
