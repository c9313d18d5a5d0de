// brindle-cli's command line judged the same way for every command: each option that a command
// does not take is refused with a line that says so, none is dropped silently.
#include "options.h"

#include <QtTest>

using namespace brindle::cli;

struct OptionCase {
    QStringList args;
    QString refusal; // in the error; empty: accepted
};
Q_DECLARE_METATYPE(OptionCase)

class TestCliCombinations : public QObject {
    Q_OBJECT

private slots:
    void everyCommand_data()
    {
        QTest::addColumn<OptionCase>("c");
        const QList<QStringList> commands{{"ports"}, {"identify"}, {"erase"},        {"blank"},        {"write", "f.hex"},
                                          {"verify", "f.hex"}, {"read", "f.hex"}, {"lock", "1"}, {"auto", "f.hex"}};
        const QStringList all{"ports", "identify", "erase", "blank", "write", "verify", "read", "lock", "auto"};
        const QStringList boards = all.mid(1), files{"write", "verify", "read", "auto"};
        struct Use {
            const char* name;
            QStringList options;
            QStringList takenBy;
            QString refusal;
        };
        const Use uses[] = {
            {"a port", {"-p", "/dev/x"}, boards, "ports lists every port"},
            {"the simulated board", {"--simulate", "--no-pace"}, boards, "ports lists every port"},
            {"-p auto and a candidate", {"-p", "auto", "--candidate", "/dev/y"}, boards, "ports lists every port"},
            {"a candidate", {"--candidate", "/dev/y"}, {"ports"}, "--candidate adds devices to ports and -p auto"},
            {"--probe", {"--probe"}, {"ports"}, "--probe belongs to ports"},
            {"--chip", {"--chip", "AT89S52"}, boards, "ports prints a listing"},
            {"--json", {"--json"}, boards, "ports prints a listing"},
            {"--log", {"--log", "r.log"}, boards, "ports prints a listing"},
            {"--format", {"--format", "bin"}, files, "--format belongs to write, verify, read and auto"},
            {"--steps", {"--steps", "erase"}, {"auto"}, "--steps belongs to auto"},
            {"--lock", {"--lock", "1"}, {}, "--lock"}, // auto: only with the lock step
            {"the simulated board and a port", {"--simulate", "-p", "/dev/x"}, {}, "go with"},
            {"--no-pace alone", {"--no-pace"}, {}, "--no-pace goes with --simulate"},
            {"an adapter without the simulated board", {"--adapter", "ftdi"}, {}, "go with --simulate"},
            {"an empty port", {"-p", ""}, {}, "-p needs a device path, not an empty one."},
            {"an empty candidate", {"--candidate", ""}, {}, "--candidate needs a device path, not an empty one."},
            {"an empty record", {"--log", ""}, {}, "--log needs a file name, not an empty one."},
            {"a scale that is no number", {"--reply-timeout-scale", "nan"}, {}, "a number from 0.1 to 100, not \"nan\""},
        };
        for (const QStringList& command : commands)
            for (const Use& use : uses)
                QTest::addRow("%s with %s", qPrintable(command[0]), use.name)
                    << OptionCase{use.options + command, use.takenBy.contains(command[0]) ? QString() : use.refusal};
        for (const QStringList& command : commands.mid(4, 3) + commands.mid(8))
            QTest::addRow("%s with an empty file name", qPrintable(command[0]))
                << OptionCase{{"-p", "/dev/x", command[0], ""}, command[0] + " needs a file name, not an empty one."};
        QTest::newRow("auto with the lock step and its bits")
            << OptionCase{{"-p", "/dev/x", "auto", "f.hex", "--steps", "erase,lock", "--lock", "1"}, ""};
    }
    void everyCommand()
    {
        QFETCH(OptionCase, c);
        const Options o = parseOptions(c.args);
        if (c.refusal.isEmpty())
            QVERIFY2(o.error.isEmpty(), qPrintable(o.error));
        else
            QVERIFY2(o.error.contains(c.refusal), qPrintable("error: \"" + o.error + "\""));
    }

    // The file's name tells its format unless --format does.
    void formatOverridesTheName()
    {
        QVERIFY(parseOptions({"write", "f.BIN"}).binary);
        QVERIFY(!parseOptions({"--format", "hex", "write", "f.bin"}).binary);
        QVERIFY(parseOptions({"--format=bin", "read", "f.hex"}).binary);
    }
};

QTEST_APPLESS_MAIN(TestCliCombinations)
#include "tst_cli_combinations.moc"
