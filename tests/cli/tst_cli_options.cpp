// brindle-cli's command line, straight from the library: what the forms mean, and every option
// a command does not take refused with a line that says so; none is dropped silently.
#include "options.h"

#include <QtTest>

using namespace brindle::cli;

struct OptionCase {
    QStringList args;
    QString refusal;                 // in the error; empty: accepted
    Command command = Command::None; // None: the meaning is not checked
    QString file{};
    QStringList ports{};
    bool binary = false;
};
Q_DECLARE_METATYPE(OptionCase)

class TestCliOptions : public QObject {
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<OptionCase>("c");
        const auto row = [](const char* name, OptionCase c) { QTest::newRow(name) << c; };
        using C = Command;
        row("write", {{"-p", "/dev/a", "write", "fw.hex"}, "", C::Write, "fw.hex", {"/dev/a"}});
        row("read to standard output", {{"--port=/dev/a", "read", "-"}, "", C::Read, "-", {"/dev/a"}});
        row("several boards, quiet", {{"-q", "-p", "a", "--port", "b", "erase"}, "", C::Erase, "", {"a", "b"}});
        row(".BIN is binary", {{"write", "f.BIN"}, "", C::Write, "f.BIN", {}, true});
        row("--format over the name", {{"--format", "hex", "write", "f.bin"}, "", C::Write, "f.bin"});
        row("--format=bin over the name", {{"--format=bin", "read", "f.hex"}, "", C::Read, "f.hex", {}, true});
        row("auto with the lock step and its bits", {{"-p", "/dev/x", "auto", "f.hex", "--steps", "erase,lock", "--lock", "1"}, ""});
        row("unknown command", {{"frobnicate"}, "Unknown command"});
        row("no command", {{"-p", "x"}, "No command"});
        row("write without a file", {{"write"}, "write takes FILE"});
        row("extra argument", {{"erase", "now"}, "takes no argument"});
        row("value missing", {{"identify", "-p"}, "-p needs a value"});
        row("unknown option", {{"--fast", "erase"}, "Unknown option --fast"});
        row("unknown chip", {{"--chip", "Z80", "erase"}, "Unknown chip"});
        row("lock bit 4", {{"lock", "1,4"}, "Lock bits are any of 1,2,3"});
        row("lock option on lock", {{"lock", "1", "--lock", "2"}, "not --lock"});
        row("lock step without bits", {{"auto", "f", "--steps", "write,lock"}, "--lock BITS"});
        row("lock bits without lock step", {{"auto", "f", "--lock", "1"}, "add lock to --steps"});
        row("empty step", {{"auto", "f", "--steps", "erase,,write"}, "--steps takes"});
        row("bad format", {{"--format", "srec", "write", "f"}, "hex or bin"});
        row("timer of another adapter", {{"--simulate", "--adapter", "ch340", "--latency-ms", "1", "blank"}, "--adapter ftdi"});
        row("serial field past --chip", {{"--chip", "AT89C2051", "--serial-at", "0x7FF", "--serial-format", "be:2", "write", "f"},
                                         "does not fit in AT89C2051"});
        row("serial start past the format", {{"--serial-at", "0", "--serial-format", "bcd:1", "--serial-start", "100", "write", "f"},
                                             "does not fit bcd:1 (at most 99)"});
        row("serial number off the write step", {{"--serial-at", "0", "--serial-format", "le:1", "auto", "f", "--steps", "erase,verify"},
                                                 "add write to --steps"});
        for (const auto& [scale, refusal] : {std::pair{"0.09", "0.1 to 100"}, {"0.1", ""}, {"100", ""}, {"100.5", "0.1 to 100"}})
            QTest::addRow("scale %s", scale) << OptionCase{{"--reply-timeout-scale", scale, "erase"}, refusal};

        // Each option against each command.
        const QList<QStringList> commands{{"ports"}, {"identify"}, {"erase"}, {"blank"}, {"write", "f.hex"},
                                          {"verify", "f.hex"}, {"read", "f.hex"}, {"lock", "1"}, {"auto", "f.hex"}};
        const QStringList boards{"identify", "erase", "blank", "write", "verify", "read", "lock", "auto"};
        const QStringList files{"write", "verify", "read", "auto"};
        struct Use {
            const char* name;
            QStringList options, takenBy;
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
        for (const QStringList& command : commands) {
            for (const Use& use : uses)
                QTest::addRow("%s with %s", qPrintable(command[0]), use.name)
                    << OptionCase{use.options + command, use.takenBy.contains(command[0]) ? QString() : use.refusal};
            if (files.contains(command[0]))
                QTest::addRow("%s with an empty file name", qPrintable(command[0]))
                    << OptionCase{{"-p", "/dev/x", command[0], ""}, command[0] + " needs a file name, not an empty one."};
        }
    }
    void parse()
    {
        QFETCH(OptionCase, c);
        const Options o = parseOptions(c.args);
        if (!c.refusal.isEmpty()) {
            QVERIFY2(o.error.contains(c.refusal), qPrintable("error: \"" + o.error + "\""));
            return;
        }
        QVERIFY2(o.error.isEmpty(), qPrintable(o.error));
        if (c.command == Command::None)
            return;
        QCOMPARE(o.command, c.command);
        QCOMPARE(o.file, c.file);
        QCOMPARE(o.ports, c.ports);
        QCOMPARE(o.binary, c.binary);
        QCOMPARE(o.quiet, c.args.contains("-q"));
    }
};

QTEST_APPLESS_MAIN(TestCliOptions)
#include "tst_cli_options.moc"
