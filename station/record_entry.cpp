#include "record_entry.h"

#include <algorithm>

namespace brindle::station {

RecordEntry recordEntry(const link::Outcome& outcome, const JobFacts& facts)
{
    RecordEntry entry;
    entry.port = facts.port;
    entry.chip = outcome.chip;
    entry.step = outcome.operation;
    entry.file = facts.file;
    entry.warning = facts.warning;
    if (facts.grid) {
        entry.imageBytes = std::clamp(facts.imageBytes, 0, image::kImageSize);
        entry.imageCrc32 = JobRecord::gridCrc32(*facts.grid, entry.imageBytes);
    }
    entry.result = outcome.result;
    entry.stopStatus = facts.stopStatus;
    entry.differingBytes = int(outcome.differences.size());
    entry.duration = facts.duration;
    return entry;
}

std::uint16_t gridSum16(const image::HexGrid& grid, int bytes)
{
    unsigned sum = 0;
    for (int address = 0; address < bytes && address < image::kImageSize; ++address) {
        const std::string& cell = grid.text(image::rowOf(address), image::columnOf(address));
        if (cell.size() == 2 && image::isHexDigit(cell[0]) && image::isHexDigit(cell[1]))
            sum += image::readHexField(cell);
    }
    return static_cast<std::uint16_t>(sum);
}

} // namespace brindle::station
