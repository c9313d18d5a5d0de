// The link over a scripted port (the simulated board's firmware behind it): each board
// operation, and the reply reader's rules and its time limit, with replies cut into reads of chosen sizes.
#include "link_rig.h"

#include <cstring>

using namespace brindle;
using namespace brindle::link::test;
using brindle::link::Reply;

namespace brindle::link::test {
namespace {

struct CellText {
    int row = 0, column = 0;
    std::string text;
};

// One board operation's case: the board and the grid before, and all the operation must come to.
struct OpCase {
    Operation op = Operation::Identify;
    std::array<bool, 3> lockBits{};
    board::BoardOptions board;
    bool absent = false;         // the port cannot be opened
    int programLength = 0;
    std::string fill;            // every cell of the grid before; empty: FF
    std::vector<CellText> cells; // cells set before
    std::string wire;            // "[" "]" open and close; "#" a block of 64 hexadecimal digits
    Events events;
    int deviceSize = 0, programLengthAfter = 0;
    std::vector<CellText> cellsAfter;
    QString title;
    Result result = Result::Ok;
    int address = -1, bytesDone = 0, differing = 0;
};

// Builds a row as a chain of what differs from the default; it is added when the chain ends.
// board: the chip, then the simulated board's options ("21 --lower-case").
class OpRow {
public:
    OpRow(const char* name, Operation op, const QString& board) : name_(name)
    {
        c_.op = op;
        std::vector<std::string> args{"--chip"};
        for (const QString& word : board.split(' '))
            args.push_back(word.toStdString());
        if (std::string error; !board::parseBoardOptions(args, &c_.board, &error))
            qFatal("%s: %s", name, error.c_str());
    }
    ~OpRow() { QTest::newRow(name_) << c_; }
    OpRow& lock(bool lb1, bool lb2, bool lb3) { c_.lockBits = {lb1, lb2, lb3}; return *this; }
    OpRow& absent() { c_.absent = true; return *this; }
    OpRow& length(int bytes) { c_.programLength = bytes; return *this; }
    OpRow& fill(const char* pair) { c_.fill = pair; return *this; }
    OpRow& cell(int row, int column, const char* text) { c_.cells.push_back({row, column, text}); return *this; }
    OpRow& wire(const QString& text) { c_.wire = text.toStdString(); return *this; }
    OpRow& events(Events list) { c_.events = std::move(list); return *this; }
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

void addOpRows()
{
    QTest::addColumn<OpCase>("c");
    using O = Operation;
    using R = Result;
    const Icon X = Icon::Critical, E = Icon::Exclamation;
    const QString B = QString("#").repeated(64), T32 = QString("T").repeated(32), T64 = T32 + T32;
    const char* quiet = "The programmer on COM1 (DEV) did not answer";
    const char* gone = "The programmer on COM1 (DEV) was disconnected";
    const std::string check = "The board on COM1 (DEV) did not answer", system = "System ERROR\n\n";
    const Event C = closed, beep = beeped;
    OpRow("reset AT89C51", O::Identify, "51").wire("[I]").events({C}).sizes(4096, 0).title("51");
    OpRow("reset not hexadecimal", O::Identify, "62 --wrong-reply=I=2G").wire("[I]").events({C}).title("2G").outcome(R::BadReply);
    OpRow("erase a letter too many", O::Erase, "21 --wrong-reply=S=SS").wire("[I][S]").sizes(2048, 0).title("SS").outcome(R::BadReply)
        .events({C, C, box(X, "ERASE", system + "The board on COM1 (DEV) answered the erase with \"SS\", "), beep});
    OpRow("erase", O::Erase, "21").wire("[I][S]").events({C, C, logged("Erase."), beep}).sizes(2048, 0).title("S");
    OpRow("erase silent", O::Erase, "21 --silent-after=S").wire("[I][S]").sizes(2048, 0).title(quiet).outcome(R::NoAnswer)
        .events({C, C, box(X, "ERASE", system + check), beep});
    OpRow("blank n", O::Blank, "21 --wrong-reply=N=n").wire("[I][N]").sizes(2048, 0).title("n").outcome(R::ChipFailed)
        .events({C, C, logged("Blank Error !"),
                 box(E, "BLANK CHECK", "Blank Check ERROR\n\nThe chip is not blank (\"n\"): erase it first."), beep});
    OpRow("lock 1 and 3", O::Lock, "21").lock(true, false, true).wire("[I][AC]").events({C, C, beep}).sizes(2048, 0).title("C");
    for (const O op : {O::Identify, O::Erase, O::Lock, O::Write, O::Verify})
        OpRow(operationName(op).data(), op, "21").lock(true, false, false).absent().outcome(R::PortError)
            .events({box(X, "PORT", "Cannot open COM1 (DEV): ")});
    OpRow("lock a", O::Lock, "21 --wrong-reply=A=a").lock(true, true, false).wire("[I][AB]").sizes(2048, 0).title("B")
        .outcome(R::ChipFailed).events({C, C, logged("Lock Error !"), box(E, "LOCK", "Lock ERROR\n\nThe chip refused lock bit 1: "), beep});
    OpRow("lock x", O::Lock, "21 --wrong-reply=A=x").lock(true, true, true).wire("[I][A]").sizes(2048, 0).title("x")
        .events({C, C, box(X, "LOCK", system + "The board on COM1 (DEV) answered lock bit 1 with \"x\""), beep}).outcome(R::BadReply);
    const Events wrote{C, logged("Write OK !"), C, beep};
    const auto malformed = [](const char* address) { return std::string("Nothing was written: the byte at address ") + address + " is not"; };
    const auto refused = [](const char* what) { return "Write ERROR\n\nThe board refused " + std::string(what) + " (\"w\"): the chip may not be erased."; };
    OpRow("write 2 KB", O::Write, "21").length(2048).fill("A5").wire("[I][W" + B + "]").events(wrote).sizes(2048, 2048).title("W")
        .outcome(R::Ok, -1, 2048);
    OpRow("write 96 bytes to 4 KB", O::Write, "51").length(96).wire("[I][W###Z]").events(wrote).sizes(4096, 96).title("W")
        .outcome(R::Ok, -1, 96);
    OpRow("write w", O::Write, "21 --wrong-reply=W=w").length(2048).wire("[I][W]").sizes(2048, 2048).title("w").outcome(R::ChipFailed, 0)
        .events({C, logged("Write Error !"), box(E, "", refused("the write")), C, beep});
    OpRow("write longer than chip", O::Write, "21").length(4096).fill("A5").wire("[I][W" + B + "]").sizes(2048, 4096).title("W")
        .events({C, logged("Write OK !"), box(E, "PROGRAM", "The program is 4096 bytes long, the chip holds only 2048: the last 2048 bytes (from address 0800) did not fit"), C, beep}).outcome(R::BadImage, 2048, 2048);
    OpRow("write malformed first cell", O::Write, "21").length(2048).cell(1, 1, "F").wire("[I]").events({C, box(E, "PROGRAM", malformed("0000"))})
        .sizes(2048, 2048).title("21").outcome(R::BadImage, 0);
    OpRow("write malformed last cell", O::Write, "21").length(2048).cell(128, 16, "").wire("[I]").events({C, box(E, "PROGRAM", malformed("07FF"))})
        .sizes(2048, 2048).title("21").outcome(R::BadImage, 0x7FF);
    OpRow("write w for a further block", O::Write, "51 --fail-block=2").length(96).wire("[I][W###]").sizes(4096, 96).title("w")
        .events({C, logged("Write Error !"), box(E, "", refused("block 0040H")), C, beep}).outcome(R::ChipFailed, 0x40, 96);
    OpRow("write no chip", O::Write, "none").length(2048).wire("[I]").sizes(0, 2048).title("00").outcome(R::NoChip)
        .events({C, box(X, "PROGRAM", system + "No chip was found in the socket (the board answered \"00\")")});
    OpRow("write hang-up", O::Write, "21 --hang-up-after=3").length(2048).wire("[I][W###]").sizes(2048, 2048).title(gone)
        .outcome(R::HungUp, -1, 96).events({C, box(X, "PROGRAM", system + "The board on COM1 (DEV) hung up during the write: "), C, beep});
    OpRow("read AT89C1051", O::Read, "11").fill("00").wire("[I][R" + T32 + "]").events({C, marks(0), logged("Read OK !"), C, beep})
        .sizes(1024, 1024).cellAfter(1, 1, "FF").cellAfter(64, 16, "FF").cellAfter(65, 1, "00").title("R").outcome(R::Ok, -1, 1024);
    const auto readError = [&](const std::string& text) {
        return Events{C, marks(0), logged("Read Error !"), box(E, "", "Read ERROR\n\n" + text), C, beep};
    };
    const auto fault = [&](int marked, const std::string& text) { return Events{C, marks(marked), box(X, "PROGRAM", system + text), C, beep}; };
    const std::string malformedAt0 = "The block at 0000H came back malformed";
    OpRow("read short block", O::Read, "21 --short-block=0").fill("00").wire("[I][R" + T64 + "]").sizes(2048, 2048)
        .events(readError("The block at 0000H came back short: 4 characters received, \"FFFF\"."))
        .cellAfter(1, 1, "FF").cellAfter(1, 2, "FF").cellAfter(1, 3, "").cellAfter(2, 16, "").cellAfter(3, 1, "FF").title("R")
        .outcome(R::BadReply, 0, 2048);
    OpRow("read lower case", O::Read, "21 --lower-case").wire("[I][R" + T64 + "]").sizes(2048, 2048).cellAfter(1, 1, "ff").title("R")
        .events(readError(malformedAt0 + ": 64 characters received, \"ffff")).outcome(R::BadReply, 0, 2048);
    OpRow("read lower case, then r", O::Read, "21 --lower-case --read-status=r").wire("[I][R" + T64 + "]").sizes(2048, 2048).title("r")
        .events(readError(malformedAt0)).outcome(R::BadReply, 0, 2048);
    OpRow("read silent", O::Read, "21 --silent-after=T").fill("00").wire("[I][RT]").sizes(2048, 2048).cellAfter(1, 1, "")
        .cellAfter(3, 1, "00").title(quiet).events(fault(0, check)).outcome(R::NoAnswer, 0, 0);
    OpRow("read a letter too many", O::Read, "21 --read-status=RR").wire("[I][R" + T64 + "]").sizes(2048, 2048).title("RR")
        .events(fault(0, "The board on COM1 (DEV) answered the read with \"RR\", ")).outcome(R::BadReply, -1, 2048);
    OpRow("verify lower case", O::Verify, "21 --lower-case").wire("[I][R" + T64 + "]").sizes(2048, 0).title("R")
        .events(fault(2048, malformedAt0)).outcome(R::BadReply, 0, 2048, 2048);
    OpRow("verify lower case, then r", O::Verify, "21 --lower-case --read-status=r").wire("[I][R" + T64 + "]").sizes(2048, 0).title("r")
        .events(fault(0, malformedAt0)).outcome(R::BadReply, 0, 2048);
    OpRow("verify hang-up", O::Verify, "21 --hang-up-after=3").fill("00").wire("[I][RTTTT]").sizes(2048, 0).title(gone)
        .outcome(R::HungUp, 96, 96).events(fault(0, "The board on COM1 (DEV) hung up during the verify: "));
}

// Sets the rig's grid and lengths as the row has them.
void prepare(OpRig& rig, const OpCase& c)
{
    rig.programLength = c.programLength;
    if (c.absent)
        rig.port.failure = platform::OpenFailure{"No such file or directory", "Check that the programmer's cable is in."};
    for (int row = 1; row <= 4096 && !c.fill.empty(); ++row)
        for (int column = 1; column <= 16; ++column)
            rig.grid.setText(row, column, c.fill);
    for (const CellText& cell : c.cells)
        rig.grid.setText(cell.row, cell.column, cell.text);
}

// Runs the row's operation and checks all it expects, each field by its name.
void runRow(OpRig& rig, const OpCase& c)
{
    const Outcome outcome = runOperation(rig.ops, c.op, c.lockBits);
    QCOMPARE(QString::fromStdString(rig.port.wire).replace(QRegularExpression("[0-9A-F]{64}"), "#"), QString::fromStdString(c.wire));
    QVERIFY2(matchAll(c.events, rig.panel.events), ("events: " + shown(rig.panel.events)).constData());
    QCOMPARE(nameOf(outcome.result), nameOf(c.result));
    QCOMPARE(operationName(outcome.operation), operationName(c.op));
    QCOMPARE(outcome.address, c.address);
    QCOMPARE(outcome.bytesDone, c.bytesDone);
    QCOMPARE(int(outcome.differences.size()), c.differing);
    QCOMPARE(outcome.chip, rig.session.chip);
    QCOMPARE(rig.session.deviceSize, c.deviceSize);
    QCOMPARE(rig.programLength, c.programLengthAfter);
    for (const CellText& cell : c.cellsAfter)
        QCOMPARE(rig.grid.text(cell.row, cell.column), cell.text);
    QCOMPARE(rig.panel.title, c.title);
    if (c.op == Operation::Read && outcome.ok()) { // each block's two rows, told as the block comes in
        std::vector<std::pair<int, int>> rows;
        for (int row = 1; row < c.deviceSize / 16; row += 2)
            rows.emplace_back(row, row + 1);
        QVERIFY(rig.panel.rowsChanged == rows);
    }
    if (outcome.ok() && c.op == Operation::Write && rig.programLength >= rig.session.deviceSize) { // the chip holds the image
        rig.panel.events.clear();
        QVERIFY(rig.ops.verify().ok());
    }
}

} // namespace
} // namespace brindle::link::test

namespace {
// A fault of the board's, met at the operation's own command.
enum class Fault { None, Silent, UnknownLetter, FailureLetter, ShortBlock, HangUp, EmptySocket, CodeNotHex };
} // namespace

Q_DECLARE_METATYPE(brindle::link::test::OpCase)
Q_DECLARE_METATYPE(brindle::link::Operation)
Q_DECLARE_METATYPE(Fault)

class TestBoardOps : public QObject {
    Q_OBJECT

private slots:
    void operation_data() { addOpRows(); }

    // Each row with all that is waiting in one read (a block and its status together), in
    // reads of 1, 2 and 3 characters, and one at a time (a letter too many in a read of its own).
    void operation()
    {
        QFETCH(OpCase, c);
        for (const auto& chunks : {std::vector<std::size_t>{}, {1, 2, 3}, {1}}) {
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
        // Per fault, its one name and the operations it can happen in, by letter in the order above.
        const struct { Fault fault; const char *what, *name, *in; } table[] = {
            {Fault::None, "answers", "ok", "ISNWRVL"},
            {Fault::Silent, "silent", "no-answer", "ISNWRVL"},
            {Fault::UnknownLetter, "unknown letter", "bad-reply", "ISNWRVL"},
            {Fault::FailureLetter, "failure letter", "chip-failed", "SNWRVL"},
            {Fault::ShortBlock, "short block", "bad-reply", "RV"},
            {Fault::HangUp, "hang-up", "hung-up", "WRV"},
            {Fault::EmptySocket, "empty socket", "no-chip", "ISNWRVL"},
            {Fault::CodeNotHex, "code not hexadecimal", "bad-reply", "ISNWRVL"},
        };
        for (const auto& line : table)
            for (int i = 0; i < 7; ++i)
                if (std::strchr(line.in, "ISNWRVL"[i]))
                    QTest::addRow("%s, %s", link::operationName(ops[i]).data(), line.what)
                        << ops[i] << line.fault << QString(line.name);
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
        QVERIFY2(std::none_of(rig.panel.events.begin(), rig.panel.events.end(), [](const Event& e) { return e.kind == Event::Kind::Box; }),
                 shown(rig.panel.events).constData());
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
        QVERIFY2(matchAll(expected, rig.panel.events), shown(rig.panel.events).constData());
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
        // Settle stopped at the CR: its LF, a read later, is no reply of its own.
        QCOMPARE(QString::fromStdString(rig.link.serialinput(1).text), QString("Y"));
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
