// The link's test doubles: a recording panel, and the board operations over a scripted port
// (the simulated board's firmware behind it) or over the system's port.
#pragma once

#include "board_ops.h"
#include "serial_link.h"
#include "simulated_board.h"
#include "system_port.h"

#include <QRegularExpression>
#include <QtTest>

#include <array>
#include <atomic>
#include <memory>
#include <thread>

namespace brindle::link::test {

// What the operator meets, and the port's closes, in order. An expected box may match by its
// text's opening (its advice may vary). The port's device name reads "DEV".
struct Event {
    enum class Kind { Log, Box, Beep, Marks, Close };
    Kind kind;
    QString text;                // a log line, a box's text, the count of marked cells
    Icon icon = Icon::Critical;  // boxes only
    QString title;               // boxes only
    bool opening = false;        // expected only: the text is the seen text's opening

    bool operator==(const Event& o) const { return kind == o.kind && text == o.text && icon == o.icon && title == o.title; }
    bool matches(const Event& seen) const
    {
        return kind == seen.kind && icon == seen.icon && title == seen.title
               && (opening ? seen.text.startsWith(text) : seen.text == text);
    }
};
using Events = QList<Event>;
inline Event logged(const std::string& line) { return {Event::Kind::Log, QString::fromStdString(line)}; }
inline Event boxed(Icon icon, const std::string& title, const std::string& text)
{
    return {Event::Kind::Box, QString::fromStdString(text), icon, QString::fromStdString(title)};
}
inline Event box(Icon icon, const std::string& title, const std::string& text)
{
    Event e = boxed(icon, title, text);
    e.opening = true;
    return e;
}
inline Event marks(int count) { return {Event::Kind::Marks, QString::number(count)}; }
inline const Event beeped{Event::Kind::Beep}, closed{Event::Kind::Close};

// Events as a failure message shows them.
inline QByteArray shown(const Events& events)
{
    QStringList parts;
    for (const Event& e : events) {
        switch (e.kind) {
        case Event::Kind::Log: parts << "log " + e.text; break;
        case Event::Kind::Box: parts << (e.icon == Icon::Critical ? "X[" : "![") + e.title + "] " + e.text; break;
        case Event::Kind::Beep: parts << "beep"; break;
        case Event::Kind::Marks: parts << "marks " + e.text; break;
        case Event::Kind::Close: parts << "]"; break;
        }
    }
    return parts.join('|').toLocal8Bit();
}

inline bool matchAll(const Events& expected, const Events& seen)
{
    bool same = expected.size() == seen.size();
    for (int i = 0; same && i < seen.size(); ++i)
        same = expected[i].matches(seen[i]);
    return same;
}

class RecordingPanel : public Panel, public TransferMonitor {
public:
    void log(const std::string& line) override { add(logged(line)); }
    void messageBox(const std::string& text, Icon icon, const std::string& t) override { add(boxed(icon, t, text)); }
    void beep() override { add(beeped); }
    void setTitle(const std::string& t) override { title = plain(QString::fromStdString(t)); }
    void selectDevice(int) override {}
    void progress(int, int) override {}
    void cellsChanged(int first, int last) override { rowsChanged.emplace_back(first, last); }
    void markMismatches(const std::vector<CellMismatch>& cells) override { add(marks(int(cells.size()))); }
    void idle() override { ++idles; }
    void add(Event event)
    {
        event.text = plain(event.text), event.title = plain(event.title);
        events << event;
    }
    QString plain(QString text) const { return device.isEmpty() ? text : text.replace(device, "DEV"); }

    Events events;
    QString title, device; // the port's device name, read as "DEV"
    std::vector<std::pair<int, int>> rowsChanged;
    int idles = 0;
};

// The simulated board's firmware behind a scripted port: records the wire ("[" and "]" for
// open and close) and the closes; `pending` reaches the reader in reads of the sizes in
// `chunks` (repeated; empty: all at once).
class TestPort : public platform::Port {
public:
    explicit TestPort(RecordingPanel& panel) : panel_(panel) {}
    void select(int) override {}
    int selected() const override { return 1; }
    std::string deviceName() const override { return "/dev/scripted1"; }
    std::optional<platform::OpenFailure> open() override
    {
        if (!failure)
            wire += '[', open_ = up_ = true;
        return failure;
    }
    void close() override
    {
        if (!open_) // a hung-up port closes itself; the operation's close still counts
            return;
        open_ = up_ = false;
        pending.clear();
        wire += ']';
        panel_.add(closed);
    }
    bool isOpen() const override { return up_; }
    void output(std::string_view text) override
    {
        if (text.size() == 1)
            lastLetter = text[0];
        wire += text;
        for (char c : board ? text : std::string_view()) {
            const board::SimulatedBoard::Response r = board->receive(c);
            pending += r.text + r.trailing;
            up_ = up_ && !r.hangUp;
        }
    }
    std::string input() override
    {
        std::string chunk = pending.substr(0, chunks.empty() ? pending.size() : chunks[next_++ % chunks.size()]);
        pending.erase(0, chunk.size());
        return chunk;
    }
    bool waitForInput(int msecs) override
    {
        if (pending.empty()) // a silent board: the wait is the silence, as a real port's would be
            std::this_thread::sleep_for(std::chrono::milliseconds(msecs));
        return !pending.empty();
    }

    std::string wire, pending;
    std::atomic<char> lastLetter{0}; // the last command letter sent, for another thread to watch
    std::vector<std::size_t> chunks;
    board::SimulatedBoard* board = nullptr;
    std::optional<platform::OpenFailure> failure;

private:
    RecordingPanel& panel_;
    bool open_ = false, up_ = false;
    std::size_t next_ = 0;
};

// The board operations over the scripted port (limit 300 ms a reply), or over the system's
// port on `path` (limits by the board's work).
struct OpRig {
    explicit OpRig(const std::string& path = {})
        : real(path.empty() ? nullptr : platform::makeSystemPort({QString::fromStdString(path), {}})),
          port(panel), link(real ? *real : port, panel, &panel), ops(link, panel, &panel, grid, session)
    {
        panel.device = QString::fromStdString(real ? path : port.deviceName());
        if (!real) {
            link.setTimeout(std::chrono::milliseconds(300));
            link.setLineRate(0); // the scripted port's replies are all there at once
        }
        grid.redraw(image::CodeBuffer());
    }
    RecordingPanel panel;
    std::unique_ptr<platform::Port> real;
    TestPort port;
    SerialLink link;
    image::HexGrid grid;
    Session session{12345, 0};
    int& programLength = session.programLength;
    BoardOps ops;
};

inline board::BoardOptions onChip(const char* chip)
{
    board::BoardOptions options;
    options.chip = chip;
    return options;
}

inline Outcome runOperation(BoardOps& ops, Operation op, const std::array<bool, 3>& lockBits = {})
{
    switch (op) {
    case Operation::Identify: return ops.reset();
    case Operation::Erase: return ops.erase();
    case Operation::Blank: return ops.blank();
    case Operation::Lock: return ops.lock(lockBits[0], lockBits[1], lockBits[2]);
    case Operation::Write: return ops.program();
    case Operation::Read: return ops.read();
    case Operation::Verify: return ops.verify();
    }
    return ops.reset();
}

inline QString nameOf(Result result) { return QString::fromLatin1(resultName(result).data(), int(resultName(result).size())); }

} // namespace brindle::link::test
