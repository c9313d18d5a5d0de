#include "reply_limits.h"

#include <algorithm>

namespace brindle::link {

std::chrono::milliseconds ReplyLimits::forReply(int characters, Work work, double scale)
{
    std::chrono::milliseconds limit = kFloor + std::chrono::milliseconds(1000LL * std::max(characters, 0) / kCharsPerSecond + 1);
    switch (work) {
    case Work::None: break;
    case Work::Erase: limit += kErase; break;
    case Work::BlankCheck: limit += kBlankCheck; break;
    case Work::Program: limit += kProgram; break;
    }
    const double stretched = static_cast<double>(limit.count()) * std::max(scale, 0.01);
    return std::chrono::milliseconds(static_cast<long long>(std::min(stretched, 3600000.0)));
}

} // namespace brindle::link
