// The thin layer over the protocol: its options, injected faults and delays.
#include "board_options.h"
#include "simulated_board.h"

#include <QtTest>

#include <string>
#include <vector>

using namespace brindle::board;

class TestBoardFaults : public QObject {
    Q_OBJECT
private slots:
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
};

QTEST_APPLESS_MAIN(TestBoardFaults)
#include "tst_board_faults.moc"
