// The program's command line: what each option sets, and what a mistake is told.
#include "command_line.h"

#include <QtTest>

using brindle::app::CommandLine;
using brindle::app::parseCommandLine;

namespace {
// What a command line set, away from the defaults.
QString changes(const CommandLine& c)
{
    QStringList set;
    if (c.simulate)
        set << "simulate=" + c.simulatedChip;
    if (!c.pacing)
        set << "no-pace";
    for (int i = 0; i < 2; ++i)
        if (!c.comOverrides[i].isEmpty())
            set << QString("com%1=%2").arg(i + 1).arg(c.comOverrides[i]);
    if (c.showHelp)
        set << "help";
    if (c.replyTimeoutScale != 1.0)
        set << "scale=" + QString::number(c.replyTimeoutScale);
    if (c.adapter != QLatin1String("none") || !c.latencyMs.isEmpty())
        set << "adapter=" + c.adapter + ":" + c.latencyMs;
    if (!c.file.isEmpty())
        set << "file=" + c.file;
    return set.join(' ');
}
} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    // error: empty when the arguments are taken, else words the message must hold ("|" between).
    void options_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("changes");
        QTest::addColumn<QString>("error");
        QTest::newRow("none") << QStringList{} << "" << "";
        QTest::newRow("simulate chip, no pace") << QStringList{"--no-pace", "--simulate=AT89C2051"}
                                                << "simulate=AT89C2051 no-pace" << "";
        QTest::newRow("empty socket") << QStringList{"--simulate=none"} << "simulate=none" << "";
        QTest::newRow("simulate, COM2") << QStringList{"--simulate", "--com2", "/dev/ttyS1"}
                                        << "simulate=AT89S52 com2=/dev/ttyS1" << "";
        QTest::newRow("com1 and com2") << QStringList{"--com1", "/dev/pts/7", "--com2=/dev/ttyUSB1"}
                                       << "com1=/dev/pts/7 com2=/dev/ttyUSB1" << "";
        QTest::newRow("help") << QStringList{"--help"} << "help" << "";
        QTest::newRow("timeout scale") << QStringList{"--reply-timeout-scale", "2.5"} << "scale=2.5" << "";
        QTest::newRow("unknown chip") << QStringList{"--simulate=AT89C99"} << ""
                                      << "--simulate=AT89C99|AT89C1051, AT89C2051|AT89C55WD, or none";
        QTest::newRow("empty chip") << QStringList{"--simulate="} << "" << "--simulate=:|AT89S8252";
        QTest::newRow("chip after a blank") << QStringList{"--simulate", "AT89C51"} << ""
                                            << "AT89C51|--simulate=AT89C51";
        QTest::newRow("simulate with com1") << QStringList{"--simulate", "--com1", "/dev/ttyS0"} << "" << "--com1";
        QTest::newRow("timeout scale not a number") << QStringList{"--reply-timeout-scale=slow"} << ""
                                                    << "--reply-timeout-scale=slow|0.1 to 100";
        QTest::newRow("timeout scale zero") << QStringList{"--reply-timeout-scale=0"} << "" << "0.1 to 100";
        QTest::newRow("a file to load") << QStringList{"--simulate", "blink.hex"} << "simulate=AT89S52 file=blink.hex" << "";
        QTest::newRow("two files") << QStringList{"a.hex", "b.hex"} << "" << "b.hex|one HEXFILE";
        QTest::newRow("adapter") << QStringList{"--simulate", "--adapter", "ftdi", "--latency-ms=2"}
                                 << "simulate=AT89S52 adapter=ftdi:2" << "";
        QTest::newRow("adapter without simulate") << QStringList{"--adapter=ch340"} << "" << "--simulate";
        QTest::newRow("timer of another adapter") << QStringList{"--simulate", "--adapter=pl2303", "--latency-ms=2"}
                                                  << "" << "--adapter ftdi";
        QTest::newRow("unknown adapter") << QStringList{"--simulate", "--adapter=cp2102"} << "" << "cp2102";
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
            QTEST(changes(c), "changes");
    }

    void helpNamesEveryOptionAndTheTrace()
    {
        const QString help = parseCommandLine({"brindle", "--help"}).helpText;
        for (const char* word : {"--com1 <PATH>", "--com2 <PATH>", "--simulate[=CHIP]", "--no-pace", "--help",
                                 "AT89C1051", "AT89C55WD", "BRINDLE_TRACE=1", "--replay", "--log <FILE>",
                                 "--reply-timeout-scale <F>", "--adapter <NAME>", "--latency-ms <N>", "[HEXFILE]"})
            QVERIFY2(help.contains(word), word);
        QVERIFY(!help.contains("<=CHIP>"));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
