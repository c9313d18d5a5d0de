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

#include <memory>
#include <thread>

namespace brindle::link::test {

// What the operator meets, and the port's closes, in order: "log:Erase.", "marks:0",
// "box:16:ERASE:System ERROR", "close", "beep".
class RecordingPanel : public Panel {
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
        wire += text;
        if (real_)
            return real_->output(text);
        for (char c : board ? text : std::string_view()) {
            const board::SimulatedBoard::Response r = board->receive(c);
            pending += r.text;
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
    std::vector<std::size_t> chunks;
    board::SimulatedBoard* board = nullptr;
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
          port(panel, real.get()), link(port, panel), ops(link, panel, grid, session)
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

// chip: identification code or "none". fault: ";"-separated "reply:X=text" (command X is
// answered text), "short:n" (read block n is 4 characters and CR LF), "lower" (read data in
// lower case), "silent:X" (nothing answered from command X on), "hangup:n" (after n blocks);
// "failblock:n" (write block n answered "w"); "absent" (the port cannot be opened); and for the window's side "length:n" (programLength),
// "grid:HH" (every byte), "cell:r,c=text".
// wire: "#" is a block of 64 hexadecimal characters. sizes: deviceSize/programLength after.
inline void addOpRows()
{
    for (const char* column : {"op", "chip", "fault", "wire", "outcome", "sizes", "cells", "title"})
        QTest::addColumn<QString>(column);
    const QString ok = "close|close|", wrote = "close|log:Write OK !|close|beep", B = QString("#").repeated(64);
    const QString T32 = QString("T").repeated(32), T64 = T32 + T32, quiet = "The programmer on COM1 (*) did not answer";
    auto row = [](const char* name) -> QTestData& { return QTest::newRow(name); };
    row("reset AT89C51") << "reset" << "51" << "" << "[I]" << "close" << "4096/0" << "" << "51";
    row("reset unknown code") << "reset" << "62" << "reply:I=99" << "[I]" << "close" << "0/0" << "" << "99";
    row("erase") << "erase" << "21" << "" << "[I][S]" << ok + "log:Erase.|beep" << "2048/0" << "" << "S";
    row("erase s") << "erase" << "21" << "reply:S=s" << "[I][S]" << ok + "log:Erase Error !|box:48::Erase ERROR|beep" << "2048/0" << "" << "s";
    row("erase x") << "erase" << "21" << "reply:S=x" << "[I][S]" << ok + "box:16:ERASE:System ERROR|beep" << "2048/0" << "" << "x";
    row("erase silent") << "erase" << "21" << "silent:S" << "[I][S]" << ok + "box:16:ERASE:System ERROR|beep" << "2048/0" << "" << quiet;
    row("blank") << "blank" << "21" << "" << "[I][N]" << ok + "log:Blank OK !|beep" << "2048/0" << "" << "N";
    row("blank n") << "blank" << "21" << "reply:N=n" << "[I][N]" << ok + "log:Blank Error !|box:48:BLANK CHECK:Blank Check ERROR|beep" << "2048/0" << "" << "n";
    row("blank S") << "blank" << "21" << "reply:N=S" << "[I][N]" << ok + "box:16::System ERROR|beep" << "2048/0" << "" << "S";
    row("lock 1 and 3") << "lockAC" << "21" << "" << "[I][AC]" << ok + "beep" << "2048/0" << "" << "C";
    const QString absent = "box:16:PORT:Cannot open COM1 (*): *.\n\nCheck that the programmer's cable*";
    for (const char* op : {"reset", "erase", "lockA", "program", "verify"})
        row(op) << op << "21" << "absent" << "" << absent << "0/0" << "" << ""; // no chip found
    row("lock a") << "lockAB" << "21" << "reply:A=a" << "[I][AB]" << ok + "log:Lock Error !|box:48:LOCK:Lock ERROR|beep" << "2048/0" << "" << "B";
    row("lock silent") << "lockABC" << "21" << "silent:A" << "[I][A]" << ok + "box:16:LOCK:System ERROR|beep" << "2048/0" << "" << quiet;
    row("lock none") << "lock" << "21" << "" << "[I][]" << ok + "beep" << "2048/0" << "" << "21";
    row("write 2 KB") << "program" << "21" << "length:2048;grid:A5" << "[I][W" + B + "]" << wrote << "2048/2048" << "" << "W";
    row("write 96 bytes to 4 KB") << "program" << "51" << "length:96" << "[I][W###Z]" << wrote << "4096/96" << "" << "W";
    row("write x") << "program" << "21" << "length:2048;reply:W=x" << "[I][W]" << "close|box:16:PROGRAM:System ERROR|close|beep" << "2048/2048" << "" << "x";
    row("write w") << "program" << "21" << "length:2048;reply:W=w" << "[I][W]" << "close|log:Write Error !|box:48::Write ERROR|close|beep" << "2048/2048" << "" << "w";
    row("write longer than chip") << "program" << "21" << "length:4096;grid:A5" << "[I][W" + B + "]" << "close|log:Write OK !|box:48:PROGRAM:*2048 bytes*did not fit*|close|beep" << "2048/4096" << "" << "W";
    row("write malformed cell") << "program" << "21" << "length:2048;cell:3,5=F" << "[I]" << "close|box:48:PROGRAM:*0024*" << "2048/2048" << "" << "21";
    row("write w for a further block") << "program" << "51" << "length:96;failblock:2" << "[I][W###]" << "close|log:Write Error !|box:48::Write ERROR|close|beep" << "4096/96" << "" << "w";
    row("write w for block 1") << "program" << "21" << "length:2048;failblock:0" << "[I][W#]" << "close|log:Write Error !|box:48::Write ERROR|close|beep" << "2048/2048" << "" << "w";
    row("write malformed last cell") << "program" << "21" << "length:2048;cell:128,16=" << "[I]" << "close|box:48:PROGRAM:*07FF*" << "2048/2048" << "" << "21";
    row("write no chip") << "program" << "none" << "length:2048" << "[I]" << "close|box:16:PROGRAM:System ERROR" << "0/2048" << "" << "00";
    row("write hang-up") << "program" << "21" << "length:2048;hangup:3" << "[I][W###]" << "close|box:16:PROGRAM:System ERROR|close|beep" << "2048/2048" << "" << "The programmer on COM1 (*) was disconnected";
    row("read AT89C1051") << "read" << "11" << "grid:00" << "[I][R" + T32 + "]" << "close|marks:0|log:Read OK !|close|beep" << "1024/1024" << "1,1=FF;64,16=FF;65,1=00" << "R";
    row("read short block") << "read" << "21" << "short:0;grid:00" << "[I][R" + T64 + "]" << "close|marks:0|log:Read Error !|box:48::Read ERROR\n\nThe block at 0000H came back short: 4 characters received, \"FFFF\".|close|beep" << "2048/2048" << "1,1=FF;1,2=FF;1,3=;2,16=;3,1=FF" << "R";
    row("read lower case") << "read" << "21" << "lower" << "[I][R" + T64 + "]" << "close|marks:0|log:Read Error !|box:48::Read ERROR\n\nThe block at 0000H came back malformed: 64 characters received, \"ffff*|close|beep" << "2048/2048" << "1,1=ff" << "R";
    row("read silent") << "read" << "21" << "silent:T;grid:00" << "[I][RT]" << "close|marks:0|box:16:PROGRAM:System ERROR|close|beep" << "2048/2048" << "1,1=;3,1=00" << quiet;
    row("read no chip") << "read" << "none" << "" << "[I][R]" << "close|marks:0|log:Read Error !|box:48::Read ERROR|close|beep" << "0/0" << "" << "r";
    row("verify") << "verify" << "21" << "" << "[I][R" + T64 + "]" << "close|marks:0|log:Verify OK !|close|beep" << "2048/0" << "" << "R";
    row("verify lower case") << "verify" << "21" << "lower" << "[I][R" + T64 + "]" << "close|marks:2048|log:Verify Error !|box:48::Vefify ERROR\n\n2048 bytes differ, the first at 0000H: grid \"FF\", chip \"ff\".|close|beep" << "2048/0" << "" << "R";
    row("verify hang-up") << "verify" << "21" << "hangup:3;grid:00" << "[I][RTTTT]" << "close|marks:0|box:16:PROGRAM:System ERROR|close|beep" << "2048/0" << "" << "The programmer on COM1 (*) was disconnected";
    row("verify no chip") << "verify" << "none" << "" << "[I][R]" << "close|marks:0|box:16:PROGRAM:System ERROR|close|beep" << "0/0" << "" << "r";
}

// The board's options for the current row; given a rig, also its grid and programLength.
inline board::BoardOptions prepare(OpRig* rig)
{
    QFETCH(QString, chip);
    QFETCH(QString, fault);
    board::BoardOptions o;
    o.chip = chip.toStdString();
    for (const QString& item : fault.split(';', Qt::SkipEmptyParts)) {
        const QString key = item.section(':', 0, 0), value = item.section(':', 1), text = value.section('=', 1);
        if (key == "reply")
            o.wrongReplyFor = value.at(0).toLatin1(), o.wrongReply = text.toStdString();
        else if (key == "silent")
            o.silentAfter = value.at(0).toLatin1();
        else if (key == "short")
            o.shortBlock = value.toInt();
        else if (key == "hangup")
            o.hangUpAfterBlocks = value.toInt();
        else if (key == "failblock")
            o.failBlock = value.toInt();
        else if (key == "lower")
            o.lowerCase = true;
        else if (rig && key == "length")
            rig->programLength = value.toInt();
        else if (rig && key == "absent" && !rig->real)
            rig->port.failure = OpenFailure{"No such file or directory", "Check that the programmer's cable is in."};
        else if (rig && key == "cell")
            rig->grid.setText(value.section(',', 0, 0).toInt(), value.section(',', 1).section('=', 0, 0).toInt(),
                              text.toStdString());
        else if (rig && key == "grid")
            for (int row = 1; row <= 4096; ++row)
                for (int column = 1; column <= 16; ++column)
                    rig->grid.setText(row, column, value.toStdString());
    }
    return o;
}

// Runs the current row's operation and checks all it expects.
inline void runRow(OpRig& rig)
{
    QFETCH(QString, op);
    QFETCH(QString, wire);
    QFETCH(QString, outcome);
    QFETCH(QString, sizes);
    QFETCH(QString, cells);
    QFETCH(QString, title);
    if (op == "reset") rig.ops.reset();
    else if (op == "erase") rig.ops.erase();
    else if (op == "blank") rig.ops.blank();
    else if (op.startsWith("lock")) rig.ops.lock(op.contains('A'), op.contains('B'), op.contains('C'));
    else if (op == "program") rig.ops.program();
    else if (op == "read") rig.ops.read();
    else if (op == "verify") rig.ops.verify();
    QCOMPARE(QString::fromStdString(rig.port.wire).replace(QRegularExpression("[0-9A-F]{64}"), "#"), wire);
    QVERIFY2(matches(outcome, rig.panel.events.join('|')), qPrintable(rig.panel.events.join('|')));
    QCOMPARE(QString("%1/%2").arg(rig.deviceSize).arg(rig.programLength), sizes);
    for (const QString& item : cells.split(';', Qt::SkipEmptyParts))
        QCOMPARE(QString::fromStdString(rig.grid.text(item.section(',', 0, 0).toInt(),
                                                      item.section(',', 1).section('=', 0, 0).toInt())),
                 item.section('=', 1));
    QVERIFY2(matches(title, rig.panel.title), qPrintable(rig.panel.title));
    if (outcome.contains("Write OK") && rig.programLength >= rig.deviceSize) { // the chip holds the image
        rig.panel.events.clear();
        rig.ops.verify();
        QVERIFY2(rig.panel.events.contains("log:Verify OK !"), qPrintable(rig.panel.events.join('|')));
    }
}

} // namespace brindle::link::test
