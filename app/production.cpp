#include "production.h"

#include "step_record.h"

namespace brindle::app {

Production::Production(station::ProductionOptions options)
    : options_(std::move(options)),
      store_(station::storeAddress(options_), station::stationName(options_), station::systemUserName())
{
}

std::optional<link::Outcome> Production::beforeWrite(image::HexGrid& grid, link::Session& session, const QString& port)
{
    if (!options_.serials)
        return std::nullopt;
    // A list's width is known once it is loaded; prepare is a no-op for a series made before.
    QStringList notes;
    std::optional<QString> failure = store_.open();
    if (!failure)
        failure = store_.prepare(options_.plan, &notes);
    if (failure)
        return link::Outcome::of(link::Result::StoreError, {}, (*failure + ". Nothing was written.").toStdString());
    chip_ = std::make_unique<station::ChipSerial>(store_, options_.plan, port);
    return chip_->beforeWrite(grid, session);
}

std::optional<QString> Production::stepDone(const link::Outcome& outcome, bool verifyFollows)
{
    const bool write = outcome.operation == link::Operation::Write;
    stepSerial_ = chip_ && (write || chip_->pending()) ? chip_->given() : nullptr;
    if (!chip_ || !chip_->pending())
        return std::nullopt;
    if (write)
        verifyDecides_ = verifyFollows;
    const bool decides = outcome.operation == (verifyDecides_ ? link::Operation::Verify : link::Operation::Write);
    if (outcome.ok() && !decides)
        return std::nullopt;
    return chip_->finish(outcome);
}

std::optional<QString> Production::record(const station::RecordEntry& entry)
{
    if (options_.store.isEmpty() && !options_.serials)
        return std::nullopt;
    return station::addStepRow(store_, entry, QStringLiteral("brindle"));
}

} // namespace brindle::app
