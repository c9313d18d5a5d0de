// brindle-cli's command line: what each form means, and the mistakes it refuses.
#include "options.h"

#include <QtTest>

using namespace brindle::cli;

class TestCliOptions : public QObject {
    Q_OBJECT

private slots:
    void accepted_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("binary");
        QTest::addColumn<QString>("steps"); // auto's, as 0/1 in the fixed order
        QTest::addColumn<QString>("lock");
        QTest::addColumn<QString>("chip");
        QTest::newRow("auto defaults") << QStringList{"auto", "fw.hex"} << int(Command::Auto) << "fw.hex" << false << "10110" << "" << "";
        QTest::newRow("steps in any order, options after")
            << QStringList{"auto", "fw.BIN", "--steps=lock,erase", "--lock", "3,1"} << int(Command::Auto) << "fw.BIN"
            << true << "10001" << "101" << "";
        QTest::newRow("format over extension") << QStringList{"--format", "bin", "write", "fw.img"} << int(Command::Write)
                                               << "fw.img" << true << "10110" << "" << "";
        QTest::newRow("chip by code") << QStringList{"--chip", "21", "erase"} << int(Command::Erase) << "" << false << "10110"
                                      << "" << "AT89C2051";
        QTest::newRow("chip any case") << QStringList{"--chip=at89s52", "-p", "x", "lock", "2"} << int(Command::Lock) << ""
                                       << false << "10110" << "010" << "AT89S52";
    }

    void accepted()
    {
        QFETCH(QStringList, args);
        const Options o = parseOptions(args);
        QVERIFY2(o.error.isEmpty(), qPrintable(o.error));
        QTEST(int(o.command), "command");
        QTEST(o.file, "file");
        QTEST(o.binary, "binary");
        QString steps, lock;
        for (bool s : o.steps)
            steps += s ? '1' : '0';
        if (o.lock)
            for (bool b : o.lock->bits)
                lock += b ? '1' : '0';
        QTEST(steps, "steps");
        QTEST(lock, "lock");
        QTEST(o.chip, "chip");
    }

    void refused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("says");
        QTest::newRow("no command") << QStringList{"-p", "x"} << "No command";
        QTest::newRow("value missing") << QStringList{"identify", "-p"} << "-p needs a value";
        QTest::newRow("unknown option") << QStringList{"--fast", "erase"} << "Unknown option --fast";
        QTest::newRow("extra argument") << QStringList{"erase", "now"} << "takes no argument";
        QTest::newRow("empty step") << QStringList{"auto", "f", "--steps", "erase,,write"} << "--steps takes";
        QTest::newRow("lock option on lock") << QStringList{"lock", "1", "--lock", "2"} << "not --lock";
        QTest::newRow("lock bits without lock step") << QStringList{"auto", "f", "--lock", "1"} << "add lock to --steps";
        QTest::newRow("steps outside auto") << QStringList{"write", "f", "--steps", "write"} << "belongs to auto";
        QTest::newRow("probe outside ports") << QStringList{"identify", "--probe"} << "belongs to ports";
        QTest::newRow("simulate with a port") << QStringList{"--simulate", "-p", "x", "erase"} << "does not go with -p";
        QTest::newRow("bad format") << QStringList{"--format", "srec", "write", "f"} << "hex or bin";
        QTest::newRow("bad scale") << QStringList{"--reply-timeout-scale", "0", "erase"} << "0.1 to 100";
    }

    void refused()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, says);
        const Options o = parseOptions(args);
        QVERIFY2(o.error.contains(says), qPrintable(o.error));
    }
};

QTEST_GUILESS_MAIN(TestCliOptions)
#include "tst_cli_options.moc"
