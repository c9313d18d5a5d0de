// The USB serial adapter between the board's line and the program. It does not pass each byte
// on as it comes: it gathers them and hands them to the host in USB packets, one when a packet's
// worth is waiting or when its timer runs out. Pure: the caller passes the clock readings.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>

namespace brindle::board {

struct AdapterModel {
    std::string name = "none";
    std::size_t packetBytes = 0;        // data bytes in a full packet; 0: no adapter, bytes pass at once
    std::chrono::microseconds timer{0}; // a packet goes at the latest this long after the last one
};

// The names --adapter takes, for help and messages.
constexpr const char* kAdapterNames = "none, ftdi, ch340, pl2303";
constexpr int kDefaultFtdiLatencyMs = 16;

// The adapter a name stands for; latencyMs is the ftdi adapter's timer (0: the default).
// nullopt for an unknown name.
[[nodiscard]] std::optional<AdapterModel> adapterModel(const std::string& name, int latencyMs = 0);

class UsbAdapter {
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;

    // pluggedIn: when the adapter's timer began to run. model.packetBytes must not be 0.
    UsbAdapter(const AdapterModel& model, TimePoint pluggedIn);

    // A character that has fully arrived from the board's line at `at`, never earlier than the
    // one before it.
    void carry(char c, TimePoint at);

    std::size_t pending() const { return pending_; }
    // When the next packet reaches the host; TimePoint::max() when nothing waits.
    TimePoint nextPacketDue() const;
    // The next packet; only once it is due.
    std::string takePacket();

private:
    struct Packet {
        std::string bytes;
        TimePoint due;
    };
    TimePoint bufferDue() const { return lastPacket_ + timer_; }
    void closePacket(TimePoint due);

    std::size_t packetBytes_;
    Clock::duration timer_;
    TimePoint lastPacket_; // the timer restarts with every packet, an empty one included
    std::string buffer_;   // waiting in the adapter, in no packet yet
    std::deque<Packet> packets_;
    std::size_t pending_ = 0;
};

} // namespace brindle::board
