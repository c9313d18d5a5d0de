// Each board operation against the simulated board's firmware behind a scripted port.
#include "link_rig.h"

#include <utility>

using namespace brindle;
using namespace brindle::link::test;

namespace {
// A fault of the board's, met at the operation's own command.
enum class Fault { None, Silent, UnknownLetter, FailureLetter, ShortBlock, Block62, LowerCase, HangUp, EmptySocket, CodeNotHex };
} // namespace

Q_DECLARE_METATYPE(brindle::link::Operation)
Q_DECLARE_METATYPE(Fault)

class TestBoardOps : public QObject {
    Q_OBJECT

private slots:
    void operation_data() { addOpRows(); }

    // Each row with all that is waiting in one read (a block and its status together), and
    // in reads of 1, 2 and 3 characters.
    void operation()
    {
        QFETCH(OpCase, c);
        for (const auto& chunks : {std::vector<std::size_t>{}, std::vector<std::size_t>{1, 2, 3}}) {
            OpRig rig;
            prepare(rig, c);
            board::SimulatedBoard board(c.board);
            rig.port.board = &board;
            rig.port.chunks = chunks;
            runRow(rig, c);
        }
    }

    // One name for one fault in every operation, as the README's exit-status table gives it.
    // Each fault is the board's answer to the operation's own command.
    void faultNames_data()
    {
        QTest::addColumn<link::Operation>("op");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("exitCode");
        using O = link::Operation;
        const O ops[] = {O::Identify, O::Erase, O::Blank, O::Write, O::Read, O::Verify, O::Lock};
        // Per fault, the name for each operation in the order above; "-" where it cannot happen.
        const struct { Fault fault; const char* what; const char* names[7]; } table[] = {
            {Fault::None, "answers", {"ok", "ok", "ok", "ok", "ok", "ok", "ok"}},
            {Fault::Silent, "silent", {"no-answer", "no-answer", "no-answer", "no-answer", "no-answer", "no-answer", "no-answer"}},
            {Fault::UnknownLetter, "unknown letter", {"bad-reply", "bad-reply", "bad-reply", "bad-reply", "bad-reply", "bad-reply", "bad-reply"}},
            {Fault::FailureLetter, "failure letter", {"-", "chip-failed", "chip-failed", "chip-failed", "chip-failed", "chip-failed", "chip-failed"}},
            {Fault::ShortBlock, "short block", {"-", "-", "-", "-", "bad-reply", "bad-reply", "-"}},
            {Fault::Block62, "block of 62 characters", {"-", "-", "-", "-", "bad-reply", "bad-reply", "-"}},
            {Fault::LowerCase, "lower-case block", {"-", "-", "-", "-", "bad-reply", "bad-reply", "-"}},
            {Fault::HangUp, "hang-up", {"-", "-", "-", "hung-up", "hung-up", "hung-up", "-"}},
            {Fault::EmptySocket, "empty socket", {"no-chip", "no-chip", "no-chip", "no-chip", "no-chip", "no-chip", "no-chip"}},
            {Fault::CodeNotHex, "code not hexadecimal", {"bad-reply", "bad-reply", "bad-reply", "bad-reply", "bad-reply", "bad-reply", "bad-reply"}},
        };
        const QHash<QString, int> codes{{"ok", 0}, {"chip-failed", 1}, {"no-answer", 5}, {"bad-reply", 5}, {"hung-up", 5}, {"no-chip", 6}};
        for (const auto& line : table)
            for (int i = 0; i < 7; ++i)
                if (QString name = line.names[i]; name != "-")
                    QTest::addRow("%s, %s", link::operationName(ops[i]).data(), line.what)
                        << ops[i] << line.fault << name << codes.value(name);
    }
    void faultNames()
    {
        QFETCH(link::Operation, op);
        QFETCH(Fault, fault);
        QFETCH(QString, name);
        QFETCH(int, exitCode);
        const char letter = "ISNWTTA"[int(op)];
        const bool read = letter == 'T';
        board::BoardOptions options;
        options.chip = "21";
        OpRig rig;
        switch (fault) {
        case Fault::None: break;
        case Fault::Silent: options.silentAfter = letter; break;
        case Fault::UnknownLetter:
            if (read) // the status letter behind the last block
                rig.port.reshape = [](std::string reply) { return reply.size() == 65 ? reply.replace(64, 1, "x") : reply; };
            else
                options.wrongReplyFor = letter, options.wrongReply = letter == 'I' ? "2\r" : "x";
            break;
        case Fault::FailureLetter:
            if (letter == 'W')
                options.failBlock = 1;
            else if (!read)
                options.wrongReplyFor = letter, options.wrongReply = std::string(1, char(letter - 'A' + 'a'));
            break;
        case Fault::ShortBlock: options.shortBlock = 1; break;
        case Fault::Block62: // the first block, two characters short, then CR LF
            rig.port.reshape = [first = true](std::string reply) mutable {
                return reply.size() >= 64 && std::exchange(first, false) ? reply.substr(0, 62) + "\r\n" + reply.substr(64) : reply;
            };
            break;
        case Fault::LowerCase: options.lowerCase = true; break;
        case Fault::HangUp: options.hangUpAfterBlocks = 2; break;
        case Fault::EmptySocket: options.chip = "none"; break;
        case Fault::CodeNotHex: options.wrongReplyFor = 'I', options.wrongReply = "21XY"; break;
        }
        const bool readProtect = fault == Fault::FailureLetter && read;
        rig.programLength = 2048;
        board::SimulatedBoard board(options);
        if (readProtect)
            (void)board.receive('B'); // lock bit 2, set before the operation
        rig.port.board = &board;
        const link::Outcome outcome = runOperation(rig.ops, op, {true, false, false});
        QCOMPARE(nameOf(outcome.result), name);
        QCOMPARE(link::exitCode(outcome.result), exitCode);
        QCOMPARE(link::operationName(outcome.operation), link::operationName(op));
        if (readProtect)
            QCOMPARE(outcome.detail, std::string(link::kReadProtected));
    }

    // A stop asked for while the board is waited for ends the wait at once: the operation is
    // interrupted, nothing is judged or shown, and the port is closed. The board is silent from
    // the operation's own command on, so only the stop can end the wait before its limit.
    void stopEndsAnyWait_data()
    {
        QTest::addColumn<link::Operation>("op");
        QTest::addColumn<char>("silentFrom");
        QTest::addColumn<QString>("detail");
        using O = link::Operation;
        QTest::newRow("identify") << O::Identify << 'I' << "Stopped while waiting for the identification.";
        QTest::newRow("identify of an erase") << O::Erase << 'I' << "Stopped while waiting for the identification.";
        QTest::newRow("erase") << O::Erase << 'S'
                               << "Stopped during the erase: the board may still be erasing; identify the chip before using it.";
        QTest::newRow("blank") << O::Blank << 'N' << "Stopped during the blank check.";
        QTest::newRow("lock") << O::Lock << 'A' << "Stopped during lock bit 1.";
        QTest::newRow("write") << O::Write << 'W' << "Stopped before the block at 0000H.";
        QTest::newRow("read") << O::Read << 'T' << "Stopped while the block at 0000H came in.";
        QTest::newRow("verify") << O::Verify << 'T' << "Stopped while the block at 0000H came in.";
    }
    void stopEndsAnyWait()
    {
        QFETCH(link::Operation, op);
        QFETCH(char, silentFrom);
        QFETCH(QString, detail);
        OpRig rig;
        rig.link.setTimeout(std::chrono::milliseconds(10000));
        rig.programLength = 2048;
        board::BoardOptions options;
        options.chip = "21";
        options.silentAfter = silentFrom;
        board::SimulatedBoard board(options);
        rig.port.board = &board;
        std::atomic<bool> stop{false};
        rig.ops.setInterruptFlag(&stop);
        using Clock = std::chrono::steady_clock;
        Clock::time_point stoppedAt{};
        bool sent = false;
        std::thread stopper([&] {
            // Polls for the command the board stays silent to, at most 5 s.
            const auto limit = Clock::now() + std::chrono::seconds(5);
            while (!(sent = rig.port.lastLetter.load() == silentFrom) && Clock::now() < limit)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            stoppedAt = Clock::now();
            stop = true;
        });
        const link::Outcome outcome = runOperation(rig.ops, op, {true, false, false});
        const Clock::time_point ended = Clock::now();
        stopper.join();
        QVERIFY2(sent, "the command the board is silent to did not go out within 5 s");
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(ended - stoppedAt).count();
        QCOMPARE(nameOf(outcome.result), QString("interrupted"));
        QCOMPARE(link::operationName(outcome.operation), link::operationName(op));
        QCOMPARE(QString::fromStdString(outcome.detail), detail);
        // Far below the 10 s limit: the stop ended the wait. (How fast is the benchmark's to say.)
        QVERIFY2(took >= 0 && took < 2000, qPrintable(QString("ended %1 ms after the stop").arg(qint64(took))));
        QVERIFY2(!rig.port.isOpen() && rig.port.wire.back() == ']', rig.port.wire.c_str());
        QVERIFY2(std::none_of(rig.panel.events.begin(), rig.panel.events.end(), [](const Event& e) { return e.kind == Kind::Box; }),
                 qPrintable(shown(rig.panel.events)));
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
        QVERIFY(rig.session.chip);
        QCOMPARE(QString::fromLatin1(rig.session.chip->name.data(), int(rig.session.chip->name.size())), part);
        QCOMPARE(QString::fromLatin1(rig.session.chip->control.data(), int(rig.session.chip->control.size())), button);
    }

    // READ tells the window each block's two rows as the block comes in.
    void readRewritesEachBlocksRows()
    {
        OpRig rig;
        board::BoardOptions options;
        options.chip = "11";
        board::SimulatedBoard board(options);
        rig.port.board = &board;
        QVERIFY(rig.ops.read().ok());
        std::vector<std::pair<int, int>> rows;
        for (int row = 1; row < 64; row += 2)
            rows.emplace_back(row, row + 1);
        QVERIFY(rig.panel.rowsChanged == rows);
    }

    // The README's exit statuses of the results no fault above reaches.
    void exitCodesOfTheOtherResults()
    {
        using R = link::Result;
        for (const auto& [result, code] : {std::pair{R::BadImage, 3}, {R::PortError, 4}, {R::WrongChip, 6}, {R::StoreError, 7}})
            QCOMPARE(link::exitCode(result), code);
    }

    // A board that sends a short block fills the grid with holes on READ; a VERIFY against the
    // same board must not take its empty pairs as equal to the empty cells, nor blame the chip.
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
        QCOMPARE(outcome.result, link::Result::BadReply);
        QCOMPARE(int(outcome.differences.size()), 30);
        QCOMPARE(outcome.differences.front().address, 0x22);
        // The box of an answer outside the protocol, not the chip-differs one.
        const Events expected{closed, marks(30), box(link::Icon::Critical, "PROGRAM", "System ERROR\n\nThe block at 0020H came back short"),
                              closed, beeped};
        QVERIFY2(matchAll(expected, rig.panel.events), qPrintable(shown(rig.panel.events)));
    }
};

QTEST_GUILESS_MAIN(TestBoardOps)
#include "tst_board_ops.moc"
