// The production store: series of serial numbers, each number taken in a transaction before its
// chip is written and marked once the chip's fate is known, and the record of every step. One
// schema and one code path for SQLite, PostgreSQL and ODBC, reached through Qt SQL only.
//
// A number's life: reserved (taken, its chip about to be written) -> programmed (written, and
// verified where the job verifies) or failed (with the result's name). A process that dies
// between the two leaves its number reserved: it is never handed out again, and `serials`
// shows it with its station and time.
#pragma once

#include "serial_format.h"
#include "store_address.h"

#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace brindle::station {

// What a job asks of its series.
struct SeriesPlan {
    QString name = QStringLiteral("default");
    std::optional<qint64> start; // a new counter's first number; default 1
    std::optional<qint64> step;  // a new counter's step; default 1
    QString listFile;            // non-empty: a list series, loaded once
    SerialFormat format;         // the field; a list's width comes from the list
    int address = -1;            // where the field lies in the image
    bool reuseFailed = false;    // hand a failed number out again before a new one
};

// A number taken for one chip.
struct Serial {
    QString series;
    qint64 value = -1;  // the counter's number, or the list value's position
    bool list = false;
    QByteArray bytes;   // what goes into the chip
    // "123" for a number, "00:1A:2B" for a list value: how the record names it.
    QString text() const;
    // "000123", or the list value: how the operator reads it.
    QString shown() const;
};

struct SeriesSummary {
    QString name;
    bool list = false;
    qint64 next = 0, step = 1;
    qint64 programmed = 0, failed = 0, listLeft = 0, listCount = 0;
    QString listFile;
    struct Reserved {
        Serial serial;
        QString station, user, port, time;
    };
    std::vector<Reserved> reserved;
};

struct HistoryQuery {
    QString serial; // a number or a list value
    QString series;
    QString since;  // ISO 8601, UTC
};

class Store {
public:
    static constexpr int kSchemaVersion = 1;
    // How long a SQLite program waits for another one's transaction before it gives up.
    static constexpr int kSqliteBusyMs = 10000;

    Store(StoreAddress address, QString station, QString user);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    const StoreAddress& address() const { return address_; }
    const QString& station() const { return station_; }

    // Each call below returns nullopt on success, else one sentence that names the store (never
    // its password) and the system's reason.

    // Connects (within 10 s) and makes the tables on first use; a newer schema is refused.
    [[nodiscard]] std::optional<QString> open();
    // Creates the series where it does not exist (a list: loads it, and gives the plan the
    // list's width); notes what of the plan an existing series does not take.
    [[nodiscard]] std::optional<QString> prepare(SeriesPlan& plan, QStringList* notes);
    // Takes the series' next number for a chip on port: committed as reserved before this returns.
    [[nodiscard]] std::optional<QString> take(const SeriesPlan& plan, const QString& port, Serial* serial);
    // programmed when the chip's steps succeeded, else failed with the result's name.
    [[nodiscard]] std::optional<QString> mark(const Serial& serial, bool programmed, const QString& result);
    // One record row: the record line's fields (the chip's number among them) plus station and
    // operator.
    [[nodiscard]] std::optional<QString> addRecord(const QJsonObject& line);

    [[nodiscard]] std::optional<QString> summaries(const QString& series, std::vector<SeriesSummary>* out);
    // Rows as JSON objects with the record line's names, oldest first.
    [[nodiscard]] std::optional<QString> history(const HistoryQuery& query, std::vector<QJsonObject>* rows);

private:
    QSqlDatabase db() const;
    std::optional<QString> createSchema();
    std::optional<QString> fail(const QString& what, const QString& reason);
    std::optional<QString> begin(); // the reason when it failed
    std::optional<QString> commit(); // the reason when it failed
    std::optional<QString> written(QSqlQuery& q); // runs a prepared write in a transaction
    void rollback();

    StoreAddress address_;
    QString station_, user_;
    QString connection_;
    bool sqlite_ = true;
    bool open_ = false;
};

// The operator's name as the system knows it.
QString systemUserName();

} // namespace brindle::station
