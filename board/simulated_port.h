// The simulated board inside the program, behind the same port interface as a serial port:
// no pseudo-terminal, so it works wherever the program does. The board's replies become
// readable when they would have crossed the line (paced) or at once, and as the USB adapter of
// options.adapter hands them on; its working delays and faults are those of the board on a
// pseudo-terminal.
#pragma once

#include "board_options.h"
#include "board_line.h"
#include "port.h"
#include "simulated_board.h"

#include <memory>
#include <optional>
#include <string>

namespace brindle::board {

class SimulatedPort : public platform::Port {
public:
    // COM1 is the simulated board; COM2 is whatever `others` stands for (may be null).
    // options.chip and options.adapter must be known (see chipForOptions, adapterModel).
    SimulatedPort(const BoardOptions& options, std::unique_ptr<platform::Port> others = nullptr);
    ~SimulatedPort() override;

    // The name the board goes by in messages and listings.
    static constexpr const char* kDeviceName = "simulated board";

    void select(int commPort) override;
    int selected() const override { return commPort_; }
    std::string deviceName() const override;

    [[nodiscard]] std::optional<platform::OpenFailure> open() override;
    void close() override;
    bool isOpen() const override;

    void output(std::string_view text) override;
    std::string input() override;
    bool waitForInput(int msecs) override;

    const SimulatedBoard& board() const { return board_; }

private:
    using Clock = BoardLine::Clock;
    void deliverDue(Clock::time_point now);

    SimulatedBoard board_;
    BoardLine line_;
    std::unique_ptr<platform::Port> others_;
    int commPort_ = 1;
    bool open_ = false;
    bool hungUp_ = false; // the board closed the line: it answers no more
    std::optional<Clock::time_point> hangUpAt_;
    Clock::time_point lastInput_{};
    std::string arrived_; // delivered to the port, not yet read
};

} // namespace brindle::board
