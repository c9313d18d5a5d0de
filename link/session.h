// What the board operations remember between them: the chip found by the last identification
// and the length WRITE sends. Each front end owns one.
#pragma once

#include "chips.h"

namespace brindle::link {

struct Session {
    int deviceSize = 0;    // bytes of the identified chip; 0: none identified
    int programLength = 0; // bytes WRITE sends, a multiple of 32
    const protocol::Chip* chip = nullptr; // the identified chip; null: none
};

} // namespace brindle::link
