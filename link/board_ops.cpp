#include "board_ops.h"

#include "letters.h"

#include <algorithm>
#include <cstdio>

namespace brindle::link {

using namespace protocol;

namespace {

std::string letter(char c) { return std::string(1, c); }

std::string hexAddress(int address) { return image::fixedHex(static_cast<std::uint32_t>(address), 4) + "H"; }

std::string seconds(std::chrono::milliseconds limit)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(limit.count()) / 1000.0);
    return text;
}

bool isTwoHexDigits(const std::string& reply)
{
    return reply.size() == 2 && hexDigitValue(reply[0]) >= 0 && hexDigitValue(reply[1]) >= 0;
}

constexpr const char* kCheckLine = ": check the cable and the board's power.";

} // namespace

BoardOps::BoardOps(SerialLink& link, TransferMonitor& monitor, Panel* panel, image::HexGrid& grid, Session& session)
    : link_(link), monitor_(monitor), panel_(panelOrNone(panel)), grid_(grid), session_(session)
{
}

std::string BoardOps::board() const
{
    if (!boardName_.empty())
        return boardName_;
    return "The board on " + link_.comName() + " (" + link_.deviceName() + ")";
}

Outcome BoardOps::portFailure(Operation operation) const
{
    Outcome outcome = Outcome::of(Result::PortError);
    outcome.operation = operation;
    outcome.port = link_.openProblem();
    if (outcome.port) {
        outcome.advice = outcome.port->advice;
        outcome.detail = "Cannot open " + (outcome.port->device.empty() ? "the port" : outcome.port->device) + ": "
                         + outcome.port->reason + ".";
    }
    return outcome;
}

Outcome BoardOps::linkFailure(const Reply& reply, const std::string& what) const
{
    Outcome outcome;
    outcome.reply = reply.text;
    if (reply.lost) {
        outcome.result = Result::HungUp;
        outcome.detail = board() + " hung up during " + what + kCheckLine;
    } else if (reply.timedOut) {
        outcome.result = Result::NoAnswer;
        outcome.detail = reply.text.empty()
                             ? board() + " did not answer " + what + " within " + seconds(link_.silenceLimit()) + kCheckLine
                             : board() + " stopped short in its answer to " + what + " (\"" + reply.text + "\")" + kCheckLine;
    } else {
        outcome.result = Result::BadReply;
        outcome.detail = board() + " answered " + what + " with \"" + reply.text
                         + "\", which the protocol does not know: check that the port is the programmer's.";
    }
    return outcome;
}

Outcome BoardOps::withoutChip(Outcome outcome, const Outcome& identification) const
{
    if (session_.chip || outcome.result == Result::Interrupted)
        return outcome;
    Outcome result = identification;
    result.bytesDone = outcome.bytesDone;
    return result;
}

Outcome BoardOps::stopped(Operation operation, const Reply& reply, const std::string& detail, int bytes)
{
    link_.drain();
    link_.close();
    monitor_.progress(0, 0);
    Outcome outcome = Outcome::of(Result::Interrupted, reply.text, detail);
    outcome.bytesDone = bytes;
    return done(operation, outcome);
}

Outcome BoardOps::done(Operation operation, Outcome outcome) const
{
    outcome.operation = operation;
    outcome.chip = session_.chip;
    return outcome;
}

// Reset_Click
Outcome BoardOps::reset()
{
    if (!link_.open()) {
        // No chip was found: what an earlier RESET found no longer holds.
        session_.deviceSize = 0;
        session_.chip = nullptr;
        panel_.selectDevice(-1);
        return portFailure(Operation::Identify);
    }
    (void)link_.input(); // stale characters of an earlier exchange
    session_.deviceSize = 0;
    session_.chip = nullptr;
    panel_.selectDevice(-1);
    link_.output(letter(kIdentify));
    Reply code = link_.serialinput(kCodeChars);
    link_.settle(code);
    if (code.interrupted)
        return stopped(Operation::Identify, code, "Stopped while waiting for the identification.");
    const int row = chipRowByCode(code.text);
    if (row >= 0) {
        panel_.selectDevice(row);
        session_.chip = &kChips[static_cast<std::size_t>(row)];
        session_.deviceSize = session_.chip->size;
    }
    link_.close();
    if (row >= 0)
        return done(Operation::Identify, Outcome::of(Result::Ok, code.text));
    if (code.stalled())
        return done(Operation::Identify, linkFailure(code, "the identification"));
    if (!isTwoHexDigits(code.text))
        return done(Operation::Identify, Outcome::of(Result::BadReply, code.text, board() + " answered the identification with \""
                                                 + code.text + "\", which is no chip code: check that the port is the programmer's."));
    return done(Operation::Identify, Outcome::of(Result::NoChip, code.text, "No chip was found in the socket (the board answered \""
                                             + code.text + "\"): check that a chip sits in it, the right way round."));
}

struct BoardOps::OneLetter {
    Operation operation;
    char command;
    Work work;
    const char* okLog;
    const char* errorLog;
    const char* errorBox;
    const char* errorTitle;
    const char* systemTitle; // of the "System ERROR" box
    const char* what;        // for the outcome's words
    const char* failure;     // the chip's failure, with what to do next
    const char* stopped;     // a stop while the board works
};

// Erase_Click
Outcome BoardOps::erase()
{
    return oneLetter({Operation::Erase, kErase, Work::Erase, "Erase.", "Erase Error !", "Erase ERROR", "", "ERASE",
                      "the erase", "The board could not erase the chip (\"s\"): check that the chip sits firmly in the socket.",
                      "Stopped during the erase: the board may still be erasing; identify the chip before using it."});
}

// Blank_Click
Outcome BoardOps::blank()
{
    return oneLetter({Operation::Blank, kBlank, Work::BlankCheck, "Blank OK !", "Blank Error !", "Blank Check ERROR",
                      "BLANK CHECK", "", "the blank check", "The chip is not blank (\"n\"): erase it first.",
                      "Stopped during the blank check."});
}

Outcome BoardOps::oneLetter(const OneLetter& op)
{
    const Outcome identification = reset();
    if (identification.result == Result::Interrupted)
        return done(op.operation, identification);
    if (!link_.open())
        return portFailure(op.operation);
    link_.output(letter(op.command));
    Reply status = link_.serialinput(1, op.work);
    link_.settle(status);
    if (status.interrupted)
        return stopped(op.operation, status, op.stopped);
    link_.close();
    Outcome outcome = Outcome::of(Result::Ok, status.text);
    if (status.is(op.command)) {
        panel_.log(op.okLog);
    } else if (status.is(failureLetter(op.command))) {
        outcome = withoutChip(Outcome::of(Result::ChipFailed, status.text, op.failure), identification);
        panel_.log(op.errorLog);
        panel_.messageBox(std::string(op.errorBox) + "\n\n" + outcome.detail, Icon::Exclamation, op.errorTitle);
    } else {
        outcome = withoutChip(linkFailure(status, op.what), identification);
        panel_.messageBox("System ERROR\n\n" + outcome.detail, Icon::Critical, op.systemTitle);
    }
    panel_.beep();
    return done(op.operation, withoutChip(outcome, identification));
}

// Lock_Click. The board answers a lock bit with its letter, in lower case when the chip
// refused it; once it answers anything else, or nothing, no further bit is sent.
Outcome BoardOps::lock(bool lb1, bool lb2, bool lb3)
{
    const Outcome identification = reset();
    if (identification.result == Result::Interrupted)
        return done(Operation::Lock, identification);
    if (!link_.open())
        return portFailure(Operation::Lock);
    Outcome outcome;
    std::string refused, refusedReply;
    std::string last = identification.reply; // the outcome's reply when every bit took
    bool halted = false;
    const bool wanted[] = {lb1, lb2, lb3};
    for (int bit = 1; bit <= 3 && !halted; ++bit) {
        if (!wanted[bit - 1])
            continue;
        const char command = lockBitLetter(bit);
        link_.output(letter(command));
        Reply reply = link_.serialinput(1, Work::Program);
        link_.settle(reply);
        if (reply.interrupted)
            return stopped(Operation::Lock, reply, "Stopped during lock bit " + std::to_string(bit) + ".");
        last = reply.text;
        if (reply.is(failureLetter(command))) {
            refused += (refused.empty() ? "" : ", ") + std::to_string(bit);
            refusedReply = reply.text;
        } else if (!reply.is(command)) {
            outcome = linkFailure(reply, "lock bit " + std::to_string(bit));
            halted = true;
        }
    }
    link_.close();
    if (halted) {
        outcome = withoutChip(outcome, identification);
        panel_.messageBox("System ERROR\n\n" + outcome.detail, Icon::Critical, "LOCK");
    } else if (!refused.empty()) {
        outcome = withoutChip(Outcome::of(Result::ChipFailed, refusedReply, "The chip refused lock bit " + refused
                                                                       + ": erase it and program the lock bits again."),
                              identification);
        panel_.log("Lock Error !");
        panel_.messageBox("Lock ERROR\n\n" + outcome.detail, Icon::Exclamation, "LOCK");
    } else {
        outcome.reply = last;
    }
    panel_.beep();
    return done(Operation::Lock, withoutChip(outcome, identification));
}

// Program_Click: identify; refuse without a chip or with a cell that is no byte; then "W" and
// the image block by block, each after the board's "Q"; then the status.
Outcome BoardOps::program()
{
    Outcome outcome = reset();
    if (outcome.result == Result::Interrupted)
        return done(Operation::Write, outcome);
    if (link_.openFailed())
        return portFailure(Operation::Write);
    if (refuseWrite(outcome))
        return done(Operation::Write, outcome);
    if (beforeWrite_)
        if (std::optional<Outcome> refusal = beforeWrite_())
            return done(Operation::Write, *refusal);
    if (!link_.open())
        return portFailure(Operation::Write);

    const int length = std::clamp(session_.programLength, 0, image::kImageSize);
    link_.output(letter(kWrite));
    const std::optional<Reply> early = sendBlocks(length, outcome);
    if (outcome.result == Result::Interrupted) {
        link_.close();
        monitor_.progress(0, 0);
        return done(Operation::Write, outcome);
    }
    const Reply status = early ? *early : askWriteStatus();
    if (status.interrupted)
        return stopped(Operation::Write, status, "Stopped while waiting for the write's status: identify the chip and verify it.",
                       outcome.bytesDone);
    monitor_.progress(0, 0);
    reportWrite(status, outcome);
    link_.close();
    panel_.beep();
    return done(Operation::Write, outcome);
}

bool BoardOps::refuseWrite(Outcome& outcome)
{
    if (session_.deviceSize == 0) {
        // `outcome` holds the identification's: no chip, or a board that did not answer.
        panel_.messageBox("System ERROR\n\n" + outcome.detail, Icon::Critical, "PROGRAM");
        return true;
    }
    const int length = std::clamp(session_.programLength, 0, image::kImageSize);
    // A cell left empty or half-filled by a failed READ would send a short block: the
    // board would wait for the missing characters and leave the chip half-written.
    const int bad = grid_.firstMalformedCell(length / image::kBytesPerRow);
    if (bad < 0)
        return false;
    const std::string text = "Nothing was written: the byte at address " + image::fixedHex(static_cast<unsigned>(bad), 4)
                             + " is not two hexadecimal digits. LOAD or READ the image again.";
    panel_.messageBox(text, Icon::Exclamation, "PROGRAM");
    outcome = Outcome::of(Result::BadImage, outcome.reply, text, bad);
    return true;
}

std::optional<Reply> BoardOps::sendBlocks(int length, Outcome& outcome)
{
    const int blocks = length / kBlockBytes;
    outcome.bytesDone = 0;
    for (int block = 0; block < blocks; ++block) {
        // The first "Q" answers "W" at once; the others come once a block is programmed.
        Reply reply = link_.serialinput(1, block == 0 ? Work::None : Work::Program);
        if (!reply.is(kNextBlock) && !reply.interrupted) {
            link_.settle(reply);
            return reply;
        }
        if (interrupted() || reply.interrupted) {
            if (reply.interrupted)
                link_.drain();
            outcome = Outcome::of(Result::Interrupted, reply.text, "Stopped before the block at " + hexAddress(block * kBlockBytes) + ".",
                       block * kBlockBytes);
            outcome.bytesDone = block * kBlockBytes;
            return std::nullopt;
        }
        sendBlock(2 * block);
        outcome.bytesDone = (block + 1) * kBlockBytes;
        monitor_.progress(block + 1, blocks);
    }
    return std::nullopt;
}

// The block's two grid rows, a cell to each output, as the board takes them.
void BoardOps::sendBlock(int rowBase)
{
    for (int row = rowBase + 1; row <= rowBase + 2; ++row)
        for (int column = 1; column <= image::kBytesPerRow; ++column)
            link_.output(grid_.text(row, column));
}

// After the image's last block: a chip of another size than the image asks for a further
// block, which "Z" declines; then the status.
Reply BoardOps::askWriteStatus()
{
    const Work last = session_.programLength > 0 ? Work::Program : Work::None;
    Reply reply = link_.serialinput(1, last);
    // A board that failed the last block answers with its status here: judging the reply
    // to a stray "Z" instead could report the failure as success.
    if (session_.deviceSize != session_.programLength && reply.is(kNextBlock)) {
        link_.output(letter(kEndWrite));
        reply = link_.serialinput(1, Work::Program);
    }
    link_.settle(reply);
    return reply;
}

void BoardOps::reportWrite(const Reply& status, Outcome& outcome)
{
    const int programLength = session_.programLength, deviceSize = session_.deviceSize;
    const int bytes = outcome.bytesDone;
    outcome = Outcome::of(Result::Ok, status.text);
    outcome.bytesDone = bytes;
    if (status.is(kWrite)) {
        panel_.log("Write OK !");
        if (programLength > deviceSize) {
            const std::string text = "The program is " + std::to_string(programLength) + " bytes long, the chip holds only "
                                     + std::to_string(deviceSize) + ": the last "
                                     + std::to_string(programLength - deviceSize) + " bytes (from address "
                                     + image::fixedHex(static_cast<unsigned>(deviceSize), 4)
                                     + ") did not fit into the chip.";
            panel_.messageBox(text, Icon::Exclamation, "PROGRAM");
            outcome = Outcome::of(Result::BadImage, status.text, text, deviceSize);
            outcome.bytesDone = bytes;
        }
    } else if (status.is(failureLetter(kWrite))) {
        // The "w" answers the last block sent, or the "W" itself when none was.
        const int block = std::max(bytes - kBlockBytes, 0);
        const std::string refused = bytes > 0 ? "block " + hexAddress(block) : "the write";
        outcome = Outcome::of(Result::ChipFailed, status.text,
                              "The board refused " + refused + " (\"w\"): the chip may not be erased.", block);
        outcome.advice = "run erase first, or use auto";
        outcome.bytesDone = bytes;
        panel_.log("Write Error !");
        panel_.messageBox("Write ERROR\n\n" + outcome.detail, Icon::Exclamation, "");
    } else {
        Outcome failure = linkFailure(status, "the write");
        failure.bytesDone = bytes;
        outcome = transferFailure(failure);
    }
}

} // namespace brindle::link
