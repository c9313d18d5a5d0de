#include "pty_board.h"

#include "board_line.h"
#include "precise_wait.h"
#include "simulated_board.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace brindle::board {

namespace {

using Clock = BoardLine::Clock;
using TimePoint = BoardLine::TimePoint;
using std::chrono::milliseconds;

// A write block that stops half-way is dropped after this much silence, so the next operation
// of the program finds the board listening for commands again.
constexpr Clock::duration kIdleBlockTimeout = milliseconds(1000);
// How far ahead of the wire the board may read, and how much it may have queued to send:
// beyond that the pseudo-terminal's own buffer holds the program's characters, as a UART would.
constexpr Clock::duration kReadAhead = milliseconds(35);
constexpr std::size_t kMaxQueuedOutput = 2048;
constexpr Clock::duration kSpinWindow = std::chrono::microseconds(200);
// Closing the master throws away what the program has not read yet; a hang-up waits this long
// at most for the program to take the replies sent before it.
constexpr Clock::duration kHangUpGrace = milliseconds(1000);

std::string systemError(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

// poll() counts whole milliseconds and would make replies late by up to one.
int waitForLine(pollfd* fds, std::optional<Clock::duration> timeout)
{
    return platform::pollPrecisely(fds, 2, timeout);
}

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

struct PtyBoard::Impl {
    int master = -1;
    int slave = -1; // held open so the master sees no hang-up while the program's port is closed
    int wakeRead = -1;
    int wakeWrite = -1;
    std::string path;
    std::thread thread;
    std::atomic<bool> serving{false};

    std::optional<SimulatedBoard> board;
    std::optional<TraceReplay> replay; // in place of the board
    std::function<void(const std::string&)> notice;
    std::optional<BoardLine> line;
    std::optional<TimePoint> hangUpAt;
    TimePoint lastInput{};
    TimePoint lastOutput{};

    bool openLine(std::string* error);
    void closeAll();
    void serve();
    bool readInput();
    void replayCharacter(char c, TimePoint at);
    bool writeDue(TimePoint now);
    bool drained(TimePoint now) const;
    std::optional<TimePoint> nextDeadline(TimePoint now, bool canRead) const;
};

bool PtyBoard::Impl::openLine(std::string* error)
{
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        *error = systemError("cannot create a pseudo-terminal");
        return false;
    }
    const char* name = ::ptsname(master);
    if (!name) {
        *error = systemError("cannot name the pseudo-terminal");
        return false;
    }
    path = name;
    slave = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    termios raw{};
    if (slave < 0 || ::tcgetattr(slave, &raw) != 0) {
        *error = systemError("cannot open the pseudo-terminal");
        return false;
    }
    ::cfmakeraw(&raw);
    ::cfsetispeed(&raw, B19200);
    ::cfsetospeed(&raw, B19200);
    int fds[2];
    if (::tcsetattr(slave, TCSANOW, &raw) != 0 || ::pipe(fds) != 0) {
        *error = systemError("cannot set up the pseudo-terminal");
        return false;
    }
    wakeRead = fds[0];
    wakeWrite = fds[1];
    for (int fd : {master, slave, wakeRead, wakeWrite})
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    return true;
}

void PtyBoard::Impl::closeAll()
{
    closeFd(master);
    closeFd(slave);
    closeFd(wakeRead);
    closeFd(wakeWrite);
}

bool PtyBoard::Impl::readInput()
{
    char buffer[256];
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n < 0)
        return errno == EAGAIN || errno == EINTR;
    const TimePoint readAt = Clock::now();
    lastInput = readAt;
    for (ssize_t i = 0; i < n && !hangUpAt; ++i) {
        const TimePoint at = line->arrive(readAt);
        if (replay) {
            replayCharacter(buffer[i], at);
            continue;
        }
        const SimulatedBoard::Response response = board->receive(buffer[i]);
        const TimePoint ready = at + milliseconds(response.delayMs);
        line->send(response.text, ready);
        if (!response.trailing.empty())
            line->send(response.trailing, std::max(ready, line->lastDeparture()) + BoardLine::kTrailingGap);
        if (response.hangUp)
            hangUpAt = std::max(ready, line->lastDeparture());
    }
    return n > 0;
}

void PtyBoard::Impl::replayCharacter(char c, TimePoint at)
{
    for (const TraceReplay::Reply& reply : replay->receive(c))
        line->send(reply.text, at + milliseconds(reply.delayMs));
    if (const std::string text = replay->takeNotice(); !text.empty() && notice)
        notice(text);
}

// Writes every burst (or adapter packet) that is due. Characters the pseudo-terminal cannot take
// (nobody reads the port) are lost, as on a real line.
bool PtyBoard::Impl::writeDue(TimePoint now)
{
    while (line->pendingOutput() > 0 && line->nextDue() <= now) {
        const std::string burst = line->takeDue();
        if (::write(master, burst.data(), burst.size()) < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        lastOutput = now;
    }
    return true;
}

// True once the program has read all that was sent (give the kernel a moment to move the last
// burst across), or once it has had long enough.
bool PtyBoard::Impl::drained(TimePoint now) const
{
    int waiting = 0;
    if (::ioctl(slave, FIONREAD, &waiting) != 0)
        return true;
    return (waiting == 0 && now - lastOutput >= milliseconds(10)) || now - *hangUpAt >= kHangUpGrace;
}

std::optional<TimePoint> PtyBoard::Impl::nextDeadline(TimePoint now, bool canRead) const
{
    std::optional<TimePoint> deadline;
    auto consider = [&deadline](TimePoint t) {
        if (!deadline || t < *deadline)
            deadline = t;
    };
    if (line->pendingOutput() > 0)
        consider(line->nextDue());
    else if (hangUpAt)
        consider(*hangUpAt);
    if (board && board->inMiddleOfBlock())
        consider(lastInput + kIdleBlockTimeout);
    if (!canRead && !hangUpAt && line->inputClock() > now + kReadAhead)
        consider(line->inputClock() - kReadAhead);
    return deadline;
}

void PtyBoard::Impl::serve()
{
    // The default slack on every wake-up would add up over a transfer's round trips.
    platform::wakeUpPrecisely();
    for (;;) {
        TimePoint now = Clock::now();
        if (!writeDue(now))
            break;
        if (hangUpAt && line->pendingOutput() == 0 && *hangUpAt <= now) {
            if (drained(now))
                break;
            std::this_thread::sleep_for(milliseconds(2));
            continue;
        }
        if (board && board->inMiddleOfBlock() && now - lastInput >= kIdleBlockTimeout)
            board->lineIdle();
        const bool canRead = !hangUpAt && line->inputClock() <= now + kReadAhead
                             && line->pendingOutput() < kMaxQueuedOutput;
        std::optional<TimePoint> deadline = nextDeadline(now, canRead);
        if (deadline && *deadline - now <= kSpinWindow) {
            // A wake-up from sleep comes tens of microseconds late, and a transfer has one
            // per block: the last stretch before a reply is due is waited out awake.
            while (Clock::now() < *deadline)
                std::this_thread::yield();
            continue;
        }
        if (deadline)
            *deadline -= kSpinWindow;
        pollfd fds[2] = {{wakeRead, POLLIN, 0}, {master, short(canRead ? POLLIN : 0), 0}};
        if (waitForLine(fds, deadline ? std::optional<Clock::duration>(*deadline - now) : std::nullopt) < 0
            && errno != EINTR)
            break;
        if (fds[0].revents != 0)
            return; // stop() asked; it closes the line
        if ((fds[1].revents & (POLLIN | POLLHUP | POLLERR)) && !readInput())
            break;
    }
    // Hang-up, or the line failed: the program's reads on the slave now fail.
    serving = false;
    closeFd(master);
    closeFd(slave);
}

PtyBoard::PtyBoard() : impl_(std::make_unique<Impl>()) {}

PtyBoard::~PtyBoard()
{
    stop();
}

bool PtyBoard::start(const BoardOptions& options, std::string* error)
{
    bool known = false;
    chipForOptions(options, &known);
    if (!known) {
        *error = "unknown chip " + options.chip;
        return false;
    }
    const std::optional<AdapterModel> adapter = adapterModel(options.adapter, options.latencyMs);
    if (!adapter) {
        *error = "unknown adapter " + options.adapter;
        return false;
    }
    if (!begin(error))
        return false;
    impl_->board.emplace(options);
    impl_->line.emplace(options.pacing, *adapter);
    impl_->serving = true;
    impl_->thread = std::thread([impl = impl_.get()] { impl->serve(); });
    return true;
}

bool PtyBoard::startReplay(std::vector<TraceExchange> exchanges, std::function<void(const std::string&)> notice,
                           std::string* error)
{
    if (!begin(error))
        return false;
    impl_->replay.emplace(std::move(exchanges));
    impl_->notice = std::move(notice);
    impl_->line.emplace(false, AdapterModel{}); // the recorded delays hold the line time and the adapter's already
    const TimePoint now = Clock::now();
    for (const TraceReplay::Reply& reply : impl_->replay->start())
        impl_->line->send(reply.text, now + milliseconds(reply.delayMs));
    impl_->serving = true;
    impl_->thread = std::thread([impl = impl_.get()] { impl->serve(); });
    return true;
}

// What both kinds of serving set up first.
bool PtyBoard::begin(std::string* error)
{
    if (impl_->thread.joinable()) {
        *error = "the simulated board is already running";
        return false;
    }
    if (!impl_->openLine(error)) {
        impl_->closeAll();
        return false;
    }
    impl_->board.reset();
    impl_->replay.reset();
    impl_->hangUpAt.reset();
    return true;
}

void PtyBoard::stop()
{
    if (!impl_->thread.joinable())
        return;
    const char wake = 1;
    [[maybe_unused]] const ssize_t n = ::write(impl_->wakeWrite, &wake, 1);
    impl_->thread.join();
    impl_->serving = false;
    impl_->closeAll();
}

std::string PtyBoard::devicePath() const
{
    return impl_->path;
}

bool PtyBoard::isServing() const
{
    return impl_->serving;
}

} // namespace brindle::board
