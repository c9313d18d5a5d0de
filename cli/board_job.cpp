#include "board_job.h"

#include "cli_panel.h"

#include <QJsonArray>

namespace brindle::cli {

using link::Outcome;
using link::Result;
using Clock = std::chrono::steady_clock;

namespace {

QString chipName(int row)
{
    if (row < 0)
        return {};
    const auto& name = protocol::kChips[std::size_t(row)].name;
    return QString::fromUtf8(name.data(), int(name.size()));
}

QString hexAddress(int address) { return QString::fromStdString(image::fixedHex(unsigned(address), 4)) + 'H'; }

QString lockBitsText(const LockBits& lock)
{
    QStringList bits;
    for (int i = 0; i < 3; ++i)
        if (lock.bits[std::size_t(i)])
            bits << QString::number(i + 1);
    return bits.join(',');
}

QString differenceText(const Outcome& outcome)
{
    const link::Difference& first = outcome.differences.front();
    const auto n = outcome.differences.size();
    return QStringLiteral("%1 %2, first at %3: file %4, chip %5")
        .arg(n)
        .arg(n == 1 ? "byte differs" : "bytes differ")
        .arg(hexAddress(first.address), QString::fromStdString(first.expected),
             first.chip.empty() ? QStringLiteral("(nothing)") : QString::fromStdString(first.chip));
}

} // namespace

struct BoardJob::Ops {
    Ops(std::unique_ptr<link::Port> port, Reporter* reporter, int board, const image::HexGrid* image,
        double timeoutScale)
        : port(std::move(port)), panel(reporter, board), link(*this->port, panel),
          grid(image ? *image : image::HexGrid()), ops(link, panel, grid, session)
    {
        link.setTimeoutScale(timeoutScale);
    }
    std::unique_ptr<link::Port> port;
    CliPanel panel;
    link::SerialLink link;
    image::HexGrid grid;
    link::Session session;
    link::BoardOps ops;
};

BoardJob::BoardJob(int board, QString named, QString device, const JobContext& context)
    : board_(board), named_(std::move(named)), device_(std::move(device)), context_(context)
{
    result_.port = device_;
}

BoardResult BoardJob::refuse(const QString& step, const Outcome& outcome)
{
    report(link::Session(), nullptr, step, outcome, std::chrono::milliseconds(0));
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
        runSteps(ops);
    } // the port is closed here, on its own thread
    result_.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return result_;
}

bool BoardJob::runSteps(Ops& ops)
{
    const Options& o = *context_.options;
    if (o.command == Command::Identify && o.chip.isEmpty())
        return step(ops, "identify", [](link::BoardOps& b) { return b.reset(); });
    if (!guard(ops) || o.command == Command::Identify)
        return false;
    const auto lock = [bits = o.lock.value_or(LockBits{}).bits](link::BoardOps& b) { return b.lock(bits[0], bits[1], bits[2]); };
    switch (o.command) {
    case Command::Erase: return step(ops, "erase", [](link::BoardOps& b) { return b.erase(); });
    case Command::Blank: return step(ops, "blank", [](link::BoardOps& b) { return b.blank(); });
    case Command::Lock: return step(ops, "lock", lock);
    case Command::Write: return step(ops, "write", [](link::BoardOps& b) { return b.program(); });
    case Command::Verify: return step(ops, "verify", [](link::BoardOps& b) { return b.verify(); });
    case Command::Read:
        return step(ops, "read", [this, &ops](link::BoardOps& b) { return finishRead(ops, b.read()); });
    case Command::Auto: break;
    default: return true;
    }
    const Operation auto_[] = {[](link::BoardOps& b) { return b.erase(); }, [](link::BoardOps& b) { return b.blank(); },
                               [](link::BoardOps& b) { return b.program(); }, [](link::BoardOps& b) { return b.verify(); },
                               lock};
    for (int i = 0; i < 5; ++i)
        if (o.steps[std::size_t(i)] && !step(ops, stepWord(Step(i)), auto_[i]))
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
    const bool identified = step(ops, "identify", [&](link::BoardOps& b) {
        Outcome outcome = b.reset();
        const QString found = chipName(ops.session.chipRow);
        if (outcome.ok() && !o.chip.isEmpty() && found != o.chip)
            outcome = Outcome::of(Result::WrongChip, outcome.reply,
                                  (found + " in the socket, the job expects " + o.chip + ": nothing was sent to it.").toStdString());
        return outcome;
    });
    if (!identified || !needsFile(o.command))
        return identified;
    // Reported as the step that would have sent the image; an auto without one sends none.
    const QString first = o.command != Command::Auto ? o.commandName : o.steps[2] ? "write" : o.steps[3] ? "verify" : "";
    const Outcome refusal = refuseLongImage(ops);
    return first.isEmpty() || refusal.ok() || step(ops, first, [&](link::BoardOps&) { return refusal; });
}

Outcome BoardJob::refuseLongImage(Ops& ops) const
{
    const int length = context_.image->programLength, size = ops.session.deviceSize;
    if (length <= size)
        return Outcome::of(Result::Ok);
    return Outcome::of(Result::BadImage, {},
                       QStringLiteral("The image runs to %1 (%2 bytes), the %3 holds %4 bytes: nothing was sent.")
                           .arg(hexAddress(context_.image->loadedEnd - 1))
                           .arg(length)
                           .arg(chipName(ops.session.chipRow))
                           .arg(size)
                           .toStdString(),
                       size);
}

Outcome BoardJob::finishRead(Ops& ops, Outcome outcome) const
{
    if (!outcome.ok() || ops.session.chipRow < 0)
        return outcome;
    const Options& o = *context_.options;
    QString error;
    if (!saveChipImage(ops.grid, ops.session.deviceSize, o.file, o.binary, &error))
        return Outcome::of(Result::BadImage, outcome.reply, error.toStdString());
    return outcome;
}

bool BoardJob::step(Ops& ops, const QString& name, const Operation& operation)
{
    const auto start = Clock::now();
    Outcome outcome;
    if (context_.interrupt && context_.interrupt->load()) {
        outcome = Outcome::of(Result::Interrupted, {}, ("Stopped before the " + name + ".").toStdString());
    } else {
        ops.link.beginAction();
        outcome = operation(ops.ops);
        // Whatever the board answers with an empty socket, nothing was done to a chip.
        if ((outcome.ok() || outcome.result == Result::ChipFailed) && ops.session.chipRow < 0)
            outcome = Outcome::of(Result::NoChip, outcome.reply, "No chip was found in the socket.");
        // Every operation identifies the chip again: one swapped since the guard's check is
        // reported, and ends the job.
        const QString expected = context_.options->chip, found = chipName(ops.session.chipRow);
        if (!expected.isEmpty() && !found.isEmpty() && found != expected && outcome.result != Result::WrongChip)
            outcome = Outcome::of(Result::WrongChip, outcome.reply,
                                  (found + " in the socket, the job expects " + expected + ".").toStdString());
    }
    if (ops.session.chipRow >= 0)
        result_.chipRow = ops.session.chipRow;
    report(ops.session, name == "read" ? &ops.grid : nullptr, name, outcome,
           std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start));
    if (outcome.ok())
        return true;
    result_.result = outcome.result;
    return false;
}

QString BoardJob::words(const link::Session& session, const QString& name, const Outcome& outcome) const
{
    const Options& o = *context_.options;
    const int size = session.deviceSize;
    switch (outcome.result) {
    case Result::Ok:
        if (name == "identify") {
            const auto& chip = protocol::kChips[std::size_t(session.chipRow)];
            return QStringLiteral("%1 (code %2, %3 bytes)").arg(chipName(session.chipRow), QString::fromUtf8(chip.code.data(), 2)).arg(size);
        }
        if (name == "write")
            return QStringLiteral("ok, %1 bytes written").arg(outcome.bytesDone);
        if (name == "verify")
            return QStringLiteral("ok, %1 bytes match").arg(outcome.bytesDone);
        if (name == "read")
            return QStringLiteral("ok, %1 bytes to %2").arg(outcome.bytesDone).arg(o.file);
        if (name == "lock")
            return "ok, lock bits " + lockBitsText(o.lock.value_or(LockBits{}));
        return QStringLiteral("ok");
    case Result::ChipFailed:
        if (name == "erase")
            return QStringLiteral("the board could not erase the chip (\"%1\")").arg(QString::fromStdString(outcome.reply));
        if (name == "blank")
            return QStringLiteral("the chip is not blank (\"%1\")").arg(QString::fromStdString(outcome.reply));
        if (!outcome.differences.empty())
            return differenceText(outcome);
        break;
    case Result::Interrupted:
        return QStringLiteral("interrupted after %1 bytes: %2").arg(outcome.bytesDone).arg(QString::fromStdString(outcome.detail));
    case Result::PortError: {
        // The window names the port by its button; here the device is the name, and where -p
        // gave a bare name, which of its two meanings was tried.
        const bool bare = named_ != device_ && device_.startsWith(QLatin1String("/dev/"));
        QString text = QString::fromStdString(outcome.detail);
        text.replace("COM1 (" + device_ + ")", device_ + (bare ? " (there is no file " + named_ + " here)" : QString()))
            .replace("\n\n", " ");
        return text;
    }
    default: break;
    }
    return QString::fromStdString(outcome.detail);
}

QJsonObject BoardJob::jsonFor(const link::Session& session, const QString& name, const Outcome& outcome,
                              std::chrono::milliseconds took) const
{
    QJsonObject o;
    o["port"] = device_;
    o["step"] = name;
    const std::string_view result = link::resultName(outcome.result);
    o["result"] = QString::fromUtf8(result.data(), int(result.size()));
    o["exitCode"] = link::exitCode(outcome.result);
    const int row = result_.chipRow;
    o["chip"] = row >= 0 ? QJsonValue(chipName(row)) : QJsonValue();
    o["chipCode"] = row >= 0 ? QJsonValue(QString::fromUtf8(protocol::kChips[std::size_t(row)].code.data(), 2)) : QJsonValue();
    o["message"] = words(session, name, outcome);
    o["reply"] = QString::fromStdString(outcome.reply);
    o["address"] = outcome.address >= 0 ? QJsonValue(outcome.address) : QJsonValue();
    o["bytes"] = outcome.bytesDone;
    o["durationMs"] = qint64(took.count());
    const bool withFile = name == "write" || name == "verify" || name == "read";
    o["file"] = withFile ? QJsonValue(context_.options->file) : QJsonValue();
    const bool warned = withFile && context_.image && !context_.image->warning.isEmpty();
    o["warning"] = warned ? QJsonValue(context_.image->warning) : QJsonValue();
    QJsonArray differences;
    for (const link::Difference& d : outcome.differences)
        differences.append(QJsonObject{{"address", d.address},
                                       {"file", QString::fromStdString(d.expected)},
                                       {"chip", QString::fromStdString(d.chip)}});
    o["differingBytes"] = int(outcome.differences.size());
    o["differences"] = differences;
    return o;
}

void BoardJob::report(const link::Session& session, const image::HexGrid* readGrid, const QString& name,
                      const Outcome& outcome, std::chrono::milliseconds took)
{
    Reporter& out = *context_.reporter;
    if (out.json())
        out.jsonObject(jsonFor(session, name, outcome, took));
    else
        out.line(board_, name + ": " + words(session, name, outcome));
    if (!context_.record)
        return;

    link::RecordEntry entry;
    entry.port = device_.toStdString();
    entry.chipRow = result_.chipRow;
    entry.step = name.toStdString();
    entry.result = outcome.result;
    entry.differingBytes = int(outcome.differences.size());
    entry.duration = took;
    const bool sent = name == "write" || name == "verify";
    if (sent && context_.image && !context_.image->grid) { // the file was refused
        entry.file = context_.image->file;
    } else if (sent && context_.image) {
        entry.file = context_.image->file;
        entry.warning = context_.image->warning;
        entry.imageBytes = name == "write" ? context_.image->programLength : session.deviceSize;
        entry.imageCrc32 = link::JobRecord::gridCrc32(*context_.image->grid, entry.imageBytes);
    } else if (readGrid && outcome.ok()) {
        entry.file = link::JobRecord::describeFile(context_.options->file);
        entry.imageBytes = session.deviceSize;
        entry.imageCrc32 = link::JobRecord::gridCrc32(*readGrid, entry.imageBytes);
    }
    if (const auto failure = context_.record->append(entry)) {
        result_.recordFailed = true;
        out.problem(QStringLiteral("brindle-cli: Cannot add the %1 line%2 to the record %3: %4.")
                        .arg(name, context_.reporter->several() ? " of " + device_ : QString(), context_.options->logFile,
                             *failure));
    }
}

} // namespace brindle::cli
