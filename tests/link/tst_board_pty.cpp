// The board operations through the real serial code against the simulated board on a
// pseudo-terminal, and a port held by another process.
#include "link_rig.h"

#include "pty_board.h"

#include <QProcess>

using namespace brindle;
using namespace brindle::link::test;

class TestBoardPty : public QObject {
    Q_OBJECT

private slots:
    void operation_data() { addOpRows(); }

    void operation()
    {
        QFETCH(QString, fault);
        board::PtyBoard board;
        std::string error;
        QVERIFY2(board.start(prepare(nullptr), &error), error.c_str());
        OpRig rig(fault == "absent" ? "/dev/brindle-absent" : board.devicePath());
        prepare(&rig);
        runRow(rig);
    }

    void portHeldByAnotherProcess()
    {
        board::PtyBoard board;
        std::string error;
        QVERIFY2(board.start({}, &error), error.c_str());
        QProcess holder;
        holder.start(QCoreApplication::applicationDirPath() + "/link_port_holder",
                     {QString::fromStdString(board.devicePath())});
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine(), QByteArray("held\n"));
        OpRig rig(board.devicePath());
        rig.ops.blank();
        holder.closeWriteChannel(); // the holder ends when its input closes
        QVERIFY(holder.waitForFinished(10000));
        QCOMPARE(rig.panel.events.size(), 1);
        QVERIFY2(matches("box:16:PORT:Cannot open COM1 (/dev/*): *Close the other program*", rig.panel.events[0]),
                 qPrintable(rig.panel.events[0]));
        QCOMPARE(rig.port.wire, std::string());
    }
};

QTEST_GUILESS_MAIN(TestBoardPty)
#include "tst_board_pty.moc"
