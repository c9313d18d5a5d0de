// brindle-cli's command line and its words, straight from the library: what each form means,
// what it refuses and why, and what a step's outcome is said as.
#include "options.h"
#include "step_words.h"

#include <QtTest>

using namespace brindle;
using namespace brindle::cli;

struct OptionCase {
    QStringList args;
    Command command = Command::None;
    QString file;
    QStringList ports;
    QString error; // in the usage error; empty: accepted
};
Q_DECLARE_METATYPE(OptionCase)

struct WordsCase {
    link::Operation op = link::Operation::Identify;
    link::Result result = link::Result::Ok;
    const char* chip = "";     // part number; "" for none
    int bytes = 0;
    std::string reply, detail;
    QString words;
    int address = -1;
    std::string advice = {};
};
Q_DECLARE_METATYPE(WordsCase)

class TestCliOptions : public QObject {
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<OptionCase>("c");
        const auto row = [](const char* name, OptionCase c) { QTest::newRow(name) << c; };
        using C = Command;
        row("write", {{"-p", "/dev/a", "write", "fw.hex"}, C::Write, "fw.hex", {"/dev/a"}, ""});
        row("read to standard output", {{"--port=/dev/a", "read", "-"}, C::Read, "-", {"/dev/a"}, ""});
        row("several boards", {{"-p", "a", "--port", "b", "erase"}, C::Erase, "", {"a", "b"}, ""});
        row("quiet", {{"-q", "-p", "a", "identify"}, C::Identify, "", {"a"}, ""});
        row("read on two boards", {{"-p", "a", "-p", "b", "read", "x.hex"}, C::Read, "x.hex", {"a", "b"}, ""}); // refused later, by main
        row("unknown command", {{"frobnicate"}, C::None, "", {}, "Unknown command"});
        row("write without a file", {{"write"}, C::Write, "", {}, "write takes FILE"});
        row("lock bit 4", {{"lock", "1,4"}, C::Lock, "", {}, "Lock bits are any of 1,2,3"});
        row("lock step without bits", {{"auto", "f", "--steps", "write,lock"}, C::Auto, "f", {}, "--lock BITS"});
        row("unknown chip", {{"--chip", "Z80", "erase"}, C::None, "", {}, "Unknown chip"});
        row("no command", {{"-p", "x"}, C::None, "", {"x"}, "No command"});
        row("value missing", {{"identify", "-p"}, C::None, "", {}, "-p needs a value"});
        row("unknown option", {{"--fast", "erase"}, C::None, "", {}, "Unknown option --fast"});
        row("extra argument", {{"erase", "now"}, C::Erase, "", {}, "takes no argument"});
        row("empty step", {{"auto", "f", "--steps", "erase,,write"}, C::None, "", {}, "--steps takes"});
        row("lock option on lock", {{"lock", "1", "--lock", "2"}, C::Lock, "", {}, "not --lock"});
        row("lock bits without lock step", {{"auto", "f", "--lock", "1"}, C::Auto, "f", {}, "add lock to --steps"});
        row("steps outside auto", {{"write", "f", "--steps", "write"}, C::Write, "", {}, "belongs to auto"});
        row("probe outside ports", {{"identify", "--probe"}, C::Identify, "", {}, "belongs to ports"});
        row("simulate with a port", {{"--simulate", "-p", "x", "erase"}, C::Erase, "", {"x"}, "does not go with -p"});
        row("bad format", {{"--format", "srec", "write", "f"}, C::None, "", {}, "hex or bin"});
        row("bad scale", {{"--reply-timeout-scale", "0", "erase"}, C::None, "", {}, "0.1 to 100"});
    }
    void parse()
    {
        QFETCH(OptionCase, c);
        const Options o = parseOptions(c.args);
        QVERIFY2(c.error.isEmpty() ? o.error.isEmpty() : o.error.contains(c.error), qPrintable("error: " + o.error));
        QCOMPARE(o.command, c.command);
        QCOMPARE(o.file, c.file);
        QCOMPARE(o.ports, c.ports);
        QCOMPARE(o.quiet, c.args.contains("-q"));
    }

    void words_data()
    {
        QTest::addColumn<WordsCase>("c");
        const auto row = [](const char* name, WordsCase c) { QTest::newRow(name) << c; };
        using O = link::Operation;
        using R = link::Result;
        row("identified", {O::Identify, R::Ok, "AT89C2051", 0, "21", "", "AT89C2051 (code 21, 2048 bytes)"});
        row("written", {O::Write, R::Ok, "AT89S52", 160, "W", "", "ok, 160 bytes written"});
        row("read to standard output", {O::Read, R::Ok, "AT89S52", 8192, "R", "", "ok, 8192 bytes to standard output"});
        row("erase refused", {O::Erase, R::ChipFailed, "AT89S52", 0, "s", "x", "the board could not erase the chip (\"s\")"});
        row("not blank", {O::Blank, R::ChipFailed, "AT89S52", 0, "n", "x", "the chip is not blank (\"n\"): erase it first"});
        row("write refused", {O::Write, R::ChipFailed, "AT89S52", 64, "w", "The board refused block 0020H (\"w\"): the chip may not be erased.",
                              "The board refused block 0020H (\"w\"): the chip may not be erased: run erase first, or use auto",
                              32, "run erase first, or use auto"});
        row("no answer", {O::Erase, R::NoAnswer, "AT89S52", 0, "", "The board did not answer the erase within 2.3 s.",
                          "The board did not answer the erase within 2.3 s."});
        row("interrupted", {O::Write, R::Interrupted, "AT89S52", 1408, "Q", "Stopped before the block at 0580H.",
                            "interrupted after 1408 bytes: Stopped before the block at 0580H."});
    }
    void words()
    {
        QFETCH(WordsCase, c);
        link::Outcome outcome = link::Outcome::of(c.result, c.reply, c.detail);
        outcome.operation = c.op;
        outcome.bytesDone = c.bytes;
        outcome.address = c.address;
        outcome.advice = c.advice;
        const int row = protocol::chipRowByName(c.chip);
        outcome.chip = row >= 0 ? &protocol::kChips[std::size_t(row)] : nullptr;
        Options options;
        options.file = "-";
        QCOMPARE(stepWords(outcome, options, "/dev/ttyUSB0"), c.words);
    }

    // A port that does not open is said with the device the command line named, the system's
    // reason and the advice, from the outcome's data.
    void portFailureWords()
    {
        link::Outcome outcome = link::Outcome::of(link::Result::PortError);
        outcome.port = link::PortProblem{"/dev/ttyUSB0", "Permission denied", "Join the dialout group."};
        outcome.advice = outcome.port->advice;
        QCOMPARE(stepWords(outcome, Options(), "/dev/ttyUSB0"),
                 QString("Cannot open /dev/ttyUSB0: Permission denied. Join the dialout group."));
    }
};

QTEST_GUILESS_MAIN(TestCliOptions)
#include "tst_cli_options.moc"
