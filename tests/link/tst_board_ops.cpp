// Each board operation against the simulated board's firmware behind a scripted port.
#include "link_rig.h"

using namespace brindle;
using namespace brindle::link::test;

class TestBoardOps : public QObject {
    Q_OBJECT

private slots:
    void operation_data() { addOpRows(); }

    // Each row with all that is waiting in one read (a block and its status together), and
    // in reads of 1, 2 and 3 characters.
    void operation()
    {
        for (const auto& chunks : {std::vector<std::size_t>{}, std::vector<std::size_t>{1, 2, 3}}) {
            OpRig rig;
            board::SimulatedBoard board(prepare(&rig));
            rig.port.board = &board;
            rig.port.chunks = chunks;
            runRow(rig);
        }
    }

    // Written out here rather than read from the chip table, so a wrong size or two swapped
    // codes in the table fail.
    void identifiesEveryChip_data()
    {
        QTest::addColumn<QString>("part");
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("button");
        const struct { const char *part, *code; int size; const char* button; } chips[] = {
            {"AT89C1051", "11", 1024, "AT89C1051"}, {"AT89C2051", "21", 2048, "AT89C2051"},
            {"AT89C4051", "41", 4096, "AT89C4051"}, {"AT89C51", "51", 4096, "AT89C8051"},
            {"AT89C52", "52", 8192, "AT89C8052"},   {"AT89S8252", "72", 10240, "AT89S8252"},
            {"AT89S51", "61", 4096, "AT89S51"},     {"AT89S52", "62", 8192, "AT89S52"},
            {"AT89C55WD", "55", 20480, "AT89C55WD"},
        };
        for (const auto& c : chips)
            QTest::newRow(c.part) << c.part << c.code << c.size << c.button;
    }
    void identifiesEveryChip()
    {
        QFETCH(QString, part);
        QFETCH(QString, code);
        QFETCH(int, size);
        QFETCH(QString, button);
        OpRig rig;
        board::BoardOptions options;
        options.chip = part.toStdString(); // the simulated board takes the part number
        board::SimulatedBoard board(options);
        rig.port.board = &board;
        QVERIFY(rig.ops.reset().ok());
        QCOMPARE(rig.panel.title, code);
        QCOMPARE(rig.session.deviceSize, size);
        QVERIFY(rig.session.chip());
        QCOMPARE(QString::fromLatin1(rig.session.chip()->name.data(), int(rig.session.chip()->name.size())), part);
        QCOMPARE(QString::fromLatin1(rig.session.chip()->control.data(), int(rig.session.chip()->control.size())), button);
    }

    // A board that sends a short block fills the grid with holes on READ; a VERIFY against the
    // same board must not take its empty pairs as equal to the empty cells.
    void verifyOverHolesOfAShortRead()
    {
        OpRig rig;
        board::BoardOptions options;
        options.chip = "21";
        options.shortBlock = 1;
        board::SimulatedBoard board(options);
        rig.port.board = &board;
        QCOMPARE(rig.ops.read().result, link::Result::BadReply);
        QCOMPARE(rig.grid.text(3, 3), std::string());
        rig.panel.events.clear();
        const link::Outcome outcome = rig.ops.verify();
        QCOMPARE(outcome.result, link::Result::ChipFailed);
        QCOMPARE(int(outcome.differences.size()), 30);
        QCOMPARE(outcome.differences.front().address, 0x22);
        QVERIFY2(rig.panel.events.contains("marks:30") && rig.panel.events.contains("log:Verify Error !"),
                 qPrintable(rig.panel.events.join('|')));
    }
};

QTEST_GUILESS_MAIN(TestBoardOps)
#include "tst_board_ops.moc"
