#include "simulated_board.h"

#include "letters.h"

#include <cctype>

namespace brindle::board {

namespace {

constexpr auto kBlockChars = static_cast<std::size_t>(protocol::kBlockChars);

} // namespace

const ChipType* chipForOptions(const BoardOptions& options, bool* known)
{
    const ChipType* type = findChipType(options.chip);
    *known = type || options.chip == "none";
    return type;
}

bool simulatedBoardOptions(const std::string& chip, bool pacing, const std::string& adapter,
                           const std::string& latencyMs, BoardOptions* options, std::string* error)
{
    BoardOptions board;
    board.chip = chip;
    board.pacing = pacing;
    bool known = false;
    chipForOptions(board, &known);
    if (!known) {
        *error = "--simulate=" + chip + ": no such chip";
        return false;
    }
    if (!applyAdapterOptions(adapter, latencyMs, &board, error))
        return false;
    *options = board;
    return true;
}

static const ChipType* chipOrNone(const BoardOptions& options)
{
    bool known = false;
    return chipForOptions(options, &known);
}

SimulatedBoard::SimulatedBoard(const BoardOptions& options)
    : options_(options), protocol_(chipOrNone(options))
{
}

SimulatedBoard::Response SimulatedBoard::receive(char c)
{
    Response response;
    if (hungUp_)
        return response;
    const BoardProtocol::Step step = protocol_.receive(c);
    if (step.command != 0 && step.command == options_.silentAfter)
        silent_ = true;
    if (step.writtenBlock >= 0)
        response.delayMs = options_.blockDelayMs;
    else if (step.command == protocol::kErase && protocol_.chip())
        response.delayMs = options_.eraseDelayMs;
    if (hangsUpNow(step)) {
        hungUp_ = true;
        response.hangUp = true;
        return response;
    }
    if (!silent_)
        response.text = shapeReply(step);
    // A read's status with letters behind it: they come in a burst of their own, as from a
    // board that sends them a moment later.
    if (!silent_ && step.readBlock >= 0 && step.reply.size() > kBlockChars && options_.readStatus.size() > 1)
        response.trailing = options_.readStatus.substr(1);
    return response;
}

// The line goes dead where the board would ask for, or send, the block that follows the
// first hangUpAfterBlocks blocks of a transfer.
bool SimulatedBoard::hangsUpNow(const BoardProtocol::Step& step) const
{
    const int limit = options_.hangUpAfterBlocks;
    if (limit < 0)
        return false;
    if (step.readBlock >= 0)
        return step.readBlock == limit;
    if (step.reply != "Q")
        return false;
    if (step.writtenBlock >= 0)
        return step.writtenBlock + 1 == limit;
    return step.command == protocol::kWrite && limit == 0;
}

std::string SimulatedBoard::shapeReply(const BoardProtocol::Step& step) const
{
    std::string text = step.reply;
    if (step.readBlock >= 0 && text.size() > kBlockChars && !options_.readStatus.empty())
        text = text.substr(0, kBlockChars) + options_.readStatus.front();
    if (step.readBlock >= 0 && text.size() >= kBlockChars) {
        if (options_.lowerCase) {
            for (std::size_t i = 0; i < kBlockChars; ++i)
                text[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
        }
        if (step.readBlock == options_.shortBlock)
            text = text.substr(0, 4) + "\r\n" + text.substr(kBlockChars);
    }
    if (step.writtenBlock >= 0 && step.writtenBlock == options_.failBlock)
        text = std::string(1, protocol::failureLetter(protocol::kWrite));
    if (step.command != 0 && step.command == options_.wrongReplyFor)
        text = options_.wrongReply;
    if (!text.empty())
        text += options_.extraAfterReply;
    return text;
}

} // namespace brindle::board
