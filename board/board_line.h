// The board's serial line as the program receives it: the line-rate pacing of the board's UART,
// then the USB adapter, if there is one, between the line and the program. Both transports (the
// pseudo-terminal and the in-process port) hand the program what this says is due.
#pragma once

#include "line_pacer.h"
#include "usb_adapter.h"

#include <optional>

namespace brindle::board {

class BoardLine {
public:
    using Clock = LinePacer::Clock;
    using TimePoint = LinePacer::TimePoint;

    BoardLine(bool paced, const AdapterModel& adapter, TimePoint pluggedIn = Clock::now());

    // As LinePacer's: what the program sends reaches the board directly.
    TimePoint arrive(TimePoint readAt) { return pacer_.arrive(readAt); }
    void send(std::string_view text, TimePoint readyAt);
    TimePoint inputClock() const { return pacer_.inputClock(); }
    TimePoint lastDeparture() const { return pacer_.lastDeparture(); }
    // Letters that trail a reply leave this long after it, more than a burst spans: they reach
    // the program in a read of their own.
    static constexpr std::chrono::milliseconds kTrailingGap{5};

    // What the board has sent that the program has not been handed yet.
    std::size_t pendingOutput() const;
    // When the next piece of it is handed over; TimePoint::max() when nothing waits.
    TimePoint nextDue() const;
    // That piece: a burst off the line, or the adapter's packet. Only once it is due.
    std::string takeDue();

private:
    LinePacer pacer_;
    std::optional<UsbAdapter> adapter_;
};

} // namespace brindle::board
