#include "flash_chip.h"

#include <algorithm>

namespace brindle::board {

const std::array<ChipType, 9>& chipTypes() { return protocol::kChips; }

const ChipType* findChipType(std::string_view nameOrCode)
{
    const int row = protocol::chipRowByName(nameOrCode);
    return row < 0 ? nullptr : &protocol::kChips[static_cast<std::size_t>(row)];
}

FlashChip::FlashChip(const ChipType& type)
    : type_(&type), flash_(static_cast<std::size_t>(type.size), 0xFF)
{
}

void FlashChip::erase()
{
    std::fill(flash_.begin(), flash_.end(), 0xFF);
    lockBits_ = {};
}

bool FlashChip::isBlank() const
{
    return std::all_of(flash_.begin(), flash_.end(), [](std::uint8_t b) { return b == 0xFF; });
}

bool FlashChip::program(int address, const std::uint8_t* data, int count)
{
    if (lockBit(1) || address < 0 || count < 0 || address > size() - count)
        return false;
    bool ok = true;
    for (int i = 0; i < count; ++i) {
        std::uint8_t& cell = flash_[static_cast<std::size_t>(address + i)];
        cell &= data[i];
        ok = ok && cell == data[i];
    }
    return ok;
}

std::uint8_t FlashChip::read(int address) const
{
    if (readProtected() || address < 0 || address >= size())
        return 0xFF;
    return flash_[static_cast<std::size_t>(address)];
}

void FlashChip::setLockBit(int bit)
{
    if (bit >= 1 && bit <= 3)
        lockBits_[static_cast<std::size_t>(bit - 1)] = true;
}

bool FlashChip::lockBit(int bit) const
{
    return bit >= 1 && bit <= 3 && lockBits_[static_cast<std::size_t>(bit - 1)];
}

} // namespace brindle::board
