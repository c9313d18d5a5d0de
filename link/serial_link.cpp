#include "serial_link.h"

#include "port_advice.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace brindle::link {

namespace {

using Clock = std::chrono::steady_clock;

// How often a waiting window gets the chance to repaint, and a stop asked for is seen.
constexpr std::chrono::milliseconds kIdlePeriod{30};
// How long an answer cut short by a stop is waited for: a block's time on the line and more,
// so the next job finds a quiet line, well within the tenth of a second a stop may take.
constexpr std::chrono::milliseconds kDrainLimit{40};
// How long after a status letter a further character still counts as part of the reply: more
// than an FTDI adapter's 16 ms latency timer holds a byte back (the letters may come in two
// packets), with room for a busy machine that wakes the reader late; little against the
// board's own work, and short enough that a stop still ends an operation within 100 ms.
constexpr std::chrono::milliseconds kSettleMargin{30};

std::size_t lineEnd(const std::string& text) { return text.find_first_of("\r\n"); }

bool traceFromEnvironment()
{
    const char* value = std::getenv("BRINDLE_TRACE");
    return value && *value && std::strcmp(value, "0") != 0;
}

} // namespace

SerialLink::SerialLink(platform::Port& port, TransferMonitor& monitor, Panel* panel)
    : port_(port), monitor_(monitor), panel_(panelOrNone(panel)), trace_(traceFromEnvironment()), traceStart_(Clock::now())
{
}

void SerialLink::selectPort(int commPort)
{
    if (!port_.isOpen())
        port_.select(commPort);
}

int SerialLink::commPort() const { return port_.selected(); }

std::string SerialLink::comName() const { return "COM" + std::to_string(port_.selected()); }

void SerialLink::beginAction()
{
    openFailed_ = false;
    openProblem_.reset();
}

bool SerialLink::open()
{
    if (openFailed_)
        return false;
    carried_.clear();
    silent_ = false;
    lineFeedDue_ = false;
    const std::optional<platform::OpenFailure> failure = advised(port_.open());
    if (trace_) {
        std::fprintf(stderr, "[%s open %s%s]\n", comName().c_str(), port_.deviceName().c_str(),
                     failure ? ": failed" : "");
        traceLatency();
    }
    if (!failure) {
        // Whatever an earlier opening left unread (a pseudo-terminal keeps it) is no reply to
        // what this opening sends.
        (void)input();
        return true;
    }
    openFailed_ = true;
    const std::string device = port_.deviceName().empty() ? "no device" : port_.deviceName();
    std::string text = "Cannot open " + comName() + " (" + device + "): " + failure->reason + ".";
    if (!failure->advice.empty())
        text += "\n\n" + failure->advice;
    openProblem_ = PortProblem{port_.deviceName(), failure->reason, failure->advice};
    panel_.messageBox(text, Icon::Critical, "PORT");
    return false;
}

void SerialLink::close()
{
    carried_.clear();
    silent_ = false;
    lineFeedDue_ = false;
    const bool traced = trace_ && port_.isOpen();
    if (traced)
        std::fprintf(stderr, "[%s close]\n", comName().c_str());
    port_.close();
    if (traced)
        traceLatency();
}

void SerialLink::traceLatency() const
{
    const std::string note = port_.latency().note;
    if (!note.empty())
        std::fprintf(stderr, "[%s low latency: %s]\n", comName().c_str(), note.c_str());
}

void SerialLink::output(std::string_view text)
{
    traceBytes(">", text);
    port_.output(text);
}

std::string SerialLink::input()
{
    std::string text = port_.input();
    traceBytes("<", text);
    return text;
}

Reply SerialLink::serialinput(int wanted, Work work)
{
    const auto limit = fixedTimeout_.count() > 0 ? fixedTimeout_ : ReplyLimits::forReply(wanted, work, timeoutScale_);
    const bool wasSilent = silent_;
    Reply reply;
    const std::string received = collect(static_cast<std::size_t>(std::max(wanted, 0)), limit, reply);

    const std::size_t end = lineEnd(received);
    reply.text = received.substr(0, end);
    // The board may send its next letter right behind a reply (a READ's status after the
    // last block); it belongs to the next call.
    if (reply.text.size() > static_cast<std::size_t>(std::max(wanted, 0)))
        carried_ = reply.text.substr(static_cast<std::size_t>(wanted));
    // A board that ends a reply with CR LF may have the LF arrive in a later read; the pair is
    // one line end, not the start of an empty next reply.
    lineFeedDue_ = end != std::string::npos && end + 1 == received.size() && received[end] == '\r';
    lineEnded_ = end != std::string::npos;
    if (reply.timedOut && !wasSilent)
        silenceLimit_ = limit;

    panel_.setTitle(reply.timedOut || reply.lost ? silenceTitle(received, reply) : reply.text);
    return reply;
}

void SerialLink::drain()
{
    const auto deadline = Clock::now() + kDrainLimit;
    bool arrived = false;
    while (port_.isOpen()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        // Once something came, a pause of a few characters' time ends it.
        if (!port_.waitForInput(static_cast<int>(arrived ? std::min<long long>(left.count(), 8) : left.count())) && arrived)
            break;
        arrived = !input().empty() || arrived;
    }
    carried_.clear();
}

void SerialLink::settle(Reply& reply)
{
    if (reply.stalled() || lineEnded_)
        return;
    // What the last read brought beyond the wanted characters is in the reply already.
    carried_.clear();
    const auto charTime = std::chrono::microseconds(charsPerSecond_ > 0 ? 1000000 / charsPerSecond_ : 0);
    const auto deadline = Clock::now() + kSettleMargin + charTime;
    std::string more;
    while (lineEnd(more) == std::string::npos && port_.isOpen()) {
        if (interrupt_ && interrupt_->load()) {
            reply.interrupted = true;
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        port_.waitForInput(static_cast<int>(std::min(left, kIdlePeriod).count()));
        std::string arrived = input();
        if (lineFeedDue_ && !arrived.empty()) {
            if (arrived.front() == '\n')
                arrived.erase(0, 1);
            lineFeedDue_ = false;
        }
        more += arrived;
    }
    const std::size_t end = lineEnd(more);
    lineFeedDue_ = end != std::string::npos && end + 1 == more.size() && more[end] == '\r';
    lineEnded_ = end != std::string::npos;
    if (more.empty())
        return;
    reply.text += more.substr(0, end);
    panel_.setTitle(reply.text);
}

// Accumulates characters until `wanted` have arrived, a line end has, or the time is up.
std::string SerialLink::collect(std::size_t wanted, std::chrono::milliseconds timeout, Reply& reply)
{
    std::string received = std::move(carried_);
    carried_.clear();

    const auto deadline = Clock::now() + timeout;
    bool napped = false;
    for (;;) {
        std::string arrived = input();
        if (lineFeedDue_ && !arrived.empty()) {
            if (arrived.front() == '\n')
                arrived.erase(0, 1);
            lineFeedDue_ = false;
        }
        received += arrived;
        if (received.size() >= wanted || lineEnd(received) != std::string::npos)
            return received;
        if (!port_.isOpen()) {
            reply.lost = true;
            return received;
        }
        if (interrupt_ && interrupt_->load()) {
            reply.interrupted = true;
            return received;
        }
        const auto now = Clock::now();
        if (silent_ || now >= deadline) {
            // Once a reply has timed out the board is taken as gone for this opening of
            // the port: the rest of the exchange takes only what is already waiting.
            reply.timedOut = silent_ = true;
            return received;
        }
        if (now - lastIdle_ >= kIdlePeriod) {
            monitor_.idle();
            lastIdle_ = Clock::now();
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        const std::size_t missing = wanted - received.size();
        if (!received.empty() && missing > 1 && charsPerSecond_ > 0 && !napped) {
            // The rest of a block comes at line rate: sleep until all but its last
            // character are due, then wait for that one, instead of waking per character.
            const auto due = std::chrono::microseconds(1000000LL * static_cast<long long>(missing - 1)
                                                       / charsPerSecond_);
            std::this_thread::sleep_for(std::min<std::chrono::microseconds>({due, kIdlePeriod, left}));
            napped = true;
            continue;
        }
        napped = false;
        port_.waitForInput(static_cast<int>(std::clamp<long long>(left.count(), 1, kIdlePeriod.count())));
    }
}

std::string SerialLink::silenceTitle(const std::string& received, const Reply& reply) const
{
    const std::string who = "The programmer on " + comName() + " (" + port_.deviceName() + ")";
    if (reply.lost)
        return who + " was disconnected";
    if (received.empty() || lineEnd(received) == 0)
        return who + " did not answer";
    return who + " gave an incomplete answer: " + reply.text;
}

void SerialLink::traceBytes(const char* direction, std::string_view bytes) const
{
    if (!trace_ || bytes.empty())
        return;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - traceStart_);
    // Hex for the replay to read, then the same bytes as text for a person (others as '.').
    std::string line, text;
    for (unsigned char c : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", c);
        line += hex;
        text += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '.';
    }
    std::fprintf(stderr, "%8lld %s%s  |%s|\n", static_cast<long long>(ms.count()), direction, line.c_str(),
                 text.c_str());
}

} // namespace brindle::link
