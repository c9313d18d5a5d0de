#include "serial_step.h"

#include "stop_signals.h"

namespace brindle::station {

namespace {

QString hexAddress(int address) { return QString::fromStdString(image::fixedHex(unsigned(address), 4)) + 'H'; }

} // namespace

ChipSerial::ChipSerial(Store& store, const SeriesPlan& plan, QString port)
    : store_(store), plan_(plan), port_(std::move(port))
{
}

std::optional<link::Outcome> ChipSerial::beforeWrite(image::HexGrid& grid, link::Session& session)
{
    const int width = plan_.format.width;
    const protocol::Chip* chip = session.chip;
    if (plan_.address < 0 || plan_.address + width > session.deviceSize) {
        return link::Outcome::of(link::Result::BadImage, {},
                                 QStringLiteral("The serial number's field at %1 (%2 bytes) does not lie inside the %3's %4 "
                                                "bytes: nothing was written.")
                                     .arg(hexAddress(plan_.address)).arg(width)
                                     .arg(chip ? QString::fromUtf8(chip->name.data(), int(chip->name.size())) : QStringLiteral("chip"))
                                     .arg(session.deviceSize)
                                     .toStdString(),
                                 plan_.address);
    }
    std::optional<QString> failure = store_.open();
    if (!failure)
        failure = store_.take(plan_, port_, &serial_);
    if (failure && platform::stopRequested())
        return link::Outcome::of(link::Result::Interrupted, {}, "Stopped before the write: no number was taken, nothing was written.");
    if (failure)
        return link::Outcome::of(link::Result::StoreError, {}, (*failure + ". Nothing was written.").toStdString());
    pending_ = true;
    putSerial(grid, plan_.address, serial_.bytes);
    // WRITE sends whole blocks from address 0: the field's block must be among them.
    const int end = (plan_.address + width + 31) / 32 * 32;
    session.programLength = std::max(session.programLength, std::min(end, session.deviceSize));
    return std::nullopt;
}

std::optional<QString> ChipSerial::finish(const link::Outcome& outcome)
{
    if (!pending_)
        return std::nullopt;
    pending_ = false;
    const std::string_view result = link::resultName(outcome.result);
    return store_.mark(serial_, outcome.ok(), QString::fromUtf8(result.data(), int(result.size())));
}

QString serialLogLine(const Serial& serial) { return "Serial " + serial.shown(); }

} // namespace brindle::station
