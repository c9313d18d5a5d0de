// The program's command line: what each option sets, and what a mistake is told.
#include "command_line.h"

#include <QtTest>

using brindle::app::CommandLine;
using brindle::app::parseCommandLine;

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    // error: empty when the arguments are taken, else words the message must hold ("|" between).
    void options_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("simulate");
        QTest::addColumn<QString>("chip");
        QTest::addColumn<bool>("pacing");
        QTest::addColumn<QString>("com1");
        QTest::addColumn<QString>("com2");
        QTest::addColumn<bool>("help");
        QTest::addColumn<QString>("error");
        const QString s52 = "AT89S52";
        QTest::newRow("none") << QStringList{} << false << s52 << true << "" << "" << false << "";
        QTest::newRow("simulate") << QStringList{"--simulate"} << true << s52 << true << "" << "" << false << "";
        QTest::newRow("simulate chip, no pace") << QStringList{"--no-pace", "--simulate=AT89C2051"} << true
                                                << "AT89C2051" << false << "" << "" << false << "";
        QTest::newRow("empty socket") << QStringList{"--simulate=none"} << true << "none" << true << "" << "" << false << "";
        QTest::newRow("simulate, COM2") << QStringList{"--simulate", "--com2", "/dev/ttyS1"} << true << s52 << true
                                        << "" << "/dev/ttyS1" << false << "";
        QTest::newRow("com1 and com2") << QStringList{"--com1", "/dev/pts/7", "--com2=/dev/ttyUSB1"} << false << s52
                                       << true << "/dev/pts/7" << "/dev/ttyUSB1" << false << "";
        QTest::newRow("help") << QStringList{"--help"} << false << s52 << true << "" << "" << true << "";
        QTest::newRow("unknown chip") << QStringList{"--simulate=AT89C99"} << true << "AT89C99" << true << "" << ""
                                      << false << "--simulate=AT89C99|AT89C1051, AT89C2051|AT89C55WD, or none";
        QTest::newRow("empty chip") << QStringList{"--simulate="} << true << "" << true << "" << "" << false
                                    << "--simulate=:|AT89S8252";
        QTest::newRow("chip after a blank") << QStringList{"--simulate", "AT89C51"} << true << s52 << true << ""
                                            << "" << false << "AT89C51|--simulate=AT89C51";
        QTest::newRow("simulate with com1") << QStringList{"--simulate", "--com1", "/dev/ttyS0"} << true << s52
                                            << true << "/dev/ttyS0" << "" << false << "--com1";
        QTest::newRow("timeout scale") << QStringList{"--reply-timeout-scale", "2.5"} << false << s52 << true << ""
                                       << "" << false << "";
        QTest::newRow("timeout scale not a number") << QStringList{"--reply-timeout-scale=slow"} << false << s52
                                                    << true << "" << "" << false << "--reply-timeout-scale=slow|0.1 to 100";
        QTest::newRow("timeout scale zero") << QStringList{"--reply-timeout-scale=0"} << false << s52 << true << ""
                                            << "" << false << "0.1 to 100";
        QTest::newRow("stray word") << QStringList{"blink.hex"} << false << s52 << true << "" << "" << false
                                    << "blink.hex";
    }
    void options()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        const CommandLine c = parseCommandLine(QStringList{"brindle"} + args);
        for (const QString& word : error.split('|', Qt::SkipEmptyParts))
            QVERIFY2(c.error.contains(word), qPrintable(c.error + " lacks " + word));
        QVERIFY2(error.isEmpty() == c.error.isEmpty(), qPrintable(c.error));
        if (error.isEmpty())
            QCOMPARE(c.replyTimeoutScale, args.contains("2.5") ? 2.5 : 1.0);
        if (!error.isEmpty() && !c.error.contains("--simulate"))
            return; // the parser stopped before it read the rest
        QTEST(c.simulate, "simulate");
        QTEST(c.simulatedChip, "chip");
        QTEST(c.pacing, "pacing");
        QTEST(c.comOverrides[0], "com1");
        QTEST(c.comOverrides[1], "com2");
        QTEST(c.showHelp, "help");
    }

    void helpNamesEveryOptionAndTheTrace()
    {
        const QString help = parseCommandLine({"brindle", "--help"}).helpText;
        for (const char* word : {"--com1 <PATH>", "--com2 <PATH>", "--simulate[=CHIP]", "--no-pace", "--help",
                                 "AT89C1051", "AT89C55WD", "BRINDLE_TRACE=1", "--replay", "--log <FILE>",
                                 "--reply-timeout-scale <F>"})
            QVERIFY2(help.contains(word), word);
        QVERIFY(!help.contains("<=CHIP>"));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
