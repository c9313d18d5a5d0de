// The serial link: opening and closing the port for one exchange, and serialinput, the
// reader through which every reply of the board is collected.
#pragma once

#include "outcome.h"
#include "panel.h"
#include "port.h"
#include "reply_limits.h"
#include "transfer_monitor.h"

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace brindle::link {

// What one serialinput collected, and how the wait for it ended.
struct Reply {
    std::string text; // `reply`: up to the first line end
    bool timedOut = false;
    bool lost = false;        // the port went away
    bool interrupted = false; // a stop was asked for
    // The board is not following the exchange: there is no point sending it more.
    bool stalled() const { return timedOut || lost || interrupted; }
    bool is(char letter) const { return text.size() == 1 && text[0] == letter; }
};

class SerialLink {
public:
    // panel: null where the front end reports from the outcome alone.
    SerialLink(platform::Port& port, TransferMonitor& monitor, Panel* panel);

    // One fixed limit for every reply instead of the limits by the board's work (tests).
    void setTimeout(std::chrono::milliseconds timeout) { fixedTimeout_ = timeout; }
    // Stretches every limit, for a board slower than the usual ones.
    void setTimeoutScale(double scale) { timeoutScale_ = scale; }
    // Characters a second on the line (19200 baud, 10 bits a character). A block that has
    // begun to arrive is slept through at this rate instead of waking per character; 0
    // wakes at every arrival.
    void setLineRate(int charsPerSecond) { charsPerSecond_ = charsPerSecond; }

    // Option1_Click / Option2_Click.
    void selectPort(int commPort);
    int commPort() const;
    std::string comName() const; // "COM1"

    // A new operator action: an earlier failure to open the port is forgotten.
    void beginAction();

    // PortOpen = true. On failure the operator is told once per action (one critical box)
    // and false is returned: the caller skips its exchange.
    [[nodiscard]] bool open();
    // PortOpen = false. Characters carried between replies are dropped.
    void close();

    void output(std::string_view text);
    // Input: whatever is waiting, read once.
    std::string input();

    // Collects one reply of `wanted` characters, or up to a line end, or what arrived by
    // the time limit, which allows for the chip work the board does first. The window title
    // shows it.
    [[nodiscard]] Reply serialinput(int wanted, Work work = Work::None);
    // After a status letter, given the reply the last serialinput returned: whatever the board
    // sends within a character's time and a margin joins it, so a letter too many is seen
    // whether or not it came in the same read.
    void settle(Reply& reply);

    // Set by another thread (a stop signal) to end any wait for the board at once; null: never.
    void setInterruptFlag(const std::atomic<bool>* flag) { interrupt_ = flag; }
    // After a wait cut short: the answer the board may be sending already is taken off the line
    // (a short while at most), so that the next opening of the port does not take it for its own.
    void drain();

    // True when the port could not be opened in this action (the operator was told).
    bool openFailed() const { return openFailed_; }
    // Why the port did not open in this action, as data.
    const std::optional<PortProblem>& openProblem() const { return openProblem_; }
    // The device the selected COM stands for.
    std::string deviceName() const { return port_.deviceName(); }
    // The time limit of the reply that found the board silent in this opening of the port.
    std::chrono::milliseconds silenceLimit() const { return silenceLimit_; }

    // Every character at the port boundary, in hex and ASCII with its direction, to stderr
    // (brindle-board --replay reads it back), and what the port asked of the system for low
    // latency. Also switched on by the environment variable BRINDLE_TRACE=1.
    void setTrace(bool on) { trace_ = on; }

private:
    // Sets how the wait ended in `reply`; its text is left to the caller.
    std::string collect(std::size_t wanted, std::chrono::milliseconds timeout, Reply& reply);
    void traceBytes(const char* direction, std::string_view bytes) const;
    // What the port asked of the system for low latency and found, at opening or closing.
    void traceLatency() const;
    std::string silenceTitle(const std::string& received, const Reply& reply) const;

    platform::Port& port_;
    TransferMonitor& monitor_;
    Panel& panel_;
    std::chrono::milliseconds fixedTimeout_{0}; // 0: by the board's work
    double timeoutScale_ = 1.0;
    std::optional<PortProblem> openProblem_;
    std::chrono::milliseconds silenceLimit_{0};
    std::string carried_; // characters beyond the last reply, kept while the port stays open
    bool openFailed_ = false;
    bool silent_ = false; // a reply timed out since the port was opened
    bool lineEnded_ = false; // the last reply ended at a line end: nothing more belongs to it
    const std::atomic<bool>* interrupt_ = nullptr;
    bool lineFeedDue_ = false; // the last reply ended at a CR whose LF has not come yet
    bool trace_ = false;
    int charsPerSecond_ = 1920;
    std::chrono::steady_clock::time_point lastIdle_{};
    std::chrono::steady_clock::time_point traceStart_;
};

} // namespace brindle::link
