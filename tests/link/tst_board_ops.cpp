// The link over a scripted port (the simulated board's firmware behind it): each board
// operation, and the reply reader's rules and its time limit, with replies cut into reads of chosen sizes.
#include "link_rig.h"

using namespace brindle;
using namespace brindle::link::test;
using brindle::link::Reply;

namespace {
// A fault of the board's, met at the operation's own command.
enum class Fault { None, Silent, UnknownLetter, FailureLetter, ShortBlock, HangUp, EmptySocket, CodeNotHex };
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

    // One name for one fault in every operation, as the README's exit-status table gives it;
    // each fault is the board's answer to the operation's own command.
    void faultNames_data()
    {
        QTest::addColumn<link::Operation>("op");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("name");
        using O = link::Operation;
        const O ops[] = {O::Identify, O::Erase, O::Blank, O::Write, O::Read, O::Verify, O::Lock};
        // Per fault, the name for each operation in the order above; "-" where it cannot happen.
        const struct { Fault fault; const char* what; const char* names[7]; } table[] = {
            {Fault::None, "answers", {"ok", "ok", "ok", "ok", "ok", "ok", "ok"}},
            {Fault::Silent, "silent", {"no-answer", "no-answer", "no-answer", "no-answer", "no-answer", "no-answer", "no-answer"}},
            {Fault::UnknownLetter, "unknown letter", {"bad-reply", "bad-reply", "bad-reply", "bad-reply", "bad-reply", "bad-reply", "bad-reply"}},
            {Fault::FailureLetter, "failure letter", {"-", "chip-failed", "chip-failed", "chip-failed", "chip-failed", "chip-failed", "chip-failed"}},
            {Fault::ShortBlock, "short block", {"-", "-", "-", "-", "bad-reply", "bad-reply", "-"}},
            {Fault::HangUp, "hang-up", {"-", "-", "-", "hung-up", "hung-up", "hung-up", "-"}},
            {Fault::EmptySocket, "empty socket", {"no-chip", "no-chip", "no-chip", "no-chip", "no-chip", "no-chip", "no-chip"}},
            {Fault::CodeNotHex, "code not hexadecimal", {"bad-reply", "bad-reply", "bad-reply", "bad-reply", "bad-reply", "bad-reply", "bad-reply"}},
        };
        for (const auto& line : table)
            for (int i = 0; i < 7; ++i)
                if (QString name = line.names[i]; name != "-")
                    QTest::addRow("%s, %s", link::operationName(ops[i]).data(), line.what) << ops[i] << line.fault << name;
    }
    void faultNames()
    {
        QFETCH(link::Operation, op);
        QFETCH(Fault, fault);
        QFETCH(QString, name);
        const char letter = "ISNWTTA"[int(op)];
        const bool read = letter == 'T';
        board::BoardOptions options = onChip("21");
        switch (fault) {
        case Fault::None: break;
        case Fault::Silent: options.silentAfter = letter; break;
        case Fault::UnknownLetter: // a read's: the status letter behind the last block
            if (read)
                options.readStatus = "x";
            else
                options.wrongReplyFor = letter, options.wrongReply = letter == 'I' ? "2\r" : "x";
            break;
        case Fault::FailureLetter: // a read's: the chip's lock bit 2, set before the operation
            if (letter == 'W')
                options.failBlock = 1;
            else if (!read)
                options.wrongReplyFor = letter, options.wrongReply = std::string(1, char(letter - 'A' + 'a'));
            break;
        case Fault::ShortBlock: options.shortBlock = 1; break;
        case Fault::HangUp: options.hangUpAfterBlocks = 2; break;
        case Fault::EmptySocket: options.chip = "none"; break;
        case Fault::CodeNotHex: options.wrongReplyFor = 'I', options.wrongReply = "21XY"; break;
        }
        const bool readProtect = fault == Fault::FailureLetter && read;
        OpRig rig;
        rig.programLength = 2048;
        board::SimulatedBoard board(options);
        if (readProtect)
            (void)board.receive('B');
        rig.port.board = &board;
        const link::Outcome outcome = runOperation(rig.ops, op, {true, false, false});
        QCOMPARE(nameOf(outcome.result), name);
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
        board::BoardOptions options = onChip("21");
        options.silentAfter = silentFrom;
        board::SimulatedBoard board(options);
        rig.port.board = &board;
        std::atomic<bool> stop{false};
        rig.ops.setInterruptFlag(&stop);
        QElapsedTimer sinceStop;
        bool sent = false;
        std::thread stopper([&] { // waits at most 5 s for the command the board is silent to
            const QDeadlineTimer bound(5000);
            while (!(sent = rig.port.lastLetter.load() == silentFrom) && !bound.hasExpired())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            sinceStop.start();
            stop = true;
        });
        const link::Outcome outcome = runOperation(rig.ops, op, {true, false, false});
        stopper.join();
        const qint64 took = sinceStop.elapsed();
        QVERIFY2(sent, "the command the board is silent to did not go out within 5 s");
        QCOMPARE(nameOf(outcome.result), QString("interrupted"));
        QCOMPARE(link::operationName(outcome.operation), link::operationName(op));
        QCOMPARE(QString::fromStdString(outcome.detail), detail);
        // Far below the 10 s limit: the stop ended the wait. (How fast is the benchmark's to say.)
        QVERIFY2(took < 2000, qPrintable(QString("ended %1 ms after the stop").arg(took)));
        QVERIFY2(!rig.port.isOpen() && rig.port.wire.back() == ']', rig.port.wire.c_str());
        QVERIFY2(rig.panel.events.filter(QRegularExpression("^[X!]\\[")).isEmpty(), qPrintable(rig.panel.events.join('|')));
    }

    // Written out here rather than read from the chip table, so a wrong size or two swapped
    // codes in the table fail. The simulated board takes the part number.
    void identifiesEveryChip()
    {
        const struct { const char *part, *code; int size; const char* button; } chips[] = {
            {"AT89C1051", "11", 1024, "AT89C1051"}, {"AT89C2051", "21", 2048, "AT89C2051"},
            {"AT89C4051", "41", 4096, "AT89C4051"}, {"AT89C51", "51", 4096, "AT89C8051"},
            {"AT89C52", "52", 8192, "AT89C8052"},   {"AT89S8252", "72", 10240, "AT89S8252"},
            {"AT89S51", "61", 4096, "AT89S51"},     {"AT89S52", "62", 8192, "AT89S52"},
            {"AT89C55WD", "55", 20480, "AT89C55WD"},
        };
        for (const auto& c : chips) {
            OpRig rig;
            board::SimulatedBoard board(onChip(c.part));
            rig.port.board = &board;
            QVERIFY2(rig.ops.reset().ok() && rig.session.chip, c.part);
            QCOMPARE(rig.panel.title, QString(c.code));
            QCOMPARE(rig.session.deviceSize, c.size);
            QCOMPARE(std::string(rig.session.chip->name), std::string(c.part));
            QCOMPARE(std::string(rig.session.chip->control), std::string(c.button));
        }
    }

    // READ tells the window each block's two rows as the block comes in.
    void readRewritesEachBlocksRows()
    {
        OpRig rig;
        board::SimulatedBoard board(onChip("11"));
        rig.port.board = &board;
        QVERIFY(rig.ops.read().ok());
        std::vector<std::pair<int, int>> rows;
        for (int row = 1; row < 64; row += 2)
            rows.emplace_back(row, row + 1);
        QVERIFY(rig.panel.rowsChanged == rows);
    }

    // The README's exit status of each result.
    void exitCodes()
    {
        using R = link::Result;
        for (const auto& [result, code] : {std::pair{R::Ok, 0}, {R::ChipFailed, 1}, {R::BadImage, 3}, {R::PortError, 4},
                                           {R::NoAnswer, 5}, {R::BadReply, 5}, {R::HungUp, 5}, {R::NoChip, 6},
                                           {R::WrongChip, 6}, {R::StoreError, 7}})
            QCOMPARE(link::exitCode(result), code);
    }

    // A short block leaves holes in the grid on READ; a VERIFY against the same board must not
    // take its empty pairs as equal to the empty cells, nor blame the chip.
    void verifyOverHolesOfAShortRead()
    {
        OpRig rig;
        board::BoardOptions options = onChip("21");
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
        const Events expected{closed, marks(30), box(link::Icon::Critical, "PROGRAM", "System ERROR\n\nThe block at 0020H came back short"),
                              closed, beeped};
        QVERIFY2(matchAll(expected, rig.panel.events), qPrintable(rig.panel.events.join('|')));
    }

    // The reader's rules; with settle, what the board sends behind a status letter joins the
    // reply, in the same read or the next, up to a line end.
    void reader()
    {
        const QString block = QString("0123456789ABCDEF").repeated(4);
        const QString quiet = "The programmer on COM1 (DEV) did not answer";
        // first: the reply and title, the title alone when time is up; second: of a following
        // call with wanted 1; chunks: sizes of successive reads (none: one read); reopen: the
        // port is closed and opened between the calls.
        const struct { const char* what; int wanted; QString incoming; std::vector<std::size_t> chunks; bool reopen; QString first, second; } rows[] = {
            {"code in reads of 1", 2, "51", {1}, false, "51", quiet},
            {"letter, CR LF", 1, "S\r\n", {}, false, "S", quiet},
            {"extra kept up to a line end", 1, "SN\r\nX", {}, false, "SN", "N"},
            {"block, status in reads of 1, 2, 3", 64, block + "R", {1, 2, 3}, false, block + "R", "R"},
            {"block in reads of 1", 64, block + "R", {1}, false, block, "R"},
            {"nothing carried over a close", 1, "SN", {}, true, "SN", quiet},
            {"CR and LF in separate reads", 2, "5\r\n1", {2, 1}, false, "5", "1"},
            {"half a code", 2, "5", {}, false, "The programmer on COM1 (DEV) gave an incomplete answer: 5", quiet},
        };
        for (const auto& r : rows) {
            OpRig rig;
            rig.link.setTimeout(std::chrono::milliseconds(100));
            rig.port.chunks = r.chunks;
            QVERIFY(rig.link.open());
            rig.port.pending = r.incoming.toStdString();
            const auto check = [&](int n, const QString& expected) {
                const Reply reply = rig.link.serialinput(n);
                const bool late = expected.startsWith("The programmer");
                QVERIFY2(reply.timedOut == late && rig.panel.title == expected, r.what);
                QVERIFY2(late ? rig.panel.idles > 0 : QString::fromStdString(reply.text) == expected, r.what);
            };
            check(r.wanted, r.first);
            if (r.reopen) {
                rig.link.close();
                QVERIFY(rig.link.open());
            }
            check(1, r.second);
        }
        OpRig rig;
        rig.port.chunks = {1};
        QVERIFY(rig.link.open());
        rig.port.pending = "RX\r\nY";
        Reply status = rig.link.serialinput(1);
        rig.link.settle(status);
        QCOMPARE(QString::fromStdString(status.text), QString("RX"));
        QCOMPARE(rig.panel.title, QString("RX"));
    }

    // A reply's limit: a floor, the characters' line time, the board's work, all scaled.
    void replyLimit()
    {
        using W = link::Work;
        const struct { int characters; W work; double scale; int ms; } rows[] = {
            {1, W::None, 1.0, 301},        {65, W::None, 1.0, 334},      {1, W::Erase, 1.0, 2301},
            {1, W::BlankCheck, 1.0, 1001}, {1, W::Program, 1.0, 601},    {1, W::None, 0.5, 150},
            {1, W::None, 0.0, 3},          {1, W::Erase, 1e9, 3600000}, // scale 0: a hundredth; an hour at most
        };
        for (const auto& r : rows)
            QCOMPARE(link::ReplyLimits::forReply(r.characters, r.work, r.scale).count(), r.ms);
    }

    // Once a reply has timed out, the rest of the exchange on that opening takes only what is
    // waiting: three replies of a silent board cost one limit, not three. The bound lies
    // halfway between, far from either.
    void silenceCostsOneLimit()
    {
        OpRig rig;
        rig.link.setTimeout(std::chrono::milliseconds(400));
        QVERIFY(rig.link.open());
        QElapsedTimer clock;
        clock.start();
        Reply reply;
        for (int i = 0; i < 3; ++i)
            reply = rig.link.serialinput(1);
        QVERIFY(reply.timedOut);
        QCOMPARE_LT(clock.elapsed(), 800); // three limits: 1200 ms
        QCOMPARE(rig.link.silenceLimit(), std::chrono::milliseconds(400));
    }
};

QTEST_GUILESS_MAIN(TestBoardOps)
#include "tst_board_ops.moc"
