#include "store_commands.h"

#include "outcome.h"

#include <QJsonDocument>

#include <cstdio>

namespace brindle::cli {

namespace {

int storeFailed(const QString& failure)
{
    std::fprintf(stderr, "brindle-cli: %s.\n", qPrintable(failure));
    return link::exitCode(link::Result::StoreError);
}

void print(const QString& text) { std::printf("%s\n", qPrintable(text)); }

QString summaryLine(const station::SeriesSummary& s)
{
    const QString kind = s.list ? QStringLiteral("list of %1 from %2, %3 left").arg(s.listCount).arg(s.listFile).arg(s.listLeft)
                                : QStringLiteral("counter, next %1 (step %2)").arg(station::numberText(s.next)).arg(s.step);
    return QStringLiteral("series %1: %2; %3 programmed, %4 failed, %5 reserved")
        .arg(s.name, kind).arg(s.programmed).arg(s.failed).arg(s.reserved.size());
}

QString cell(const QJsonObject& row, const char* key)
{
    const QJsonValue v = row.value(QLatin1String(key));
    return v.isNull() || v.isUndefined() ? QStringLiteral("-") : v.isDouble() ? QString::number(v.toDouble()) : v.toString();
}

} // namespace

int serialsCommand(const Options& o)
{
    station::Store store(station::storeAddress(o.production), station::stationName(o.production), station::systemUserName());
    std::vector<station::SeriesSummary> series;
    const QString only = o.production.seriesGiven ? o.production.plan.name : QString();
    if (auto failure = store.open(); failure || (failure = store.summaries(only, &series)))
        return storeFailed(*failure);
    print("store: " + store.address().shown());
    if (series.empty())
        print(o.production.seriesGiven ? "no series " + o.production.plan.name : QStringLiteral("no series yet"));
    for (const station::SeriesSummary& s : series) {
        print(summaryLine(s));
        for (const auto& r : s.reserved)
            print(QStringLiteral("  reserved %1: station %2, operator %3, port %4, since %5")
                      .arg(r.serial.shown(), r.station, r.user, r.port, r.time));
    }
    return 0;
}

int historyCommand(const Options& o)
{
    station::Store store(station::storeAddress(o.production), station::stationName(o.production), station::systemUserName());
    std::vector<QJsonObject> rows;
    if (auto failure = store.open(); failure || (failure = store.history(o.production.history, &rows)))
        return storeFailed(*failure);
    for (const QJsonObject& row : rows) {
        if (o.json) {
            print(QString::fromUtf8(QJsonDocument(row).toJson(QJsonDocument::Compact)));
            continue;
        }
        const QString serial = row.value("serial").isString() ? cell(row, "series") + " " + cell(row, "serial") : QStringLiteral("-");
        print(QStringLiteral("%1  %2  %3  %4  %5  %6  %7  %8")
                  .arg(cell(row, "time"), cell(row, "station"), cell(row, "port"), cell(row, "chip"), cell(row, "step"),
                       cell(row, "result"), serial, cell(row, "file")));
    }
    if (rows.empty() && !o.json)
        std::fprintf(stderr, "history: no rows in %s\n", qPrintable(store.address().shown()));
    return 0;
}

} // namespace brindle::cli
