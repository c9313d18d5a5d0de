// The board as the line sees it: the protocol, plus the working delays and the faults that tests
// ask for. Pure like the protocol; the transport turns delays into time.
#pragma once

#include "board_options.h"
#include "board_protocol.h"

#include <string>

namespace brindle::board {

class SimulatedBoard {
public:
    // options.chip must name a chip or be "none" (see chipForOptions).
    explicit SimulatedBoard(const BoardOptions& options);

    struct Response {
        std::string text; // what to send, possibly nothing
        int delayMs = 0;  // how long the board works before it can send it
        bool hangUp = false; // close the line after what is already queued
        std::string trailing; // sent a few milliseconds after `text` has left: letters that trail a reply
    };

    Response receive(char c);

    void lineIdle() { protocol_.lineIdle(); }
    bool inMiddleOfBlock() const { return protocol_.inMiddleOfBlock(); }
    bool hungUp() const { return hungUp_; }
    const BoardProtocol& protocol() const { return protocol_; }

private:
    bool hangsUpNow(const BoardProtocol::Step& step) const;
    std::string shapeReply(const BoardProtocol::Step& step) const;

    BoardOptions options_;
    BoardProtocol protocol_;
    bool silent_ = false;
    bool hungUp_ = false;
};

// The chip named by options.chip; nullptr for "none". *known is false for any other name.
const ChipType* chipForOptions(const BoardOptions& options, bool* known);

// The board brindle and brindle-cli simulate, from their --simulate[=CHIP], --no-pace,
// --adapter NAME and --latency-ms N (empty: not given). False with *error set when one is
// wrong: "--simulate=CHIP: no such chip", or the adapter options' words.
[[nodiscard]] bool simulatedBoardOptions(const std::string& chip, bool pacing, const std::string& adapter,
                                         const std::string& latencyMs, BoardOptions* options, std::string* error);

} // namespace brindle::board
