// The thin layer over the protocol: options, injected faults, delays and line pacing.
#include "board_options.h"
#include "line_pacer.h"
#include "simulated_board.h"

#include <QtTest>

#include <string>

using namespace brindle::board;
using namespace std::chrono_literals;

namespace {

std::string feed(SimulatedBoard& board, const std::string& text)
{
    std::string out;
    for (char c : text)
        out += board.receive(c).text;
    return out;
}

BoardOptions parsed(const QStringList& args)
{
    std::vector<std::string> list;
    for (const QString& a : args)
        list.push_back(a.toStdString());
    BoardOptions options;
    std::string error;
    if (!parseBoardOptions(list, &options, &error))
        qWarning("%s", error.c_str());
    return options;
}

std::string readAll(SimulatedBoard& board, int blocks)
{
    std::string out = feed(board, "R");
    for (int b = 0; b < blocks; ++b)
        out += feed(board, "T");
    return out;
}

} // namespace

class TestBoardFaults : public QObject {
    Q_OBJECT
private slots:
    void parsesOptions()
    {
        const BoardOptions o = parsed({"--chip=at89c2051", "--pace", "--erase-ms", "500",
                                       "--wrong-reply", "S=x\\r\\n", "--extra=\\x21",
                                       "--silent-after", "W", "--hang-up-after=3"});
        QCOMPARE(o.chip, std::string("at89c2051"));
        QVERIFY(o.pacing);
        QCOMPARE(o.eraseDelayMs, 500);
        QCOMPARE(o.wrongReplyFor, 'S');
        QCOMPARE(o.wrongReply, std::string("x\r\n"));
        QCOMPARE(o.extraAfterReply, std::string("!"));
        QCOMPARE(o.silentAfter, 'W');
        QCOMPARE(o.hangUpAfterBlocks, 3);
    }

    void rejectsBadOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("unknown chip") << QStringList{"--chip", "AT90S1200"};
        QTest::newRow("unknown option") << QStringList{"--turbo"};
        QTest::newRow("missing value") << QStringList{"--block-ms"};
        QTest::newRow("negative") << QStringList{"--erase-ms=-5"};
        QTest::newRow("not a letter") << QStringList{"--silent-after", "ab"};
        QTest::newRow("bad escape") << QStringList{"--extra", "\\q"};
        QTest::newRow("short escape") << QStringList{"--extra", "\\x4"};
        QTest::newRow("no reply text") << QStringList{"--wrong-reply", "S"};
    }
    void rejectsBadOptions()
    {
        QFETCH(QStringList, args);
        std::vector<std::string> list;
        for (const QString& a : args)
            list.push_back(a.toStdString());
        BoardOptions options;
        std::string error;
        QVERIFY(!parseBoardOptions(list, &options, &error));
        QVERIFY(!error.empty());
        QCOMPARE(options.chip, BoardOptions().chip);
    }

    void injectsFaults_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("wire");
        QTest::addColumn<QString>("expected");
        const QString ff = QString(64, 'F');
        QTest::newRow("silent after S") << QStringList{"--silent-after=S"} << "ISNI" << "21";
        QTest::newRow("wrong reply") << QStringList{"--wrong-reply=S=x"} << "SN" << "xN";
        QTest::newRow("extra after replies") << QStringList{"--extra=\\r\\n"} << "IW"
                                             << "21\r\nQ\r\n";
        QTest::newRow("short block") << QStringList{"--short-block=1"} << "RTTT"
                                     << ff + "FFFF\r\n" + ff;
    }
    void injectsFaults()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, wire);
        QFETCH(QString, expected);
        SimulatedBoard board(parsed(QStringList{"--chip=AT89C2051"} + args));
        QCOMPARE(QString::fromStdString(feed(board, wire.toStdString())), expected);
    }

    void lowerCaseData()
    {
        SimulatedBoard board(parsed({"--chip=AT89C1051", "--lower-case"}));
        feed(board, "W" + std::string(64, 'A') + "Z");
        const std::string read = readAll(board, 32);
        QCOMPARE(read.substr(0, 64), std::string(64, 'a'));
        QCOMPARE(read.substr(read.size() - 65), std::string(64, 'f') + "R");
    }

    void hangsUpPartWay_data()
    {
        QTest::addColumn<QString>("wire");
        QTest::addColumn<int>("after");
        QTest::addColumn<QString>("before"); // what the line carried before going dead
        const QString data = QString(64, '0');
        QTest::newRow("at the start of a write") << "W" << 0 << "";
        QTest::newRow("write, after 2 blocks") << "W" + data + data + data << 2 << "QQ";
        QTest::newRow("read, after 1 block") << "RTTT" << 1 << QString(64, 'F');
    }
    void hangsUpPartWay()
    {
        QFETCH(QString, wire);
        QFETCH(int, after);
        QFETCH(QString, before);
        SimulatedBoard board(parsed({"--chip=AT89C2051", "--hang-up-after=" + QString::number(after)}));
        std::string out;
        bool hungUp = false;
        for (char c : wire.toStdString()) {
            const SimulatedBoard::Response r = board.receive(c);
            QVERIFY(!hungUp || (r.text.empty() && !r.hangUp)); // nothing after the hang-up
            hungUp = hungUp || r.hangUp;
            out += r.text;
        }
        QVERIFY(hungUp && board.hungUp());
        QCOMPARE(QString::fromStdString(out), before);
    }

    void delaysEraseAndProgramming()
    {
        SimulatedBoard board(parsed({"--chip=AT89C2051", "--erase-ms=40", "--block-ms=3"}));
        QCOMPARE(board.receive('S').delayMs, 40);
        QCOMPARE(board.receive('N').delayMs, 0);
        board.receive('W');
        SimulatedBoard::Response last;
        for (char c : std::string(64, '1'))
            last = board.receive(c);
        QCOMPARE(last.delayMs, 3);
        QCOMPARE(last.text, std::string("Q"));
    }

    void pacesBothWays()
    {
        LinePacer pacer(true);
        const LinePacer::TimePoint t0{};
        const auto ct = LinePacer::kCharTime;
        // Three characters read at once arrive one character time apart.
        QCOMPARE(pacer.arrive(t0), t0 + ct);
        QCOMPARE(pacer.arrive(t0), t0 + 2 * ct);
        const LinePacer::TimePoint ready = pacer.arrive(t0);
        // A 20-character reply takes 20 character times; its end is written when due.
        pacer.send(std::string(20, 'x'), ready);
        std::string all;
        LinePacer::TimePoint due{};
        while (pacer.pendingOutput() > 0) {
            const LinePacer::TimePoint next = pacer.nextBurstDue();
            QVERIFY(next > due);
            due = next;
            const std::string burst = pacer.takeBurst();
            QVERIFY(burst.size() >= 1 && burst.size() <= 8);
            all += burst;
        }
        QCOMPARE(all.size(), std::size_t(20));
        QCOMPARE(due, ready + 20 * ct);
        // The board is busy while it works: a character read meanwhile waits for it.
        pacer.send("S", t0 + 500ms);
        QCOMPARE(pacer.arrive(t0), t0 + 500ms);
    }

    void unpacedLineTakesNoTime()
    {
        LinePacer pacer(false);
        const LinePacer::TimePoint t0 = LinePacer::Clock::now();
        QCOMPARE(pacer.arrive(t0), t0);
        pacer.send(std::string(65, 'F'), t0);
        QCOMPARE(pacer.nextBurstDue(), t0);
        QCOMPARE(pacer.takeBurst().size(), std::size_t(65));
    }
};

QTEST_APPLESS_MAIN(TestBoardFaults)
#include "tst_board_faults.moc"
