#include "step_words.h"

#include "code_image.h"

#include <QStringList>

namespace brindle::cli {

using link::Operation;
using link::Outcome;
using link::Result;

namespace {

QString text(std::string_view view) { return QString::fromUtf8(view.data(), int(view.size())); }

QString chipName(const protocol::Chip* chip) { return chip ? text(chip->name) : QString(); }

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

QString stepWords(const Outcome& outcome, const Options& o, const QString& device)
{
    const QString reply = QString::fromStdString(outcome.reply);
    switch (outcome.result) {
    case Result::Ok:
        switch (outcome.operation) {
        case Operation::Identify:
            return QStringLiteral("%1 (code %2, %3 bytes)").arg(chipName(outcome.chip), text(outcome.chip->code)).arg(outcome.chip->size);
        case Operation::Write: return QStringLiteral("ok, %1 bytes written").arg(outcome.bytesDone);
        case Operation::Verify: return QStringLiteral("ok, %1 bytes match").arg(outcome.bytesDone);
        case Operation::Read:
            return QStringLiteral("ok, %1 bytes to %2").arg(outcome.bytesDone).arg(o.file == "-" ? "standard output" : o.file);
        case Operation::Lock: return "ok, lock bits " + lockBitsText(o.lock.value_or(LockBits{}));
        default: return QStringLiteral("ok");
        }
    case Result::ChipFailed:
        switch (outcome.operation) {
        case Operation::Erase: return QStringLiteral("the board could not erase the chip (\"%1\")").arg(reply);
        case Operation::Blank: return QStringLiteral("the chip is not blank (\"%1\"): erase it first").arg(reply);
        case Operation::Write:
            return QStringLiteral("The board refused %1 (\"%2\"): the chip may not be erased: %3")
                .arg(outcome.bytesDone > 0 ? "block " + hexAddress(outcome.address) : QStringLiteral("the write"), reply,
                     QString::fromStdString(outcome.advice));
        case Operation::Verify:
            if (!outcome.differences.empty())
                return differenceText(outcome);
            break;
        default: break;
        }
        break;
    case Result::Interrupted:
        if (outcome.operation == Operation::Write || outcome.operation == Operation::Read
            || outcome.operation == Operation::Verify)
            return QStringLiteral("interrupted after %1 bytes: %2").arg(outcome.bytesDone).arg(QString::fromStdString(outcome.detail));
        return "interrupted: " + QString::fromStdString(outcome.detail);
    case Result::PortError:
        if (outcome.port)
            return QStringLiteral("Cannot open %1: %2.%3")
                .arg(device, QString::fromStdString(outcome.port->reason),
                     outcome.advice.empty() ? QString() : " " + QString::fromStdString(outcome.advice));
        break;
    default: break;
    }
    return QString::fromStdString(outcome.detail);
}

} // namespace brindle::cli
