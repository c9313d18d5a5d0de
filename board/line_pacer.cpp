#include "line_pacer.h"

#include <algorithm>
#include <utility>

namespace brindle::board {

LinePacer::TimePoint LinePacer::arrive(TimePoint readAt)
{
    arrival_ = std::max(readAt, arrival_) + charTime_;
    return inputClock();
}

void LinePacer::send(std::string_view text, TimePoint readyAt)
{
    busyUntil_ = std::max(busyUntil_, readyAt);
    for (char c : text) {
        departure_ = std::max(readyAt, departure_) + charTime_;
        queue_.push_back({c, departure_});
    }
}

std::size_t LinePacer::burstLength() const
{
    if (queue_.empty())
        return 0;
    const TimePoint limit = queue_.front().due + kBurstSpan;
    std::size_t n = 1;
    while (n < queue_.size() && queue_[n].due <= limit)
        ++n;
    return n;
}

LinePacer::TimePoint LinePacer::nextBurstDue() const
{
    const std::size_t n = burstLength();
    return n == 0 ? TimePoint::max() : queue_[n - 1].due;
}

std::string LinePacer::takeBurst()
{
    const std::size_t n = burstLength();
    std::string burst;
    burst.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        burst.push_back(queue_[i].c);
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(n));
    return burst;
}

std::deque<LinePacer::Outgoing> LinePacer::takeAll()
{
    return std::exchange(queue_, {});
}

} // namespace brindle::board
