// The chips the board identifies, in the order their codes are tested. The program and the
// simulated board both read this table, so a size or a code cannot differ between them.
#pragma once

#include <array>
#include <string_view>

namespace brindle::protocol {

struct Chip {
    std::string_view code;    // what the board answers to "I"
    std::string_view name;    // part number
    std::string_view control; // name of the window's option button
    std::string_view caption;
    int size;                 // bytes of code flash (deviceSize)
};

inline constexpr std::array<Chip, 9> kChips{{
    {"11", "AT89C1051", "AT89C1051", "AT89C1051   - 20P  (1KB)", 1024},
    {"21", "AT89C2051", "AT89C2051", "AT89C2051   - 20P  (2KB)", 2048},
    {"41", "AT89C4051", "AT89C4051", "AT89C4051   - 20P  (4KB)", 4096},
    {"51", "AT89C51", "AT89C8051", "AT89C51      - 40P  (4KB)", 4096},
    {"52", "AT89C52", "AT89C8052", "AT89C52      - 40P  (8KB)", 8192},
    {"72", "AT89S8252", "AT89S8252", "AT89S8252   - 40P  (8KB + 2KB)", 10240},
    {"61", "AT89S51", "AT89S51", "AT89S51      - 40P (4KB)", 4096},
    {"62", "AT89S52", "AT89S52", "AT89S52      - 40P (8KB)", 8192},
    {"55", "AT89C55WD", "AT89C55WD", "AT89C55WD - 40P (20KB)", 20480},
}};

// The table's row whose code equals `code` exactly, or -1.
int chipRowByCode(std::string_view code);
// By part number (any case) or identification code; -1 when unknown.
int chipRowByName(std::string_view nameOrCode);
// The part numbers, comma-separated, for messages.
std::string_view chipNames();

} // namespace brindle::protocol
