// The simulated board served on a pseudo-terminal, on a thread of its own, so the program
// reaches it through the same serial code as a real board.
#pragma once

#include "board_options.h"
#include "trace_replay.h"

#include <functional>
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
    // Serves the replies of a recorded trace instead of a chip, at their recorded delays.
    // notice is called from the board's thread when the replay diverges or is done.
    [[nodiscard]] bool startReplay(std::vector<TraceExchange> exchanges,
                                   std::function<void(const std::string&)> notice, std::string* error);
    // Stops serving and closes the pseudo-terminal; returns within a few milliseconds.
    void stop();
    // The device path to open, as with --com1.
    std::string devicePath() const;
    // False once stopped, or once the board has hung up (hang-up fault) or its line failed.
    bool isServing() const;

private:
    bool begin(std::string* error);

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace brindle::board
