// Each board operation against a scripted board whose replies arrive in various chunks.
#include "op_cases.h"

#include "device_table.h"
#include "serial_link.h"

using namespace brindle;
using namespace brindle::link;
using namespace brindle::link::test;

namespace {

void applyBoardFaults(ScriptedBoard& board, const QString& fault)
{
    for (const QString& item : fault.split(';', Qt::SkipEmptyParts)) {
        const QString key = item.section(':', 0, 0);
        const QString value = item.section(':', 1);
        const QString text = value.section('=', 1);
        if (key == "reply")
            board.replyFor[value.at(0).toLatin1()] = text.toStdString();
        else if (key == "wrongQ")
            board.wrongQ = value.section('=', 0, 0).toInt(), board.writeReply = text.toStdString();
        else if (key == "status")
            board.readStatus = value.toStdString();
        else if (key == "short")
            board.shortBlock = value.toInt();
        else if (key == "lower")
            board.lowerCase = true;
        else if (key == "silent")
            board.silentFrom = value.at(0).toLatin1();
    }
}

int sizeOf(const QString& code)
{
    for (const Device& d : kDevices)
        if (QString::fromUtf8(d.code.data(), int(d.code.size())) == code)
            return d.size;
    return 0;
}

} // namespace

class TestBoardOps : public QObject {
    Q_OBJECT

private slots:
    void operation_data()
    {
        addOpColumns();
        QTest::addColumn<QList<int>>("chunks");
        // Each row once with everything in one read (a block and its status together) and
        // once in reads of 1, 2 and 3 characters.
        addOpRows(true);
    }

    void operation()
    {
        for (const QList<int>& chunks : {QList<int>{}, QList<int>{1, 2, 3}})
            runOnce(chunks);
    }

    void readAndVerifyTellTheWindow()
    {
        ScriptedBoard board;
        board.size = 1024;
        board.code = "11";
        board.flash = std::string(2048, 'F');
        board.flash.replace(2 * 40, 2, "12"); // address 0x28: row 3, column 9
        Rig rig(board, {});
        rig.ops.read();
        QCOMPARE(rig.panel.changedRows.size(), std::size_t(32));
        QCOMPARE(rig.panel.changedRows.back(), std::make_pair(63, 64));
        QCOMPARE(rig.panel.lastProgress, std::make_pair(0, 0));
        QCOMPARE(rig.panel.events.front(), std::string("close")); // identification
        QCOMPARE(rig.panel.events.at(1), std::string("marks:0"));

        rig.grid.setText(3, 9, "FF");
        rig.grid.setText(64, 16, "00");
        rig.ops.verify();
        const std::vector<std::pair<int, int>> expected{{3, 9}, {64, 16}};
        QCOMPARE(rig.panel.marks, expected);
        QCOMPARE(rig.panel.lastProgress, std::make_pair(0, 0));
    }

    void portThatWillNotOpen()
    {
        Rig rig(ScriptedBoard{}, {});
        rig.scripted.failure = OpenFailure{"No such file or directory", ""};
        for (auto op : {"reset", "erase", "blank", "lockAC", "program", "read", "verify"}) {
            rig.panel.events.clear();
            rig.link.beginAction();
            runOp(rig.ops, op);
            QCOMPARE(rig.panel.events.size(), std::size_t(1));
            QVERIFY(rig.panel.events[0].rfind("box:16:PORT:Cannot open COM1", 0) == 0);
        }
        QCOMPARE(rig.port.wire, std::string());
    }

private:
    struct Rig {
        Rig(ScriptedBoard b, const QList<int>& chunks)
            : board(std::move(b)), scripted(std::ref(board)), port(scripted, panel), link(port, panel),
              ops(link, panel, grid, deviceSize, programLength)
        {
            scripted.chunks.assign(chunks.begin(), chunks.end());
            link.setTimeout(std::chrono::milliseconds(150));
            link.setLineRate(0);
            link.beginAction();
            grid.redraw(image::CodeBuffer());
        }
        ScriptedBoard board;
        ScriptedPort scripted;
        RecordingPanel panel;
        RecordingPort port;
        SerialLink link;
        image::HexGrid grid;
        int deviceSize = 0;
        int programLength = 0;
        BoardOps ops;
    };

    void runOnce(const QList<int>& chunks)
    {
        QFETCH(QString, op);
        QFETCH(QString, chip);
        QFETCH(int, programLength);
        QFETCH(QString, fault);
        if (QTest::currentDataTag() == QLatin1String("read short block") && !chunks.isEmpty())
            return; // a CR and its LF in separate reads make two replies; the row needs one read

        ScriptedBoard board;
        board.code = chip == "none" ? "" : chip.toStdString();
        board.size = sizeOf(chip);
        applyBoardFaults(board, fault);
        Rig rig(board, chunks);
        rig.programLength = programLength;
        rig.deviceSize = 12345;
        prepareGrid(rig.grid, fault);

        runOp(rig.ops, op);
        checkOutcome(rig.panel, rig.port, rig.grid, rig.deviceSize, rig.programLength);
        if (op == "program" && rig.panel.outcome().contains("Write OK"))
            QCOMPARE(rig.board.flash.substr(0, std::size_t(std::min(programLength, rig.board.size) * 2)),
                     std::string(std::size_t(std::min(programLength, rig.board.size) * 2), 'F'));
    }
};

QTEST_GUILESS_MAIN(TestBoardOps)
#include "tst_board_ops.moc"
