// The board operations through the real serial code, against the simulated board on a
// pseudo-terminal: the same rows as against the scripted board, and the faults only a real
// device shows (hang-up, absent port, port held by another process).
#include "op_cases.h"

#include "pty_board.h"
#include "qt_serial_port.h"
#include "serial_link.h"

#include <QProcess>

using namespace brindle;
using namespace brindle::link;
using namespace brindle::link::test;

namespace {

board::BoardOptions boardOptions(const QString& chip, const QString& fault)
{
    board::BoardOptions options;
    options.chip = chip.toStdString();
    for (const QString& item : fault.split(';', Qt::SkipEmptyParts)) {
        const QString key = item.section(':', 0, 0);
        const QString value = item.section(':', 1);
        if (key == "reply") {
            options.wrongReplyFor = value.at(0).toLatin1();
            options.wrongReply = value.section('=', 1).toStdString();
        } else if (key == "short") {
            options.shortBlock = value.toInt();
        } else if (key == "lower") {
            options.lowerCase = true;
        } else if (key == "silent") {
            options.silentAfter = value.at(0).toLatin1();
        }
    }
    return options;
}

struct PtyRig {
    explicit PtyRig(const std::array<QString, 2>& devices)
        : serial(devices), port(serial, panel), link(port, panel), ops(link, panel, grid, deviceSize, programLength)
    {
        link.setTimeout(std::chrono::milliseconds(300));
        link.beginAction();
        grid.redraw(image::CodeBuffer());
    }
    RecordingPanel panel;
    QtSerialPort serial;
    RecordingPort port;
    SerialLink link;
    image::HexGrid grid;
    int deviceSize = 0;
    int programLength = 0;
    BoardOps ops;
};

} // namespace

class TestBoardPty : public QObject {
    Q_OBJECT

private slots:
    void operation_data()
    {
        addOpColumns();
        addOpRows(false);
    }

    void operation()
    {
        QFETCH(QString, op);
        QFETCH(QString, chip);
        QFETCH(int, programLength);
        QFETCH(QString, fault);

        board::PtyBoard board;
        std::string error;
        QVERIFY2(board.start(boardOptions(chip, fault), &error), error.c_str());
        PtyRig rig({QString::fromStdString(board.devicePath()), QString()});
        rig.programLength = programLength;
        prepareGrid(rig.grid, fault);

        runOp(rig.ops, op);
        checkOutcome(rig.panel, rig.port, rig.grid, rig.deviceSize, rig.programLength);
    }

    void hangUpDuringWrite()
    {
        board::PtyBoard board;
        board::BoardOptions options = boardOptions("21", "");
        options.hangUpAfterBlocks = 3;
        std::string error;
        QVERIFY2(board.start(options, &error), error.c_str());
        PtyRig rig({QString::fromStdString(board.devicePath()), QString()});
        rig.programLength = 2048;
        rig.ops.program();
        QCOMPARE(rig.panel.outcome(), QString("close|box:16:PROGRAM:System ERROR|close|beep"));
        QVERIFY2(QString::fromStdString(rig.panel.title).startsWith("The programmer on COM1"), rig.panel.title.c_str());
    }

    void absentPort()
    {
        PtyRig rig({QStringLiteral("/dev/brindle-absent"), QString()});
        rig.ops.erase();
        QCOMPARE(rig.panel.events.size(), std::size_t(1));
        const QString box = QString::fromStdString(rig.panel.events[0]);
        QVERIFY2(box.startsWith("box:16:PORT:Cannot open COM1 (/dev/brindle-absent)"), qPrintable(box));
        QVERIFY2(box.contains("cable"), qPrintable(box));
        QCOMPARE(rig.port.wire, std::string());
    }

    void portHeldByAnotherProcess()
    {
        board::PtyBoard board;
        std::string error;
        QVERIFY2(board.start(boardOptions("21", ""), &error), error.c_str());
        const QString path = QString::fromStdString(board.devicePath());

        QProcess holder;
        holder.start(QCoreApplication::applicationDirPath() + "/link_port_holder", {path});
        QVERIFY(holder.waitForStarted());
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));

        PtyRig rig({path, QString()});
        rig.ops.blank();
        holder.closeWriteChannel(); // the holder ends when its input closes
        QVERIFY(holder.waitForFinished(10000));

        QCOMPARE(rig.panel.events.size(), std::size_t(1));
        const QString box = QString::fromStdString(rig.panel.events[0]);
        QVERIFY2(box.startsWith("box:16:PORT:Cannot open COM1"), qPrintable(box));
        QVERIFY2(box.contains("Close the other program"), qPrintable(box));
    }
};

QTEST_GUILESS_MAIN(TestBoardPty)
#include "tst_board_pty.moc"
