#include "trace_replay.h"

#include "letters.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>

namespace brindle::board {

namespace {

struct Record {
    long long ms = 0;
    char direction = 0; // '>' the program sent, '<' it received
    std::string bytes;
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A byte line, nullopt for any other line. A line that starts like a byte line but does not
// go on like one sets *error.
std::optional<Record> parseRecord(std::string_view line, std::string* error)
{
    std::size_t i = line.find_first_not_of(' ');
    if (i == std::string_view::npos || !isDigit(line[i]))
        return std::nullopt;
    Record r;
    const std::size_t first = i;
    for (; i < line.size() && isDigit(line[i]) && i - first < 15; ++i)
        r.ms = r.ms * 10 + (line[i] - '0');
    if (i + 1 >= line.size() || line[i] != ' ' || (line[i + 1] != '>' && line[i + 1] != '<'))
        return std::nullopt;
    r.direction = line[i + 1];
    i += 2;
    while (i + 1 < line.size() && line[i] == ' ' && line[i + 1] != ' ' && line[i + 1] != '|') {
        const std::string_view token = line.substr(i + 1, line.find(' ', i + 1) - (i + 1));
        if (token.size() != 2 || protocol::hexDigitValue(token[0]) < 0 || protocol::hexDigitValue(token[1]) < 0) {
            *error = "'" + std::string(token) + "' is not a byte in hexadecimal";
            return std::nullopt;
        }
        r.bytes.push_back(static_cast<char>(protocol::hexDigitValue(token[0]) * 16 + protocol::hexDigitValue(token[1])));
        i += 3;
    }
    i = std::min(line.find_first_not_of(' ', i), line.size());
    if (r.bytes.empty() || (i < line.size() && line[i] != '|')) { // '|' begins the ASCII column
        *error = "a byte line without bytes in hexadecimal";
        return std::nullopt;
    }
    return r;
}

std::string describe(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    char text[16];
    if (byte >= 0x20 && byte < 0x7F)
        std::snprintf(text, sizeof text, "'%c' (%02X)", c, byte);
    else
        std::snprintf(text, sizeof text, "the byte %02X", byte);
    return text;
}

} // namespace

ParsedTrace parseTrace(std::string_view text)
{
    ParsedTrace result;
    long long lastSend = 0;
    int lineNumber = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = std::min(text.find('\n', pos), text.size());
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        std::string error;
        const std::optional<Record> r = parseRecord(line, &error);
        if (!error.empty())
            return {{}, "line " + std::to_string(lineNumber) + ": " + error};
        if (!r)
            continue;
        auto& exchanges = result.exchanges;
        const bool sent = r->direction == '>';
        if (exchanges.empty() || (sent && !exchanges.back().replies.empty()))
            exchanges.push_back({{}, {}, lineNumber});
        if (sent) {
            exchanges.back().sent += r->bytes;
            lastSend = r->ms;
        } else {
            // A trace of several runs starts its clock again: a reply is never due before its
            // request.
            const long long delay = std::clamp(r->ms - lastSend, 0LL, 24LL * 3600 * 1000);
            exchanges.back().replies.push_back({r->bytes, static_cast<int>(delay)});
        }
    }
    if (result.exchanges.empty())
        result.error = "no byte lines (\"  1234 > 49\"): is it the standard error of a run with BRINDLE_TRACE=1?";
    return result;
}

TraceReplay::TraceReplay(std::vector<TraceExchange> exchanges) : exchanges_(std::move(exchanges)) {}

std::vector<TraceReplay::Reply> TraceReplay::start()
{
    if (next_ == 0 && matched_ == 0 && !finished() && exchanges_[0].sent.empty())
        return completeExchange();
    return {};
}

std::vector<TraceReplay::Reply> TraceReplay::receive(char c)
{
    if (diverged_)
        return {};
    ++bytesIn_;
    while (!finished() && exchanges_[next_].sent.empty()) // start() was not asked
        ++next_;
    std::string why;
    if (finished()) {
        why = "byte " + std::to_string(bytesIn_) + " from the program, " + describe(c)
              + ", comes after the trace's last exchange";
    } else if (const TraceExchange& exchange = exchanges_[next_]; c != exchange.sent[matched_]) {
        why = "byte " + std::to_string(bytesIn_) + " from the program is " + describe(c) + " where the trace (line "
              + std::to_string(exchange.line) + ") has " + describe(exchange.sent[matched_]);
    }
    if (!why.empty()) {
        diverged_ = true;
        notice_ = "replay diverged: " + why + "; the board stays silent from here on";
        return {};
    }
    if (++matched_ < exchanges_[next_].sent.size())
        return {};
    return completeExchange();
}

std::string TraceReplay::takeNotice()
{
    return std::exchange(notice_, std::string());
}

std::vector<TraceReplay::Reply> TraceReplay::completeExchange()
{
    std::vector<Reply> replies = exchanges_[next_].replies;
    ++next_;
    matched_ = 0;
    if (finished())
        notice_ = "replay: all " + std::to_string(exchanges_.size()) + " exchanges of the trace answered";
    return replies;
}

} // namespace brindle::board
