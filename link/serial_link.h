// The serial link: opening and closing the port for one exchange, and serialinput, the
// reader through which every reply of the board is collected.
#pragma once

#include "panel.h"
#include "port.h"

#include <chrono>
#include <string>
#include <string_view>

namespace brindle::link {

// Longest wait for one reply. The slowest chip erase (AT89S52) takes about half a second.
inline constexpr std::chrono::milliseconds kReplyTimeout{3000};

class SerialLink {
public:
    SerialLink(Port& port, Panel& panel);

    void setTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }

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
    // the time limit. Sets reply and the window title.
    void serialinput(int wanted);

    // True when the last serialinput ended at the time limit.
    bool timedOut() const { return timedOut_; }

    std::string reply;

private:
    Port& port_;
    Panel& panel_;
    std::chrono::milliseconds timeout_ = kReplyTimeout;
    std::string carried_; // characters beyond the last reply, kept while the port stays open
    bool openFailed_ = false;
    bool timedOut_ = false;
};

} // namespace brindle::link
