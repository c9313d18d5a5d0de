// One chip in the board's socket: its flash array and lock bits, with the behaviour of real
// flash (erase sets every bit, programming can only clear them).
#pragma once

#include "chips.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace brindle::board {

// The chip table is the one the program reads.
using ChipType = protocol::Chip;

// The nine chips the board can identify.
const std::array<ChipType, 9>& chipTypes();
// By part number (any case) or identification code; nullptr when unknown.
const ChipType* findChipType(std::string_view nameOrCode);

class FlashChip {
public:
    explicit FlashChip(const ChipType& type);

    const ChipType& type() const { return *type_; }
    int size() const { return static_cast<int>(flash_.size()); }

    // Sets every byte to FF and clears the lock bits.
    void erase();
    bool isBlank() const;

    // Programs count bytes from address: each cell keeps only the bits that both the cell and
    // the data have set. False when lock bit 1 forbids programming, when the range leaves the
    // chip, or when a byte would need a 0 turned back into a 1 (that byte then holds old & new).
    [[nodiscard]] bool program(int address, const std::uint8_t* data, int count);

    // What a read of the address returns: the cell, or FF while lock bit 2 disables reading
    // (and outside the chip).
    std::uint8_t read(int address) const;
    std::uint8_t cell(int address) const { return flash_.at(static_cast<std::size_t>(address)); }

    // bit is 1, 2 or 3; other numbers are ignored.
    void setLockBit(int bit);
    bool lockBit(int bit) const;
    bool readProtected() const { return lockBit(2); }

private:
    const ChipType* type_;
    std::vector<std::uint8_t> flash_;
    std::array<bool, 3> lockBits_{};
};

} // namespace brindle::board
