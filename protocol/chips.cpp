#include "chips.h"

#include <cctype>

namespace brindle::protocol {

int chipRowByCode(std::string_view code)
{
    for (std::size_t row = 0; row < kChips.size(); ++row)
        if (kChips[row].code == code)
            return static_cast<int>(row);
    return -1;
}

int chipRowByName(std::string_view nameOrCode)
{
    const int byCode = chipRowByCode(nameOrCode);
    if (byCode >= 0)
        return byCode;
    const auto sameLetters = [](std::string_view a, std::string_view b) {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
                return false;
        return true;
    };
    for (std::size_t row = 0; row < kChips.size(); ++row)
        if (sameLetters(kChips[row].name, nameOrCode))
            return static_cast<int>(row);
    return -1;
}

std::string_view chipNames()
{
    return "AT89C1051, AT89C2051, AT89C4051, AT89C51, AT89C52, AT89S8252, AT89S51, AT89S52, AT89C55WD";
}

} // namespace brindle::protocol
