#include "board_protocol.h"

#include <array>
#include <cctype>

namespace brindle::board {

namespace {

constexpr int kBlockBytes = 32;
constexpr std::size_t kBlockChars = 2 * kBlockBytes;

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

char lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool isCommandLetter(char c)
{
    return std::string_view("ISNABCWZRT").find(c) != std::string_view::npos;
}

} // namespace

BoardProtocol::BoardProtocol(const ChipType* chip)
{
    if (chip)
        chip_.emplace(*chip);
}

BoardProtocol::Step BoardProtocol::receive(char c)
{
    switch (mode_) {
    case Mode::Writing:
        return writeCharacter(c);
    case Mode::Reading:
        return readCharacter(c);
    case Mode::Idle:
        break;
    }
    return command(c);
}

void BoardProtocol::lineIdle()
{
    if (inMiddleOfBlock()) {
        block_.clear();
        mode_ = Mode::Idle;
    }
}

BoardProtocol::Step BoardProtocol::command(char c)
{
    Step step;
    if (!isCommandLetter(c))
        return step;
    step.command = c;
    FlashChip* flash = chip();
    if (!flash) {
        step.reply = c == 'I' ? "00" : c == 'Z' ? "w" : c == 'T' ? "r" : std::string(1, lower(c));
        return step;
    }
    switch (c) {
    case 'I':
        step.reply = std::string(flash->type().code);
        break;
    case 'S':
        flash->erase();
        step.reply = "S";
        break;
    case 'N':
        step.reply = flash->isBlank() ? "N" : "n";
        break;
    case 'A':
    case 'B':
    case 'C':
        flash->setLockBit(c - 'A' + 1);
        step.reply = std::string(1, c);
        break;
    case 'W':
        if (flash->lockBit(1)) {
            step.reply = "w";
        } else {
            mode_ = Mode::Writing;
            blockNumber_ = 0;
            block_.clear();
            step.reply = "Q";
        }
        break;
    case 'R':
        mode_ = Mode::Reading;
        blockNumber_ = 0;
        break;
    case 'Z':
        step.reply = "w";
        break;
    case 'T':
        step.reply = "r";
        break;
    default:
        break;
    }
    return step;
}

BoardProtocol::Step BoardProtocol::writeCharacter(char c)
{
    if (block_.empty()) {
        if (c == 'Z') {
            mode_ = Mode::Idle;
            Step step;
            step.command = 'Z';
            step.reply = "W";
            return step;
        }
        if (c == '\r' || c == '\n')
            return {};
        if (isCommandLetter(c) && hexValue(c) < 0) {
            mode_ = Mode::Idle;
            return command(c);
        }
    }
    block_.push_back(c);
    if (block_.size() < kBlockChars)
        return {};
    return finishBlock();
}

BoardProtocol::Step BoardProtocol::finishBlock()
{
    std::array<std::uint8_t, kBlockBytes> bytes{};
    bool wellFormed = true;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int high = hexValue(block_[2 * i]);
        const int low = hexValue(block_[2 * i + 1]);
        wellFormed = wellFormed && high >= 0 && low >= 0;
        bytes[i] = static_cast<std::uint8_t>(((high & 15) << 4) | (low & 15));
    }
    block_.clear();

    Step step;
    step.writtenBlock = blockNumber_;
    FlashChip& flash = *chip();
    const int address = blockNumber_ * kBlockBytes;
    const bool programmed = wellFormed && flash.program(address, bytes.data(), kBlockBytes);
    ++blockNumber_;
    if (!programmed) {
        step.reply = "w";
        mode_ = Mode::Idle;
    } else if (blockNumber_ * kBlockBytes >= flash.size()) {
        step.reply = "W";
        mode_ = Mode::Idle;
    } else {
        step.reply = "Q";
    }
    return step;
}

BoardProtocol::Step BoardProtocol::readCharacter(char c)
{
    if (c == 'T')
        return sendBlock();
    if (!isCommandLetter(c))
        return {};
    mode_ = Mode::Idle;
    return command(c);
}

BoardProtocol::Step BoardProtocol::sendBlock()
{
    static const char digits[] = "0123456789ABCDEF";
    const FlashChip& flash = *chip();
    Step step;
    step.command = 'T';
    step.readBlock = blockNumber_;
    step.reply.reserve(kBlockChars + 1);
    const int address = blockNumber_ * kBlockBytes;
    for (int i = 0; i < kBlockBytes; ++i) {
        const std::uint8_t b = flash.read(address + i);
        step.reply.push_back(digits[b >> 4]);
        step.reply.push_back(digits[b & 15]);
    }
    ++blockNumber_;
    if (blockNumber_ * kBlockBytes >= flash.size()) {
        step.reply.push_back(flash.readProtected() ? 'r' : 'R');
        mode_ = Mode::Idle;
    }
    return step;
}

} // namespace brindle::board
