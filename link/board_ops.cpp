#include "board_ops.h"

#include "letters.h"

#include <algorithm>

namespace brindle::link {

using namespace protocol;

namespace {

std::string letter(char c) { return std::string(1, c); }

std::string hexAddress(int address) { return image::fixedHex(static_cast<std::uint32_t>(address), 4) + "H"; }

} // namespace

BoardOps::BoardOps(SerialLink& link, Panel& panel, image::HexGrid& grid, Session& session)
    : link_(link), panel_(panel), grid_(grid), session_(session)
{
}

Outcome BoardOps::portFailure() const
{
    return Outcome::of(Result::PortError, "", link_.openFailureText());
}

Outcome BoardOps::linkFailure(const std::string& what) const
{
    Outcome outcome;
    outcome.reply = link_.reply;
    if (link_.lost()) {
        outcome.result = Result::HungUp;
        outcome.detail = "The board hung up during " + what + ".";
    } else if (link_.timedOut()) {
        outcome.result = Result::NoAnswer;
        outcome.detail = link_.reply.empty() ? "The board did not answer " + what + "."
                                             : "The board's answer to " + what + " stopped short: \"" + link_.reply + "\".";
    } else {
        outcome.result = Result::BadReply;
        outcome.detail = "The board answered " + what + " with \"" + link_.reply + "\", which the protocol does not know.";
    }
    return outcome;
}

// Reset_Click
Outcome BoardOps::reset()
{
    if (!link_.open()) {
        // No chip was found: what an earlier RESET found no longer holds.
        session_.deviceSize = 0;
        session_.chipRow = -1;
        panel_.selectDevice(-1);
        return portFailure();
    }
    (void)link_.input(); // stale characters of an earlier exchange
    session_.deviceSize = 0;
    session_.chipRow = -1;
    panel_.selectDevice(-1);
    link_.output(letter(kIdentify));
    link_.serialinput(kCodeChars);
    const int row = chipRowByCode(link_.reply);
    if (row >= 0) {
        panel_.selectDevice(row);
        session_.chipRow = row;
        session_.deviceSize = kChips[static_cast<std::size_t>(row)].size;
    }
    link_.close();
    if (row >= 0)
        return Outcome::of(Result::Ok, link_.reply);
    if (link_.stalled())
        return linkFailure("the identification");
    return Outcome::of(Result::NoChip, link_.reply, "No chip was found in the socket (the board answered \"" + link_.reply + "\").");
}

struct BoardOps::OneLetter {
    char command;
    Work work;
    const char* okLog;
    const char* errorLog;
    const char* errorBox;
    const char* errorTitle;
    const char* systemTitle; // of the "System ERROR" box
    const char* what;        // for the outcome's words
};

// Erase_Click
Outcome BoardOps::erase()
{
    return oneLetter({kErase, Work::Erase, "Erase.", "Erase Error !", "Erase ERROR", "", "ERASE", "the erase"});
}

// Blank_Click
Outcome BoardOps::blank()
{
    return oneLetter({kBlank, Work::BlankCheck, "Blank OK !", "Blank Error !", "Blank Check ERROR", "BLANK CHECK", "",
                      "the blank check"});
}

Outcome BoardOps::oneLetter(const OneLetter& op)
{
    reset();
    if (!link_.open())
        return portFailure();
    link_.output(letter(op.command));
    link_.serialinput(1, op.work);
    link_.close();
    Outcome outcome = Outcome::of(Result::Ok, link_.reply);
    if (link_.reply == letter(op.command)) {
        panel_.log(op.okLog);
    } else if (link_.reply == letter(failureLetter(op.command))) {
        panel_.log(op.errorLog);
        panel_.messageBox(op.errorBox, Icon::Exclamation, op.errorTitle);
        outcome = Outcome::of(Result::ChipFailed, link_.reply, std::string(op.errorBox));
    } else {
        outcome = linkFailure(op.what);
        panel_.messageBox("System ERROR", Icon::Critical, op.systemTitle);
    }
    panel_.beep();
    return outcome;
}

// Lock_Click. The board answers a lock bit with its letter, in lower case when the chip
// refused it; once it stops answering, no further bit is sent.
Outcome BoardOps::lock(bool lb1, bool lb2, bool lb3)
{
    reset();
    if (!link_.open())
        return portFailure();
    Outcome outcome;
    std::string refused;
    bool silent = false;
    const bool wanted[] = {lb1, lb2, lb3};
    for (int bit = 1; bit <= 3 && !silent; ++bit) {
        if (!wanted[bit - 1])
            continue;
        const char command = lockBitLetter(bit);
        link_.output(letter(command));
        link_.serialinput(1, Work::Program);
        silent = link_.stalled();
        if (link_.reply == letter(failureLetter(command)))
            refused += (refused.empty() ? "" : ", ") + std::to_string(bit);
        else if (link_.reply != letter(command) && (silent || outcome.ok()))
            outcome = linkFailure("lock bit " + std::to_string(bit));
    }
    link_.close();
    if (silent) {
        panel_.messageBox("System ERROR", Icon::Critical, "LOCK");
    } else if (!refused.empty()) {
        panel_.log("Lock Error !");
        panel_.messageBox("Lock ERROR", Icon::Exclamation, "LOCK");
        outcome = Outcome::of(Result::ChipFailed, link_.reply, "The chip refused lock bit " + refused + ".");
    }
    panel_.beep();
    return outcome;
}

// Program_Click: identify; refuse without a chip or with a cell that is no byte; then "W" and
// the image block by block, each after the board's "Q"; then the status.
Outcome BoardOps::program()
{
    Outcome outcome = reset();
    if (link_.openFailed())
        return portFailure();
    if (refuseWrite(outcome))
        return outcome;
    if (!link_.open())
        return portFailure();

    const int length = std::clamp(session_.programLength, 0, image::kImageSize);
    link_.output(letter(kWrite));
    const bool statusIn = sendBlocks(length, outcome);
    if (outcome.result == Result::Interrupted) {
        link_.close();
        panel_.progress(0, 0);
        return outcome;
    }
    if (!statusIn)
        askWriteStatus();
    panel_.progress(0, 0);
    reportWrite(outcome);
    link_.close();
    panel_.beep();
    return outcome;
}

bool BoardOps::refuseWrite(Outcome& outcome)
{
    if (session_.deviceSize == 0) {
        panel_.messageBox("System ERROR", Icon::Critical, "PROGRAM");
        // `outcome` holds the identification's: no chip, or a board that did not answer.
        outcome.detail += " Nothing was written.";
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
    outcome = Outcome::of(Result::BadImage, link_.reply, text, bad);
    return true;
}

// True when the board answered something else than "Q": that reply is the write's status.
bool BoardOps::sendBlocks(int length, Outcome& outcome)
{
    const int blocks = length / kBlockBytes;
    for (int block = 0; block < blocks; ++block) {
        // The first "Q" answers "W" at once; the others come once a block is programmed.
        link_.serialinput(1, block == 0 ? Work::None : Work::Program);
        if (link_.reply != letter(kNextBlock))
            return true;
        if (interrupted()) {
            outcome = Outcome::of(Result::Interrupted, link_.reply, "Stopped before the block at " + hexAddress(block * kBlockBytes) + ".",
                       block * kBlockBytes);
            outcome.bytesDone = block * kBlockBytes;
            return true;
        }
        sendBlock(2 * block);
        outcome.bytesDone = (block + 1) * kBlockBytes;
        panel_.progress(block + 1, blocks);
    }
    return false;
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
void BoardOps::askWriteStatus()
{
    const Work last = session_.programLength > 0 ? Work::Program : Work::None;
    if (session_.deviceSize != session_.programLength) {
        link_.serialinput(1, last);
        // A board that failed the last block answers with its status here: judging the
        // reply to a stray "Z" instead could report the failure as success.
        if (link_.reply != letter(kNextBlock))
            return;
        link_.output(letter(kEndWrite));
        link_.serialinput(1, Work::Program);
        return;
    }
    link_.serialinput(1, last);
}

void BoardOps::reportWrite(Outcome& outcome)
{
    const int programLength = session_.programLength, deviceSize = session_.deviceSize;
    const int done = outcome.bytesDone;
    outcome = Outcome::of(Result::Ok, link_.reply);
    outcome.bytesDone = done;
    if (link_.reply == letter(kWrite)) {
        panel_.log("Write OK !");
        if (programLength > deviceSize) {
            const std::string text = "The program is " + std::to_string(programLength) + " bytes long, the chip holds only "
                                     + std::to_string(deviceSize) + ": the last "
                                     + std::to_string(programLength - deviceSize) + " bytes (from address "
                                     + image::fixedHex(static_cast<unsigned>(deviceSize), 4)
                                     + ") did not fit into the chip.";
            panel_.messageBox(text, Icon::Exclamation, "PROGRAM");
            outcome = Outcome::of(Result::BadImage, link_.reply, text, deviceSize);
            outcome.bytesDone = done;
        }
    } else if (link_.reply == letter(failureLetter(kWrite))) {
        panel_.log("Write Error !");
        panel_.messageBox("Write ERROR", Icon::Exclamation, "");
        outcome = Outcome::of(Result::ChipFailed, link_.reply, "The board could not program the chip (\"w\") after "
                                                        + std::to_string(done) + " bytes.");
        outcome.address = done;
        outcome.bytesDone = done;
    } else {
        outcome = transferFailure("the write", done);
    }
}

} // namespace brindle::link
