#include "board_job.h"

#include "cli_monitor.h"
#include "step_words.h"
#include "serial_step.h"
#include "step_record.h"
#include "stop_signals.h"

#include <QJsonArray>

namespace brindle::cli {

using link::Operation;
using link::Outcome;
using link::Result;
using Clock = std::chrono::steady_clock;

namespace {

QString text(std::string_view view) { return QString::fromUtf8(view.data(), int(view.size())); }

QString chipName(const protocol::Chip* chip) { return chip ? text(chip->name) : QString(); }

QString hexAddress(int address) { return QString::fromStdString(image::fixedHex(unsigned(address), 4)) + 'H'; }

QString crcText(std::uint32_t crc) { return QStringLiteral("%1").arg(crc, 8, 16, QLatin1Char('0')).toUpper(); }

QString sumText(std::uint16_t sum) { return QStringLiteral("%1").arg(sum, 4, 16, QLatin1Char('0')).toUpper(); }

} // namespace

struct BoardJob::Ops {
    Ops(std::unique_ptr<platform::Port> port, Reporter* reporter, int board, const image::HexGrid* image,
        double timeoutScale)
        : port(std::move(port)), monitor(reporter, board), link(*this->port, monitor, nullptr),
          grid(image ? *image : image::HexGrid()), ops(link, monitor, nullptr, grid, session)
    {
        link.setTimeoutScale(timeoutScale);
        ops.setBoardName("The board"); // each line names the port itself where several boards work
    }
    std::unique_ptr<platform::Port> port;
    CliMonitor monitor;
    link::SerialLink link;
    image::HexGrid grid;
    link::Session session;
    link::BoardOps ops;
    std::unique_ptr<station::Store> store;
    std::unique_ptr<station::ChipSerial> serial;
};

BoardJob::BoardJob(int board, QString named, QString device, const JobContext& context)
    : board_(board), named_(std::move(named)), device_(std::move(device)), context_(context)
{
    result_.port = device_;
}

BoardResult BoardJob::refuse(Operation kind, Outcome outcome)
{
    outcome.operation = kind;
    report(nullptr, outcome, std::chrono::milliseconds(0));
    result_.result = outcome.result;
    return result_;
}

BoardResult BoardJob::run()
{
    const auto start = Clock::now();
    {
        Ops ops(context_.openPort(device_), context_.reporter, board_, context_.image ? context_.image->grid.get() : nullptr,
                context_.options->timeoutScale);
        ops.ops.setInterruptFlag(context_.interrupt);
        ops.session.programLength = context_.image ? context_.image->programLength : 0;
        if (context_.store) {
            // Connections are the thread's own: each board has one.
            ops.store = std::make_unique<station::Store>(*context_.store, context_.station, station::systemUserName());
            if (context_.plan) {
                ops.serial = std::make_unique<station::ChipSerial>(*ops.store, *context_.plan, device_);
                ops.ops.setBeforeWrite([&ops] { return ops.serial->beforeWrite(ops.grid, ops.session); });
            }
        }
        runSteps(ops);
    } // the port is closed here, on its own thread
    result_.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return result_;
}

bool BoardJob::runSteps(Ops& ops)
{
    const Options& o = *context_.options;
    // A file that cannot be written is told before the chip is read, not after.
    if (o.command == Command::Read)
        if (const QString problem = readTargetProblem(o.file); !problem.isEmpty())
            return step(ops, Operation::Read, [&](link::BoardOps&) { return Outcome::of(Result::BadImage, {}, problem.toStdString()); });
    if (o.command == Command::Identify && o.chip.isEmpty())
        return step(ops, Operation::Identify, [](link::BoardOps& b) { return b.reset(); });
    if (!guard(ops) || o.command == Command::Identify)
        return false;
    const auto lock = [bits = o.lock.value_or(LockBits{}).bits](link::BoardOps& b) { return b.lock(bits[0], bits[1], bits[2]); };
    switch (o.command) {
    case Command::Erase: return step(ops, Operation::Erase, [](link::BoardOps& b) { return b.erase(); });
    case Command::Blank: return step(ops, Operation::Blank, [](link::BoardOps& b) { return b.blank(); });
    case Command::Lock: return step(ops, Operation::Lock, lock);
    case Command::Write: return step(ops, Operation::Write, [](link::BoardOps& b) { return b.program(); });
    case Command::Verify: return step(ops, Operation::Verify, [](link::BoardOps& b) { return b.verify(); });
    case Command::Read:
        return step(ops, Operation::Read, [this, &ops](link::BoardOps& b) { return finishRead(ops, b.read()); });
    case Command::Auto: break;
    default: return true;
    }
    const Operation kinds[] = {Operation::Erase, Operation::Blank, Operation::Write, Operation::Verify, Operation::Lock};
    const OperationRun auto_[] = {[](link::BoardOps& b) { return b.erase(); }, [](link::BoardOps& b) { return b.blank(); },
                                  [](link::BoardOps& b) { return b.program(); }, [](link::BoardOps& b) { return b.verify(); },
                                  lock};
    for (int i = 0; i < 5; ++i)
        if (o.steps[std::size_t(i)] && !step(ops, kinds[i], auto_[i]))
            return false;
    return true;
}

// Before anything that changes the chip or needs its size: identify it, refuse another chip
// than --chip names, and an image longer than the chip.
bool BoardJob::guard(Ops& ops)
{
    const Options& o = *context_.options;
    if (o.chip.isEmpty() && !needsFile(o.command))
        return true;
    const bool identified = step(ops, Operation::Identify, [&](link::BoardOps& b) {
        Outcome outcome = b.reset();
        const QString found = chipName(outcome.chip);
        if (outcome.ok() && !o.chip.isEmpty() && found != o.chip) {
            const protocol::Chip* chip = outcome.chip;
            outcome = Outcome::of(Result::WrongChip, outcome.reply,
                                  (found + " in the socket, the job expects " + o.chip + ": nothing was sent to it.").toStdString());
            outcome.chip = chip;
        }
        return outcome;
    });
    if (!identified || !needsFile(o.command))
        return identified;
    // Reported as the step that would have sent the image; an auto without one sends none.
    const bool sends = o.command != Command::Auto || o.steps[2] || o.steps[3];
    const Operation first = o.command == Command::Verify || (o.command == Command::Auto && !o.steps[2]) ? Operation::Verify
                                                                                                      : Operation::Write;
    const Outcome refusal = refuseLongImage(ops);
    return !sends || refusal.ok() || step(ops, first, [&](link::BoardOps&) { return refusal; });
}

Outcome BoardJob::refuseLongImage(Ops& ops) const
{
    const int length = context_.image->programLength, size = ops.session.deviceSize;
    if (length <= size)
        return Outcome::of(Result::Ok);
    Outcome refusal = Outcome::of(Result::BadImage, {},
                       QStringLiteral("The image runs to %1 (%2 bytes), the %3 holds %4 bytes: nothing was sent.")
                           .arg(hexAddress(context_.image->loadedEnd - 1))
                           .arg(length)
                           .arg(chipName(ops.session.chip))
                           .arg(size)
                           .toStdString(),
                       size);
    refusal.chip = ops.session.chip;
    return refusal;
}

Outcome BoardJob::finishRead(Ops& ops, Outcome outcome) const
{
    if (!outcome.ok() || !outcome.chip)
        return outcome;
    const Options& o = *context_.options;
    QString error;
    if (!saveChipImage(ops.grid, outcome.chip->size, o.file, o.binary, &error)) {
        outcome.result = Result::BadImage;
        outcome.detail = error.toStdString();
    }
    return outcome;
}

bool BoardJob::step(Ops& ops, Operation kind, const OperationRun& operation)
{
    const auto start = Clock::now();
    Outcome outcome;
    if (context_.interrupt && context_.interrupt->load()) {
        outcome = Outcome::of(Result::Interrupted, {}, "Stopped before the " + std::string(link::operationName(kind)) + ".");
    } else {
        context_.reporter->stepStarted(board_, kind, kind == Operation::Erase || kind == Operation::Blank);
        ops.link.beginAction();
        outcome = operation(ops.ops);
        // Every operation identifies the chip again: one swapped since the guard's check is
        // reported, and ends the job.
        const QString expected = context_.options->chip, found = chipName(outcome.chip);
        if (!expected.isEmpty() && !found.isEmpty() && found != expected && outcome.result != Result::WrongChip) {
            const protocol::Chip* chip = outcome.chip;
            outcome = Outcome::of(Result::WrongChip, outcome.reply,
                                  (found + " in the socket, the job expects " + expected + ".").toStdString());
            outcome.chip = chip;
        }
    }
    outcome.operation = kind;
    if (outcome.chip)
        result_.chip = outcome.chip;
    report(&ops, outcome, std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start));
    markSerial(ops, outcome);
    if (outcome.ok())
        return true;
    result_.result = outcome.result;
    return false;
}

QString BoardJob::words(const Outcome& outcome) const
{
    // Where -p gave a bare name, which of its two meanings was tried.
    const bool bare = named_ != device_ && device_.startsWith(QLatin1String("/dev/"));
    return stepWords(outcome, *context_.options,
                     device_ + (bare ? " (there is no file " + named_ + " here)" : QString()));
}

QJsonObject BoardJob::jsonFor(const Outcome& outcome, const station::JobFacts& facts, std::chrono::milliseconds took) const
{
    const QString name = text(link::operationName(outcome.operation));
    QJsonObject o;
    o["port"] = device_;
    o["step"] = name;
    const std::string_view result = link::resultName(outcome.result);
    o["result"] = QString::fromUtf8(result.data(), int(result.size()));
    o["exitCode"] = link::exitCode(outcome.result, platform::stopExitCode());
    const protocol::Chip* chip = result_.chip;
    o["chip"] = chip ? QJsonValue(chipName(chip)) : QJsonValue();
    o["chipCode"] = chip ? QJsonValue(text(chip->code)) : QJsonValue();
    o["message"] = words(outcome);
    o["reply"] = QString::fromStdString(outcome.reply);
    o["address"] = outcome.address >= 0 ? QJsonValue(outcome.address) : QJsonValue();
    o["bytes"] = outcome.bytesDone;
    o["durationMs"] = qint64(took.count());
    // The file, the image range and its CRC as the record has them, in the same spelling.
    o["file"] = facts.file.path.isEmpty() ? QJsonValue() : QJsonValue(facts.file.path);
    o["warning"] = facts.warning.isEmpty() ? QJsonValue() : QJsonValue(facts.warning);
    if (facts.grid) {
        o["imageBytes"] = facts.imageBytes;
        o["imageCrc32"] = crcText(station::JobRecord::gridCrc32(*facts.grid, facts.imageBytes));
        o["imageSum"] = sumText(station::gridSum16(*facts.grid, facts.imageBytes));
    } else {
        o["imageBytes"] = 0;
        o["imageCrc32"] = QJsonValue();
        o["imageSum"] = QJsonValue();
    }
    QJsonArray differences;
    for (const link::Difference& d : outcome.differences)
        differences.append(QJsonObject{{"address", d.address},
                                       {"file", QString::fromStdString(d.expected)},
                                       {"chip", QString::fromStdString(d.chip)}});
    o["differingBytes"] = int(outcome.differences.size());
    o["differences"] = differences;
    return o;
}

void BoardJob::report(const Ops* ops, const Outcome& outcome, std::chrono::milliseconds took)
{
    Reporter& out = *context_.reporter;
    const QString name = text(link::operationName(outcome.operation));
    const station::JobFacts facts = factsFor(ops, outcome, took);
    const station::Serial* given = ops && ops->serial ? ops->serial->given() : nullptr;
    if (out.json()) {
        QJsonObject object = jsonFor(outcome, facts, took);
        if (context_.plan) {
            object["serial"] = !given ? QJsonValue() : given->list ? QJsonValue(given->text()) : QJsonValue(given->value);
            object["serialBytes"] = given ? QJsonValue(QString::fromLatin1(given->bytes.toHex().toUpper())) : QJsonValue();
        }
        out.jsonObject(object);
    } else {
        out.line(board_, name + ": " + words(outcome), !outcome.ok());
        if (given && outcome.operation == Operation::Write)
            out.line(board_, QStringLiteral("%1: serial %2 (%3 at %4, series %5)")
                                 .arg(name, given->shown(), station::bytesText(given->bytes).replace(':', ' '),
                                      hexAddress(context_.plan->address), given->series));
        if (facts.grid && outcome.ok() && facts.imageBytes > 0)
            out.line(board_, QStringLiteral("%1: CRC-32 %2, sum %3 over %4-%5 (%6 bytes)")
                                 .arg(name, crcText(station::JobRecord::gridCrc32(*facts.grid, facts.imageBytes)),
                                      sumText(station::gridSum16(*facts.grid, facts.imageBytes)), hexAddress(0),
                                      hexAddress(facts.imageBytes - 1))
                                 .arg(facts.imageBytes));
    }
    if (!context_.record && !(ops && ops->store))
        return;
    station::RecordEntry entry = station::stepEntry(outcome, facts, given);
    if (!outcome.chip) // a step that failed before identifying names the job's chip
        entry.chip = result_.chip;
    if (context_.record)
        if (const auto failure = context_.record->append(entry)) {
            result_.recordFailed = true;
            out.problem(QStringLiteral("brindle-cli: Cannot add the %1 line%2 to the record %3: %4.")
                            .arg(name, out.several() ? " of " + device_ : QString(), context_.options->logFile, *failure));
        }
    if (ops && ops->store) {
        // The store's row has the record line's fields, however the line itself is kept.
        if (const std::optional<QString> failure = station::addStepRow(*ops->store, entry, QStringLiteral("brindle-cli"))) {
            result_.storeFailed = true;
            out.problem(QStringLiteral("brindle-cli: %1%2.").arg(out.several() ? device_ + ": " : QString(), *failure));
        }
    }
}

void BoardJob::markSerial(Ops& ops, const Outcome& outcome)
{
    if (!ops.serial || !ops.serial->pending())
        return;
    // In auto the number is programmed once the chip has also been verified.
    const Options& o = *context_.options;
    const Operation decides = o.command == Command::Auto && o.steps[3] ? Operation::Verify : Operation::Write;
    if (outcome.ok() && outcome.operation != decides)
        return;
    if (const auto failure = ops.serial->finish(outcome)) {
        result_.storeFailed = true;
        context_.reporter->problem(
            QStringLiteral("brindle-cli: %1%2.").arg(context_.reporter->several() ? device_ + ": " : QString(), *failure));
    }
}

// The file and the image range a step sent, compared or read.
station::JobFacts BoardJob::factsFor(const Ops* ops, const Outcome& outcome, std::chrono::milliseconds took) const
{
    station::JobFacts facts;
    facts.port = device_.toStdString();
    facts.duration = took;
    const bool sent = outcome.operation == Operation::Write || outcome.operation == Operation::Verify;
    if (sent && context_.image) {
        facts.file = context_.image->file;
        facts.warning = context_.image->warning;
        if (ops && context_.image->grid) { // else the file was refused: no image went anywhere
            facts.grid = &ops->grid; // the board's copy: the image with the chip's own number in it
            facts.imageBytes = outcome.operation == Operation::Write ? ops->session.programLength : ops->session.deviceSize;
        }
    } else if (ops && outcome.operation == Operation::Read) {
        // A failed read wrote nothing: the file is named, its old contents are not described.
        const QString& file = context_.options->file;
        if (outcome.ok() && file != "-")
            facts.file = station::JobRecord::describeFile(file);
        else
            facts.file.path = file;
        facts.grid = &ops->grid;
        facts.imageBytes = outcome.ok() ? ops->session.deviceSize : outcome.bytesDone;
    }
    return facts;
}

} // namespace brindle::cli
