#include "usb_adapter.h"

#include <algorithm>

namespace brindle::board {

std::optional<AdapterModel> adapterModel(const std::string& name, int latencyMs)
{
    using std::chrono::milliseconds;
    // An FTDI packet is 64 bytes, two of them modem status; the timer is 16 ms unless the
    // driver sets another. The CH340's bulk endpoint takes 32 bytes, the PL2303's 64; neither
    // holds data back, so a byte reaches the host within a USB frame (1 ms).
    if (name == "none")
        return AdapterModel{};
    if (name == "ftdi")
        return AdapterModel{name, 62, milliseconds(latencyMs > 0 ? latencyMs : kDefaultFtdiLatencyMs)};
    if (name == "ch340")
        return AdapterModel{name, 32, milliseconds(1)};
    if (name == "pl2303")
        return AdapterModel{name, 64, milliseconds(1)};
    return std::nullopt;
}

UsbAdapter::UsbAdapter(const AdapterModel& model, TimePoint pluggedIn)
    : packetBytes_(std::max<std::size_t>(model.packetBytes, 1)),
      timer_(std::max<Clock::duration>(model.timer, std::chrono::microseconds(1))), lastPacket_(pluggedIn)
{
}

void UsbAdapter::carry(char c, TimePoint at)
{
    at = std::max(at, lastPacket_);
    if (!buffer_.empty() && at >= bufferDue())
        closePacket(bufferDue());
    if (buffer_.empty()) {
        // With nothing to send the timer still runs out, sends the status bytes alone and
        // starts again: the byte waits for the next expiry, not for a whole period.
        lastPacket_ += timer_ * ((at - lastPacket_) / timer_);
    }
    buffer_.push_back(c);
    ++pending_;
    if (buffer_.size() >= packetBytes_)
        closePacket(at);
}

UsbAdapter::TimePoint UsbAdapter::nextPacketDue() const
{
    if (!packets_.empty())
        return packets_.front().due;
    return buffer_.empty() ? TimePoint::max() : bufferDue();
}

std::string UsbAdapter::takePacket()
{
    if (packets_.empty() && !buffer_.empty())
        closePacket(bufferDue());
    if (packets_.empty())
        return {};
    std::string bytes = std::move(packets_.front().bytes);
    packets_.pop_front();
    pending_ -= bytes.size();
    return bytes;
}

void UsbAdapter::closePacket(TimePoint due)
{
    packets_.push_back({std::move(buffer_), due});
    buffer_.clear();
    lastPacket_ = due;
}

} // namespace brindle::board
