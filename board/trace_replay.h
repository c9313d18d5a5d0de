// The board played back from a BRINDLE_TRACE recording: the program's sends are matched byte
// by byte against what it sent then, and each recorded reply goes out once every byte sent
// before it has come again. Pure: the transport turns delays into time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::board {

// What the program sent in one stretch of the trace, then what came back.
struct TraceExchange {
    struct Reply {
        std::string text; // one read of the program's, as traced
        int delayMs = 0;  // after the last byte sent before it
    };
    std::string sent; // empty only for replies traced before the program sent anything
    std::vector<Reply> replies;
    int line = 0;     // of the trace, where the exchange begins
};

struct ParsedTrace {
    std::vector<TraceExchange> exchanges;
    std::string error; // non-empty: the trace is damaged ("line 12: ...")
};

// Reads the byte lines of a trace ("    1234 > 49  |I|": time in ms, direction, hex bytes,
// and an ASCII column that is not read). Every other line (the port's openings and closings,
// whatever else went to standard error) is passed over.
[[nodiscard]] ParsedTrace parseTrace(std::string_view text);

class TraceReplay {
public:
    using Reply = TraceExchange::Reply;

    explicit TraceReplay(std::vector<TraceExchange> exchanges);

    // Replies recorded before the program sent anything, due at once.
    std::vector<Reply> start();
    // The program sent c: the replies this completes, each due delayMs after c. Once the
    // program's bytes differ from the trace's, or go beyond it, nothing more is answered.
    std::vector<Reply> receive(char c);

    bool diverged() const { return diverged_; }
    // Every recorded exchange has been answered.
    bool finished() const { return next_ == exchanges_.size(); }
    // A line for the operator when the replay diverged or finished, once; empty otherwise.
    std::string takeNotice();

private:
    std::vector<Reply> completeExchange();

    std::vector<TraceExchange> exchanges_;
    std::size_t next_ = 0;    // exchange whose sends are being matched
    std::size_t matched_ = 0; // of its sent bytes
    std::size_t bytesIn_ = 0; // everything the program sent, for messages
    bool diverged_ = false;
    std::string notice_;
};

} // namespace brindle::board
