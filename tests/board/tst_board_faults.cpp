// The thin layer over the protocol: its options, injected faults and delays.
#include "board_options.h"
#include "simulated_board.h"

#include <QtTest>

#include <string>

using namespace brindle::board;

namespace {

// Empty when the options are taken, else the error, which must say something.
std::string parse(const QStringList& args, BoardOptions* options)
{
    std::vector<std::string> list;
    for (const QString& a : args)
        list.push_back(a.toStdString());
    std::string error;
    return parseBoardOptions(list, options, &error) ? std::string() : error;
}

} // namespace

class TestBoardFaults : public QObject {
    Q_OBJECT
private slots:
    void rejectsBadOptions()
    {
        BoardOptions untouched;
        for (const QStringList& bad : {QStringList{"--chip", "AT90S1200"}, {"--turbo"}, {"--erase-ms=-5"}})
            QVERIFY2(!parse(bad, &untouched).empty(), qPrintable(bad.join(' ')));
        QCOMPARE(untouched.chip, BoardOptions().chip);
    }

    void injectsFaults_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("wire");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("delayMs"); // the board's working time, all told
        const QString ff = QString(64, 'F');
        const QString zeros = QString(64, '0');
        QTest::newRow("silent after S") << QStringList{"--silent-after", "S"} << "ISNI" << "21" << 0;
        QTest::newRow("wrong reply") << QStringList{"--wrong-reply=S=x"} << "SN" << "xN" << 0;
        QTest::newRow("extra after replies") << QStringList{"--extra", "\\x21\\r\\n"} << "IW" << "21!\r\nQ!\r\n" << 0;
        QTest::newRow("short block") << QStringList{"--short-block=1"} << "RTTT" << ff + "FFFF\r\n" + ff << 0;
        QTest::newRow("lower case") << QStringList{"--lower-case"} << "W" + QString(64, 'A') + "ZRT"
                                    << "QQW" + QString(64, 'a') << 0;
        QTest::newRow("hang-up in a read") << QStringList{"--hang-up-after=1"} << "RTTT" << ff << 0;
        QTest::newRow("erase and block delays") << QStringList{"--erase-ms", "40", "--block-ms=3"} << "SNW" + zeros
                                                << "SNQQ" << 43;
    }
    void injectsFaults()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, wire);
        QFETCH(QString, expected);
        QFETCH(int, delayMs);
        BoardOptions options;
        QCOMPARE(parse(QStringList{"--chip=AT89C2051"} + args, &options), std::string());
        SimulatedBoard board(options);
        std::string out;
        bool hungUp = false;
        int worked = 0;
        for (char c : wire.toStdString()) {
            const SimulatedBoard::Response r = board.receive(c);
            QVERIFY(!hungUp || (r.text.empty() && !r.hangUp)); // nothing after the hang-up
            hungUp = hungUp || r.hangUp;
            out += r.text;
            worked += r.delayMs;
        }
        QCOMPARE(QString::fromStdString(out), expected);
        QCOMPARE(hungUp && board.hungUp(), options.hangUpAfterBlocks >= 0);
        QCOMPARE(worked, delayMs);
    }
};

QTEST_APPLESS_MAIN(TestBoardFaults)
#include "tst_board_faults.moc"
