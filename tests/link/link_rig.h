// The link's test doubles and the board operations' cases, written once and run against a
// scripted port (the simulated board's firmware behind it, its replies cut into reads of
// chosen sizes) and against the simulated board on a pseudo-terminal.
#pragma once

#include "board_ops.h"
#include "system_port.h"
#include "serial_link.h"
#include "simulated_board.h"

#include <QRegularExpression>
#include <QtTest>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace brindle::link::test {

// What the operator meets, and the port's closes, in order: "log:Erase.", "marks:0",
// "box:16:ERASE:System ERROR", "close", "beep".
class RecordingPanel : public Panel, public TransferMonitor {
public:
    void log(const std::string& line) override { add("log:" + line); }
    void messageBox(const std::string& text, Icon icon, const std::string& t) override { add("box:" + std::to_string(int(icon)) + ":" + t + ":" + text); }
    void beep() override { add("beep"); }
    void setTitle(const std::string& t) override { title = QString::fromStdString(t); }
    void selectDevice(int) override {}
    void progress(int, int) override {}
    void cellsChanged(int, int) override {}
    void markMismatches(const std::vector<CellMismatch>& cells) override { add("marks:" + std::to_string(cells.size())); }
    void idle() override { ++idles; }
    void add(const std::string& event) { events << QString::fromStdString(event); }

    QStringList events;
    QString title;
    int idles = 0;
};

// Records the wire ("[" and "]" for open and close) and the closes. Forwards to a real port
// when given one; otherwise `board` answers, and `pending` reaches the reader in reads of the
// sizes in `chunks` (repeated; empty: all at once).
class TestPort : public Port {
public:
    TestPort(RecordingPanel& panel, Port* real) : panel_(panel), real_(real) {}
    void select(int) override {}
    int selected() const override { return 1; }
    std::string deviceName() const override { return real_ ? real_->deviceName() : "/dev/scripted1"; }
    std::optional<OpenFailure> open() override
    {
        std::optional<OpenFailure> refused = failure ? failure : real_ ? real_->open() : std::nullopt;
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
        panel_.add("close");
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
            pending += (reshape ? reshape(r.text) : r.text) + r.trailing;
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
        if (!real_ && pending.empty())
            std::this_thread::sleep_for(std::chrono::milliseconds(msecs));
        return real_ ? real_->waitForInput(msecs) : !pending.empty();
    }

    std::string wire, pending;
    std::atomic<char> lastLetter{0}; // the last command letter sent, for another thread to watch
    std::vector<std::size_t> chunks;
    board::SimulatedBoard* board = nullptr;
    std::function<std::string(std::string)> reshape; // changes each of the board's replies
    std::optional<OpenFailure> failure;

private:
    RecordingPanel& panel_;
    Port* real_;
    bool open_ = false, up_ = false;
    std::size_t next_ = 0;
};

struct OpRig {
    // path: the device COM1 stands for; none: the scripted port.
    explicit OpRig(const std::string& path = {})
        : real(path.empty() ? nullptr : makeSystemPort({QString::fromStdString(path), {}})),
          port(panel, real.get()), link(port, panel, &panel), ops(link, panel, &panel, grid, session)
    {
        link.setTimeout(std::chrono::milliseconds(300));
        if (!real)
            link.setLineRate(0); // the scripted port's replies are all there at once
        grid.redraw(image::CodeBuffer());
    }
    RecordingPanel panel;
    std::unique_ptr<Port> real;
    TestPort port;
    SerialLink link;
    image::HexGrid grid;
    Session session{12345, 0};
    int& deviceSize = session.deviceSize;
    int& programLength = session.programLength;
    BoardOps ops;
};

inline bool matches(const QString& pattern, const QString& text) // "*" matches anything
{
    const QString expression = QRegularExpression::escape(pattern).replace("\\*", ".*");
    return QRegularExpression(QRegularExpression::anchoredPattern(expression),
                              QRegularExpression::DotMatchesEverythingOption).match(text).hasMatch();
}

struct CellText {
    int row = 0, column = 0;
    std::string text;
};

// One board operation's case: the board and the grid before, and all the operation must come
// to. Every row checks the outcome.
struct OpCase {
    Operation op = Operation::Identify;
    std::array<bool, 3> lockBits{};
    board::BoardOptions board;
    bool absent = false;             // the port cannot be opened
    int programLength = 0;
    std::string fill;                // every cell of the grid before; empty: FF
    std::vector<CellText> cells;     // cells set before
    std::string wire;                // "[" "]" open and close; "#" a block of 64 hexadecimal digits
    QString events;                  // "|"-separated, "*" matches anything
    int deviceSize = 0, programLengthAfter = 0;
    std::vector<CellText> cellsAfter;
    QString title;
    Result result = Result::Ok;
    int address = -1;
    int bytesDone = 0;
    int differing = 0;
};

// Builds a row as a chain of what differs from the default; it is added when the chain ends.
class OpRow {
public:
    OpRow(const char* name, Operation op, const char* chip) : name_(name)
    {
        c_.op = op;
        c_.board.chip = chip;
    }
    ~OpRow() { QTest::newRow(name_) << c_; }
    OpRow& lock(bool lb1, bool lb2, bool lb3) { c_.lockBits = {lb1, lb2, lb3}; return *this; }
    OpRow& reply(char command, const char* text) { c_.board.wrongReplyFor = command, c_.board.wrongReply = text; return *this; }
    OpRow& silentFrom(char command) { c_.board.silentAfter = command; return *this; }
    OpRow& shortBlock(int block) { c_.board.shortBlock = block; return *this; }
    OpRow& lowerCase() { c_.board.lowerCase = true; return *this; }
    OpRow& hangUpAfter(int blocks) { c_.board.hangUpAfterBlocks = blocks; return *this; }
    OpRow& failBlock(int block) { c_.board.failBlock = block; return *this; }
    OpRow& readStatus(const char* text) { c_.board.readStatus = text; return *this; }
    OpRow& absent() { c_.absent = true; return *this; }
    OpRow& length(int bytes) { c_.programLength = bytes; return *this; }
    OpRow& fill(const char* pair) { c_.fill = pair; return *this; }
    OpRow& cell(int row, int column, const char* text) { c_.cells.push_back({row, column, text}); return *this; }
    OpRow& wire(const QString& text) { c_.wire = text.toStdString(); return *this; }
    OpRow& events(const QString& text) { c_.events = text; return *this; }
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
    const QString ok = "close|close|", wrote = "close|log:Write OK !|close|beep", B = QString("#").repeated(64);
    const QString T32 = QString("T").repeated(32), T64 = T32 + T32, quiet = "The programmer on COM1 (*) did not answer";
    const QString check = "The board on COM1 (*) * within * s: check the cable and the board's power.";
    using O = Operation;
    using R = Result;
    OpRow("reset AT89C51", O::Identify, "51").wire("[I]").events("close").sizes(4096, 0).title("51");
    OpRow("reset unknown code", O::Identify, "62").reply('I', "99").wire("[I]").events("close").title("99").outcome(R::NoChip);
    OpRow("reset not hexadecimal", O::Identify, "62").reply('I', "2G").wire("[I]").events("close").title("2G").outcome(R::BadReply);
    OpRow("erase a letter too many", O::Erase, "21").reply('S', "SS").wire("[I][S]").sizes(2048, 0).title("SS").outcome(R::BadReply)
        .events(ok + "box:16:ERASE:System ERROR\n\nThe board on COM1 (*) answered the erase with \"SS\", *|beep");
    OpRow("erase", O::Erase, "21").wire("[I][S]").events(ok + "log:Erase.|beep").sizes(2048, 0).title("S");
    OpRow("erase s", O::Erase, "21").reply('S', "s").wire("[I][S]").sizes(2048, 0).title("s").outcome(R::ChipFailed)
        .events(ok + "log:Erase Error !|box:48::Erase ERROR\n\nThe board could not erase the chip (\"s\"): *|beep");
    OpRow("erase x", O::Erase, "21").reply('S', "x").wire("[I][S]").sizes(2048, 0).title("x").outcome(R::BadReply)
        .events(ok + "box:16:ERASE:System ERROR\n\nThe board on COM1 (*) answered the erase with \"x\", *|beep");
    OpRow("erase silent", O::Erase, "21").silentFrom('S').wire("[I][S]").sizes(2048, 0).title(qPrintable(quiet)).outcome(R::NoAnswer)
        .events(ok + "box:16:ERASE:System ERROR\n\n" + check + "|beep");
    OpRow("blank", O::Blank, "21").wire("[I][N]").events(ok + "log:Blank OK !|beep").sizes(2048, 0).title("N");
    OpRow("blank n", O::Blank, "21").reply('N', "n").wire("[I][N]").sizes(2048, 0).title("n").outcome(R::ChipFailed)
        .events(ok + "log:Blank Error !|box:48:BLANK CHECK:Blank Check ERROR\n\nThe chip is not blank (\"n\"): erase it first.|beep");
    OpRow("blank S", O::Blank, "21").reply('N', "S").wire("[I][N]").sizes(2048, 0).title("S").outcome(R::BadReply)
        .events(ok + "box:16::System ERROR\n\n*\"S\"*|beep");
    OpRow("lock 1 and 3", O::Lock, "21").lock(true, false, true).wire("[I][AC]").events(ok + "beep").sizes(2048, 0).title("C");
    const QString absent = "box:16:PORT:Cannot open COM1 (*): *.\n\nCheck that the programmer's cable*";
    for (const O op : {O::Identify, O::Erase, O::Lock, O::Write, O::Verify})
        OpRow(operationName(op).data(), op, "21").lock(true, false, false).absent().events(absent).outcome(R::PortError);
    OpRow("lock a", O::Lock, "21").lock(true, true, false).reply('A', "a").wire("[I][AB]").sizes(2048, 0).title("B").outcome(R::ChipFailed)
        .events(ok + "log:Lock Error !|box:48:LOCK:Lock ERROR\n\nThe chip refused lock bit 1: *|beep");
    OpRow("lock silent", O::Lock, "21").lock(true, true, true).silentFrom('A').wire("[I][A]").sizes(2048, 0).title(qPrintable(quiet))
        .events(ok + "box:16:LOCK:System ERROR\n\n" + check + "|beep").outcome(R::NoAnswer);
    OpRow("lock x", O::Lock, "21").lock(true, true, true).reply('A', "x").wire("[I][A]").sizes(2048, 0).title("x")
        .events(ok + "box:16:LOCK:System ERROR\n\n*lock bit 1 with \"x\"*|beep").outcome(R::BadReply);
    OpRow("lock none", O::Lock, "21").wire("[I][]").events(ok + "beep").sizes(2048, 0).title("21");
    OpRow("write 2 KB", O::Write, "21").length(2048).fill("A5").wire("[I][W" + B + "]").events(wrote).sizes(2048, 2048).title("W")
        .outcome(R::Ok, -1, 2048);
    OpRow("write 96 bytes to 4 KB", O::Write, "51").length(96).wire("[I][W###Z]").events(wrote).sizes(4096, 96).title("W")
        .outcome(R::Ok, -1, 96);
    OpRow("write x", O::Write, "21").length(2048).reply('W', "x").wire("[I][W]").sizes(2048, 2048).title("x").outcome(R::BadReply)
        .events("close|box:16:PROGRAM:System ERROR\n\n*the write with \"x\"*|close|beep");
    OpRow("write w", O::Write, "21").length(2048).reply('W', "w").wire("[I][W]").sizes(2048, 2048).title("w").outcome(R::ChipFailed, 0)
        .events("close|log:Write Error !|box:48::Write ERROR\n\nThe board refused the write (\"w\"): the chip may not be erased.|close|beep");
    OpRow("write longer than chip", O::Write, "21").length(4096).fill("A5").wire("[I][W" + B + "]").sizes(2048, 4096).title("W")
        .events("close|log:Write OK !|box:48:PROGRAM:*2048 bytes*did not fit*|close|beep").outcome(R::BadImage, 2048, 2048);
    OpRow("write malformed cell", O::Write, "21").length(2048).cell(3, 5, "F").wire("[I]").events("close|box:48:PROGRAM:*0024*")
        .sizes(2048, 2048).title("21").outcome(R::BadImage, 0x24);
    OpRow("write w for a further block", O::Write, "51").length(96).failBlock(2).wire("[I][W###]").sizes(4096, 96).title("w")
        .events("close|log:Write Error !|box:48::Write ERROR\n\nThe board refused block 0040H (\"w\"): the chip may not be erased.|close|beep")
        .outcome(R::ChipFailed, 0x40, 96);
    OpRow("write w for block 1", O::Write, "21").length(2048).failBlock(0).wire("[I][W#]").sizes(2048, 2048).title("w")
        .events("close|log:Write Error !|box:48::Write ERROR\n\nThe board refused block 0000H (\"w\")*|close|beep")
        .outcome(R::ChipFailed, 0, 32);
    OpRow("write malformed last cell", O::Write, "21").length(2048).cell(128, 16, "").wire("[I]").events("close|box:48:PROGRAM:*07FF*")
        .sizes(2048, 2048).title("21").outcome(R::BadImage, 0x7FF);
    OpRow("write no chip", O::Write, "none").length(2048).wire("[I]").sizes(0, 2048).title("00").outcome(R::NoChip)
        .events("close|box:16:PROGRAM:System ERROR\n\nNo chip was found in the socket (the board answered \"00\")*");
    OpRow("write hang-up", O::Write, "21").length(2048).hangUpAfter(3).wire("[I][W###]").sizes(2048, 2048)
        .title("The programmer on COM1 (*) was disconnected").outcome(R::HungUp, -1, 96)
        .events("close|box:16:PROGRAM:System ERROR\n\nThe board on COM1 (*) hung up during the write: *|close|beep");
    OpRow("read AT89C1051", O::Read, "11").fill("00").wire("[I][R" + T32 + "]").events("close|marks:0|log:Read OK !|close|beep")
        .sizes(1024, 1024).cellAfter(1, 1, "FF").cellAfter(64, 16, "FF").cellAfter(65, 1, "00").title("R").outcome(R::Ok, -1, 1024);
    OpRow("read short block", O::Read, "21").shortBlock(0).fill("00").wire("[I][R" + T64 + "]").sizes(2048, 2048)
        .events("close|marks:0|log:Read Error !|box:48::Read ERROR\n\nThe block at 0000H came back short: 4 characters received, \"FFFF\".|close|beep")
        .cellAfter(1, 1, "FF").cellAfter(1, 2, "FF").cellAfter(1, 3, "").cellAfter(2, 16, "").cellAfter(3, 1, "FF").title("R")
        .outcome(R::BadReply, 0, 2048);
    OpRow("read lower case", O::Read, "21").lowerCase().wire("[I][R" + T64 + "]").sizes(2048, 2048).cellAfter(1, 1, "ff").title("R")
        .events("close|marks:0|log:Read Error !|box:48::Read ERROR\n\nThe block at 0000H came back malformed: 64 characters received, \"ffff*|close|beep")
        .outcome(R::BadReply, 0, 2048);
    OpRow("read silent", O::Read, "21").silentFrom('T').fill("00").wire("[I][RT]").sizes(2048, 2048).cellAfter(1, 1, "").cellAfter(3, 1, "00")
        .title(qPrintable(quiet)).events("close|marks:0|box:16:PROGRAM:System ERROR\n\n" + check + "|close|beep").outcome(R::NoAnswer, 0, 0);
    OpRow("read no chip", O::Read, "none").wire("[I][R]").sizes(0, 0).title("r").outcome(R::NoChip)
        .events("close|marks:0|log:Read Error !|box:48::Read ERROR\n\nNo chip was found in the socket*|close|beep");
    OpRow("verify", O::Verify, "21").wire("[I][R" + T64 + "]").events("close|marks:0|log:Verify OK !|close|beep").sizes(2048, 0).title("R")
        .outcome(R::Ok, -1, 2048);
    OpRow("read a letter too many", O::Read, "21").readStatus("RR").wire("[I][R" + T64 + "]").sizes(2048, 2048).title("RR")
        .events("close|marks:0|box:16:PROGRAM:System ERROR\n\nThe board on COM1 (*) answered the read with \"RR\", *|close|beep")
        .outcome(R::BadReply, -1, 2048);
    OpRow("read lower case, then r", O::Read, "21").lowerCase().readStatus("r").wire("[I][R" + T64 + "]").sizes(2048, 2048).title("r")
        .events("close|marks:0|log:Read Error !|box:48::Read ERROR\n\nThe block at 0000H came back malformed*|close|beep")
        .outcome(R::BadReply, 0, 2048);
    OpRow("verify lower case", O::Verify, "21").lowerCase().wire("[I][R" + T64 + "]").sizes(2048, 0).title("R")
        .events("close|marks:2048|box:16:PROGRAM:System ERROR\n\nThe block at 0000H came back malformed*|close|beep")
        .outcome(R::BadReply, 0, 2048, 2048);
    OpRow("verify lower case, then r", O::Verify, "21").lowerCase().readStatus("r").wire("[I][R" + T64 + "]").sizes(2048, 0).title("r")
        .events("close|marks:0|box:16:PROGRAM:System ERROR\n\nThe block at 0000H came back malformed*|close|beep")
        .outcome(R::BadReply, 0, 2048);
    OpRow("verify a letter too many", O::Verify, "21").readStatus("RR").wire("[I][R" + T64 + "]").sizes(2048, 0).title("RR")
        .events("close|marks:0|box:16:PROGRAM:System ERROR\n\nThe board on COM1 (*) answered the verify with \"RR\", *|close|beep")
        .outcome(R::BadReply, -1, 2048);
    OpRow("verify short block", O::Verify, "21").shortBlock(2).wire("[I][R" + T64 + "]").sizes(2048, 0).title("R")
        .events("close|marks:30|box:16:PROGRAM:System ERROR\n\nThe block at 0040H came back short*|close|beep")
        .outcome(R::BadReply, 0x40, 2048, 30);
    OpRow("verify hang-up", O::Verify, "21").hangUpAfter(3).fill("00").wire("[I][RTTTT]").sizes(2048, 0)
        .title("The programmer on COM1 (*) was disconnected").outcome(R::HungUp, 96, 96)
        .events("close|marks:0|box:16:PROGRAM:System ERROR\n\nThe board on COM1 (*) hung up during the verify: *|close|beep");
    OpRow("verify no chip", O::Verify, "none").wire("[I][R]").sizes(0, 0).title("r").outcome(R::NoChip)
        .events("close|marks:0|box:16:PROGRAM:System ERROR\n\nNo chip was found in the socket*|close|beep");
}

// Sets the rig's grid and lengths as the row has them.
inline void prepare(OpRig& rig, const OpCase& c)
{
    rig.programLength = c.programLength;
    if (c.absent && !rig.real)
        rig.port.failure = OpenFailure{"No such file or directory", "Check that the programmer's cable is in."};
    if (!c.fill.empty())
        for (int row = 1; row <= 4096; ++row)
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
    QVERIFY2(matches(c.events, rig.panel.events.join('|')), qPrintable("events: " + rig.panel.events.join('|')));
    QCOMPARE(nameOf(outcome.result), nameOf(c.result));
    QCOMPARE(operationName(outcome.operation), operationName(c.op));
    QCOMPARE(outcome.address, c.address);
    QCOMPARE(outcome.bytesDone, c.bytesDone);
    QCOMPARE(int(outcome.differences.size()), c.differing);
    QCOMPARE(outcome.chip, rig.session.chip);
    QCOMPARE(rig.deviceSize, c.deviceSize);
    QCOMPARE(rig.programLength, c.programLengthAfter);
    for (const CellText& cell : c.cellsAfter)
        QCOMPARE(rig.grid.text(cell.row, cell.column), cell.text);
    QVERIFY2(matches(c.title, rig.panel.title), qPrintable("title: " + rig.panel.title));
    if (outcome.ok() && c.op == Operation::Write && rig.programLength >= rig.deviceSize) { // the chip holds the image
        rig.panel.events.clear();
        QVERIFY(rig.ops.verify().ok());
    }
}

} // namespace brindle::link::test

Q_DECLARE_METATYPE(brindle::link::test::OpCase)
