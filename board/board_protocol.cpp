#include "board_protocol.h"

#include "letters.h"

#include <array>
#include <cctype>

namespace brindle::board {

namespace {

using namespace protocol;

bool isCommandLetter(char c)
{
    for (char command : {kIdentify, kErase, kBlank, kLockBit1, kLockBit2, kLockBit3, kWrite, kEndWrite, kRead, kFetch})
        if (c == command)
            return true;
    return false;
}

std::string letter(char c) { return std::string(1, c); }

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
        step.reply = c == kIdentify ? "00"
                     : c == kEndWrite ? letter(failureLetter(kWrite))
                     : c == kFetch    ? letter(failureLetter(kRead))
                                      : letter(failureLetter(c));
        return step;
    }
    switch (c) {
    case kIdentify:
        step.reply = std::string(flash->type().code);
        break;
    case kErase:
        flash->erase();
        step.reply = letter(kErase);
        break;
    case kBlank:
        step.reply = letter(flash->isBlank() ? kBlank : failureLetter(kBlank));
        break;
    case kLockBit1:
    case kLockBit2:
    case kLockBit3:
        flash->setLockBit(c - kLockBit1 + 1);
        step.reply = std::string(1, c);
        break;
    case kWrite:
        if (flash->lockBit(1)) {
            step.reply = letter(failureLetter(kWrite));
        } else {
            mode_ = Mode::Writing;
            blockNumber_ = 0;
            block_.clear();
            step.reply = letter(kNextBlock);
        }
        break;
    case kRead:
        mode_ = Mode::Reading;
        blockNumber_ = 0;
        break;
    case kEndWrite:
        step.reply = letter(failureLetter(kWrite));
        break;
    case kFetch:
        step.reply = letter(failureLetter(kRead));
        break;
    default:
        break;
    }
    return step;
}

BoardProtocol::Step BoardProtocol::writeCharacter(char c)
{
    if (block_.empty()) {
        if (c == kEndWrite) {
            mode_ = Mode::Idle;
            Step step;
            step.command = kEndWrite;
            step.reply = letter(kWrite);
            return step;
        }
        if (c == '\r' || c == '\n')
            return {};
        if (isCommandLetter(c) && hexDigitValue(c) < 0) {
            mode_ = Mode::Idle;
            return command(c);
        }
    }
    block_.push_back(c);
    if (block_.size() < std::size_t(kBlockChars))
        return {};
    return finishBlock();
}

BoardProtocol::Step BoardProtocol::finishBlock()
{
    std::array<std::uint8_t, kBlockBytes> bytes{};
    bool wellFormed = true;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int high = hexDigitValue(block_[2 * i]);
        const int low = hexDigitValue(block_[2 * i + 1]);
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
        step.reply = letter(failureLetter(kWrite));
        mode_ = Mode::Idle;
    } else if (blockNumber_ * kBlockBytes >= flash.size()) {
        step.reply = letter(kWrite);
        mode_ = Mode::Idle;
    } else {
        step.reply = letter(kNextBlock);
    }
    return step;
}

BoardProtocol::Step BoardProtocol::readCharacter(char c)
{
    if (c == kFetch)
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
    step.command = kFetch;
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
        step.reply.push_back(flash.readProtected() ? failureLetter(kRead) : kRead);
        mode_ = Mode::Idle;
    }
    return step;
}

} // namespace brindle::board
