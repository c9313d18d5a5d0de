#include "flash_chip.h"

#include <algorithm>
#include <cctype>

namespace brindle::board {

const std::array<ChipType, 9>& chipTypes()
{
    static const std::array<ChipType, 9> types{{
        {"AT89C1051", "11", 1024},
        {"AT89C2051", "21", 2048},
        {"AT89C4051", "41", 4096},
        {"AT89C51", "51", 4096},
        {"AT89C52", "52", 8192},
        {"AT89S8252", "72", 10240},
        {"AT89S51", "61", 4096},
        {"AT89S52", "62", 8192},
        {"AT89C55WD", "55", 20480},
    }};
    return types;
}

static bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
           && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                  return std::toupper(static_cast<unsigned char>(x))
                         == std::toupper(static_cast<unsigned char>(y));
              });
}

const ChipType* findChipType(std::string_view nameOrCode)
{
    for (const ChipType& type : chipTypes()) {
        if (sameIgnoringCase(type.name, nameOrCode) || type.code == nameOrCode)
            return &type;
    }
    return nullptr;
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
