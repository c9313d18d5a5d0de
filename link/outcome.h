// What a board operation came to: the one account both front ends report from. The window
// shows its boxes and log lines as the operation goes; the command line turns this into
// lines, JSON and an exit code, and both write their record entry from it.
//
// One name for one fault, whatever the operation:
//
// | what happened                                                      | result      | exit |
// |--------------------------------------------------------------------|-------------|------|
// | the board's expected letter, every block well-formed               | ok          | 0    |
// | the board's failure letter (lower case): erase, blank, write, lock | chip-failed | 1    |
// | read or verify answered "r": lock bit 2 or 3 forbids reading       | chip-failed | 1    |
// | verify differences, every block well-formed                        | chip-failed | 1    |
// | a cell that is no byte, an image longer than the chip, a file      | bad-image   | 3    |
// | the port does not open                                             | port-error  | 4    |
// | no reply within the reply's limit                                  | no-answer   | 5    |
// | the port went away during the exchange                             | hung-up     | 5    |
// | an answer outside the protocol: a short or malformed block, a      | bad-reply   | 5    |
// |   status letter that is neither the command's nor its lower case,  |             |      |
// |   an identification that is not two hexadecimal digits             |             |      |
// | two hexadecimal digits that name no chip (an empty socket: "00")   | no-chip     | 6    |
// | another chip than the job expects                                  | wrong-chip  | 6    |
// | the serial-number store failed: unreachable, refused, locked, full | store-error | 7    |
// | stopped by Ctrl-C, SIGHUP, SIGTERM (128 + the signal)              | interrupted | 130, 129, 143 |
//
// An answer outside the protocol outranks what the status letter says: a chip whose bytes
// came back malformed has not been judged.
//
// Every operation identifies the chip first; where that found none, the operation reports the
// identification's result, whatever the board answered after it: nothing was done to a chip.
#pragma once

#include "chips.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brindle::link {

enum class Operation { Identify, Erase, Blank, Write, Read, Verify, Lock };

enum class Result {
    Ok,
    ChipFailed,
    NoAnswer,
    HungUp,
    BadReply,
    PortError,
    NoChip,
    WrongChip,
    BadImage,
    StoreError,
    Interrupted,
};

// A byte where the chip differs from the image.
struct Difference {
    int address = 0;
    std::string expected; // the image's text for the byte
    std::string chip;     // what the chip sent, "" where it sent nothing
};

// Why the port did not open, as the system and the advice tell it.
struct PortProblem {
    std::string device; // "" where the port stands for no device
    std::string reason; // the system's words
    std::string advice; // what to do about it; may be empty
};

struct [[nodiscard]] Outcome {
    Operation operation = Operation::Identify;
    Result result = Result::Ok;
    const protocol::Chip* chip = nullptr; // identified by this operation; null: none
    std::string reply;  // the last reply judged
    std::string detail; // why it failed and what to do next, one sentence; empty on success
    // What to do about it, for a front end that words the failure itself: the port's advice,
    // a refused write's next step. Empty where link has none.
    std::string advice;
    int address = -1;   // where it went wrong, where that applies
    std::vector<Difference> differences; // VERIFY, in address order
    int bytesDone = 0;  // bytes written, read or compared
    std::optional<PortProblem> port; // set for PortError

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

// The exit status an interrupted result has when no stop signal says otherwise (Ctrl-C's).
inline constexpr int kInterruptedExit = 130;

// The command line's exit status for a result, as the table above gives it. stopStatus: what an
// interrupted result ends with, 128 + the stop's signal.
int exitCode(Result result, int stopStatus = kInterruptedExit);
// Short stable names for JSON and the record: "ok", "chip-failed", "no-answer" ...
std::string_view resultName(Result result);
// "identify", "erase", "blank", "write", "read", "verify", "lock".
std::string_view operationName(Operation operation);

// The sentence for a chip whose lock bits forbid reading it back.
inline constexpr std::string_view kReadProtected =
    "The chip is read-protected (lock bit 2 or 3); erase it to read or verify it again.";

} // namespace brindle::link
