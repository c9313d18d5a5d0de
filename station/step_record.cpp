#include "step_record.h"

#include "stop_signals.h"

#include <QJsonDocument>

namespace brindle::station {

OpenedRecord openRecord(const QString& path, const QString& program)
{
    OpenedRecord opened;
    opened.record = std::make_unique<station::JobRecord>(path, program, QStringLiteral(BRINDLE_VERSION));
    if (const std::optional<QString> failure = opened.record->open()) {
        opened.record.reset();
        opened.problem = QStringLiteral("Cannot open the record %1: %2.").arg(path, *failure);
    }
    return opened;
}

station::RecordEntry stepEntry(const link::Outcome& outcome, station::JobFacts facts, const Serial* serial)
{
    facts.stopStatus = platform::stopExitCode();
    station::RecordEntry entry = station::recordEntry(outcome, facts);
    if (serial) {
        entry.series = serial->series;
        entry.serial = serial->text();
        entry.serialBytes = QString::fromLatin1(serial->bytes.toHex().toUpper());
    }
    return entry;
}

std::optional<QString> addStepRow(Store& store, const station::RecordEntry& entry, const QString& program)
{
    const station::JobRecord lines(QString(), program, QStringLiteral(BRINDLE_VERSION));
    std::optional<QString> failure = store.open();
    if (!failure)
        failure = store.addRecord(QJsonDocument::fromJson(lines.line(entry)).object());
    return failure;
}

} // namespace brindle::station
