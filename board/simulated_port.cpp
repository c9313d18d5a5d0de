#include "simulated_port.h"

#include <algorithm>
#include <thread>

namespace brindle::board {

namespace {

// As on the pseudo-terminal: a write block that stops half-way is dropped after this much
// silence, so the next operation finds the board listening for commands again.
constexpr std::chrono::milliseconds kIdleBlockTimeout{1000};

} // namespace

SimulatedPort::SimulatedPort(const BoardOptions& options, std::unique_ptr<platform::Port> others)
    : board_(options), line_(options.pacing, adapterModel(options.adapter, options.latencyMs).value_or(AdapterModel{})),
      others_(std::move(others))
{
}

SimulatedPort::~SimulatedPort() { close(); }

void SimulatedPort::select(int commPort)
{
    if (isOpen() || (commPort != 1 && commPort != 2))
        return;
    commPort_ = commPort;
    if (others_)
        others_->select(commPort);
}

std::string SimulatedPort::deviceName() const
{
    if (commPort_ == 1)
        return kDeviceName;
    return others_ ? others_->deviceName() : std::string();
}

std::optional<platform::OpenFailure> SimulatedPort::open()
{
    if (commPort_ != 1) {
        if (others_)
            return others_->open();
        return platform::OpenFailure{"no serial port was found for COM2", {}};
    }
    if (hungUp_)
        return platform::OpenFailure{"the simulated board has hung up", "Start the program again."};
    open_ = true;
    return std::nullopt;
}

void SimulatedPort::close()
{
    if (commPort_ != 1) {
        if (others_)
            others_->close();
        return;
    }
    open_ = false;
}

bool SimulatedPort::isOpen() const
{
    if (commPort_ != 1)
        return others_ && others_->isOpen();
    return open_;
}

void SimulatedPort::output(std::string_view text)
{
    if (commPort_ != 1) {
        if (others_)
            others_->output(text);
        return;
    }
    if (!open_ || hangUpAt_)
        return;
    const Clock::time_point now = Clock::now();
    if (board_.inMiddleOfBlock() && now - lastInput_ >= kIdleBlockTimeout)
        board_.lineIdle();
    lastInput_ = now;
    for (char c : text) {
        const Clock::time_point at = line_.arrive(now);
        const SimulatedBoard::Response response = board_.receive(c);
        const Clock::time_point ready = at + std::chrono::milliseconds(response.delayMs);
        line_.send(response.text, ready);
        if (!response.trailing.empty())
            line_.send(response.trailing, std::max(ready, line_.lastDeparture()) + BoardLine::kTrailingGap);
        if (response.hangUp) {
            hangUpAt_ = std::max(ready, line_.lastDeparture());
            break;
        }
    }
}

// Moves what has crossed the line by now to the port's side; past a hang-up, closes it.
void SimulatedPort::deliverDue(Clock::time_point now)
{
    while (line_.pendingOutput() > 0 && line_.nextDue() <= now)
        arrived_ += line_.takeDue();
    if (hangUpAt_ && *hangUpAt_ <= now && line_.pendingOutput() == 0 && arrived_.empty()) {
        hungUp_ = true;
        open_ = false;
    }
}

std::string SimulatedPort::input()
{
    if (commPort_ != 1)
        return others_ ? others_->input() : std::string();
    if (!open_)
        return {};
    deliverDue(Clock::now());
    std::string text;
    text.swap(arrived_);
    return text;
}

bool SimulatedPort::waitForInput(int msecs)
{
    if (commPort_ != 1)
        return others_ && others_->waitForInput(msecs);
    if (!open_)
        return false;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(std::max(msecs, 0));
    for (;;) {
        const Clock::time_point now = Clock::now();
        deliverDue(now);
        if (!arrived_.empty())
            return true;
        if (!open_ || now >= until)
            return false;
        Clock::time_point wake = until;
        if (line_.pendingOutput() > 0)
            wake = std::min(wake, line_.nextDue());
        else if (hangUpAt_)
            wake = std::min(wake, *hangUpAt_);
        std::this_thread::sleep_until(wake);
    }
}

} // namespace brindle::board
