// The link's test doubles and the board operations' rows, run against a scripted port (the
// simulated board's firmware behind it, its replies cut into reads of chosen sizes) and against
// the simulated board on a pseudo-terminal.
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

// What the operator meets, and the port's closes, in order, one string each; an expected one
// that ends in "*" matches by its opening (a box's advice may vary). The port's device name
// reads "DEV", so a row holds for the scripted port and a pseudo-terminal alike.
using Events = QStringList;
inline QString logged(const std::string& line) { return "log " + QString::fromStdString(line); }
inline QString boxed(Icon icon, const std::string& title, const std::string& text)
{
    return QString(icon == Icon::Critical ? "X[" : "![") + QString::fromStdString(title) + "] " + QString::fromStdString(text);
}
inline QString box(Icon icon, const std::string& title, const std::string& text) { return boxed(icon, title, text) + "*"; }
inline QString marks(int count) { return "marks " + QString::number(count); }
inline const QString beeped = "beep", closed = "]";

inline bool matchAll(const Events& expected, const Events& seen)
{
    bool same = expected.size() == seen.size();
    for (int i = 0; same && i < seen.size(); ++i)
        same = expected[i].endsWith('*') ? seen[i].startsWith(expected[i].chopped(1)) : seen[i] == expected[i];
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
    void add(const QString& event) { events << plain(event); }
    QString plain(QString text) const { return device.isEmpty() ? text : text.replace(device, "DEV"); }

    Events events;
    QString title, device; // the port's device name, read as "DEV"
    std::vector<std::pair<int, int>> rowsChanged;
    int idles = 0;
};

// Records the wire ("[" and "]" for open and close) and the closes. Forwards to a real port
// when given one; otherwise `board` answers, and `pending` reaches the reader in reads of the
// sizes in `chunks` (repeated; empty: all at once).
class TestPort : public platform::Port {
public:
    TestPort(RecordingPanel& panel, platform::Port* real) : panel_(panel), real_(real) {}
    void select(int) override {}
    int selected() const override { return 1; }
    std::string deviceName() const override { return real_ ? real_->deviceName() : "/dev/scripted1"; }
    std::optional<platform::OpenFailure> open() override
    {
        std::optional<platform::OpenFailure> refused = failure ? failure : real_ ? real_->open() : std::nullopt;
        if (!refused)
            wire += '[', open_ = up_ = true;
        return refused;
    }
    void close() override
    {
        if (!open_) // a hung-up port closes itself; the operation's close still counts
            return;
        if (real_)
            real_->close();
        open_ = up_ = false;
        pending.clear();
        wire += ']';
        panel_.add(closed);
    }
    bool isOpen() const override { return real_ ? real_->isOpen() : up_; }
    void output(std::string_view text) override
    {
        if (text.size() == 1)
            lastLetter = text[0];
        wire += text;
        if (real_)
            return real_->output(text);
        for (char c : board ? text : std::string_view()) {
            const board::SimulatedBoard::Response r = board->receive(c);
            pending += r.text + r.trailing;
            up_ = up_ && !r.hangUp;
        }
    }
    std::string input() override
    {
        if (real_ || pending.empty())
            return real_ ? real_->input() : std::string();
        std::string chunk = pending.substr(0, chunks.empty() ? pending.size() : chunks[next_++ % chunks.size()]);
        pending.erase(0, chunk.size());
        return chunk;
    }
    bool waitForInput(int msecs) override
    {
        if (!real_ && pending.empty()) // a silent board: the wait is the silence, as a real port's would be
            std::this_thread::sleep_for(std::chrono::milliseconds(msecs));
        return real_ ? real_->waitForInput(msecs) : !pending.empty();
    }

    std::string wire, pending;
    std::atomic<char> lastLetter{0}; // the last command letter sent, for another thread to watch
    std::vector<std::size_t> chunks;
    board::SimulatedBoard* board = nullptr;
    std::optional<platform::OpenFailure> failure;

private:
    RecordingPanel& panel_;
    platform::Port* real_;
    bool open_ = false, up_ = false;
    std::size_t next_ = 0;
};

struct OpRig {
    // path: the device COM1 stands for; none: the scripted port.
    explicit OpRig(const std::string& path = {})
        : real(path.empty() ? nullptr : platform::makeSystemPort({QString::fromStdString(path), {}})),
          port(panel, real.get()), link(port, panel, &panel), ops(link, panel, &panel, grid, session)
    {
        panel.device = QString::fromStdString(port.deviceName());
        link.setTimeout(std::chrono::milliseconds(300));
        if (!real)
            link.setLineRate(0); // the scripted port's replies are all there at once
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

struct CellText {
    int row = 0, column = 0;
    std::string text;
};

// One board operation's case: the board and the grid before, and all the operation must come to.
struct OpCase {
    Operation op = Operation::Identify;
    std::array<bool, 3> lockBits{};
    board::BoardOptions board;
    bool absent = false;         // the port cannot be opened
    int programLength = 0;
    std::string fill;            // every cell of the grid before; empty: FF
    std::vector<CellText> cells; // cells set before
    std::string wire;            // "[" "]" open and close; "#" a block of 64 hexadecimal digits
    Events events;
    int deviceSize = 0, programLengthAfter = 0;
    std::vector<CellText> cellsAfter;
    QString title;
    Result result = Result::Ok;
    int address = -1, bytesDone = 0, differing = 0;
};

// Builds a row as a chain of what differs from the default; it is added when the chain ends.
// board: the chip, then the simulated board's options ("21 --lower-case").
class OpRow {
public:
    OpRow(const char* name, Operation op, const QString& board) : name_(name)
    {
        c_.op = op;
        std::vector<std::string> args{"--chip"};
        for (const QString& word : board.split(' '))
            args.push_back(word.toStdString());
        if (std::string error; !board::parseBoardOptions(args, &c_.board, &error))
            qFatal("%s: %s", name, error.c_str());
    }
    ~OpRow()
    {
        if (!only || only->contains(QString::fromLatin1(name_)))
            QTest::newRow(name_) << c_;
    }
    static inline const QStringList* only = nullptr; // the rows another layer runs; null: all
    OpRow& lock(bool lb1, bool lb2, bool lb3) { c_.lockBits = {lb1, lb2, lb3}; return *this; }
    OpRow& absent() { c_.absent = true; return *this; }
    OpRow& length(int bytes) { c_.programLength = bytes; return *this; }
    OpRow& fill(const char* pair) { c_.fill = pair; return *this; }
    OpRow& cell(int row, int column, const char* text) { c_.cells.push_back({row, column, text}); return *this; }
    OpRow& wire(const QString& text) { c_.wire = text.toStdString(); return *this; }
    OpRow& events(Events list) { c_.events = std::move(list); return *this; }
    OpRow& sizes(int deviceSize, int programLength) { c_.deviceSize = deviceSize, c_.programLengthAfter = programLength; return *this; }
    OpRow& cellAfter(int row, int column, const char* text) { c_.cellsAfter.push_back({row, column, text}); return *this; }
    OpRow& title(const char* text) { c_.title = text; return *this; }
    OpRow& outcome(Result result, int address = -1, int bytesDone = 0, int differing = 0)
    {
        c_.result = result, c_.address = address, c_.bytesDone = bytesDone, c_.differing = differing;
        return *this;
    }

private:
    const char* name_;
    OpCase c_;
};

inline void addOpRows()
{
    QTest::addColumn<OpCase>("c");
    using O = Operation;
    using R = Result;
    const Icon X = Icon::Critical, E = Icon::Exclamation;
    const QString B = QString("#").repeated(64), T32 = QString("T").repeated(32), T64 = T32 + T32;
    const char* quiet = "The programmer on COM1 (DEV) did not answer";
    const char* gone = "The programmer on COM1 (DEV) was disconnected";
    const std::string check = "The board on COM1 (DEV) did not answer", system = "System ERROR\n\n";
    const QString C = closed, beep = beeped;
    OpRow("reset AT89C51", O::Identify, "51").wire("[I]").events({C}).sizes(4096, 0).title("51");
    OpRow("reset not hexadecimal", O::Identify, "62 --wrong-reply=I=2G").wire("[I]").events({C}).title("2G").outcome(R::BadReply);
    OpRow("erase a letter too many", O::Erase, "21 --wrong-reply=S=SS").wire("[I][S]").sizes(2048, 0).title("SS").outcome(R::BadReply)
        .events({C, C, box(X, "ERASE", system + "The board on COM1 (DEV) answered the erase with \"SS\", "), beep});
    OpRow("erase", O::Erase, "21").wire("[I][S]").events({C, C, logged("Erase."), beep}).sizes(2048, 0).title("S");
    OpRow("erase silent", O::Erase, "21 --silent-after=S").wire("[I][S]").sizes(2048, 0).title(quiet).outcome(R::NoAnswer)
        .events({C, C, box(X, "ERASE", system + check), beep});
    OpRow("blank n", O::Blank, "21 --wrong-reply=N=n").wire("[I][N]").sizes(2048, 0).title("n").outcome(R::ChipFailed)
        .events({C, C, logged("Blank Error !"),
                 box(E, "BLANK CHECK", "Blank Check ERROR\n\nThe chip is not blank (\"n\"): erase it first."), beep});
    OpRow("lock 1 and 3", O::Lock, "21").lock(true, false, true).wire("[I][AC]").events({C, C, beep}).sizes(2048, 0).title("C");
    for (const O op : {O::Identify, O::Erase, O::Lock, O::Write, O::Verify})
        OpRow(operationName(op).data(), op, "21").lock(true, false, false).absent().outcome(R::PortError)
            .events({box(X, "PORT", "Cannot open COM1 (DEV): ")});
    OpRow("lock a", O::Lock, "21 --wrong-reply=A=a").lock(true, true, false).wire("[I][AB]").sizes(2048, 0).title("B")
        .outcome(R::ChipFailed).events({C, C, logged("Lock Error !"), box(E, "LOCK", "Lock ERROR\n\nThe chip refused lock bit 1: "), beep});
    OpRow("lock x", O::Lock, "21 --wrong-reply=A=x").lock(true, true, true).wire("[I][A]").sizes(2048, 0).title("x")
        .events({C, C, box(X, "LOCK", system + "The board on COM1 (DEV) answered lock bit 1 with \"x\""), beep}).outcome(R::BadReply);
    const Events wrote{C, logged("Write OK !"), C, beep};
    const auto malformed = [](const char* address) { return std::string("Nothing was written: the byte at address ") + address + " is not"; };
    const auto refused = [](const char* what) { return "Write ERROR\n\nThe board refused " + std::string(what) + " (\"w\"): the chip may not be erased."; };
    OpRow("write 2 KB", O::Write, "21").length(2048).fill("A5").wire("[I][W" + B + "]").events(wrote).sizes(2048, 2048).title("W")
        .outcome(R::Ok, -1, 2048);
    OpRow("write 96 bytes to 4 KB", O::Write, "51").length(96).wire("[I][W###Z]").events(wrote).sizes(4096, 96).title("W")
        .outcome(R::Ok, -1, 96);
    OpRow("write w", O::Write, "21 --wrong-reply=W=w").length(2048).wire("[I][W]").sizes(2048, 2048).title("w").outcome(R::ChipFailed, 0)
        .events({C, logged("Write Error !"), box(E, "", refused("the write")), C, beep});
    OpRow("write longer than chip", O::Write, "21").length(4096).fill("A5").wire("[I][W" + B + "]").sizes(2048, 4096).title("W")
        .events({C, logged("Write OK !"), box(E, "PROGRAM", "The program is 4096 bytes long, the chip holds only 2048: the last 2048 bytes (from address 0800) did not fit"), C, beep}).outcome(R::BadImage, 2048, 2048);
    OpRow("write malformed first cell", O::Write, "21").length(2048).cell(1, 1, "F").wire("[I]").events({C, box(E, "PROGRAM", malformed("0000"))})
        .sizes(2048, 2048).title("21").outcome(R::BadImage, 0);
    OpRow("write malformed last cell", O::Write, "21").length(2048).cell(128, 16, "").wire("[I]").events({C, box(E, "PROGRAM", malformed("07FF"))})
        .sizes(2048, 2048).title("21").outcome(R::BadImage, 0x7FF);
    OpRow("write w for a further block", O::Write, "51 --fail-block=2").length(96).wire("[I][W###]").sizes(4096, 96).title("w")
        .events({C, logged("Write Error !"), box(E, "", refused("block 0040H")), C, beep}).outcome(R::ChipFailed, 0x40, 96);
    OpRow("write no chip", O::Write, "none").length(2048).wire("[I]").sizes(0, 2048).title("00").outcome(R::NoChip)
        .events({C, box(X, "PROGRAM", system + "No chip was found in the socket (the board answered \"00\")")});
    OpRow("write hang-up", O::Write, "21 --hang-up-after=3").length(2048).wire("[I][W###]").sizes(2048, 2048).title(gone)
        .outcome(R::HungUp, -1, 96).events({C, box(X, "PROGRAM", system + "The board on COM1 (DEV) hung up during the write: "), C, beep});
    OpRow("read AT89C1051", O::Read, "11").fill("00").wire("[I][R" + T32 + "]").events({C, marks(0), logged("Read OK !"), C, beep})
        .sizes(1024, 1024).cellAfter(1, 1, "FF").cellAfter(64, 16, "FF").cellAfter(65, 1, "00").title("R").outcome(R::Ok, -1, 1024);
    const auto readError = [&](const std::string& text) {
        return Events{C, marks(0), logged("Read Error !"), box(E, "", "Read ERROR\n\n" + text), C, beep};
    };
    const auto fault = [&](int marked, const std::string& text) { return Events{C, marks(marked), box(X, "PROGRAM", system + text), C, beep}; };
    const std::string malformedAt0 = "The block at 0000H came back malformed";
    OpRow("read short block", O::Read, "21 --short-block=0").fill("00").wire("[I][R" + T64 + "]").sizes(2048, 2048)
        .events(readError("The block at 0000H came back short: 4 characters received, \"FFFF\"."))
        .cellAfter(1, 1, "FF").cellAfter(1, 2, "FF").cellAfter(1, 3, "").cellAfter(2, 16, "").cellAfter(3, 1, "FF").title("R")
        .outcome(R::BadReply, 0, 2048);
    OpRow("read lower case", O::Read, "21 --lower-case").wire("[I][R" + T64 + "]").sizes(2048, 2048).cellAfter(1, 1, "ff").title("R")
        .events(readError(malformedAt0 + ": 64 characters received, \"ffff")).outcome(R::BadReply, 0, 2048);
    OpRow("read lower case, then r", O::Read, "21 --lower-case --read-status=r").wire("[I][R" + T64 + "]").sizes(2048, 2048).title("r")
        .events(readError(malformedAt0)).outcome(R::BadReply, 0, 2048);
    OpRow("read silent", O::Read, "21 --silent-after=T").fill("00").wire("[I][RT]").sizes(2048, 2048).cellAfter(1, 1, "")
        .cellAfter(3, 1, "00").title(quiet).events(fault(0, check)).outcome(R::NoAnswer, 0, 0);
    OpRow("read a letter too many", O::Read, "21 --read-status=RR").wire("[I][R" + T64 + "]").sizes(2048, 2048).title("RR")
        .events(fault(0, "The board on COM1 (DEV) answered the read with \"RR\", ")).outcome(R::BadReply, -1, 2048);
    OpRow("verify lower case", O::Verify, "21 --lower-case").wire("[I][R" + T64 + "]").sizes(2048, 0).title("R")
        .events(fault(2048, malformedAt0)).outcome(R::BadReply, 0, 2048, 2048);
    OpRow("verify lower case, then r", O::Verify, "21 --lower-case --read-status=r").wire("[I][R" + T64 + "]").sizes(2048, 0).title("r")
        .events(fault(0, malformedAt0)).outcome(R::BadReply, 0, 2048);
    OpRow("verify hang-up", O::Verify, "21 --hang-up-after=3").fill("00").wire("[I][RTTTT]").sizes(2048, 0).title(gone)
        .outcome(R::HungUp, 96, 96).events(fault(0, "The board on COM1 (DEV) hung up during the verify: "));
}

// Sets the rig's grid and lengths as the row has them.
inline void prepare(OpRig& rig, const OpCase& c)
{
    rig.programLength = c.programLength;
    if (c.absent && !rig.real)
        rig.port.failure = platform::OpenFailure{"No such file or directory", "Check that the programmer's cable is in."};
    for (int row = 1; row <= 4096 && !c.fill.empty(); ++row)
        for (int column = 1; column <= 16; ++column)
            rig.grid.setText(row, column, c.fill);
    for (const CellText& cell : c.cells)
        rig.grid.setText(cell.row, cell.column, cell.text);
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

// Runs the row's operation and checks all it expects, each field by its name.
inline void runRow(OpRig& rig, const OpCase& c)
{
    const Outcome outcome = runOperation(rig.ops, c.op, c.lockBits);
    QCOMPARE(QString::fromStdString(rig.port.wire).replace(QRegularExpression("[0-9A-F]{64}"), "#"), QString::fromStdString(c.wire));
    QVERIFY2(matchAll(c.events, rig.panel.events), qPrintable("events: " + rig.panel.events.join('|')));
    QCOMPARE(nameOf(outcome.result), nameOf(c.result));
    QCOMPARE(operationName(outcome.operation), operationName(c.op));
    QCOMPARE(outcome.address, c.address);
    QCOMPARE(outcome.bytesDone, c.bytesDone);
    QCOMPARE(int(outcome.differences.size()), c.differing);
    QCOMPARE(outcome.chip, rig.session.chip);
    QCOMPARE(rig.session.deviceSize, c.deviceSize);
    QCOMPARE(rig.programLength, c.programLengthAfter);
    for (const CellText& cell : c.cellsAfter)
        QCOMPARE(rig.grid.text(cell.row, cell.column), cell.text);
    QCOMPARE(rig.panel.title, c.title);
    if (outcome.ok() && c.op == Operation::Write && rig.programLength >= rig.session.deviceSize) { // the chip holds the image
        rig.panel.events.clear();
        QVERIFY(rig.ops.verify().ok());
    }
}

} // namespace brindle::link::test

Q_DECLARE_METATYPE(brindle::link::test::OpCase)
