// What a board operation came to. The window reports through its panel as it always has and
// may ignore this; the command line turns it into lines, JSON and an exit code.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brindle::link {

enum class Result {
    Ok,
    ChipFailed,  // the board's failure letter, a chip that is not blank, verify differences
    NoAnswer,    // a reply did not come within its time limit
    HungUp,      // the port went away during the exchange
    BadReply,    // an answer outside the protocol, or a block that came back short or malformed
    PortError,   // the port could not be opened
    NoChip,      // no chip identified where one is needed
    WrongChip,   // another chip than the job expects
    BadImage,    // refused before sending: a cell that is not two hexadecimal digits, an image too long
    Interrupted, // stopped between blocks: Ctrl-C, SIGTERM, SIGHUP
};

// A byte where the chip differs from the image.
struct Difference {
    int address = 0;
    std::string expected; // the image's text for the byte
    std::string chip;     // what the chip sent, "" where it sent nothing
};

struct Outcome {
    Result result = Result::Ok;
    std::string reply;  // the last reply judged
    std::string detail; // what went wrong, in plain words; empty on success
    int address = -1;   // where it went wrong, where that applies
    std::vector<Difference> differences; // VERIFY, in address order
    int bytesDone = 0;  // bytes written, read or compared

    bool ok() const { return result == Result::Ok; }

    static Outcome of(Result result, std::string reply = {}, std::string detail = {}, int address = -1)
    {
        Outcome outcome;
        outcome.result = result;
        outcome.reply = std::move(reply);
        outcome.detail = std::move(detail);
        outcome.address = address;
        return outcome;
    }
};

// The command line's exit status for a result: 0 success, 1 chip failed, 3 file or image,
// 4 port, 5 board not answering or outside the protocol, 6 wrong or no chip, 128 + the signal's
// number interrupted (130 Ctrl-C, 129 SIGHUP, 143 SIGTERM).
int exitCode(Result result);
// A short stable name for JSON and the record: "ok", "chip-failed", "no-answer" ...
std::string_view resultName(Result result);

} // namespace brindle::link
