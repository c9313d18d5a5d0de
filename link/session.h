// What the board operations remember between them: the chip found by the last identification
// and the length WRITE sends. Each front end owns one.
#pragma once

#include "chips.h"

namespace brindle::link {

struct Session {
    int deviceSize = 0;    // bytes of the identified chip; 0: none identified
    int programLength = 0; // bytes WRITE sends, a multiple of 32
    int chipRow = -1;      // the chip table's row of the identified chip, -1 for none

    const protocol::Chip* chip() const
    {
        return chipRow < 0 ? nullptr : &protocol::kChips[static_cast<std::size_t>(chipRow)];
    }
};

} // namespace brindle::link
