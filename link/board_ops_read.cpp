// READ and VERIFY: "R", then a "T" for each block of the chip and its 64 characters, then the
// status letter.
#include "board_ops.h"

#include "letters.h"

#include <algorithm>

namespace brindle::link {

using namespace protocol;

namespace {

std::string letter(char c) { return std::string(1, c); }

// The two characters of a block reply that belong to the cell at 0-based `position`:
// fewer when the reply ends sooner, none past its end.
std::string pairAt(const std::string& reply, std::size_t position)
{
    return position < reply.size() ? reply.substr(position, 2) : std::string();
}

// A byte as the board must send it: two upper-case hexadecimal digits.
bool isUpperHexPair(const std::string& pair)
{
    const auto digit = [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); };
    return pair.size() == 2 && digit(pair[0]) && digit(pair[1]);
}

bool isWellFormedBlock(const std::string& block)
{
    if (block.size() != std::size_t(kBlockChars))
        return false;
    for (std::size_t i = 0; i < block.size(); i += 2)
        if (!isUpperHexPair(block.substr(i, 2)))
            return false;
    return true;
}

std::string hexAddress(int address) { return image::fixedHex(static_cast<std::uint32_t>(address), 4) + "H"; }

} // namespace

// Any reply but the status letters: "System ERROR", titled as WRITE's.
Outcome BoardOps::transferFailure(Outcome outcome)
{
    panel_.messageBox("System ERROR\n\n" + outcome.detail, Icon::Critical, "PROGRAM");
    return outcome;
}

Reply BoardOps::fetchBlocks(const std::string& identified,
                            const std::function<void(int row, int column, const std::string& pair)>& cell, Outcome& outcome)
{
    const int blocks = std::clamp(session_.deviceSize, 0, image::kImageSize) / kBlockBytes;
    int rowBase = 0;
    link_.output(letter(kRead));
    const auto stop = [&](const Reply& reply, const std::string& detail, int bytes, int address) {
        outcome = Outcome::of(Result::Interrupted, reply.text, detail, address);
        outcome.bytesDone = bytes;
        if (reply.interrupted)
            link_.drain();
        link_.close();
        monitor_.progress(0, 0);
        return reply;
    };
    Reply reply{identified};
    for (int block = 0; block < blocks; ++block) {
        const int address = block * kBlockBytes;
        if (interrupted())
            return stop(reply, "Stopped before the block at " + hexAddress(address) + ".", address, address);
        link_.output(letter(kFetch));
        reply = link_.serialinput(kBlockChars);
        if (reply.interrupted)
            return stop(reply, "Stopped while the block at " + hexAddress(address) + " came in.", address, address);
        std::size_t position = 0;
        for (int row = rowBase + 1; row <= rowBase + 2; ++row)
            for (int column = 1; column <= image::kBytesPerRow; ++column, position += 2)
                cell(row, column, pairAt(reply.text, position));
        if (outcome.address < 0 && !isWellFormedBlock(reply.text.substr(0, kBlockChars))) {
            outcome.address = block * kBlockBytes;
            outcome.detail = "The block at " + hexAddress(block * kBlockBytes) + " came back "
                             + (reply.text.size() < std::size_t(kBlockChars) ? "short" : "malformed") + ": "
                             + std::to_string(reply.text.size()) + " characters received, \"" + reply.text + "\".";
        }
        rowBase += 2;
        if (reply.stalled()) // no more "T"s to a board that stopped answering them
            break;
        outcome.bytesDone = (block + 1) * kBlockBytes;
        monitor_.progress(block + 1, blocks);
    }
    Reply status = link_.serialinput(1);
    link_.settle(status);
    if (status.interrupted)
        return stop(status, "Stopped while waiting for the status after the last block.", outcome.bytesDone, -1);
    monitor_.progress(0, 0);
    return status;
}

// Read_Click. The cells get what arrived, whatever it is; a block that came back short or
// malformed makes the read a failure all the same.
Outcome BoardOps::read()
{
    const Outcome identification = reset();
    if (identification.result == Result::Interrupted)
        return done(Operation::Read, identification);
    if (!link_.open())
        return portFailure(Operation::Read);
    panel_.markMismatches({});
    session_.programLength = session_.deviceSize;
    Outcome blocks;
    const Reply status = fetchBlocks(identification.reply, [&](int row, int column, const std::string& pair) {
        grid_.setText(row, column, pair);
        if (row % 2 == 0 && column == image::kBytesPerRow) // the block's last cell
            panel_.cellsChanged(row - 1, row);
    }, blocks);
    if (blocks.result == Result::Interrupted)
        return done(Operation::Read, blocks);

    Outcome outcome = Outcome::of(Result::Ok, status.text);
    outcome.bytesDone = blocks.bytesDone;
    const bool badBlock = blocks.address >= 0;
    if (status.is(kRead) && !badBlock) {
        panel_.log("Read OK !");
    } else if (status.is(kRead) || status.is(failureLetter(kRead))) {
        if (badBlock)
            outcome = Outcome::of(Result::BadReply, status.text, blocks.detail, blocks.address);
        else
            outcome = Outcome::of(Result::ChipFailed, status.text, std::string(kReadProtected));
        outcome = withoutChip(outcome, identification);
        outcome.bytesDone = blocks.bytesDone;
        panel_.log("Read Error !");
        panel_.messageBox("Read ERROR\n\n" + outcome.detail, Icon::Exclamation, "");
    } else {
        Outcome failure = linkFailure(status, "the read");
        failure.bytesDone = blocks.bytesDone;
        failure.address = blocks.address;
        outcome = transferFailure(withoutChip(failure, identification));
    }
    link_.close();
    panel_.beep();
    return done(Operation::Read, withoutChip(outcome, identification));
}

// Verify_Click. A chip byte that is not two upper-case hexadecimal digits differs whatever
// the cell holds: an empty pair must not equal an empty cell.
Outcome BoardOps::verify()
{
    const Outcome identification = reset();
    if (identification.result == Result::Interrupted)
        return done(Operation::Verify, identification);
    if (!link_.open())
        return portFailure(Operation::Verify);
    std::vector<CellMismatch> mismatches;
    std::vector<Difference> differences;
    Outcome blocks;
    const Reply status = fetchBlocks(identification.reply, [&](int row, int column, const std::string& pair) {
        const std::string& cell = grid_.text(row, column);
        if (cell != pair || !isUpperHexPair(pair)) {
            mismatches.push_back({row, column, pair});
            differences.push_back({image::addressOf(row, column), cell, pair});
        }
    }, blocks);
    if (blocks.result == Result::Interrupted)
        return done(Operation::Verify, blocks);
    const bool completed = status.is(kRead);
    const bool badBlock = blocks.address >= 0;
    // Only a completed exchange tells where the chip differs.
    panel_.markMismatches(completed ? mismatches : std::vector<CellMismatch>{});

    Outcome outcome = Outcome::of(Result::Ok, status.text);
    if (completed && differences.empty()) {
        panel_.log("Verify OK !");
    } else if (completed && !badBlock) {
        const Difference& first = differences.front();
        const std::string summary = std::to_string(differences.size()) + (differences.size() == 1 ? " byte differs" : " bytes differ")
                                    + ", the first at " + hexAddress(first.address) + ": grid \"" + first.expected
                                    + "\", chip \"" + first.chip + "\".";
        outcome = Outcome::of(Result::ChipFailed, status.text, summary, first.address);
        outcome.differences = std::move(differences);
        panel_.log("Verify Error !");
        panel_.messageBox("Vefify ERROR\n\n" + summary, Icon::Exclamation, "");
    } else if (badBlock && (completed || status.is(failureLetter(kRead)))) {
        // Differences count against the chip only where its bytes came back well-formed: a
        // malformed block is the board's fault, told as any answer outside the protocol.
        Outcome failure = Outcome::of(Result::BadReply, status.text, blocks.detail, blocks.address);
        if (completed)
            failure.differences = std::move(differences);
        outcome = transferFailure(withoutChip(failure, identification));
    } else if (status.is(failureLetter(kRead))) {
        outcome = transferFailure(withoutChip(Outcome::of(Result::ChipFailed, status.text, std::string(kReadProtected)),
                                              identification));
    } else {
        Outcome failure = linkFailure(status, "the verify");
        failure.address = blocks.address;
        outcome = transferFailure(withoutChip(failure, identification));
    }
    outcome.bytesDone = blocks.bytesDone;
    link_.close();
    panel_.beep();
    return done(Operation::Verify, withoutChip(outcome, identification));
}

} // namespace brindle::link
