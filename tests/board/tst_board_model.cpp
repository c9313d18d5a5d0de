// The board without any I/O: its protocol and chip model character by character, the injected
// faults and delays, the USB adapter model's packets (exact times), and the trace replay.
#include "board_options.h"
#include "board_protocol.h"
#include "simulated_board.h"
#include "trace_replay.h"
#include "usb_adapter.h"

#include <QtTest>
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
std::string block(const char* byte)
{
    return QByteArray(byte).repeated(32).toStdString();
}

// Writes blocks of the given byte, each answer collected; the image ends with "Z" when its
// length differs from the chip's, as the program does.
std::string writeImage(BoardProtocol& board, int blocks, const char* byte)
{
    std::string answers = feed(board, "W");
    for (int i = 0; i < blocks && answers.back() == 'Q'; ++i)
        answers += feed(board, block(byte));
    if (answers.back() == 'Q')
        answers += feed(board, "Z");
    return answers;
}

struct Arrival {
    int chars;
    int firstUs; // when the first has crossed the line, from the adapter's start
    int stepUs;  // and each next one later
};

struct Case {
    std::string adapter;
    int latencyMs;
    std::vector<Arrival> arrivals;
    QString packets; // "bytes@dueUs" each
};

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

// The replies as "text@delay", one per read, and the notices, as the board meets bytes.
QString replay(const std::string& trace, const std::string& bytes, QStringList* notices)
{
    const ParsedTrace parsed = parseTrace(trace);
    TraceReplay board(parsed.exchanges);
    QStringList replies;
    auto take = [&](const std::vector<TraceReplay::Reply>& rs) {
        for (const auto& r : rs)
            replies << QString::fromStdString(r.text).replace("\r", "\\r").replace("\n", "\\n") + "@" + QString::number(r.delayMs);
        if (const std::string notice = board.takeNotice(); !notice.empty())
            *notices << QString::fromStdString(notice);
    };
    take(board.start());
    for (char c : bytes)
        take(board.receive(c));
    return replies.join(' ');
}

} // namespace

Q_DECLARE_METATYPE(Case)

class TestBoardModel : public QObject {
    Q_OBJECT
private slots:
    // (The lock bits, and an erase clearing them, are taken one by one below.)
    void eraseBlankAndAnUnerasedWrite()
    {
        BoardProtocol board(findChipType("AT89C1051"));
        QCOMPARE(feed(board, "N"), std::string("N"));
        QCOMPARE(writeImage(board, 1, "5A"), std::string("QQW"));
        QCOMPARE(feed(board, "N"), std::string("n"));
        QCOMPARE(feed(board, "W" + block("FF")), std::string("Qw")); // not erased: a 0 cannot go back to 1
        QCOMPARE(feed(board, "S"), std::string("S"));
        QCOMPARE(feed(board, "N"), std::string("N"));
    }

    // The program stops sending at the status letter, so a longer image looks the same as a full one.
    void writeHandshake()
    {
        const std::string full = std::string(32, 'Q') + "W"; // 32 blocks fill an AT89C1051
        for (const auto& [blocks, answers] :
             {std::pair<int, std::string>{0, "QW"}, {3, "QQQQW"}, {32, full}, {40, full}}) {
            BoardProtocol board(findChipType("AT89C1051"));
            QCOMPARE(writeImage(board, blocks, "3C"), answers);
            for (int a = 0; a < 1024; ++a)
                QCOMPARE(board.chip()->cell(a), a < std::min(blocks, 32) * 32 ? 0x3C : 0xFF);
            QCOMPARE(feed(board, "I"), std::string("11")); // back to commands
        }
    }

    // Each lock bit alone on a programmed chip: what a read, a blank check and a further write
    // then meet, and that an erase clears it. Lock bit 2 hides the data (FF blocks, then "r");
    // lock bit 3 leaves reading and writing as they were.
    void lockBitsOneByOne_data()
    {
        QTest::addColumn<QString>("letter");
        QTest::addColumn<QString>("firstBlock");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("rewrite");
        QTest::newRow("LB1") << "A" << "5A" << "R" << "w";
        QTest::newRow("LB2") << "B" << "FF" << "r" << "QQW";
        QTest::newRow("LB3") << "C" << "5A" << "R" << "QQW";
    }
    void lockBitsOneByOne()
    {
        QFETCH(QString, letter);
        QFETCH(QString, firstBlock);
        QFETCH(QString, status);
        QFETCH(QString, rewrite);
        BoardProtocol board(findChipType("AT89C1051"));
        QCOMPARE(writeImage(board, 1, "5a"), std::string("QQW")); // lower-case data is taken too
        QCOMPARE(feed(board, letter.toStdString()), letter.toStdString());
        const int bit = letter.at(0).toLatin1() - 'A' + 1;
        for (int b = 1; b <= 3; ++b)
            QCOMPARE(board.chip()->lockBit(b), b == bit);

        const std::string ff = block("FF");
        std::string read = feed(board, "R"), last, expected = block(firstBlock.toLatin1().constData());
        QCOMPARE(read, std::string());
        for (int b = 0; b < 32; ++b)
            read += last = feed(board, "T");
        for (int b = 1; b < 32; ++b)
            expected += ff;
        QCOMPARE(read, expected + status.toStdString());
        QCOMPARE(last, ff + status.toStdString()); // the status comes in the last block's reply
        QCOMPARE(feed(board, "T"), std::string("r")); // the read is over
        QCOMPARE(feed(board, "N"), std::string("n")); // the flash itself still holds the data
        QCOMPARE(writeImage(board, 1, "00"), rewrite.toStdString());

        QCOMPARE(feed(board, "S"), std::string("S"));
        for (int b = 1; b <= 3; ++b)
            QVERIFY(!board.chip()->lockBit(b));
        QCOMPARE(feed(board, "N"), std::string("N"));
        QCOMPARE(feed(board, "RT"), ff);
    }

    void rejectsBadOptions()
    {
        BoardOptions untouched;
        for (const std::vector<std::string>& bad :
             {std::vector<std::string>{"--chip", "AT90S1200"}, {"--turbo"}, {"--erase-ms=-5"}, {"--adapter", "cp2102"},
              {"--latency-ms=2"}, {"--latency-ms=2", "--adapter=ch340"}, {"--adapter=ftdi", "--latency-ms=256"}}) {
            std::string error;
            QVERIFY2(!parseBoardOptions(bad, &untouched, &error) && !error.empty(), bad[0].c_str());
        }
        QCOMPARE(untouched.chip, BoardOptions().chip);
    }

    // Each fault once, on an AT89C2051; delayMs is the board's working time, all told.
    void injectsFaults()
    {
        const std::string ff(64, 'F'), zeros(64, '0');
        const struct { std::vector<std::string> args; std::string wire, expected; int delayMs; } cases[] = {
            {{"--silent-after", "S"}, "ISNI", "21", 0},
            {{"--wrong-reply=S=x"}, "SN", "xN", 0},
            {{"--extra", "\\x21\\r\\n"}, "IW", "21!\r\nQ!\r\n", 0},
            {{"--short-block=1"}, "RTTT", ff + "FFFF\r\n" + ff, 0},
            {{"--lower-case"}, "W" + std::string(64, 'A') + "ZRT", "QQW" + std::string(64, 'a'), 0},
            {{"--hang-up-after=1"}, "RTTT", ff, 0},
            {{"--erase-ms", "40", "--block-ms=3"}, "SNW" + zeros, "SNQQ", 43},
        };
        for (const auto& c : cases) {
            BoardOptions options;
            std::vector<std::string> args = c.args;
            args.push_back("--chip=AT89C2051");
            std::string error;
            QVERIFY2(parseBoardOptions(args, &options, &error), error.c_str());
            SimulatedBoard board(options);
            std::string out = c.args[0] + ": ";
            bool hungUp = false;
            int worked = 0;
            for (char ch : c.wire) {
                const SimulatedBoard::Response r = board.receive(ch);
                QVERIFY(!hungUp || (r.text.empty() && !r.hangUp)); // nothing after the hang-up
                hungUp = hungUp || r.hangUp;
                out += r.text;
                worked += r.delayMs;
            }
            QCOMPARE(out, c.args[0] + ": " + c.expected); // the option leads, to name the case
            QCOMPARE(hungUp && board.hungUp(), options.hangUpAfterBlocks >= 0);
            QCOMPARE(worked, c.delayMs);
        }
    }

    void packetsAndTheirTimes_data()
    {
        QTest::addColumn<Case>("c");
        QTest::newRow("ftdi: a lone byte waits for the timer's next expiry")
            << Case{"ftdi", 0, {{1, 3000, 0}}, "1@16000"};
        QTest::newRow("ftdi: idle expiries keep the timer's phase") << Case{"ftdi", 0, {{1, 40000, 0}}, "1@48000"};
        QTest::newRow("ftdi: 62 go at once, the rest at the timer")
            << Case{"ftdi", 0, {{64, 5000, 0}}, "62@5000 2@21000"};
        QTest::newRow("ftdi: a block at line rate in timer slices")
            << Case{"ftdi", 0, {{64, 521, 521}}, "30@16000 31@32000 3@48000"};
        QTest::newRow("ftdi at 1 ms: the reply within the millisecond")
            << Case{"ftdi", 1, {{2, 3300, 500}}, "2@4000"};
        QTest::newRow("ftdi: a later reply after the timer restarted on a full packet")
            << Case{"ftdi", 0, {{62, 1000, 0}, {1, 18000, 0}}, "62@1000 1@33000"};
        QTest::newRow("ch340: 32-byte packets, 1 ms") << Case{"ch340", 0, {{40, 2500, 0}}, "32@2500 8@3500"};
        QTest::newRow("pl2303: 64-byte packets, 1 ms") << Case{"pl2303", 0, {{70, 2500, 0}}, "64@2500 6@3500"};
    }
    void packetsAndTheirTimes()
    {
        QFETCH(Case, c);
        const std::optional<AdapterModel> model = adapterModel(c.adapter, c.latencyMs);
        QVERIFY(model);
        const UsbAdapter::TimePoint start{};
        UsbAdapter adapter(*model, start);
        int sent = 0;
        for (const Arrival& a : c.arrivals)
            for (int i = 0; i < a.chars; ++i, ++sent)
                adapter.carry(char('A' + sent % 26), start + microseconds(a.firstUs + i * a.stepUs));
        QCOMPARE(adapter.pending(), std::size_t(sent));

        QStringList got;
        std::string bytes;
        while (adapter.pending() > 0 && got.size() < 100) {
            const auto due = std::chrono::duration_cast<microseconds>(adapter.nextPacketDue() - start);
            const std::string packet = adapter.takePacket();
            bytes += packet;
            got << QStringLiteral("%1@%2").arg(packet.size()).arg(due.count());
        }
        QCOMPARE(got.join(' '), c.packets);
        QCOMPARE(adapter.nextPacketDue(), UsbAdapter::TimePoint::max());
        for (int i = 0; i < sent; ++i) // nothing lost, nothing reordered
            QCOMPARE(bytes[std::size_t(i)], char('A' + i % 26));
    }

    void damagedTraces_data()
    {
        QTest::addColumn<QString>("trace");
        QTest::addColumn<QString>("error");
        QTest::newRow("not hex") << "[COM1 open x]\n  12 > 4G  |.|\n" << "line 2: '4G' is not a byte in hexadecimal";
        QTest::newRow("no bytes") << "  12 <\n" << "line 1: a byte line without bytes in hexadecimal";
        QTest::newRow("nothing traced") << "[COM1 open x]\n[COM1 close]\n" << "no byte lines*BRINDLE_TRACE=1*";
    }
    void damagedTraces()
    {
        QFETCH(QString, trace);
        QFETCH(QString, error);
        const ParsedTrace t = parseTrace(trace.toStdString());
        QVERIFY2(QRegularExpression(QRegularExpression::wildcardToRegularExpression(error)).match(
                     QString::fromStdString(t.error)).hasMatch(), t.error.c_str());
        QVERIFY(t.exchanges.empty());
    }

    // notice: what the operator is told, in full where it matters.
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
        QStringList notices;
        QCOMPARE(replay(trace.toStdString(), sent.toStdString(), &notices), replies);
        QVERIFY2(QRegularExpression(QRegularExpression::wildcardToRegularExpression(notice)).match(
                     notices.join('|')).hasMatch(), qPrintable(notices.join('|')));
    }
};

QTEST_APPLESS_MAIN(TestBoardModel)
#include "tst_board_model.moc"
