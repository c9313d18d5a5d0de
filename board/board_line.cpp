#include "board_line.h"

namespace brindle::board {

BoardLine::BoardLine(bool paced, const AdapterModel& adapter, TimePoint pluggedIn) : pacer_(paced)
{
    if (adapter.packetBytes > 0)
        adapter_.emplace(adapter, pluggedIn);
}

void BoardLine::send(std::string_view text, TimePoint readyAt)
{
    pacer_.send(text, readyAt);
    if (adapter_)
        for (const LinePacer::Outgoing& o : pacer_.takeAll())
            adapter_->carry(o.c, o.due);
}

std::size_t BoardLine::pendingOutput() const
{
    return adapter_ ? adapter_->pending() : pacer_.pendingOutput();
}

BoardLine::TimePoint BoardLine::nextDue() const
{
    return adapter_ ? adapter_->nextPacketDue() : pacer_.nextBurstDue();
}

std::string BoardLine::takeDue()
{
    return adapter_ ? adapter_->takePacket() : pacer_.takeBurst();
}

} // namespace brindle::board
