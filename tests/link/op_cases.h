// The board operations' behaviour, written once and run against the scripted board and
// against the simulated board on a pseudo-terminal.
//
// fault: ";"-separated items: "reply:X=text" (the board answers command X with text),
// "wrongQ:n=text" (the n-th "Q" of a write, 0 after "W", is text), "status:r" (read status),
// "short:n" (read block n is its first 4 characters and CR LF), "lower" (read data in lower case), "silent:X"
// (nothing answered from command X on), "cell:r,c=text" (grid cell before the operation),
// "grid:HH" (every grid byte HH before the operation).
// wire: "[" and "]" are open and close, "#" a block of 64 hexadecimal characters.
// outcome: panel events joined by "|", "*" matching anything.
#pragma once

#include "board_ops.h"
#include "link_rig.h"

#include <QRegularExpression>
#include <QtTest>

namespace brindle::link::test {

inline void addOpColumns()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("chip"); // identification code, or "none"
    QTest::addColumn<int>("programLength");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("wire");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<int>("deviceSize");
    QTest::addColumn<int>("programLengthAfter");
    QTest::addColumn<QString>("cells"); // "r,c=text;..." after the operation
    QTest::addColumn<QString>("title"); // wildcard
}

// Rows that hold for the simulator as well as for the scripted board; `all` adds the rows
// whose faults only the scripted board can stage.
inline void addOpRows(bool all)
{
    const QString ok = "close|close|";
    const QString blocks64 = QString("#").repeated(64);
    auto row = [](const char* name) { return &QTest::newRow(name); };
    *row("reset AT89C51") << "reset" << "51" << 0 << "" << "[I]" << "close" << 4096 << 0 << "" << "51";
    *row("reset AT89S8252") << "reset" << "72" << 0 << "" << "[I]" << "close" << 10240 << 0 << "" << "72";
    *row("reset unknown code") << "reset" << "62" << 0 << "reply:I=99" << "[I]" << "close" << 0 << 0 << "" << "99";
    *row("erase") << "erase" << "21" << 0 << "" << "[I][S]" << ok + "log:Erase.|beep" << 2048 << 0 << "" << "S";
    *row("erase s") << "erase" << "21" << 0 << "reply:S=s" << "[I][S]" << ok + "log:Erase Error !|box:48::Erase ERROR|beep" << 2048 << 0 << "" << "s";
    *row("erase x") << "erase" << "21" << 0 << "reply:S=x" << "[I][S]" << ok + "box:16:ERASE:System ERROR|beep" << 2048 << 0 << "" << "x";
    *row("erase silent") << "erase" << "21" << 0 << "silent:S" << "[I][S]" << ok + "box:16:ERASE:System ERROR|beep" << 2048 << 0 << "" << "The programmer on COM1 (*) did not answer";
    *row("blank") << "blank" << "21" << 0 << "" << "[I][N]" << ok + "log:Blank OK !|beep" << 2048 << 0 << "" << "N";
    *row("blank n") << "blank" << "21" << 0 << "reply:N=n" << "[I][N]" << ok + "log:Blank Error !|box:48:BLANK CHECK:Blank Check ERROR|beep" << 2048 << 0 << "" << "n";
    *row("blank S") << "blank" << "21" << 0 << "reply:N=S" << "[I][N]" << ok + "box:16::System ERROR|beep" << 2048 << 0 << "" << "S";
    *row("lock 1 and 3") << "lockAC" << "21" << 0 << "" << "[I][AC]" << ok + "beep" << 2048 << 0 << "" << "*";
    *row("lock none") << "lock" << "21" << 0 << "" << "[I][]" << ok + "beep" << 2048 << 0 << "" << "21";
    *row("write 2 KB to AT89C2051") << "program" << "21" << 2048 << "" << "[I][W" + blocks64 + "]" << "close|log:Write OK !|close|beep" << 2048 << 2048 << "" << "W";
    *row("write 96 bytes to AT89C51") << "program" << "51" << 96 << "" << "[I][W###Z]" << "close|log:Write OK !|close|beep" << 4096 << 96 << "" << "W";
    *row("write nothing loaded") << "program" << "21" << 0 << "" << "[I][WZ]" << "close|log:Write OK !|close|beep" << 2048 << 0 << "" << "W";
    *row("write wrong letter") << "program" << "21" << 2048 << "reply:W=x" << "[I][W]" << "close|box:16:PROGRAM:System ERROR|close|beep" << 2048 << 2048 << "" << "x";
    *row("write longer than chip") << "program" << "21" << 4096 << "" << "[I][W" + blocks64 + "]" << "close|log:Write OK !|box:48:PROGRAM:*2048 bytes*did not fit*|close|beep" << 2048 << 4096 << "" << "W";
    *row("write malformed cell") << "program" << "21" << 2048 << "cell:3,5=F" << "[I]" << "close|box:48:PROGRAM:*0024*" << 2048 << 2048 << "" << "21";
    *row("read AT89C1051") << "read" << "11" << 0 << "grid:00" << "[I][R" + QString("T").repeated(32) + "]" << "close|log:Read OK !|close|beep" << 1024 << 1024 << "1,1=FF;64,16=FF;65,1=00" << "R";
    *row("read short block") << "read" << "21" << 0 << "short:0;grid:00" << "[I][R" + QString("T").repeated(64) + "]" << "close|log:Read OK !|close|beep" << 2048 << 2048 << "1,1=FF;1,2=FF;1,3=;2,16=;3,1=FF" << "R";
    *row("verify") << "verify" << "21" << 0 << "" << "[I][R" + QString("T").repeated(64) + "]" << "close|log:Verify OK !|close|beep" << 2048 << 0 << "" << "R";
    *row("verify lower case") << "verify" << "21" << 0 << "lower" << "[I][R" + QString("T").repeated(64) + "]" << "close|log:Verify Error !|box:48::Vefify ERROR|close|beep" << 2048 << 0 << "" << "R";
    if (!all)
        return;
    *row("erase no chip") << "erase" << "none" << 0 << "" << "[I][S]" << ok + "log:Erase.|beep" << 0 << 0 << "" << "S";
    *row("write no chip") << "program" << "none" << 2048 << "" << "[I]" << "close|box:16:PROGRAM:System ERROR" << 0 << 2048 << "" << "*";
    *row("write w for the fourth Q") << "program" << "21" << 2048 << "wrongQ:3=w" << "[I][W###]" << "close|log:Write Error !|box:48::Write ERROR|close|beep" << 2048 << 2048 << "" << "w";
    *row("read no chip") << "read" << "none" << 0 << "" << "[I][R]" << "close|box:16:PROGRAM:System ERROR|close|beep" << 0 << 0 << "" << "*did not answer";
    *row("read r") << "read" << "11" << 0 << "status:r" << "[I][R" + QString("T").repeated(32) + "]" << "close|log:Read Error !|box:48::Read ERROR|close|beep" << 1024 << 1024 << "" << "r";
    *row("verify r") << "verify" << "11" << 0 << "status:r" << "[I][R" + QString("T").repeated(32) + "]" << "close|box:16:PROGRAM:System ERROR|close|beep" << 1024 << 0 << "" << "r";
}

// Applies the grid items of a fault; the board items are left to the rig.
inline void prepareGrid(image::HexGrid& grid, const QString& fault)
{
    image::CodeBuffer buffer;
    for (const QString& item : fault.split(';', Qt::SkipEmptyParts))
        if (item.startsWith("grid:"))
            buffer.fill(static_cast<std::uint8_t>(item.mid(5).toUInt(nullptr, 16)));
    grid.redraw(buffer);
    for (const QString& item : fault.split(';', Qt::SkipEmptyParts)) {
        if (!item.startsWith("cell:"))
            continue;
        const QStringList parts = item.mid(5).split('=');
        const QStringList rc = parts[0].split(',');
        grid.setText(rc[0].toInt(), rc[1].toInt(), parts.value(1).toStdString());
    }
}

inline void runOp(BoardOps& ops, const QString& op)
{
    if (op == "reset") ops.reset();
    else if (op == "erase") ops.erase();
    else if (op == "blank") ops.blank();
    else if (op == "lock") ops.lock(false, false, false);
    else if (op == "lockAC") ops.lock(true, false, true);
    else if (op == "program") ops.program();
    else if (op == "read") ops.read();
    else if (op == "verify") ops.verify();
    else QFAIL("unknown operation");
}

inline QString compactWire(const std::string& wire)
{
    QString text = QString::fromStdString(wire);
    text.replace(QRegularExpression("[0-9A-F]{64}"), "#");
    return text;
}

inline bool matches(const QString& pattern, const QString& text)
{
    QString expression = QRegularExpression::escape(pattern);
    expression.replace("\\*", ".*");
    return QRegularExpression(QRegularExpression::anchoredPattern(expression),
                              QRegularExpression::DotMatchesEverythingOption)
        .match(text)
        .hasMatch();
}

// Checks everything a row expects, after the operation ran.
inline void checkOutcome(const RecordingPanel& panel, const RecordingPort& port, const image::HexGrid& grid,
                         int actualDeviceSize, int actualProgramLength)
{
    QFETCH(QString, wire);
    QFETCH(QString, outcome);
    QFETCH(int, deviceSize);
    QFETCH(int, programLengthAfter);
    QFETCH(QString, cells);
    QFETCH(QString, title);
    QCOMPARE(compactWire(port.wire), wire);
    QVERIFY2(matches(outcome, panel.outcome()), qPrintable(panel.outcome()));
    QCOMPARE(actualDeviceSize, deviceSize);
    QCOMPARE(actualProgramLength, programLengthAfter);
    for (const QString& item : cells.split(';', Qt::SkipEmptyParts)) {
        const QStringList parts = item.split('=');
        const QStringList rc = parts[0].split(',');
        QCOMPARE(QString::fromStdString(grid.text(rc[0].toInt(), rc[1].toInt())), parts.value(1));
    }
    QVERIFY2(matches(title, QString::fromStdString(panel.title)), panel.title.c_str());
}

} // namespace brindle::link::test
