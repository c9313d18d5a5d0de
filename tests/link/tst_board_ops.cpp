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
};

QTEST_GUILESS_MAIN(TestBoardOps)
#include "tst_board_ops.moc"
