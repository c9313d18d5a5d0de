// The board without any I/O: the chip model where the link's operation table does not reach it
// (blank check, unerased writes, lock bits), option refusals, the USB adapter model's packets
// (exact times), and the trace replay. The injected faults are proven by that table driving them.
#include "board_options.h"
#include "board_protocol.h"
#include "simulated_board.h"
#include "trace_replay.h"
#include "usb_adapter.h"

#include <QtTest>
#include <array>
#include <string>
#include <vector>

using namespace brindle::board;
using std::chrono::microseconds;

namespace {

// Everything the board answers to the characters of text, run together.
std::string feed(BoardProtocol& board, const std::string& text)
{
    std::string out;
    for (char c : text)
        out += board.receive(c).reply;
    return out;
}

// One 32-byte block of the given byte as it goes over the line.
std::string block(const char* byte) { return QByteArray(byte).repeated(32).toStdString(); }

// Writes one block of the given byte and ends the write with "Z", as the program does.
std::string writeBlock(BoardProtocol& board, const char* byte)
{
    std::string answers = feed(board, "W");
    if (answers == "Q")
        answers += feed(board, block(byte));
    return answers.back() == 'Q' ? answers + feed(board, "Z") : answers;
}

// A READ's start and a failed WRITE, as the program traces them, amid other output. Its ASCII
// column must not be read as bytes sent, and the "w" and LF are two reads of the program's.
const char kTrace[] = "[COM1 open /dev/pts/4]\r\n"
                      "       0 > 49  |I|\r\n"
                      "       5 < 32 31  |21|\r\n"
                      "[COM1 close]\n"
                      "qt.qpa.xcb: could not connect to display 2 > 1\n"
                      "[COM1 open /dev/pts/4]\n"
                      "      10 > 57  |W|\n"
                      "      12 < 51 0D  |Q.|\n"
                      "      20 > 30 30  |00|\n"
                      "      21 > 7C 20  || |\n"
                      "      40 < 77  |w|\n"
                      "      43 < 0A  |.|\n"
                      "[COM1 close]\n";

} // namespace

class TestBoardModel : public QObject {
    Q_OBJECT
private slots:
    // Each lock bit alone on a programmed chip (that an unerased byte cannot be written over):
    // what a read, a blank check and a further write then meet, and that an erase clears it. Lock bit 2 hides the data (FF blocks, then "r");
    // lock bit 3 leaves reading and writing as they were.
    void lockBitsOneByOne()
    {
        const struct { char letter; const char *firstBlock, *status, *rewrite; } bits[] = {
            {'A', "5A", "R", "w"}, {'B', "FF", "r", "QQW"}, {'C', "5A", "R", "QQW"}};
        const std::string ff = block("FF");
        for (const auto& b : bits) {
            BoardProtocol board(findChipType("AT89C1051"));
            QCOMPARE(writeBlock(board, "5a"), std::string("QQW")); // lower-case data is taken too
            QCOMPARE(feed(board, "W" + block("FF")), std::string("Qw")); // not erased: a 0 cannot go back to 1
            QCOMPARE(feed(board, std::string(1, b.letter)), std::string(1, b.letter));
            for (int bit = 1; bit <= 3; ++bit)
                QCOMPARE(board.chip()->lockBit(bit), bit == b.letter - 'A' + 1);
            std::string read = feed(board, "R"), expected = block(b.firstBlock);
            for (int n = 0; n < 32; ++n)
                read += feed(board, "T");
            for (int n = 1; n < 32; ++n)
                expected += ff;
            QCOMPARE(read, expected + b.status); // the status comes in the last block's reply
            QCOMPARE(feed(board, "T"), std::string("r")); // the read is over
            QCOMPARE(feed(board, "N"), std::string("n")); // the flash itself still holds the data
            QCOMPARE(writeBlock(board, "00"), std::string(b.rewrite));
            QCOMPARE(feed(board, "S"), std::string("S"));
            QVERIFY(!board.chip()->lockBit(1) && !board.chip()->lockBit(2) && !board.chip()->lockBit(3));
            QCOMPARE(feed(board, "NRT"), "N" + ff);
        }
    }

    // The option the operation table does not drive, and the ones refused.
    void options()
    {
        BoardOptions extra;
        std::string error;
        QVERIFY2(parseBoardOptions({"--extra", "\\x21\\r\\n", "--chip=AT89C2051"}, &extra, &error), error.c_str());
        QCOMPARE(SimulatedBoard(extra).receive('I').text, std::string("21!\r\n"));
        BoardOptions untouched;
        for (const std::vector<std::string>& bad :
             {std::vector<std::string>{"--chip", "AT90S1200"}, {"--turbo"}, {"--erase-ms=-5"}, {"--adapter", "cp2102"},
              {"--latency-ms=2"}, {"--latency-ms=2", "--adapter=ch340"}, {"--adapter=ftdi", "--latency-ms=256"}})
            QVERIFY2(!parseBoardOptions(bad, &untouched, &error) && !error.empty(), bad[0].c_str());
        QCOMPARE(untouched.chip, BoardOptions().chip);
    }

    // arrivals: per burst, the count, when its first has crossed the line (µs from the
    // adapter's start) and the step to each next; packets: "bytes@dueUs" each.
    void packetsAndTheirTimes()
    {
        const struct { const char* what; std::string adapter; int latencyMs; std::vector<std::array<int, 3>> arrivals; QString packets; } cases[] = {
            {"ftdi: a lone byte waits for the timer's next expiry", "ftdi", 0, {{1, 3000, 0}}, "1@16000"},
            {"ftdi: idle expiries keep the timer's phase", "ftdi", 0, {{1, 40000, 0}}, "1@48000"},
            {"ftdi: 62 go at once, the rest at the timer", "ftdi", 0, {{64, 5000, 0}}, "62@5000 2@21000"},
            {"ftdi: a block at line rate in timer slices", "ftdi", 0, {{64, 521, 521}}, "30@16000 31@32000 3@48000"},
            {"ftdi at 1 ms: the reply within the millisecond", "ftdi", 1, {{2, 3300, 500}}, "2@4000"},
            {"ftdi: the timer restarted on a full packet", "ftdi", 0, {{62, 1000, 0}, {1, 18000, 0}}, "62@1000 1@33000"},
            {"ch340: 32-byte packets, 1 ms", "ch340", 0, {{40, 2500, 0}}, "32@2500 8@3500"},
            {"pl2303: 64-byte packets, 1 ms", "pl2303", 0, {{70, 2500, 0}}, "64@2500 6@3500"},
        };
        for (const auto& c : cases) {
            const std::optional<AdapterModel> model = adapterModel(c.adapter, c.latencyMs);
            QVERIFY2(model, c.what);
            const UsbAdapter::TimePoint start{};
            UsbAdapter adapter(*model, start);
            int sent = 0;
            for (const auto& [chars, firstUs, stepUs] : c.arrivals)
                for (int i = 0; i < chars; ++i, ++sent)
                    adapter.carry(char('A' + sent % 26), start + microseconds(firstUs + i * stepUs));
            QStringList got;
            std::string bytes;
            while (adapter.pending() > 0 && got.size() < 100) {
                const auto due = std::chrono::duration_cast<microseconds>(adapter.nextPacketDue() - start);
                const std::string packet = adapter.takePacket();
                bytes += packet;
                got << QStringLiteral("%1@%2").arg(packet.size()).arg(due.count());
            }
            QCOMPARE(c.what + (": " + got.join(' ')), c.what + (": " + c.packets));
            QCOMPARE(adapter.nextPacketDue(), UsbAdapter::TimePoint::max());
            QCOMPARE(int(bytes.size()), sent);
            for (int i = 0; i < sent; ++i) // nothing lost, nothing reordered
                QCOMPARE(bytes[std::size_t(i)], char('A' + i % 26));
        }
    }

    void damagedTraces()
    {
        for (const auto& [trace, error] : {std::pair{"[COM1 open x]\n  12 > 4G  |.|\n", "line 2: '4G' is not a byte in hexadecimal"},
                                           {"  12 <\n", "line 1: a byte line without bytes in hexadecimal"},
                                           {"[COM1 open x]\n[COM1 close]\n", "no byte lines*BRINDLE_TRACE=1*"}}) {
            const ParsedTrace t = parseTrace(trace);
            QVERIFY2(QRegularExpression(QRegularExpression::wildcardToRegularExpression(error)).match(
                         QString::fromStdString(t.error)).hasMatch(), t.error.c_str());
            QVERIFY(t.exchanges.empty());
        }
    }

    // replies: "text@delay", one per read; notice: what the operator is told.
    void answersInStepWithTheProgram_data()
    {
        QTest::addColumn<QString>("trace");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("replies");
        QTest::addColumn<QString>("notice");
        const QString done = "replay: all 3 exchanges of the trace answered";
        QTest::newRow("as recorded") << kTrace << "IW00| " << "21@5 Q\\r@2 w@19 \\n@22" << done;
        QTest::newRow("stopped half-way") << kTrace << "IW0" << "21@5 Q\\r@2" << "";
        QTest::newRow("diverged, then silent")
            << kTrace << "IWR0| " << "21@5 Q\\r@2"
            << "replay diverged: byte 3 from the program is 'R' (52) where the trace (line 9) has '0' (30); "
               "the board stays silent from here on";
        QTest::newRow("beyond the trace") << kTrace << "IW00| \r" << "21@5 Q\\r@2 w@19 \\n@22"
                                          << done + "|replay diverged: byte 7 from the program, the byte 0D, comes "
                                                    "after the trace's last exchange; the board stays silent from "
                                                    "here on";
        QTest::newRow("replies before any send") << "  3 < 3F\n  9 > 49\n 15 < 31 31\n" << "I" << "?@3 11@6"
                                                 << "replay: all 2 exchanges of the trace answered";
        QTest::newRow("clock restarted by a second run") << "  900 > 49\n  905 < 32 31\n   2 > 49\n   6 < 35 35\n"
                                                         << "II" << "21@5 55@4" << "replay: all 2 exchanges*";
    }
    void answersInStepWithTheProgram()
    {
        QFETCH(QString, trace);
        QFETCH(QString, sent);
        QFETCH(QString, replies);
        QFETCH(QString, notice);
        TraceReplay board(parseTrace(trace.toStdString()).exchanges);
        QStringList got, notices;
        auto take = [&](const std::vector<TraceReplay::Reply>& rs) {
            for (const auto& r : rs)
                got << QString::fromStdString(r.text).replace("\r", "\\r").replace("\n", "\\n") + "@" + QString::number(r.delayMs);
            if (const std::string told = board.takeNotice(); !told.empty())
                notices << QString::fromStdString(told);
        };
        take(board.start());
        for (const QChar c : sent)
            take(board.receive(c.toLatin1()));
        QCOMPARE(got.join(' '), replies);
        QVERIFY2(QRegularExpression(QRegularExpression::wildcardToRegularExpression(notice)).match(
                     notices.join('|')).hasMatch(), qPrintable(notices.join('|')));
    }
};

QTEST_APPLESS_MAIN(TestBoardModel)
#include "tst_board_model.moc"
