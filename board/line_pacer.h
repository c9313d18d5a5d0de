// Line-rate timing of the simulated board's serial line, both ways: 19200 baud at 10 bits a
// character gives 1920 characters a second. Pure: the caller passes the clock readings.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace brindle::board {

class LinePacer {
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;

    struct Outgoing {
        char c;
        TimePoint due; // when it has fully crossed the line
    };

    static constexpr Clock::duration kCharTime = std::chrono::nanoseconds(1'000'000'000 / 1920);
    // A UART FIFO hands characters over a few at a time; so does the pacer, to spare the reader
    // 1920 wake-ups a second.
    static constexpr Clock::duration kBurstSpan = std::chrono::milliseconds(4);

    // paced false: characters take no time on the wire.
    explicit LinePacer(bool paced) : charTime_(paced ? kCharTime : Clock::duration::zero()) {}

    // A character read from the line at readAt: returns when the board can act on it, which is
    // once it has fully arrived and the board has finished its previous work.
    TimePoint arrive(TimePoint readAt);
    // Queues the board's reply, ready at readyAt; the board is busy until then.
    void send(std::string_view text, TimePoint readyAt);

    // When the board will have caught up with all it has read.
    TimePoint inputClock() const { return std::max(arrival_, busyUntil_); }
    TimePoint lastDeparture() const { return departure_; }

    std::size_t pendingOutput() const { return queue_.size(); }
    // The next burst: the queued characters due within kBurstSpan of the first, written at the
    // moment the last of them is due, so the end of a reply is never late.
    TimePoint nextBurstDue() const;
    std::string takeBurst();
    // Every queued character, for a receiver that groups them its own way (a USB adapter).
    std::deque<Outgoing> takeAll();

private:
    std::size_t burstLength() const;

    Clock::duration charTime_;
    TimePoint arrival_{};
    TimePoint busyUntil_{};
    TimePoint departure_{};
    std::deque<Outgoing> queue_;
};

} // namespace brindle::board
